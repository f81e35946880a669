// unfilter.h - undoing PNG's per-row filters (None, Sub, Up, Average,
// Paeth) on the leftmost bytes of a run of rows.
//
//     UnfilterRows rows = {filtered, stride, prior, out, width * 3, count, width * 3, 3};
//     if (!unfilter_rows(rows)) ... a filter type above 4 ...
//
// Each filtered row is its filter type byte followed by the row's bytes.
// Every filter takes a byte from the byte itself, the one a pixel to its
// left and the ones above, so the leftmost `length` bytes of each row come
// out right without looking at anything further right: a reader that needs
// only the left part of wide rows unfilters only that. Samples are bytes
// (16-bit rows have their high bytes gathered first: a high byte depends
// only on high bytes).
//
// unfilter_rows_reference is the plain byte-by-byte version; unfilter_rows
// gives the same bytes faster for 3- and 4-byte pixels on x86-64 (SSE2,
// up to twelve rows at a time, each a pixel behind the one above it, so
// that their chains of left neighbours run side by side; None and Up rows
// 16 bytes at a time), and falls back to the reference elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

struct UnfilterRows {
    const uint8_t* filtered;  // the first row's filter type byte
    size_t filtered_stride;   // bytes from one filtered row to the next
    const uint8_t* prior;     // the unfiltered row above the first (zeros above an image's top row)
    uint8_t* out;             // where the first unfiltered row goes
    size_t out_stride;        // bytes from one unfiltered row to the next
    size_t count;             // rows
    size_t length;            // leftmost bytes of each row to unfilter, whole pixels
    int pixel_bytes;          // bytes a pixel: 1 to 8
};

// Writes the leftmost `length` bytes of each row to out and nothing else.
// False when a row's filter type is above 4; what was written then is of
// no use.
bool unfilter_rows_reference(const UnfilterRows& rows);
bool unfilter_rows(const UnfilterRows& rows);
