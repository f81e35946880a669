// platform/win32/watch.cpp - watching a folder on Windows (see platform.h).
//
// ReadDirectoryChangesW, overlapped, reports files added, changed (last-write
// time, size) and renamed into the folder. Its results are copied out and the
// next request is issued at once, so that nothing happens unobserved between
// two requests. A request that completes with no data means the system's
// buffer overflowed: the watch mode then lists the folder. A request that
// fails, or cannot be issued again, while the folder can no longer be listed
// means the folder is gone.
//
// A file's writer is done when the file can be opened without sharing: until
// then look_at_file calls it busy.
//
// Stop requests come from the console (Ctrl+C, Ctrl+Break, closing its
// window, logging off) through a handler that runs on a thread of its own: it
// sets an event that every wait here includes. For closing, the handler then
// waits, because the process ends when it returns; the main thread prints
// the summary and ends the process first.
#include "platform/platform.h"
#include "platform/win32/file_time.h"
#include "platform/win32/text.h"

#include <cstdlib>
#include <cstring>
#include <windows.h>

// ---- stop requests -----------------------------------------------------------

static volatile LONG stop_flag = 0;
static HANDLE stop_event = nullptr;

static BOOL WINAPI on_console_event(DWORD type) {
    InterlockedExchange(&stop_flag, 1);
    if (stop_event) SetEvent(stop_event);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        Sleep(INFINITE);  // the main thread ends the process
    }
    return TRUE;
}

void stop_requests_start() {
    if (!stop_event) stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_requested() { return InterlockedCompareExchange(&stop_flag, 0, 0) != 0; }

void wait_for_stop_request(int timeout_ms) {
    if (stop_requested()) return;
    DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
    if (stop_event) {
        WaitForSingleObject(stop_event, timeout);
    } else {
        Sleep(timeout);
    }
}

// ---- one file ------------------------------------------------------------------

// look_at_file with the path in the form the system calls take.
static void look_at_wide_path(const wchar_t* wide, FileLook* look) {
    DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        look->state = FileState::not_regular;
        return;
    }
    // No sharing at all: this fails while the writer (or anyone) holds it.
    HANDLE handle = CreateFileW(wide, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            look->state = FileState::busy;
        } else if (GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
            // There but not to be opened (access denied): no ending to show,
            // so it is read as it is after its wait, and its reading fails
            // aloud.
            look->state = FileState::ready;
            look->time = file_time_of(data.ftLastWriteTime);
            look->size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        }
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
        look->state = FileState::not_regular;
        CloseHandle(handle);
        return;
    }
    look->state = FileState::ready;
    look->time = file_time_of(info.ftLastWriteTime);
    look->size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    look->id = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    uint64_t start = look->size > FILE_TAIL_SIZE ? look->size - FILE_TAIL_SIZE : 0;
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(start);
    DWORD got = 0;
    if (SetFilePointerEx(handle, offset, nullptr, FILE_BEGIN) &&
        ReadFile(handle, look->tail, static_cast<DWORD>(look->size - start), &got, nullptr)) {
        look->tail_size = static_cast<int>(got);
    }
    CloseHandle(handle);
}

void look_at_file(const char* path, FileLook* look) {
    memset(look, 0, sizeof *look);
    look->state = FileState::missing;
    wchar_t* wide = system_path_from_utf8(path);  // any length, as opening for reading
    if (!wide) return;
    look_at_wide_path(wide, look);
    free(wide);
}

// ---- the watch -------------------------------------------------------------------

constexpr DWORD WATCH_BUFFER_SIZE = 64 * 1024;  // the most a network folder allows
constexpr DWORD WATCH_FILTER =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

struct FolderWatch {
    HANDLE folder;
    char pattern[4096];  // "<folder>\*", to check that the folder can still be listed
    OVERLAPPED overlapped;
    bool request_running;
    alignas(DWORD) unsigned char buffer[WATCH_BUFFER_SIZE];  // the running request's
    alignas(DWORD) unsigned char records[WATCH_BUFFER_SIZE];  // results being handed out
    DWORD records_size;
    DWORD at;  // offset of the next record, or records_size when done
};

static bool issue_request(FolderWatch* watch) {
    ResetEvent(watch->overlapped.hEvent);
    watch->request_running =
        ReadDirectoryChangesW(watch->folder, watch->buffer, WATCH_BUFFER_SIZE, FALSE, WATCH_FILTER,
                              nullptr, &watch->overlapped, nullptr) != 0;
    return watch->request_running;
}

