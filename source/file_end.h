// file_end.h - the last bytes of an open file, read without moving it.
//
//     uint8_t tail[12];
//     uint64_t size;
//     if (read_file_end(file, tail, sizeof tail, &size)) ... tail holds the last 12 bytes ...
//
// The size comes from the open file itself (fstat, GetFileSizeEx) and the
// bytes from one positioned read (pread, ReadFile at an offset), without a
// seek and without touching the stream's buffer. Windows moves the file's
// own position all the same: seek before reading the stream on. One unit
// per platform:
// platform_posix_file_end.cpp, platform_win32_file_end.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// False when the file is shorter than `count` bytes or cannot be read.
bool read_file_end(FILE* file, uint8_t* tail, size_t count, uint64_t* file_size);
