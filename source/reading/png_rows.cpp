// png_rows.cpp - decoding only the top rows of a PNG screenshot (see png_rows.h).
#include "reading/png_rows.h"

#include "reading/decode_budget.h"
#include "reading/png_format.h"

#include <cstdlib>
#include <cstring>
#include <spng.h>

namespace {

// Most bytes of decoded rows handed back, and of libspng's own memory
// beyond its row buffers.
const uint64_t MAX_ROWS_BYTES = uint64_t(64) << 20;
const uint64_t DECODER_SLACK_BYTES = uint64_t(8) << 20;

bool file_ends_with_iend(FILE* file) {
    uint8_t tail[sizeof IEND_CHUNK];
    if (fseek(file, -static_cast<long>(sizeof tail), SEEK_END) != 0) return false;
    bool complete = fread(tail, 1, sizeof tail, file) == sizeof tail &&
                    ends_with_iend(tail, sizeof tail);
    return fseek(file, 0, SEEK_SET) == 0 && complete;
}

// Channels of the decoded rows, or 0 for a kind of PNG this unit leaves to
// the whole decode.
int channels_of(const spng_ihdr& header) {
    if ((header.bit_depth != 8 && header.bit_depth != 16) || header.interlace_method != 0) return 0;
    if (header.width > PNG_MAX_SIDE || header.height > PNG_MAX_SIDE) return 0;
    return header.color_type == SPNG_COLOR_TYPE_TRUECOLOR         ? 3
           : header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4
                                                                  : 0;
}

// Decodes one row into out, row_bytes bytes of 8-bit samples. A 16-bit row
// is decoded into `wide` (big-endian samples) and its high bytes kept, as
// the whole decode keeps them.
int decode_row(spng_ctx* context, uint8_t* out, size_t row_bytes, uint8_t* wide) {
    if (!wide) return spng_decode_row(context, out, row_bytes);
    int status = spng_decode_row(context, wide, 2 * row_bytes);
    for (size_t i = 0; i < row_bytes; ++i) out[i] = wide[2 * i];
    return status;
}

// Decodes `count` rows of row_bytes each into pixels.
bool decode_rows(spng_ctx* context, uint8_t* pixels, size_t row_bytes, uint32_t count, uint8_t* wide) {
    for (uint32_t row = 0; row < count; ++row) {
        int status = decode_row(context, pixels + row * row_bytes, row_bytes, wide);
        bool last_of_image = status == SPNG_EOI;
        if (status != 0 && !(last_of_image && row + 1 == count)) return false;
    }
    return true;
}

bool decode_with(spng_ctx* context, BytesNeeded bytes_needed, TopRows* rows) {
    spng_ihdr header;
    if (spng_get_ihdr(context, &header) != 0) return false;
    int channels = channels_of(header);
    if (channels == 0) return false;

    int width = static_cast<int>(header.width), height = static_cast<int>(header.height);
    uint64_t needed = bytes_needed(width, height, channels);
    if (needed == 0) return false;
    uint64_t row_bytes = uint64_t(header.width) * static_cast<uint64_t>(channels);
    uint64_t count = (needed + row_bytes - 1) / row_bytes;
    if (count > header.height) count = header.height;
    uint64_t size = count * row_bytes;
    if (size > MAX_ROWS_BYTES) return false;
    // libspng keeps a few rows of the file's own size, plus its records.
    uint64_t file_row_bytes = row_bytes * (header.bit_depth / 8) + 1;
    budget_set_limit(4 * file_row_bytes + DECODER_SLACK_BYTES);

    if (spng_decode_image(context, nullptr, 0, SPNG_FMT_RAW, SPNG_DECODE_PROGRESSIVE) != 0) {
        return false;
    }
    // Transparency would give the whole decode an alpha channel more.
    spng_trns transparency;
    if (spng_get_trns(context, &transparency) == 0) return false;

    uint8_t* pixels = static_cast<uint8_t*>(malloc(size));
    uint8_t* wide = header.bit_depth == 16 ? static_cast<uint8_t*>(malloc(2 * row_bytes)) : nullptr;
    bool ok = pixels && (header.bit_depth == 8 || wide) &&
              decode_rows(context, pixels, row_bytes, static_cast<uint32_t>(count), wide);
    free(wide);
    if (!ok) {
        free(pixels);
        return false;
    }
    rows->pixels = pixels;
    rows->image = {pixels, static_cast<size_t>(size), width, height, channels};
    return true;
}

}  // namespace

bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, TopRows* rows) {
    if (!file_ends_with_iend(file)) return false;
    // libspng's memory counts against a budget: the rows it works on, and a
    // little for what it keeps of the chunks it reads on the way.
    spng_alloc allocator = {budget_malloc, budget_realloc, budget_calloc, budget_free};
    budget_begin(DECODER_SLACK_BYTES);
    // The stream's Adler-32 sits at its very end, which is seldom reached
    // here, and the whole decode does not check it either: skip computing it.
    spng_ctx* context = spng_ctx_new2(&allocator, SPNG_CTX_IGNORE_ADLER32);
    bool ok = context && spng_set_crc_action(context, SPNG_CRC_ERROR, SPNG_CRC_ERROR) == 0 &&
              spng_set_png_file(context, file) == 0 && decode_with(context, bytes_needed, rows);
    spng_ctx_free(context);
    budget_end();
    return ok;
}

void free_top_rows(TopRows* rows) {
    free(rows->pixels);
    rows->pixels = nullptr;
}
