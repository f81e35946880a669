// progress.h - the scan's progress line on a terminal.
//
//     Progress progress;
//     progress_start(&progress, total, stderr_is_terminal() ? stderr : nullptr,
//                    progress_clock());
//     for each screenshot done:
//         progress_hide(&progress, progress_clock());  // before printing a line
//         progress_update(&progress, done, progress_clock());
//     progress_hide(&progress, progress_clock());      // at the end: nothing left
//
// One line, rewritten in place with a carriage return, e.g.
//     Reading screenshots: 1200 of 20000, 850/s, 0:22 left
// It first appears once the scan has run PROGRESS_DELAY seconds (a short scan
// shows nothing) and is redrawn at most every PROGRESS_INTERVAL seconds, also
// after it was hidden for a message: standard output may reach the screen by
// another way than standard error (on Windows through a relay thread), and
// the pause lets the message land before the line comes back.
// Hiding overwrites it with spaces and returns to the line's start, which
// every terminal (the Windows console too) understands. With a null stream
// every call does nothing, so standard output and error stay as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr double PROGRESS_DELAY = 0.5;
constexpr double PROGRESS_INTERVAL = 0.1;
constexpr int PROGRESS_TEXT_SIZE = 96;

struct Progress {
    FILE* stream;      // the terminal, or null for none
    int total;
    int done;
    double started;    // clock at the start, seconds
    double drawn;      // clock of the last drawing
    int width;         // characters on the screen now, 0 when hidden
};

// Seconds on a steady clock.
double progress_clock();

void progress_start(Progress* progress, int total, FILE* stream, double now);

// done of total are finished at `now`: redraws the line when it is due.
void progress_update(Progress* progress, int done, double now);

// Erases the line when it is shown; an update PROGRESS_INTERVAL after `now`
// draws it again.
void progress_hide(Progress* progress, double now);

// Draws `text` as the line now, in place of what it showed (for another
// line kept in place the same way: the watch's status).
void progress_show_text(Progress* progress, const char* text, int length, double now);

// Seconds as "1:05" or "2:03:09".
void format_duration(char* text, size_t size, long seconds);

// The text of the line, without the carriage return: done of total after
// `seconds`, with the rate and time left once there is a rate to tell.
// Returns its length.
int format_progress(char* text, size_t size, int done, int total, double seconds);

// The line while a recording is read: the position reached of its length,
// the decoding rate, how many times real time that is, and the time left:
//   Reading session.mp4: 3:12 of 10:02, 480 frames/s, 8.0× real time, 0:51 left
// (without a known length: only the position and the rate). seconds is the
// wall time since reading began. Returns its length.
int format_recording_progress(char* text, size_t size, const char* name, double position,
                              double duration, uint64_t frames, double seconds);

// Draws `text` when the line is due (PROGRESS_DELAY after the start,
// PROGRESS_INTERVAL after the last drawing).
void progress_offer_text(Progress* progress, const char* text, int length, double now);
