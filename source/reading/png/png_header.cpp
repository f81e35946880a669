// png_header.cpp - the signature and IHDR of a PNG file (see png_header.h).
#include "reading/png/png_header.h"

#include "reading/png/png_format.h"

#include <cstring>

namespace {

// The largest CgBI chunk passed over before IHDR.
const uint32_t APPLE_CHUNK_MAX_BYTES = 64;

// Channels of a PNG colour type as the decoders give them (a palette
// becomes RGB), or 0 for a colour type they refuse.
int channels_of(int colour) {
    switch (colour) {
        case 0: return 1;
        case 2: return 3;
        case 3: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 0;
    }
}

}  // namespace

bool parse_png_header(const uint8_t* bytes, size_t size, PngHeader* header) {
    *header = {};
    header->status = PngHeaderStatus::not_png;
    if (size < sizeof PNG_SIGNATURE || memcmp(bytes, PNG_SIGNATURE, sizeof PNG_SIGNATURE) != 0) {
        return false;
    }
    // The signature, the first chunk's length and type, and its first 8
    // bytes: IHDR's width and height where it comes first.
    size_t at = sizeof PNG_SIGNATURE;
    if (size < at + PNG_CHUNK_HEADER_BYTES + 8) {
        header->status = PngHeaderStatus::cut_short;
        return false;
    }
    header->status = PngHeaderStatus::refused;
    uint32_t length = big_endian_32(bytes + at);
    header->ihdr_first = is_chunk_type(bytes + at + 4, "IHDR");
    if (is_chunk_type(bytes + at + 4, "CgBI") && length <= APPLE_CHUNK_MAX_BYTES) {
        header->apple = true;
        at += PNG_CHUNK_HEADER_BYTES + length + PNG_CRC_BYTES;
        if (size < at + PNG_CHUNK_HEADER_BYTES) return false;
        length = big_endian_32(bytes + at);
    }
    if (!is_chunk_type(bytes + at + 4, "IHDR")) return false;
    const uint8_t* data = bytes + at + PNG_CHUNK_HEADER_BYTES;
    size_t data_size = size - at - PNG_CHUNK_HEADER_BYTES;
    if (data_size >= 8) {
        header->width = big_endian_32(data);
        header->height = big_endian_32(data + 4);
    }
    if (length != PNG_IHDR_BYTES || data_size < PNG_IHDR_BYTES) return false;
    header->depth = data[8];
    header->colour = data[9];
    header->compression = data[10];
    header->filter = data[11];
    header->interlace = data[12];
    header->channels = channels_of(header->colour);
    header->chunks_offset = at + PNG_CHUNK_HEADER_BYTES + PNG_IHDR_BYTES + PNG_CRC_BYTES;
    if (header->width == 0 || header->height == 0 || header->width > PNG_MAX_SIDE ||
        header->height > PNG_MAX_SIDE || header->channels == 0) {
        return false;
    }
    header->status = PngHeaderStatus::read;
    return true;
}

bool read_png_header(FILE* file, PngHeader* header) {
    uint8_t start[PNG_HEADER_MAX_BYTES];
    size_t size = fseek(file, 0, SEEK_SET) == 0 ? fread(start, 1, sizeof start, file) : 0;
    return parse_png_header(start, size, header);
}