FolderWatch* folder_watch_start(const char* folder) {
    if (strlen(folder) + 3 > sizeof(FolderWatch::pattern)) return nullptr;
    wchar_t* wide = system_path_from_utf8(folder);
    if (!wide) return nullptr;
    HANDLE handle = CreateFileW(wide, FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                nullptr);
    free(wide);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    FolderWatch* watch = new FolderWatch;
    memset(&watch->overlapped, 0, sizeof watch->overlapped);
    watch->folder = handle;
    strcpy(watch->pattern, folder);
    strcat(watch->pattern, "\\*");
    watch->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watch->records_size = watch->at = 0;
    if (!watch->overlapped.hEvent || !issue_request(watch)) {
        folder_watch_end(watch);
        return nullptr;
    }
    return watch;
}

static bool folder_listable(const FolderWatch* watch) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(watch->pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

static bool fill(WatchEvent* event, WatchEventKind kind) {
    event->kind = kind;
    event->name[0] = '\0';
    return true;
}

// The next record of the copied results as an event; false when none is left
// that means something to the watch.
static bool next_record(FolderWatch* watch, WatchEvent* event) {
    while (watch->at + sizeof(FILE_NOTIFY_INFORMATION) <= watch->records_size) {
        const FILE_NOTIFY_INFORMATION* record =
            reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(watch->records + watch->at);
        DWORD name_bytes = record->FileNameLength;
        bool fits = watch->at + offsetof(FILE_NOTIFY_INFORMATION, FileName) + name_bytes <=
                    watch->records_size;
        watch->at = record->NextEntryOffset && fits ? watch->at + record->NextEntryOffset
                                                    : watch->records_size;
        if (!fits) break;
        DWORD action = record->Action;
        if (action != FILE_ACTION_ADDED && action != FILE_ACTION_MODIFIED &&
            action != FILE_ACTION_RENAMED_NEW_NAME) {
            continue;
        }
        wchar_t name[MAX_PATH + 1];
        size_t units = name_bytes / sizeof(WCHAR);
        if (units > MAX_PATH) continue;  // longer than any name in a folder
        memcpy(name, record->FileName, units * sizeof(WCHAR));
        name[units] = L'\0';
        if (!utf8_from_wide(name, event->name, sizeof event->name)) continue;
        if (strchr(event->name, '\\')) continue;  // not in the folder itself
        event->kind = WatchEventKind::written;
        return true;
    }
    return false;
}

bool folder_watch_next(FolderWatch* watch, int timeout_ms, WatchEvent* event) {
    for (;;) {
        if (next_record(watch, event)) return true;
        if (stop_requested()) return false;
        if (!watch->request_running) {
            if (!folder_listable(watch) || !issue_request(watch)) {
                return fill(event, WatchEventKind::folder_gone);
            }
            return fill(event, WatchEventKind::overflow);  // news may have been missed
        }
        HANDLE handles[2] = {watch->overlapped.hEvent, stop_event};
        DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
        DWORD woke = WaitForMultipleObjects(stop_event ? 2 : 1, handles, FALSE, timeout);
        if (woke != WAIT_OBJECT_0) return false;  // timeout or stop request

        DWORD size = 0;
        BOOL done = GetOverlappedResult(watch->folder, &watch->overlapped, &size, FALSE);
        watch->request_running = false;
        if (!done) {
            DWORD error = GetLastError();
            if (error == ERROR_NOTIFY_ENUM_DIR) {
                issue_request(watch);
                return fill(event, WatchEventKind::overflow);
            }
            continue;  // checked above: gone, or a fresh request and a listing
        }
        memcpy(watch->records, watch->buffer, size);
        watch->records_size = size;
        watch->at = 0;
        issue_request(watch);
        if (size == 0) return fill(event, WatchEventKind::overflow);
    }
}

void folder_watch_end(FolderWatch* watch) {
    if (!watch) return;
    if (watch->request_running) {
        CancelIoEx(watch->folder, &watch->overlapped);
        DWORD size;
        GetOverlappedResult(watch->folder, &watch->overlapped, &size, TRUE);
    }
    CloseHandle(watch->folder);
    if (watch->overlapped.hEvent) CloseHandle(watch->overlapped.hEvent);
    delete watch;
}
