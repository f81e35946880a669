// decode.h - turning a screenshot file into pixels.
//
//     DecodedImage decoded;
//     if (decode_screenshot(file, bytes_needed, true, &decoded)) {
//         ... decoded.image: rows from the top, decoded.image.size bytes ...
//         free_decoded(&decoded);
//     }
//
// The caller says how many bytes from the top it will look at, as a function
// of the image's width, height and channel count. Where the build has the
// fast decode (libspng, see png_rows.h) and the file allows it, only the rows
// holding those bytes are decoded; every other file is decoded whole by
// stb_image, which then decides whether it is an image at all. This unit
// knows nothing of what the bytes are for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

struct DecodedImage {
    Image image;
    uint8_t* pixels;  // owned, released by free_decoded
    bool whole;       // decoded whole by stb_image (else the top rows only)
};

// Decodes the open file, from its start. With `fast` the top rows are
// decoded alone where possible. False when the file cannot be decoded; then
// nothing is held. The file's position is left anywhere.
bool decode_screenshot(FILE* file, BytesNeeded bytes_needed, bool fast, DecodedImage* decoded);

void free_decoded(DecodedImage* decoded);
