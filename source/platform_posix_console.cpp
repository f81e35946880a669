// platform_posix_console.cpp - the console on POSIX systems: a terminal shows
// the bytes the program prints as they are, so there is nothing to set.
#include "platform.h"

#include <unistd.h>

void console_begin() {}

void console_end() {}

bool console_shows_output() { return isatty(STDOUT_FILENO) == 1; }
