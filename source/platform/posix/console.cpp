// platform/posix/console.cpp - the console on POSIX systems: a terminal shows
// the bytes the program prints as they are, so there is nothing to set.
#include "platform/platform.h"

void console_begin() {}

void console_end() {}
