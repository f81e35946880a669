// platform/posix/interrupt.h - what the other POSIX units need from the
// interrupt unit (posix/interrupt.cpp): the temporary files that a signal
// removes, and the stop pipe that their waits poll.
#pragma once

#include <csignal>

// Blocks the handled signals for its lifetime, so that a temporary file is
// never created without being registered.
struct InterruptsHeld {
    sigset_t previous;
    InterruptsHeld();
    ~InterruptsHeld();
};

// Registers a temporary file that a signal removes before the program ends;
// false when the table is full (the file must then not be made).
bool interrupt_register_temporary(const char* name);

// The temporary file is gone or in its place: a signal leaves it alone.
void interrupt_forget_temporary(const char* name);

// The read end of the pipe that becomes readable on a stop request, or -1.
int interrupt_stop_fd();
