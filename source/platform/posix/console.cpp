// platform/posix/console.cpp - the console on POSIX systems: a terminal shows
// the bytes the program prints as they are, so there is nothing to set; the
// arguments are the bytes the system hands over; a terminal window does not
// close with the program, so it never waits at the end.
#include "platform/platform.h"

void console_begin() {}

void console_end() {}

char** program_arguments(int*, char** argv) { return argv; }

ConsoleFacts console_facts() { return {0, false, false}; }

void wait_for_enter(int) {}
