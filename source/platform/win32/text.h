// platform/win32/text.h - UTF-8 names to and from the UTF-16 names of Windows,
// for the Windows platform units only.
//
//     wchar_t* wide = wide_from_utf8(path);    // nullptr: not UTF-8, or no memory
//     ... CreateFileW(wide, ...) ...
//     free(wide);
//
//     char name[DIR_NAME_SIZE];
//     if (utf8_from_wide(data.cFileName, name, sizeof name)) ...
//
// The program keeps every name in UTF-8, whatever the system's ANSI code page,
// so that any name Windows lists can be opened again and printed.
#pragma once

#include <cstddef>

// The UTF-16 form of a zero-terminated UTF-8 text, in a block from malloc
// that the caller frees. nullptr when text is not valid UTF-8 or memory is
// short.
wchar_t* wide_from_utf8(const char* text);

// Writes the UTF-8 form of a zero-terminated UTF-16 text, terminator
// included, to out. False when it does not fit in out_size bytes (out then
// holds an empty text). A lone surrogate, which a UTF-16 name may hold but
// UTF-8 cannot, becomes U+FFFD.
bool utf8_from_wide(const wchar_t* text, char* out, size_t out_size);
