// platform/win32/text.h - UTF-8 names to and from the UTF-16 names of Windows,
// for the Windows platform units only: the one place that converts.
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

// Writes the UTF-16 form of a zero-terminated UTF-8 text, terminator
// included, to out. False when text is not valid UTF-8 or does not fit in
// out_units units.
bool wide_from_utf8_into(const char* text, wchar_t* out, size_t out_units);

// The UTF-16 form of `size` bytes of UTF-8 (no terminator needed) into out,
// at most out_units units; returns how many were written. Bytes that are not
// UTF-8 become U+FFFD. For console output.
int wide_from_utf8_bytes(const char* text, int size, wchar_t* out, int out_units);

// The path to hand to the wide-character file calls for a UTF-8 path: its
// UTF-16 form, or, when its absolute form is longer than MAX_PATH allows, the
// absolute form with the \\?\ prefix, which Windows takes at any length. In
// a block from malloc that the caller frees; nullptr when path is not UTF-8
// or memory is short.
wchar_t* system_path_from_utf8(const char* path);

// Writes the UTF-8 form of a zero-terminated UTF-16 text, terminator
// included, to out. False when it does not fit in out_size bytes (out then
// holds an empty text). A lone surrogate, which a UTF-16 name may hold but
// UTF-8 cannot, becomes U+FFFD.
bool utf8_from_wide(const wchar_t* text, char* out, size_t out_size);
