// platform_win32_dir.cpp - directory search on Windows.
//
// FindFirstFileA both starts the search and fills in its first entry, so that
// entry is kept in the search until the first dir_search_next hands it out.
// Names are the ANSI bytes Windows gives; "." and ".." come as Windows lists
// them (the listing passes over every name that begins with a dot).
#include "platform.h"

#include <cstring>
#include <windows.h>

struct DirSearch {
    HANDLE handle;
    WIN32_FIND_DATAA data;
    bool data_pending;  // data holds an entry not yet handed out
};

DirSearch* dir_search_start(const char* pattern, int* error) {
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    DirSearch* search = new DirSearch;
    search->handle = handle;
    search->data = data;
    search->data_pending = true;
    return search;
}

bool dir_search_next(DirSearch* search, DirItem* item) {
    for (;;) {
        if (!search->data_pending && !FindNextFileA(search->handle, &search->data)) return false;
        search->data_pending = false;

        const WIN32_FIND_DATAA& data = search->data;
        size_t length = strnlen(data.cFileName, sizeof data.cFileName);
        if (length >= sizeof item->name) continue;

        memcpy(item->name, data.cFileName, length);
        item->name[length] = '\0';
        item->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item->time = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                     data.ftLastWriteTime.dwLowDateTime;
        item->size = item->is_directory ? 0 : data.nFileSizeLow;
        return true;
    }
}

void dir_search_end(DirSearch* search) {
    FindClose(search->handle);
    delete search;
}
