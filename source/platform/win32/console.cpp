// platform/win32/console.cpp - the console window shows the program's UTF-8,
// on standard output and standard error alike.
//
// The program prints names as UTF-8 through the C runtime, on standard
// output and (in its messages: "weak match (1920×64 ...)") on standard
// error. Written to a console window as they are, those bytes would go
// through the console's output code page (often 437 or 850), and the C
// runtime hands them over a byte at a time or translates them itself, so a
// name like スクショ.png would come out garbled. So console_begin puts one
// pipe in place of each of the two that is a console window (file
// descriptors 1 and 2 and the standard handles), and a relay thread reads
// the pipe, cuts what it reads after the last whole UTF-8 character, and
// writes it to the console as UTF-16 with WriteConsoleW. One pipe for both
// keeps their lines in the order the program wrote them. That shows every
// character the console's font has, needs no change of the console's code
// page (which belongs to the console and is shared with the shell that
// started the program), and works the same on every Windows version.
// console_end flushes, puts the console back in their place and waits for
// the relay to write the rest. stderr_is_terminal (platform.h) lives here
// too: a relayed standard error is still the console window to draw the
// progress line on.
//
// Output to a file or pipe is left alone: it is UTF-8 bytes already.
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The standard descriptors a console window may stand behind.
constexpr int RELAYED[2] = {1, 2};

struct Relay {
    HANDLE pipe;     // read end; the write end is each relayed descriptor
    HANDLE console;  // the console's output handle
    HANDLE thread;
    int saved[2];    // copies of descriptors 1 and 2 as they were, to put back; -1: not relayed
};

Relay relay = {nullptr, nullptr, nullptr, {-1, -1}};

bool is_console(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle && GetConsoleMode(handle, &mode);
}

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

// Saves a copy of each standard descriptor that is a console window; false
// when none is or a copy cannot be made.
bool save_consoles() {
    const DWORD handles[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    bool any = false;
    for (int i = 0; i < 2; ++i) {
        if (!is_console(GetStdHandle(handles[i]))) continue;
        relay.saved[i] = _dup(RELAYED[i]);
        if (relay.saved[i] < 0) return false;
        if (!relay.console) relay.console = reinterpret_cast<HANDLE>(_get_osfhandle(relay.saved[i]));
        any = true;
    }
    return any;
}

}  // namespace

void console_begin() {
    fflush(stdout);
    fflush(stderr);
    HANDLE read_end, write_end;
    if (!save_consoles() || !CreatePipe(&read_end, &write_end, nullptr, 0)) {
        console_end();
        return;
    }
    relay.pipe = read_end;
    int pipe_fd = _open_osfhandle(reinterpret_cast<intptr_t>(write_end), _O_WRONLY | _O_TEXT);
    if (pipe_fd < 0) CloseHandle(write_end);
    relay.thread = pipe_fd < 0 ? nullptr : CreateThread(nullptr, 0, relay_output, nullptr, 0, nullptr);
    bool placed = relay.thread != nullptr;
    for (int i = 0; placed && i < 2; ++i) {
        if (relay.saved[i] >= 0) placed = _dup2(pipe_fd, RELAYED[i]) == 0;
    }
    if (pipe_fd >= 0) _close(pipe_fd);  // the relayed descriptors hold the only write ends
    if (!placed) {
        console_end();
        return;
    }
    // Unbuffered, as stdout is on a console: each line reaches it at once.
    if (relay.saved[0] >= 0) setvbuf(stdout, nullptr, _IONBF, 0);
}

void console_end() {
    fflush(stdout);
    fflush(stderr);
    for (int i = 0; i < 2; ++i) {
        if (relay.saved[i] < 0) continue;
        _dup2(relay.saved[i], RELAYED[i]);  // closes a write end: the relay reads to the end
        _close(relay.saved[i]);
    }
    if (relay.thread) {
        WaitForSingleObject(relay.thread, INFINITE);
        CloseHandle(relay.thread);
    }
    if (relay.pipe) CloseHandle(relay.pipe);
    relay = {nullptr, nullptr, nullptr, {-1, -1}};
}

// _isatty is true for any character device, the NUL device included, so the
// handle must also be a console: GetConsoleMode succeeds on consoles alone.
// A standard error relayed to its console window is that window.
bool stderr_is_terminal() {
    if (relay.saved[1] >= 0) return true;
    return _isatty(_fileno(stderr)) && is_console(GetStdHandle(STD_ERROR_HANDLE));
}

