// platform/win32/text.cpp - UTF-8 to and from UTF-16 with the conversions of
// Windows itself (code page CP_UTF8).
#include "platform/win32/text.h"

#include <climits>
#include <cstdlib>
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
