// platform/win32/interrupt.cpp - interruptions on Windows (see platform.h):
// the one home of the program's console control handler.
//
// The handler runs on a thread of its own for Ctrl+C, Ctrl+Break, closing
// the console window, logging off and shutting down. Until
// stop_requests_start it deletes the temporary output files that exist
// (they are open with FILE_SHARE_DELETE, so they go when the process ends)
// and hands the event on to the default handler, which ends the program.
// From stop_requests_start on, it sets a flag and an event that every wait
// of the program includes; for closing, logging off and shutting down it
// then waits, because the process ends when it returns: the main thread
// prints the summary and ends the process first.
//
// A process started with Ctrl+C ignored (SetConsoleCtrlHandler(NULL, TRUE),
// inherited) keeps ignoring it: the system then calls no handler for it.
// SIGPIPE has no Windows counterpart: a write to a closed pipe fails with
// ERROR_NO_DATA.
#include "platform/platform.h"
#include "platform/win32/interrupt.h"

#include <cwchar>

namespace {

constexpr int NAME_SIZE = 4096;
constexpr int SLOTS = 4;  // temporary files open at once

wchar_t pending_names[SLOTS][NAME_SIZE];
volatile LONG pending_used[SLOTS];

bool handler_installed = false;
volatile LONG stopping_softly = 0;
volatile LONG stop_flag = 0;
volatile LONG session_ending = 0;
HANDLE stop_event = nullptr;

bool ends_the_session(DWORD type) {
    return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI on_console_event(DWORD type) {
    if (!InterlockedCompareExchange(&stopping_softly, 0, 0)) {
        for (int i = 0; i < SLOTS; ++i) {
            if (pending_used[i]) DeleteFileW(pending_names[i]);
        }
        return FALSE;  // the default handler then ends the program
    }
    if (ends_the_session(type)) InterlockedExchange(&session_ending, 1);
    InterlockedExchange(&stop_flag, 1);
    if (stop_event) SetEvent(stop_event);
    if (ends_the_session(type)) Sleep(INFINITE);  // the main thread ends the process
    return TRUE;
}

void install_handler() {
    if (!handler_installed) handler_installed = SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
}

}  // namespace

void interrupts_begin() { install_handler(); }

void stop_requests_start() {
    if (!stop_event) stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop_event) ResetEvent(stop_event);
    InterlockedExchange(&stop_flag, 0);
    InterlockedExchange(&stopping_softly, 1);
    install_handler();
}

bool stop_requested() { return InterlockedCompareExchange(&stop_flag, 0, 0) != 0; }

bool stop_ends_session() { return InterlockedCompareExchange(&session_ending, 0, 0) != 0; }

void wait_for_stop_request(int timeout_ms) {
    if (stop_requested()) return;
    DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
    if (stop_event) {
        WaitForSingleObject(stop_event, timeout);
    } else {
        Sleep(timeout);
    }
}

HANDLE interrupt_stop_event() { return stop_event; }

bool interrupt_register_temporary(const wchar_t* name) {
    install_handler();
    if (wcslen(name) >= NAME_SIZE) return false;
    for (int i = 0; i < SLOTS; ++i) {
        if (pending_used[i]) continue;
        wcscpy(pending_names[i], name);
        InterlockedExchange(&pending_used[i], 1);
        return true;
    }
    return false;
}

void interrupt_forget_temporary(const wchar_t* name) {
    for (int i = 0; i < SLOTS; ++i) {
        if (pending_used[i] && wcscmp(pending_names[i], name) == 0) {
            InterlockedExchange(&pending_used[i], 0);
        }
    }
}
