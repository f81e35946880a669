// png_rows.h - decoding only the top rows of a PNG screenshot.
//
// The gauge lies in the top few dozen rows of a screenshot, so decoding the
// whole image wastes nearly all the time spent on it. decode_top_rows
// decodes rows from the top until the bytes the reader can look at are
// there, and stops:
//
//     TopRows rows;
//     if (decode_top_rows(file, header, gauge_bytes_needed, gauge_columns_needed, &rows)) {
//         ... rows.image: the decoded top rows, rows.image.size bytes ...
//         free_top_rows(&rows);
//     } else {
//         ... decode the whole file as usual ...
//     }
//
// It takes only files whose top rows come out byte for byte as the whole
// decode would give them: RGB without a transparency chunk or RGBA, not
// interlaced, 8 or 16 bits a channel (of a 16-bit sample the high byte is
// kept, as the whole decode keeps it), of any size whose needed rows fit in
// 64 MiB, with no chunk before those rows that the whole decode would
// refuse or read differently (a palette, an unknown critical chunk, Apple's
// CgBI). It also insists that the file is complete (ends with an IEND
// chunk) and that the rows it needs inflate without error; like the whole
// decode, it does not check CRCs. Everything else is declined, and the
// caller decodes the file whole, which then decides. Damage below the rows
// it needs goes unseen, so such a file may read here where the whole decode
// would reject it.
//
// Of each decoded row only the leftmost columns_needed(width, height)
// pixels are unfiltered (all of them without that function, or when it
// gives 0 or more than the width); the bytes right of them are zeros.
//
// The header is the file's own, read by read_png_header (png_header.h) and
// handed on: it is passed over, not read again. The file is read from its
// start in a few large reads, only as far as the needed rows go, and its
// last 12 bytes with one more (read_file_end, platform.h). Each thread keeps the memory of its
// last decode (up to 8 MiB) for its next one, until the thread ends. The
// compressed data is inflated with ISA-L or zlib (inflate.h) and unfiltered
// with SSE2 (unfilter.h). Part of the decode unit (decode.h):
// png_top_rows.cpp.
#pragma once

#include "reading/image.h"
#include "reading/png/png_header.h"

#include <cstdint>
#include <cstdio>

struct TopRows {
    Image image;      // height is the whole image's; size covers the rows decoded
    uint8_t* pixels;  // owned, released by free_top_rows
};

// Decodes the top rows of the PNG file that hold the first bytes_needed(...)
// bytes of pixels, of each the leftmost columns_needed(...) pixels. The
// header is the one read_png_header read from this file. False when the
// file is declined or fails; then nothing is held. The file's position is
// left anywhere.
bool decode_top_rows(FILE* file, const PngHeader& header, BytesNeeded bytes_needed,
                     ColumnsNeeded columns_needed, TopRows* rows);

// The same, reading the file's header first.
bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, ColumnsNeeded columns_needed,
                     TopRows* rows);

// The same with whole rows.
bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, TopRows* rows);

void free_top_rows(TopRows* rows);

// The same for the pixels alone (TopRows::pixels).
void free_top_rows_pixels(uint8_t* pixels);
