// platform/posix/file_end.cpp - the last bytes of an open file (see platform.h).
#include "platform/platform.h"

#include <unistd.h>

bool read_file_end(FILE* file, uint8_t* tail, size_t count, uint64_t* file_size) {
    int descriptor = fileno(file);
    uint64_t size = open_file_size(file);  // 0 when the system cannot tell
    if (descriptor < 0 || size < count) return false;
    ssize_t got = pread(descriptor, tail, count, static_cast<off_t>(size - count));
    *file_size = size;
    return got >= 0 && static_cast<size_t>(got) == count;
}
