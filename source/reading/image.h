// image.h - decoded pixels, and how many of them a reader needs.
//
// Shared by the decode (decode.h), its fast path (png/png_rows.h) and the gauge
// (gauge.h).
#pragma once

#include <cstddef>
#include <cstdint>

// Decoded pixels: rows top to bottom without gaps, `channels` bytes a pixel
// (grey, grey+alpha, RGB or RGBA). `size` is the number of bytes available
// from the top; no byte at or past it may be read.
struct Image {
    const uint8_t* pixels;
    size_t size;
    int width;
    int height;
    int channels;
};

// Bytes from the top of a width x height image of `channels` channels that
// the caller will look at; 0 when it would look at none.
typedef uint64_t (*BytesNeeded)(int width, int height, int channels);

// Pixels from the left of each row that the caller will look at (the
// width when it may look at whole rows); 0 for whole rows.
typedef uint32_t (*ColumnsNeeded)(int width, int height);
