// platform/win32/terminal.cpp - what standard error and standard output are,
// on Windows.
//
// _isatty is true for any character device, the NUL device included, so the
// handle must also be a console: GetConsoleMode succeeds on consoles alone.
#include "platform/platform.h"

#include <cerrno>
#include <io.h>
#include <windows.h>

bool stderr_is_terminal() {
    if (!_isatty(_fileno(stderr))) return false;
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// A pipe whose reader is gone fails a write with ERROR_NO_DATA (a broken one
// with ERROR_BROKEN_PIPE); the C runtime makes either EPIPE.
bool output_reader_gone() {
    DWORD error = GetLastError();
    return errno == EPIPE || error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
}
