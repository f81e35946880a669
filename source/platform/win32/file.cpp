// platform/win32/file.cpp - opening a screenshot on Windows.
//
// The name, UTF-8 as the directory search gives it, is turned into UTF-16 and
// opened with CreateFileW, sharing reads, writes and deletion with others, so
// that a screenshot is never locked against the game. A path that is longer
// than MAX_PATH once the working directory is put in front of it (a long name
// in a deep folder) is opened by its absolute form with the \\?\ prefix
// (system_path_from_utf8, win32/text.h). Only a file on disk (FILE_TYPE_DISK) is
// handed on, as a stdio stream in binary mode.
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

static HANDLE open_shared(const wchar_t* path) {
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

FILE* open_regular_file(const char* path) {
    wchar_t* wide = system_path_from_utf8(path);
    if (!wide) return nullptr;
    HANDLE handle = open_shared(wide);
    free(wide);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}

uint64_t open_file_size(FILE* file) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size) || size.QuadPart < 0) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

const char* system_error_text(int code, char* text, size_t size) {
    wchar_t wide[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, wide, 512, nullptr);
    // Without its line end and full stop, as the POSIX texts are.
    while (length > 0 && (wide[length - 1] == L'\r' || wide[length - 1] == L'\n' ||
                          wide[length - 1] == L' ' || wide[length - 1] == L'.')) {
        --length;
    }
    wide[length] = L'\0';
    if (length == 0 || !utf8_from_wide(wide, text, size)) snprintf(text, size, "error %d", code);
    return text;
}

void clear_system_error() {
    SetLastError(0);
    errno = 0;
}

int last_system_error() {
    DWORD code = GetLastError();
    if (code != 0) return static_cast<int>(code);
    switch (errno) {
    case ENOSPC: return ERROR_DISK_FULL;
    case EACCES: return ERROR_ACCESS_DENIED;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    default: return 0;
    }
}
