// decode.h - turning a screenshot file into pixels.
//
//     DecodedImage decoded;
//     if (decode_screenshot(file, bytes_needed, true, &decoded) == DecodeStatus::decoded) {
//         ... decoded.image: rows from the top, decoded.image.size bytes ...
//         free_decoded(&decoded);
//     }
//
// Only PNG files are decoded: anything else fails, whatever its name. The
// caller says how many bytes from the top it will look at, as a function of
// the image's width, height and channel count. Where the build has the fast
// decode (png/png_rows.h) and the file allows it, only the rows holding those
// bytes are decoded; every other file is decoded whole by
// stb_image, which then decides whether it is an image at all.
//
// Memory is bounded whatever the file holds (decode_budget.h): the whole
// decode may take a few times the pixel memory the file's header claims plus
// a little, and never more than WHOLE_DECODE_MAX_BYTES; data that inflates
// beyond that fails the decode. When the caller will look at nothing in an
// image of the file's size (bytes_needed gives 0), the decode only tells a
// good file from a bad one, within NOTHING_NEEDED_MAX_BYTES: a file that
// needs more than that gives out_of_budget, neither good nor bad. This unit
// knows nothing of what the bytes are for.
#pragma once

#include "reading/image.h"
#include "reading/png/png_header.h"

#include <cstdint>
#include <cstdio>

struct DecodedImage {
    Image image;
    uint8_t* pixels;  // owned, released by free_decoded
    bool whole;       // decoded whole by stb_image (else the top rows only)
};

enum class DecodeStatus {
    decoded,        // *decoded holds the pixels
    failed,         // not a PNG, damaged, or inflating beyond what it claims
    out_of_budget,  // nothing needed, and the decode took more than allowed
};

constexpr uint64_t WHOLE_DECODE_MAX_BYTES = uint64_t(192) << 20;
constexpr uint64_t NOTHING_NEEDED_MAX_BYTES = uint64_t(64) << 20;

// Decodes the open file, from its start. With `fast` the top rows are
// decoded alone where possible, and of them only the leftmost
// columns_needed(...) pixels when that is given (the rest of those rows are
// zeros). Unless the status is decoded, nothing is held. The file's
// position is left anywhere. The file's header (png/png_header.h) is read
// once, handed to the decoder that runs and, when header is given, to the
// caller: for a file that failed, what its start was.
DecodeStatus decode_screenshot(FILE* file, BytesNeeded bytes_needed, bool fast,
                               DecodedImage* decoded, ColumnsNeeded columns_needed = nullptr,
                               PngHeader* header = nullptr);

void free_decoded(DecodedImage* decoded);
