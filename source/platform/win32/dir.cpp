// platform/win32/dir.cpp - directory search on Windows.
//
// The search runs on the system's own UTF-16 names (FindFirstFileW and
// FindNextFileW) and hands each name on in UTF-8, so that every name Windows
// holds comes through whole, whatever the system's ANSI code page, and opens
// again with open_regular_file. The pattern is UTF-8 too, and of any length:
// one too long for MAX_PATH is searched in its \\?\ form (win32/text.h).
//
// FindFirstFileW both starts the search and fills in its first entry, so that
// entry is kept in the search until the first dir_search_next hands it out.
// "." and ".." come as Windows lists them (the listing passes over every name
// that begins with a dot).
#include "platform/platform.h"
#include "platform/win32/file_time.h"
#include "platform/win32/text.h"

#include <cstdlib>
#include <cwchar>
#include <windows.h>

// Every name Windows can list fits: 255 UTF-16 units, 3 UTF-8 bytes at most
// for each.
static_assert(DIR_NAME_SIZE >= 3 * 255 + 1, "DIR_NAME_SIZE holds a Windows name in UTF-8");

struct DirSearch {
    HANDLE handle;
    WIN32_FIND_DATAW data;
    bool data_pending;  // data holds an entry not yet handed out
};

DirSearch* dir_search_start(const char* pattern, int* error) {
    wchar_t* wide = system_path_from_utf8(pattern);  // any length, as opening a file
    if (!wide) {
        *error = ERROR_INVALID_NAME;
        return nullptr;
    }
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(wide, &data);
    DWORD failure = GetLastError();
    free(wide);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = static_cast<int>(failure);
        return nullptr;
    }
    DirSearch* search = static_cast<DirSearch*>(malloc(sizeof(DirSearch)));
    if (!search) {
        FindClose(handle);
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    search->handle = handle;
    search->data = data;
    search->data_pending = true;
    return search;
}

bool dir_search_next(DirSearch* search, DirItem* item) {
    for (;;) {
        if (!search->data_pending && !FindNextFileW(search->handle, &search->data)) return false;
        search->data_pending = false;

        const WIN32_FIND_DATAW& data = search->data;
        size_t units = wcsnlen(data.cFileName, sizeof data.cFileName / sizeof data.cFileName[0]);
        if (units == sizeof data.cFileName / sizeof data.cFileName[0]) continue;  // no terminator
        if (!utf8_from_wide(data.cFileName, item->name, sizeof item->name)) continue;
        item->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item->is_hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        item->time = file_time_of(data.ftLastWriteTime);
        item->size = item->is_directory ? 0 : data.nFileSizeLow;
        return true;
    }
}

void dir_search_end(DirSearch* search) {
    FindClose(search->handle);
    free(search);
}

PathKind path_kind(const char* path) {
    wchar_t* wide = wide_from_utf8(path);
    if (!wide) return PathKind::missing;
    DWORD attributes = wide[0] ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    free(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::folder : PathKind::file;
}

int enter_folder(const char* path) {
    wchar_t* wide = wide_from_utf8(path);
    if (!wide) return ERROR_INVALID_NAME;
    BOOL entered = SetCurrentDirectoryW(wide);
    DWORD failure = GetLastError();
    free(wide);
    return entered ? 0 : static_cast<int>(failure);
}

bool current_folder(char* path, size_t size) {
    DWORD units = GetCurrentDirectoryW(0, nullptr);
    if (units == 0) return false;
    wchar_t* wide = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (!wide) return false;
    bool ok = GetCurrentDirectoryW(units, wide) != 0 && utf8_from_wide(wide, path, size);
    free(wide);
    return ok;
}
