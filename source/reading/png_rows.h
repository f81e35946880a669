// png_rows.h - decoding only the top rows of a PNG screenshot.
//
// The gauge lies in the top few dozen rows of a screenshot, so decoding the
// whole image wastes nearly all the time spent on it. decode_top_rows
// decodes rows from the top until the bytes the reader can look at are
// there, and stops:
//
//     TopRows rows;
//     if (decode_top_rows(file, gauge_bytes_needed, &rows)) {
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
// 64 MiB. Its memory, libspng's included, is bounded by the rows it
// decodes (decode_budget.h). It also insists that the file is complete (ends
// with an IEND chunk), that every chunk it reads has a correct CRC and that
// the rows it needs decode without error. Everything else is declined, and
// the caller decodes the file whole, which then decides. Damage below the
// rows it needs goes unseen, so such a file may read here where the whole
// decode would reject it.
//
// Part of the decode unit (decode.h), built only when libspng is available.
#pragma once

#include "reading/image.h"

#include <cstdint>
#include <cstdio>

struct TopRows {
    Image image;      // height is the whole image's; size covers the rows decoded
    uint8_t* pixels;  // owned, released by free_top_rows
};

// Decodes the top rows of the PNG file that hold the first bytes_needed(...)
// bytes of pixels. False when the file is declined or fails; then nothing
// is held. The file's position is left anywhere.
bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, TopRows* rows);

void free_top_rows(TopRows* rows);
