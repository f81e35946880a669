// platform/win32/terminal.cpp - what became of a failed write to standard
// output, on Windows. Whether standard error is a console window is told by
// win32/console.cpp, which relays it there.
#include "platform/platform.h"

#include <cerrno>
#include <windows.h>

// A pipe whose reader is gone fails a write with ERROR_NO_DATA (a broken one
// with ERROR_BROKEN_PIPE); the C runtime makes either EPIPE.
bool output_reader_gone() {
    DWORD error = GetLastError();
    return errno == EPIPE || error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
}