// ---- The command line in UTF-8 ---------------------------------------------
//
// The C runtime's argv is in the ANSI code page, which cannot hold every
// name; the wide command line can. It is split by the C runtime's own rules:
// spaces and tabs part arguments outside quotes; 2n backslashes before a
// quote give n backslashes and the quote opens or closes quoting, 2n+1 give
// n backslashes and a literal quote; "" inside quotes is a literal quote.
// The program's name (the first argument) ends at the first space or tab
// outside quotes, backslashes taken as they are.

namespace {

// Appends the UTF-8 form of wide[0, length) to the block and returns it.
char* utf8_argument(const wchar_t* wide, size_t length) {
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (!copy) return nullptr;
    memcpy(copy, wide, length * sizeof(wchar_t));
    copy[length] = L'\0';
    size_t size = 4 * length + 1;
    char* text = static_cast<char*>(malloc(size));
    if (text && !utf8_from_wide(copy, text, size)) text[0] = '\0';
    free(copy);
    return text;
}

}  // namespace

char** program_arguments(int* argc, char** argv) {
    const wchar_t* line = GetCommandLineW();
    if (!line) return argv;
    size_t line_length = wcslen(line);
    wchar_t* buffer = static_cast<wchar_t*>(malloc((line_length + 1) * sizeof(wchar_t)));
    char** arguments = static_cast<char**>(calloc(line_length / 2 + 2, sizeof(char*)));
    if (!buffer || !arguments) {
        free(buffer);
        free(arguments);
        return argv;
    }
    int count = 0;
    const wchar_t* c = line;
    // The program's name.
    size_t length = 0;
    bool quoted = false;
    for (; *c && (quoted || (*c != L' ' && *c != L'\t')); ++c) {
        if (*c == L'"') {
            quoted = !quoted;
        } else {
            buffer[length++] = *c;
        }
    }
    arguments[count++] = utf8_argument(buffer, length);
    for (;;) {
        while (*c == L' ' || *c == L'\t') ++c;
        if (!*c) break;
        length = 0;
        quoted = false;
        while (*c && (quoted || (*c != L' ' && *c != L'\t'))) {
            size_t backslashes = 0;
            while (*c == L'\\') {
                ++backslashes;
                ++c;
            }
            if (*c == L'"') {
                for (size_t i = 0; i < backslashes / 2; ++i) buffer[length++] = L'\\';
                if (backslashes % 2) {
                    buffer[length++] = L'"';
                } else if (quoted && c[1] == L'"') {
                    buffer[length++] = L'"';
                    ++c;
                } else {
                    quoted = !quoted;
                }
                ++c;
            } else {
                for (size_t i = 0; i < backslashes; ++i) buffer[length++] = L'\\';
                if (*c && (quoted || (*c != L' ' && *c != L'\t'))) buffer[length++] = *c++;
            }
        }
        arguments[count++] = utf8_argument(buffer, length);
    }
    free(buffer);
    for (int i = 0; i < count; ++i) {
        if (!arguments[i]) return argv;  // memory ran short: the ANSI arguments
    }
    arguments[count] = nullptr;
    *argc = count;
    return arguments;  // kept for the whole run
}

// ---- The pause at the end ----------------------------------------------------

ConsoleFacts console_facts() {
    ConsoleFacts facts = {0, false, false};
    DWORD processes[4];
    facts.console_processes = GetConsoleProcessList(processes, 4);
    DWORD mode;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    facts.input_is_console = input != INVALID_HANDLE_VALUE && input && GetConsoleMode(input, &mode);
    facts.output_is_console =
        output != INVALID_HANDLE_VALUE && output && GetConsoleMode(output, &mode);
    return facts;
}

void wait_for_enter(int timeout_ms) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    const wchar_t prompt[] = L"\r\nPress Enter to close this window.";
    DWORD written;
    WriteConsoleW(output, prompt, static_cast<DWORD>(wcslen(prompt)), &written, nullptr);
    FlushConsoleInputBuffer(input);
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        if (WaitForSingleObject(input, static_cast<DWORD>(end - now)) != WAIT_OBJECT_0) break;
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(input, &record, 1, &got) || got == 0) break;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.wVirtualKeyCode == VK_RETURN) {
            break;
        }
    }
    WriteConsoleW(output, L"\r\n", 2, &written, nullptr);
}
