// platform/posix/terminal.cpp - what standard error and standard output are,
// on POSIX systems.
#include "platform/platform.h"

#include <cerrno>
#include <unistd.h>

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

bool output_reader_gone() { return errno == EPIPE; }
