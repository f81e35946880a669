// platform/posix/terminal.cpp - is standard error a terminal, on POSIX systems.
#include "platform/platform.h"

#include <unistd.h>

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }
