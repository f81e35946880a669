// decode.cpp - turning a screenshot file into pixels (see decode.h).
#include "reading/decode.h"

#include "platform/platform.h"
#include "reading/decode_budget.h"
#include "reading/stb_image_setup.h"

#include <cstdlib>

#ifdef HEALTHGAUGE_FAST_DECODE
#include "reading/png/png_rows.h"
#endif

namespace {

// A little for the decoder's own records, on top of the pixels.
const uint64_t DECODE_SLACK_BYTES = 1 << 20;

// What the whole decode of a PNG may hold at once, by its header: the
// inflated rows (twice over for an interlaced image, whose size the decoder
// underestimates), the image, one interlace pass of it and the 8-bit copy
// of a 16-bit image, each at most the pixel memory with an alpha channel;
// the compressed data, which the decoder keeps in a buffer up to twice its
// size; and a little more.
uint64_t whole_decode_budget(const PngHeader& header, uint64_t file_bytes) {
    uint64_t sample_bytes = header.depth == 16 ? 2 : 1;
    uint64_t pixel_bytes = uint64_t(header.width) * header.height * 4 * sample_bytes;
    uint64_t budget = 4 * pixel_bytes + 2 * file_bytes + DECODE_SLACK_BYTES;
    return budget < WHOLE_DECODE_MAX_BYTES ? budget : WHOLE_DECODE_MAX_BYTES;
}

DecodeStatus decode_whole(FILE* file, uint64_t budget, bool budget_is_cap, DecodedImage* decoded) {
    if (fseek(file, 0, SEEK_SET) != 0) return DecodeStatus::failed;
    int width = 0, height = 0, channels = 0;
    budget_begin(budget);
    stbi_uc* pixels = stbi_load_from_file(file, &width, &height, &channels, 0);
    bool refused = budget_end();
    if (!pixels) return refused && budget_is_cap ? DecodeStatus::out_of_budget : DecodeStatus::failed;
    size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) *
                  static_cast<size_t>(channels);
    decoded->pixels = pixels;
    decoded->image = {pixels, size, width, height, channels};
    decoded->whole = true;
    return DecodeStatus::decoded;
}

}  // namespace

DecodeStatus decode_screenshot(FILE* file, BytesNeeded bytes_needed, bool fast,
                               DecodedImage* decoded, ColumnsNeeded columns_needed,
                               PngHeader* file_header) {
    PngHeader own_header;
    PngHeader& header = file_header ? *file_header : own_header;
    if (!read_png_header(file, &header)) return DecodeStatus::failed;
#ifdef HEALTHGAUGE_FAST_DECODE
    TopRows rows;
    if (fast && decode_top_rows(file, header, bytes_needed, columns_needed, &rows)) {
        decoded->pixels = rows.pixels;
        decoded->image = rows.image;
        decoded->whole = false;
        return DecodeStatus::decoded;
    }
#else
    (void)fast;
    (void)columns_needed;
#endif
    uint64_t budget = whole_decode_budget(header, open_file_size(file));
    int width = static_cast<int>(header.width), height = static_cast<int>(header.height);
    bool nothing_needed = bytes_needed(width, height, header.channels) == 0;
    bool capped = nothing_needed && budget > NOTHING_NEEDED_MAX_BYTES;
    return decode_whole(file, capped ? NOTHING_NEEDED_MAX_BYTES : budget, capped, decoded);
}

void free_decoded(DecodedImage* decoded) {
    if (decoded->whole) {
        stbi_image_free(decoded->pixels);
    } else {
#ifdef HEALTHGAUGE_FAST_DECODE
        free_top_rows_pixels(decoded->pixels);
#endif
    }
    decoded->pixels = nullptr;
}
