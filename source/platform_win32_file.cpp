// platform_win32_file.cpp - opening a screenshot on Windows.
//
// The name is turned into UTF-16 from the process's ANSI code page and opened
// with CreateFileW, sharing reads, writes and deletion with others, so that a
// screenshot is never locked against the game. Only a file on disk
// (FILE_TYPE_DISK) is handed on, as a stdio stream in binary mode.
#include "platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

FILE* open_regular_file(const char* path) {
    wchar_t wide[4096];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, 4096) == 0) {
        return nullptr;
    }
    HANDLE handle = CreateFileW(wide, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
