// png_header.h - the start of a PNG file: its signature and its header
// chunk (IHDR), read once per file and handed on to whichever decoder runs
// and, for a file that did not decode, to the messages that say why.
//
//     PngHeader header;
//     if (read_png_header(file, &header)) ... header.width, header.height ...
//     else ... header.status says what was wrong ...
//
// A header is read when the file begins with the signature and IHDR, which
// may follow the CgBI chunk of Apple's PNG variant (as the whole decode
// takes it), IHDR's data has its 13 bytes, the sides are 1 to PNG_MAX_SIDE
// and the colour type is one the decoders know. Its depth and methods are
// handed on as they are: each decoder judges them. Part of the decode unit
// (decode.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class PngHeaderStatus : uint8_t {
    read,       // a header the decoders take
    not_png,    // the file is shorter than the signature or begins otherwise
    cut_short,  // the signature, and the file ends within its first 24 bytes
    refused,    // 24 bytes or more, but no header the decoders take
};

struct PngHeader {
    PngHeaderStatus status;
    bool ihdr_first;          // the first chunk is IHDR: width and height are its own, even refused
    bool apple;               // Apple's CgBI chunk comes before IHDR
    uint32_t width, height;   // from IHDR where the file reaches them, else 0
    int depth;                // bits a sample
    int colour;               // colour type
    int compression, filter;  // methods: 0 is PNG's only one of each
    int interlace;            // 0 none, 1 Adam7
    int channels;             // as decoded before transparency (a palette gives 3): 1 to 4 when read
    uint64_t chunks_offset;   // where the chunk after IHDR begins, when read
};

// The most bytes of a file's start that a header is read from: the
// signature, a CgBI chunk of up to 64 bytes and IHDR without its CRC.
constexpr size_t PNG_HEADER_MAX_BYTES = 8 + (8 + 64 + 4) + (8 + 13);

// Reads the header from the first bytes of a file, bytes[0..size-1] (the
// whole file when it is shorter than PNG_HEADER_MAX_BYTES). True when
// header->status is read.
bool parse_png_header(const uint8_t* bytes, size_t size, PngHeader* header);

// The same from the open file's start, in one read. The file's position is
// left anywhere.
bool read_png_header(FILE* file, PngHeader* header);
