// platform/posix/file.cpp - opening a screenshot on POSIX systems.
//
// The file is opened with O_NONBLOCK, so that a named pipe put in a
// screenshot's place cannot hang the program, and then checked with fstat:
// only a regular file is handed on, as a stdio stream in blocking mode.
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* open_regular_file(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat info;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

uint64_t open_file_size(FILE* file) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || info.st_size < 0) return 0;
    return static_cast<uint64_t>(info.st_size);
}

const char* system_error_text(int code, char* text, size_t size) {
    snprintf(text, size, "%s", strerror(code));
    return text;
}

void clear_system_error() { errno = 0; }

int last_system_error() { return errno; }
