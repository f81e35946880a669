// platform/win32/output.cpp - files the program writes, on Windows.
//
// A file is written to a temporary file ".NAME.PID.N.tmp" in the folder of the
// file it replaces, flushed to the disk with FlushFileBuffers and moved into
// place with MoveFileExW (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
// which also works when there is no old file yet. A symbolic link is followed
// to its final path (GetFinalPathNameByHandleW), so the link stays; a link
// that leads nowhere is written through directly. A file with the read-only
// attribute is refused.
//
// Paths are kept in UTF-8 and handed to the wide-character calls, so any
// name works whatever the code page. The temporary files that exist are
// registered with the interrupt unit (win32/interrupt.cpp), whose console
// control handler deletes them; they are open with FILE_SHARE_DELETE, so they
// go when the process ends.
#include "platform/output_start.h"
#include "platform/platform.h"
#include "platform/win32/interrupt.h"
#include "platform/win32/text.h"

#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr int NAME_SIZE = 4096;

bool to_wide(const char* text, wchar_t* wide) { return wide_from_utf8_into(text, wide, NAME_SIZE); }

// Length of the folder part of path, its last separator included.
size_t folder_length(const wchar_t* path) {
    size_t end = 0;
    for (size_t i = 0; path[i]; ++i) {
        if (path[i] == L'\\' || path[i] == L'/') end = i + 1;
    }
    return end;
}

// The path a symbolic link finally leads to; false when it leads nowhere.
bool final_path(const wchar_t* name, wchar_t* final) {
    HANDLE handle = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD length = GetFinalPathNameByHandleW(handle, final, NAME_SIZE, FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    return length > 0 && length < NAME_SIZE;
}

HANDLE create_temporary(const wchar_t* final, wchar_t* temporary) {
    size_t folder = folder_length(final);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        int written = swprintf(temporary, NAME_SIZE, L"%.*ls.%ls.%lu.%u.tmp",
                               static_cast<int>(folder), final, final + folder,
                               static_cast<unsigned long>(GetCurrentProcessId()), attempt);
        if (written < 0) return INVALID_HANDLE_VALUE;
        HANDLE handle = CreateFileW(temporary, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return handle;
        if (GetLastError() != ERROR_FILE_EXISTS) return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

OutputStart output_start(const char* name, char* target, char* temporary, size_t size,
                         FILE** file) {
    *file = nullptr;
    wchar_t wide_name[NAME_SIZE], final[NAME_SIZE], wide_temporary[NAME_SIZE];
    if (!to_wide(name, wide_name)) return OutputStart::refused;
    wcscpy(final, wide_name);
    DWORD attributes = GetFileAttributesW(wide_name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (!final_path(wide_name, final)) {
            *file = _wfopen(wide_name, L"wb");
            return *file ? OutputStart::direct : OutputStart::refused;
        }
        attributes = GetFileAttributesW(final);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return OutputStart::refused;
    } else if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        return OutputStart::refused;
    }

    HANDLE handle = create_temporary(final, wide_temporary);
    if (handle == INVALID_HANDLE_VALUE) return OutputStart::refused;
    if (!utf8_from_wide(final, target, size) || !utf8_from_wide(wide_temporary, temporary, size) ||
        !interrupt_register_temporary(wide_temporary)) {
        CloseHandle(handle);
        DeleteFileW(wide_temporary);
        return OutputStart::refused;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) CloseHandle(handle);
    *file = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (!*file) {
        if (fd >= 0) _close(fd);
        DeleteFileW(wide_temporary);
        interrupt_forget_temporary(wide_temporary);
        return OutputStart::refused;
    }
    return OutputStart::temporary;
}

bool output_replace(FILE* file, const char* temporary, const char* target) {
    bool ok = fflush(file) == 0 && !ferror(file);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    ok = ok && FlushFileBuffers(handle) != 0;
    ok = fclose(file) == 0 && ok;
    wchar_t wide_temporary[NAME_SIZE], wide_target[NAME_SIZE];
    bool named = to_wide(temporary, wide_temporary);
    ok = ok && named && to_wide(target, wide_target) &&
         MoveFileExW(wide_temporary, wide_target,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (named) {
        if (!ok) DeleteFileW(wide_temporary);
        interrupt_forget_temporary(wide_temporary);
    }
    return ok;
}

void output_discard(FILE* file, const char* temporary) {
    if (file) fclose(file);
    wchar_t wide_temporary[NAME_SIZE];
    if (!to_wide(temporary, wide_temporary)) return;
    DeleteFileW(wide_temporary);
    interrupt_forget_temporary(wide_temporary);
}

FILE* output_reopen(const char* temporary) {
    wchar_t wide_temporary[NAME_SIZE];
    if (!to_wide(temporary, wide_temporary)) return nullptr;
    HANDLE handle = CreateFileW(wide_temporary, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY | _O_APPEND);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "ab");
    if (!file) _close(fd);
    return file;
}
