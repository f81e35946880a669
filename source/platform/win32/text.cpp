// platform/win32/text.cpp - UTF-8 to and from UTF-16 with the conversions of
// Windows itself (code page CP_UTF8).
#include "platform/win32/text.h"

#include <climits>
#include <cstdlib>
#include <cwchar>
#include <windows.h>

wchar_t* wide_from_utf8(const char* text) {
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (units <= 0) return nullptr;
    wchar_t* wide = static_cast<wchar_t*>(malloc(static_cast<size_t>(units) * sizeof(wchar_t)));
    if (!wide) return nullptr;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, units) != units) {
        free(wide);
        return nullptr;
    }
    return wide;
}

bool utf8_from_wide(const wchar_t* text, char* out, size_t out_size) {
    if (out_size == 0) return false;
    int size = out_size > INT_MAX ? INT_MAX : static_cast<int>(out_size);
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, nullptr, nullptr) <= 0) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool wide_from_utf8_into(const char* text, wchar_t* out, size_t out_units) {
    int units = out_units > INT_MAX ? INT_MAX : static_cast<int>(out_units);
    return units > 0 && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, units) != 0;
}

int wide_from_utf8_bytes(const char* text, int size, wchar_t* out, int out_units) {
    if (size <= 0) return 0;
    return MultiByteToWideChar(CP_UTF8, 0, text, size, out, out_units);
}

// The \\?\ form of a path whose absolute form is longer than MAX_PATH allows,
// in a block from malloc; nullptr when the path is short enough as it is (or
// cannot be made absolute, when it is left as it is too).
static wchar_t* long_form(const wchar_t* path) {
    DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);  // terminator included
    if (needed == 0 || needed <= MAX_PATH) return nullptr;
    const size_t room = 8;  // for the longer of the two prefixes
    wchar_t* result = static_cast<wchar_t*>(malloc((needed + room) * sizeof(wchar_t)));
    if (!result) return nullptr;
    wchar_t* full = result + room;
    DWORD length = GetFullPathNameW(path, needed, full, nullptr);
    if (length == 0 || length >= needed) {
        free(result);
        return nullptr;
    }
    if (wcsncmp(full, L"\\\\?\\", 4) == 0) {  // already in that form
        wmemmove(result, full, length + 1);
    } else if (wcsncmp(full, L"\\\\", 2) == 0) {  // \\server\share\... on the network
        wmemmove(result + 8, full + 2, length - 2 + 1);
        wmemcpy(result, L"\\\\?\\UNC\\", 8);
    } else {  // C:\...
        wmemmove(result + 4, full, length + 1);
        wmemcpy(result, L"\\\\?\\", 4);
    }
    return result;
}

wchar_t* system_path_from_utf8(const char* path) {
    wchar_t* wide = wide_from_utf8(path);
    if (!wide) return nullptr;
    wchar_t* long_path = long_form(wide);
    if (!long_path) return wide;
    free(wide);
    return long_path;
}
