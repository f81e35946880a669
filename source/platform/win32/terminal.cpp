// platform/win32/terminal.cpp - is standard error a terminal, on Windows.
//
// _isatty is true for any character device, the NUL device included, so the
// handle must also be a console: GetConsoleMode succeeds on consoles alone.
#include "platform/platform.h"

#include <io.h>
#include <windows.h>

bool stderr_is_terminal() {
    if (!_isatty(_fileno(stderr))) return false;
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
