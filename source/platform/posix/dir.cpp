// platform/posix/dir.cpp - directory search on POSIX systems.
//
// Yields what the listing needs of each entry: its name (bytes, unchanged),
// whether it is a directory, its last-write time in nanoseconds since 1601
// (the year Windows counts file times from, so a time before 1970 still sorts
// in its place) and the low 32 bits of its size. Symbolic links are followed.
// Anything that is neither a regular file nor a directory (named pipe,
// socket, device) is passed over, so nothing later tries to open it; so is an
// entry that vanishes or cannot be examined between being listed and being
// looked at.
#include "platform/platform.h"
#include "platform/posix/file_time.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct DirSearch {
    DIR* dir;
};

// The directory part of "<directory>/*": everything before the last
// separator, at any length, in a block from malloc; null when memory is short.
static char* directory_of_pattern(const char* pattern) {
    const char* last = strrchr(pattern, PATH_SEPARATOR);
    size_t length = last ? static_cast<size_t>(last - pattern) : 0;
    char* out = static_cast<char*>(malloc(length > 0 ? length + 1 : 2));
    if (!out) return nullptr;
    if (length == 0) {
        out[0] = '.';
        out[1] = '\0';
    } else {
        memcpy(out, pattern, length);
        out[length] = '\0';
    }
    return out;
}

DirSearch* dir_search_start(const char* pattern, int* error) {
    char* directory = directory_of_pattern(pattern);
    if (!directory) {
        *error = ENOMEM;
        return nullptr;
    }
    DIR* dir = opendir(directory);
    int failure = errno;
    free(directory);
    if (!dir) {
        *error = failure;
        return nullptr;
    }
    DirSearch* search = new DirSearch;
    search->dir = dir;
    return search;
}

bool dir_search_next(DirSearch* search, DirItem* item) {
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(search->dir);
        if (!entry) return false;
        size_t length = strlen(entry->d_name);
        if (length >= sizeof item->name) continue;

        struct stat info;
        if (fstatat(dirfd(search->dir), entry->d_name, &info, 0) != 0) continue;
        bool is_directory = S_ISDIR(info.st_mode);
        if (!is_directory && !S_ISREG(info.st_mode)) continue;

        memcpy(item->name, entry->d_name, length + 1);
        item->is_directory = is_directory;
        item->is_hidden = false;
#ifdef __APPLE__
        item->time = file_time_of(info.st_mtimespec);
#else
        item->time = file_time_of(info.st_mtim);
#endif
        item->size = is_directory ? 0 : static_cast<uint32_t>(info.st_size);
        return true;
    }
}

void dir_search_end(DirSearch* search) {
    closedir(search->dir);
    delete search;
}

PathKind path_kind(const char* path) {
    struct stat info;
    if (path[0] == '\0' || stat(path, &info) != 0) return PathKind::missing;
    return S_ISDIR(info.st_mode) ? PathKind::folder : PathKind::file;
}

int enter_folder(const char* path) { return chdir(path) == 0 ? 0 : errno; }

bool current_folder(char* path, size_t size) { return getcwd(path, size) != nullptr; }
