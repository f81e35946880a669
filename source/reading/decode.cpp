// decode.cpp - turning a screenshot file into pixels (see decode.h).
#include "reading/decode.h"

#include "platform/platform.h"
#include "reading/decode_budget.h"
#include "reading/png_format.h"
#include "reading/stb_image_setup.h"

#include <cstdlib>
#include <cstring>

#ifdef HEALTHGAUGE_FAST_DECODE
#include "reading/png/png_rows.h"
#endif

namespace {

// A little for the decoder's own records, on top of the pixels.
const uint64_t DECODE_SLACK_BYTES = 1 << 20;

struct PngHeader {
    uint32_t width, height;
    int depth;
    int channels;  // decoded channels before transparency: 1 to 4
};

// Channels of a PNG colour type as the decoder gives them (a palette
// becomes RGB), or 0 for a colour type it refuses.
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

// Reads the signature and the header chunk (IHDR, which may follow the
// CgBI chunk of Apple's PNG variant that the decoder also takes). False when
// the file is no PNG or has a header the decoder refuses.
bool read_png_header(FILE* file, PngHeader* header) {
    uint8_t signature[sizeof PNG_SIGNATURE];
    if (fseek(file, 0, SEEK_SET) != 0 || fread(signature, 1, sizeof signature, file) != sizeof signature ||
        memcmp(signature, PNG_SIGNATURE, sizeof signature) != 0) {
        return false;
    }
    for (int chunk = 0; chunk < 2; ++chunk) {
        uint8_t start[8];
        if (fread(start, 1, sizeof start, file) != sizeof start) return false;
        uint32_t length = big_endian_32(start);
        if (chunk == 0 && memcmp(start + 4, "CgBI", 4) == 0 && length <= 64) {
            if (fseek(file, static_cast<long>(length) + 4, SEEK_CUR) != 0) return false;
            continue;
        }
        uint8_t data[13];
        if (memcmp(start + 4, "IHDR", 4) != 0 || length != sizeof data ||
            fread(data, 1, sizeof data, file) != sizeof data) {
            return false;
        }
        *header = {big_endian_32(data), big_endian_32(data + 4), data[8], channels_of(data[9])};
        return header->width > 0 && header->height > 0 && header->width <= PNG_MAX_SIDE &&
               header->height <= PNG_MAX_SIDE && header->channels > 0;
    }
    return false;
}

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
                               DecodedImage* decoded, ColumnsNeeded columns_needed) {
    PngHeader header;
    if (!read_png_header(file, &header)) return DecodeStatus::failed;
#ifdef HEALTHGAUGE_FAST_DECODE
    TopRows rows;
    if (fast && decode_top_rows(file, bytes_needed, columns_needed, &rows)) {
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
