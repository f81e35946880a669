// platform/win32/console.cpp - the console window shows the program's UTF-8.
//
// The program prints names as UTF-8 through the C runtime. Written to a
// console window as they are, those bytes would go through the console's
// output code page (often 437 or 850), and the C runtime hands them over a
// byte at a time or translates them itself, so a name like スクショ.png
// would come out garbled. So while standard output is a console window,
// console_begin puts a pipe in its place (file descriptor 1 and the standard
// output handle) and a relay thread reads the pipe, cuts what it reads after
// the last whole UTF-8 character, and writes it to the console as UTF-16 with
// WriteConsoleW. That shows every character the console's font has, needs no
// change of the console's code page (which belongs to the console and is
// shared with the shell that started the program), and works the same on
// every Windows version. console_end flushes, puts the console back as
// standard output and waits for the relay to write the rest.
//
// Output to a file or pipe is left alone: it is UTF-8 bytes already.
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

struct Relay {
    HANDLE pipe;     // read end; the write end is file descriptor 1
    HANDLE console;  // the console's output handle
    HANDLE thread;
    int saved_stdout;  // a copy of descriptor 1 as it was, to put back
};

Relay relay = {nullptr, nullptr, nullptr, -1};

// Length of the longest prefix of text[0, size) that ends on a whole UTF-8
// character; the rest is kept for the next read. Invalid bytes count as whole
// (the conversion shows them as U+FFFD).
DWORD whole_characters(const char* text, DWORD size) {
    DWORD start = size;
    for (DWORD back = 0; back < 4 && start > 0; ++back) {
        unsigned char c = static_cast<unsigned char>(text[start - 1]);
        if ((c & 0xC0) != 0x80) {  // a lead byte or ASCII: is its sequence complete?
            DWORD needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            DWORD have = size - (start - 1);
            return have < needed && c >= 0xC0 ? start - 1 : size;
        }
        --start;
    }
    return size;
}

void write_to_console(const char* text, DWORD size) {
    wchar_t wide[4096];
    int units = wide_from_utf8_bytes(text, static_cast<int>(size), wide, 4096);
    DWORD written = 0;
    for (int done = 0; done < units; done += static_cast<int>(written)) {
        if (!WriteConsoleW(relay.console, wide + done, static_cast<DWORD>(units - done), &written,
                           nullptr) ||
            written == 0) {
            return;
        }
    }
}

DWORD WINAPI relay_output(void*) {
    char buffer[4096];
    DWORD kept = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(relay.pipe, buffer + kept, sizeof buffer - kept, &got, nullptr) || got == 0) {
            break;
        }
        DWORD size = kept + got;
        DWORD whole = whole_characters(buffer, size);
        write_to_console(buffer, whole);
        kept = size - whole;
        memmove(buffer, buffer + whole, kept);
    }
    write_to_console(buffer, kept);  // a cut character at the very end
    return 0;
}

}  // namespace

void console_begin() {
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return;

    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, nullptr, 0)) return;
    fflush(stdout);
    int saved = _dup(1);
    int pipe_fd = _open_osfhandle(reinterpret_cast<intptr_t>(write_end), _O_WRONLY | _O_TEXT);
    if (saved < 0 || pipe_fd < 0) {
        if (saved >= 0) _close(saved);
        if (pipe_fd >= 0) {
            _close(pipe_fd);
        } else {
            CloseHandle(write_end);
        }
        CloseHandle(read_end);
        return;
    }
    relay.pipe = read_end;
    relay.console = reinterpret_cast<HANDLE>(_get_osfhandle(saved));
    relay.saved_stdout = saved;
    relay.thread = CreateThread(nullptr, 0, relay_output, nullptr, 0, nullptr);
    if (!relay.thread || _dup2(pipe_fd, 1) != 0) {
        _close(pipe_fd);
        if (relay.thread) WaitForSingleObject(relay.thread, INFINITE);
        console_end();
        return;
    }
    _close(pipe_fd);  // descriptor 1 now holds the only write end
    // Unbuffered, as stdout is on a console: each line reaches it at once.
    setvbuf(stdout, nullptr, _IONBF, 0);
}

void console_end() {
    if (relay.saved_stdout < 0) return;
    fflush(stdout);
    _dup2(relay.saved_stdout, 1);  // closes the write end: the relay reads to the end
    if (relay.thread) {
        WaitForSingleObject(relay.thread, INFINITE);
        CloseHandle(relay.thread);
    }
    CloseHandle(relay.pipe);
    _close(relay.saved_stdout);
    relay = {nullptr, nullptr, nullptr, -1};
}
