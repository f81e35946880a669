// pause.h - whether the program waits for Enter at its end: only when it
// runs in a console window of its own (started from Explorer, or by dropping
// a folder or a screenshot on it), which would otherwise close before its
// messages can be read.
//
//     if (should_pause(facts)) wait_for_enter(PAUSE_TIMEOUT_MS);   // platform.h
#pragma once

constexpr int PAUSE_TIMEOUT_MS = 60000;

struct PauseFacts {
    unsigned console_processes;  // GetConsoleProcessList's count (0 on POSIX systems)
    bool input_is_console;       // standard input is the console
    bool output_is_console;      // standard output is the console
    bool watch;                  // the run was the watch mode
    bool stop_requested;         // Ctrl+C, closing the window, SIGTERM ...
    bool no_pause_set;           // HEALTHGAUGE_NO_PAUSE is set (to anything)
    bool session_ending = false; // the window is being closed, logoff, shutdown
};

// True when all hold: the console has exactly this one process, standard
// input and output are both that console, HEALTHGAUGE_NO_PAUSE is not set,
// the window is not being closed (nor the session ended), and either the
// mode is watch (Ctrl+C ends it: its summary stays to be read) or no stop
// was requested.
bool should_pause(const PauseFacts& facts);
