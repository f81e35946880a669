// png_writer.h - a small PNG encoder for tests and the benchmark, with the
// knobs a decoder should be exercised by: zlib level, filter type per row,
// the size of IDAT chunks.
#pragma once

#include "support/screenshot_maker.h"

#include <string>

struct PngOptions {
    int level = 6;           // zlib level, 0..9
    int filter = -1;         // 0..4 for every row, -1 to cycle through all five
    size_t idat_size = 1 << 16;  // bytes of compressed data per IDAT chunk
    int depth = 8;           // 8, or 16: each byte becomes a sample's high byte, over another
};

// The screenshot (grey, grey+alpha, RGB or RGBA) as PNG file bytes.
std::string encode_png(const Screenshot& shot, const PngOptions& options = PngOptions());

// Appends value as 4 bytes, most significant first, as PNG stores numbers.
void put32(std::string& out, uint32_t value);

// Appends a whole chunk: length, type, data and CRC.
void put_chunk(std::string& out, const char* type, const std::string& data);

// Offsets of the chunks in a PNG file's bytes, in order; each is the offset
// of the chunk's length field.
std::vector<size_t> chunk_offsets(const std::string& png);
