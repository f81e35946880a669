// png_rows.cpp - decoding only the top rows of a PNG screenshot (see png_rows.h).
#include "png_rows.h"

#include <cstdlib>
#include <cstring>
#include <spng.h>

// The last 12 bytes of a complete PNG: an empty IEND chunk and its CRC.
static const uint8_t IEND_CHUNK[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

static bool ends_with_iend(FILE* file) {
    uint8_t tail[sizeof IEND_CHUNK];
    if (fseek(file, -static_cast<long>(sizeof tail), SEEK_END) != 0) return false;
    bool complete = fread(tail, 1, sizeof tail, file) == sizeof tail &&
                    memcmp(tail, IEND_CHUNK, sizeof tail) == 0;
    return fseek(file, 0, SEEK_SET) == 0 && complete;
}

// Channels of the decoded rows, or 0 for a kind of PNG this unit leaves to
// the whole decode. Sizes the whole decode refuses as too large are left to
// it as well, so that it gives its own answer.
static int channels_of(const spng_ihdr& header) {
    if (header.bit_depth != 8 || header.interlace_method != 0) return 0;
    int channels = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR         ? 3
                   : header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4
                                                                          : 0;
    const uint32_t MAX_SIDE = 1u << 24;
    if (channels == 0 || header.width > MAX_SIDE || header.height > MAX_SIDE) return 0;
    if ((1u << 30) / header.width / static_cast<uint32_t>(channels) < header.height) return 0;
    return channels;
}

// Decodes `count` rows of row_bytes each into pixels.
static bool decode_rows(spng_ctx* context, uint8_t* pixels, size_t row_bytes, uint32_t count) {
    for (uint32_t row = 0; row < count; ++row) {
        int status = spng_decode_row(context, pixels + row * row_bytes, row_bytes);
        bool last_of_image = status == SPNG_EOI;
        if (status != 0 && !(last_of_image && row + 1 == count)) return false;
    }
    return true;
}

static bool decode_with(spng_ctx* context, BytesNeeded bytes_needed, TopRows* rows) {
    spng_ihdr header;
    if (spng_get_ihdr(context, &header) != 0) return false;
    int channels = channels_of(header);
    if (channels == 0) return false;

    int width = static_cast<int>(header.width), height = static_cast<int>(header.height);
    uint64_t needed = bytes_needed(width, height, channels);
    if (needed == 0) return false;
    size_t row_bytes = static_cast<size_t>(header.width) * static_cast<size_t>(channels);
    uint64_t count = (needed + row_bytes - 1) / row_bytes;
    if (count > header.height) count = header.height;

    if (spng_decode_image(context, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE) != 0) {
        return false;
    }
    // Transparency would give the whole decode an alpha channel more.
    spng_trns transparency;
    if (spng_get_trns(context, &transparency) == 0) return false;

    size_t size = static_cast<size_t>(count) * row_bytes;
    uint8_t* pixels = static_cast<uint8_t*>(malloc(size));
    if (!pixels) return false;
    if (!decode_rows(context, pixels, row_bytes, static_cast<uint32_t>(count))) {
        free(pixels);
        return false;
    }
    rows->pixels = pixels;
    rows->image = {pixels, size, width, height, channels};
    return true;
}

bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, TopRows* rows) {
    if (!ends_with_iend(file)) return false;
    // The stream's Adler-32 sits at its very end, which is seldom reached
    // here, and the whole decode does not check it either: skip computing it.
    spng_ctx* context = spng_ctx_new(SPNG_CTX_IGNORE_ADLER32);
    if (!context) return false;
    bool ok = spng_set_crc_action(context, SPNG_CRC_ERROR, SPNG_CRC_ERROR) == 0 &&
              spng_set_png_file(context, file) == 0 && decode_with(context, bytes_needed, rows);
    spng_ctx_free(context);
    return ok;
}

void free_top_rows(TopRows* rows) {
    free(rows->pixels);
    rows->pixels = nullptr;
}
