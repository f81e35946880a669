// platform.h - the few services the program takes from the operating system.
//
// Everything else in healthgauge is plain portable C++; the directory search
// and the clipboard differ between Windows and POSIX systems, so each lives in
// a small unit per platform:
//
//   platform_win32_dir.cpp        platform_posix_dir.cpp
//   platform_win32_file.cpp       platform_posix_file.cpp
//   platform_win32_clipboard.cpp  platform_posix_clipboard.cpp
//   platform_win32_console.cpp    platform_posix_console.cpp
//
// The build picks one of each pair. The rest of the program only sees the
// declarations below.
//
// Names are bytes in the platform's file name encoding: on POSIX systems the
// bytes the file system holds, on Windows always UTF-8 (the Windows units
// convert to and from the UTF-16 names of the system themselves, whatever
// the system's ANSI code page), so a name that the directory search yields
// always opens with open_regular_file and prints as UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>

// Separator that the listing puts between a directory and a name in its
// search pattern and paths.
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

// Longest name a directory entry can carry, terminator included: a Windows
// name has up to 255 UTF-16 units, each at most 3 bytes of UTF-8 (a pair of
// surrogates gives 4 bytes for 2 units), and POSIX names are at most 255
// bytes (NAME_MAX). A longer name is passed over by the search.
constexpr int DIR_NAME_SIZE = 3 * 255 + 1;

// One entry of a directory, as the search yields it.
struct DirItem {
    char name[DIR_NAME_SIZE];  // bytes as the file system has them, zero-terminated
    bool is_directory;
    uint64_t time;             // last-write time; only its order matters
    uint32_t size;             // low 32 bits of the size, 0 for a directory
};

struct DirSearch;  // one running search, owned by the platform unit

// Starts listing the directory named by a pattern of the form
// "<directory><PATH_SEPARATOR>*". Returns nullptr when the directory cannot be
// read and sets *error to the system's error code.
DirSearch* dir_search_start(const char* pattern, int* error);

// Fills *item with the next entry; false when there are no more. Entries are
// offered in the platform's order, "." and ".." included where it has them.
bool dir_search_next(DirSearch* search, DirItem* item);

// Ends the search and releases it.
void dir_search_end(DirSearch* search);

// Opens a regular file for binary reading without ever blocking: a name that
// turned into a named pipe, a device or a directory since it was listed is
// refused. Returns nullptr when the file cannot be opened or is not a regular
// file. The path is in the bytes the directory search gives.
FILE* open_regular_file(const char* path);

// The console, around the whole run of the program:
//
//     console_begin();
//     ... print ...
//     console_end();
//
// On Windows, when standard output is a console window, console_begin has the
// window show the program's UTF-8 output (the names of screenshots) as the
// characters they are, whatever the console's code page, which stays as it
// was; console_end flushes and writes out what is left. Output to a file or
// pipe is UTF-8 bytes in any case. On POSIX systems both do nothing.
void console_begin();
void console_end();

// True when standard output is shown to someone as it is written: a console
// window (also between console_begin and console_end, when the C runtime's
// standard output is a pipe to it) or a terminal. Output meant only for
// watching, such as a line that keeps being overwritten, asks this rather
// than isatty.
bool console_shows_output();

// The clipboard, as two plain function pointers so that tests can put a
// recorder in its place. Both ignore failures and print nothing.
struct Clipboard {
    void (*put_text)(const char* text);  // the clipboard then holds exactly text
    void (*empty)();                     // the clipboard then holds nothing
};

// The system clipboard of this platform.
extern const Clipboard SYSTEM_CLIPBOARD;

// The clipboard the program uses; SYSTEM_CLIPBOARD unless a test replaced it.
extern Clipboard clipboard;
