// platform.h - the few services the program takes from the operating system.
//
// Everything else in healthgauge is plain portable C++; the directory search
// and the clipboard differ between Windows and POSIX systems, so each lives in
// a small unit per platform:
//
//   platform_win32_dir.cpp        platform_posix_dir.cpp
//   platform_win32_file.cpp       platform_posix_file.cpp
//   platform_win32_clipboard.cpp  platform_posix_clipboard.cpp
//   platform_win32_terminal.cpp   platform_posix_terminal.cpp
//
// The build picks one of each pair. The rest of the program only sees the
// declarations below.
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

// Longest name a directory entry can carry, terminator included.
constexpr int DIR_NAME_SIZE = 260;

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

// True when standard error is a terminal (on Windows, a console) that a
// progress line can be drawn on; false when it goes to a file, a pipe or the
// null device.
bool stderr_is_terminal();

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
