// platform/win32/file_end.cpp - the last bytes of an open file (see platform.h).
#include "platform/platform.h"

#include <io.h>
#include <windows.h>

bool read_file_end(FILE* file, uint8_t* tail, size_t count, uint64_t* file_size) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    uint64_t size = open_file_size(file);  // 0 when the system cannot tell
    if (handle == INVALID_HANDLE_VALUE || size < count || count > MAXDWORD) {
        return false;
    }
    uint64_t start = size - count;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(start);
    at.OffsetHigh = static_cast<DWORD>(start >> 32);
    DWORD got = 0;
    *file_size = size;
    return ReadFile(handle, tail, static_cast<DWORD>(count), &got, &at) && got == count;
}
