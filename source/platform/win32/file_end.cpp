// platform/win32/file_end.cpp - the last bytes of an open file (see platform.h).
#include "platform/platform.h"

#include <io.h>
#include <windows.h>

bool read_file_end(FILE* file, uint8_t* tail, size_t count, uint64_t* file_size) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size;
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) < count || count > MAXDWORD) {
        return false;
    }
    uint64_t start = static_cast<uint64_t>(size.QuadPart) - count;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(start);
    at.OffsetHigh = static_cast<DWORD>(start >> 32);
    DWORD got = 0;
    *file_size = static_cast<uint64_t>(size.QuadPart);
    return ReadFile(handle, tail, static_cast<DWORD>(count), &got, &at) && got == count;
}
