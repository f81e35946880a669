// png_format.h - the facts of the PNG format that several units check:
// nothing else declares them.
//
//     memcmp(bytes, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0   // a PNG file
//     ends_with_iend(tail, tail_size)                           // a complete one
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first 8 bytes of every PNG file.
constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The last 12 bytes of a complete PNG: an empty IEND chunk and its CRC.
constexpr uint8_t IEND_CHUNK[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

// Every chunk: its data's length and its type before the data, a CRC after.
constexpr size_t PNG_CHUNK_HEADER_BYTES = 8;
constexpr size_t PNG_CRC_BYTES = 4;

// The data of the header chunk, IHDR.
constexpr size_t PNG_IHDR_BYTES = 13;

// The largest width or height the decoders take.
constexpr uint32_t PNG_MAX_SIDE = 1u << 24;

// True when the last bytes of a file, tail[0..tail_size-1], end with IEND_CHUNK.
inline bool ends_with_iend(const uint8_t* tail, int tail_size) {
    if (tail_size < static_cast<int>(sizeof IEND_CHUNK)) return false;
    return memcmp(tail + tail_size - sizeof IEND_CHUNK, IEND_CHUNK, sizeof IEND_CHUNK) == 0;
}

// A big-endian 32-bit number, as PNG stores them.
inline uint32_t big_endian_32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// True when the 4 bytes of a chunk's type are `name`.
inline bool is_chunk_type(const uint8_t* type, const char* name) { return memcmp(type, name, 4) == 0; }
