// png_top_rows.cpp - the top rows of a PNG screenshot, read with a chunk
// walk of our own, a fast inflate and an unfilter of only the columns
// needed (see png_rows.h for what it takes and declines).
//
// The header (png_header.h) was read before and is passed over; the file
// is read from its start in large pieces, only as far as the compressed
// data of the needed rows goes. The chunks on the way are checked as the
// whole decode (stb_image) checks them, and anything it would read
// differently, or might refuse, is declined. The IDAT data is inflated a
// window of rows at a time; each window is unfiltered into the image rows,
// then reused. CRCs are not checked, as the whole decode does not check
// them either.
#include "reading/png/png_rows.h"

#include "platform/platform.h"
#include "reading/png/inflate.h"
#include "reading/png/unfilter.h"
#include "reading/png/png_format.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// Most bytes of decoded rows handed back.
const uint64_t MAX_ROWS_BYTES = uint64_t(64) << 20;

// The whole decode fails once its IDAT data reach 2^31 bytes.
const uint64_t MAX_IDAT_BYTES = uint64_t(1) << 31;

// Bytes of the file read at a time, and of filtered rows inflated at a time
// (at least four rows, which the unfilter takes together).
const size_t READ_BYTES = size_t(64) << 10;
const size_t WINDOW_BYTES = size_t(64) << 10;
const size_t WINDOW_ROW_MULTIPLE = 4;

// The file, read in order from its start.
struct Input {
    FILE* file;
    uint64_t file_size;
    uint64_t offset;  // offset in the file of bytes[start]
    uint8_t* bytes;   // READ_BYTES
    size_t start, end;
};

size_t unread(const Input& input) { return input.end - input.start; }

// Makes at least `want` (at most READ_BYTES) unread bytes available.
bool fill(Input* input, size_t want) {
    if (unread(*input) >= want) return true;
    memmove(input->bytes, input->bytes + input->start, unread(*input));
    input->end -= input->start;
    input->start = 0;
    input->end += fread(input->bytes + input->end, 1, READ_BYTES - input->end, input->file);
    return unread(*input) >= want;
}

bool skip(Input* input, uint64_t count) {
    if (count <= unread(*input)) {
        input->start += static_cast<size_t>(count);
        input->offset += count;
        return true;
    }
    uint64_t beyond = count - unread(*input);
    input->offset += count;
    input->start = input->end = 0;
    return input->offset <= input->file_size && beyond <= uint64_t(LONG_MAX) &&
           fseek(input->file, static_cast<long>(beyond), SEEK_CUR) == 0;
}

const uint8_t* take(Input* input, size_t count) {
    if (!fill(input, count)) return nullptr;
    const uint8_t* bytes = input->bytes + input->start;
    input->start += count;
    input->offset += count;
    return bytes;
}

// What the rows look like and which of them are wanted.
struct Shape {
    uint32_t width, height;
    int depth, channels;
    size_t row_bytes;        // a decoded row: 8-bit samples
    size_t filtered_stride;  // a row in the file: type byte and samples of `depth` bits
    size_t rows;             // rows decoded from the top
    size_t length;           // leftmost bytes of each decoded row that are unfiltered
};

// True for the headers whose rows this reader gives as the whole decode
// gives them: a non-interlaced 8- or 16-bit RGB or RGBA image without
// Apple's CgBI chunk, of a size the whole decode takes (as read ones are).
bool takes(const PngHeader& header) {
    return header.status == PngHeaderStatus::read && !header.apple && header.compression == 0 &&
           header.filter == 0 && header.interlace == 0 && (header.colour == 2 || header.colour == 6) &&
           (header.depth == 8 || header.depth == 16);
}

// Works out the rows and columns wanted; false when none are or too many.
bool plan_rows(Shape* shape, BytesNeeded bytes_needed, ColumnsNeeded columns_needed) {
    int width = static_cast<int>(shape->width), height = static_cast<int>(shape->height);
    uint64_t needed = bytes_needed(width, height, shape->channels);
    if (needed == 0) return false;
    uint64_t row_bytes = uint64_t(shape->width) * static_cast<uint64_t>(shape->channels);
    uint64_t rows = (needed + row_bytes - 1) / row_bytes;
    if (rows > shape->height) rows = shape->height;
    if (rows * row_bytes > MAX_ROWS_BYTES) return false;
    uint64_t columns = columns_needed ? columns_needed(width, height) : shape->width;
    if (columns == 0 || columns > shape->width) columns = shape->width;
    shape->row_bytes = static_cast<size_t>(row_bytes);
    shape->filtered_stride = static_cast<size_t>(row_bytes * static_cast<uint64_t>(shape->depth / 8) + 1);
    shape->rows = static_cast<size_t>(rows);
    shape->length = static_cast<size_t>(columns * static_cast<uint64_t>(shape->channels));
    return true;
}

// The walk through the chunks to the IDAT data and through it.
struct Walk {
    Input input;
    uint64_t idat_left;   // bytes of the current IDAT chunk not yet read
    uint64_t idat_total;  // bytes of all IDAT chunks so far
    uint8_t zlib_header[2];
    int zlib_header_bytes;
};

// Moves to the next IDAT chunk that has data, passing over the CRC before
// it and the chunks the whole decode passes over. False at anything that
// would make the whole decode read the file differently, or refuse it.
bool next_idat(Walk* walk, bool after_chunk) {
    Input* input = &walk->input;
    if (after_chunk && !skip(input, PNG_CRC_BYTES)) return false;
    for (;;) {
        const uint8_t* header = take(input, PNG_CHUNK_HEADER_BYTES);
        if (!header) return false;
        uint64_t length = big_endian_32(header);
        const uint8_t* type = header + 4;
        // An IEND here ends the image data before the needed rows. Every
        // chunk must end before the file's final IEND.
        if (is_chunk_type(type, "IEND") ||
            input->offset + length + PNG_CRC_BYTES > input->file_size - sizeof IEND_CHUNK) {
            return false;
        }
        if (is_chunk_type(type, "IDAT")) {
            walk->idat_total += length;
            if (walk->idat_total >= MAX_IDAT_BYTES) return false;
            walk->idat_left = length;
            if (length > 0) return true;
        } else if (!(type[0] & 0x20) || is_chunk_type(type, "tRNS")) {
            // A critical chunk (IHDR again, PLTE, CgBI or one unknown), or
            // transparency, which gives the whole decode an alpha channel.
            return false;
        } else if (!skip(input, length)) {
            return false;
        }
        if (!skip(input, PNG_CRC_BYTES)) return false;
    }
}

// Makes some IDAT data available: *data and *size.
bool idat_data(Walk* walk, const uint8_t** data, size_t* size) {
    if (walk->idat_left == 0 && !next_idat(walk, true)) return false;
    Input* input = &walk->input;
    if (unread(*input) == 0 && !fill(input, 1)) return false;
    *data = input->bytes + input->start;
    *size = unread(*input) < walk->idat_left ? unread(*input) : static_cast<size_t>(walk->idat_left);
    return true;
}

void used(Walk* walk, size_t count) {
    walk->input.start += count;
    walk->input.offset += count;
    walk->idat_left -= count;
}

// The two bytes before the deflate data, checked as the whole decode
// checks them: deflate, a valid check value, no preset dictionary.
bool read_zlib_header(Walk* walk) {
    while (walk->zlib_header_bytes < 2) {
        const uint8_t* data;
        size_t size;
        if (!idat_data(walk, &data, &size)) return false;
        walk->zlib_header[walk->zlib_header_bytes++] = data[0];
        used(walk, 1);
    }
    unsigned method = walk->zlib_header[0], flags = walk->zlib_header[1];
    return (method * 256 + flags) % 31 == 0 && !(flags & 32) && (method & 15) == 8;
}

// Inflates exactly `size` bytes into out.
bool inflate_into(Walk* walk, Inflate* stream, uint8_t* out, size_t size) {
    while (size > 0) {
        const uint8_t* data;
        size_t available;
        if (!idat_data(walk, &data, &available)) return false;
        const uint8_t* in = data;
        size_t room = size;
        InflateStep step = inflate_some(stream, &in, &available, &out, &size);
        used(walk, static_cast<size_t>(in - data));
        bool stuck = in == data && size == room;  // neither input taken nor output given
        if (step != InflateStep::going || stuck) return step == InflateStep::ended && size == 0;
    }
    return true;
}

// Keeps the high byte of each 16-bit sample of a filtered row, in place.
void keep_high_bytes(uint8_t* row, size_t length) {
    for (size_t i = 0; i < length; ++i) row[1 + i] = row[1 + 2 * i];
}

struct Buffers {
    uint8_t* read;    // READ_BYTES of the file
    uint8_t* window;  // filtered rows
    uint8_t* zeros;   // the row above the image
    uint8_t* pixels;  // the decoded rows
};

// Each thread keeps the memory of its last decode for its next one: a scan
// decodes thousands of files of one size, and memory fresh from the system
// costs a page fault a page (most of all under Wine, whose heap maps every
// large block anew). Blocks up to KEEP_MAX_BYTES are kept.
const size_t KEEP_MAX_BYTES = size_t(8) << 20;

// A kept block: its capacity in the 16 bytes before the bytes handed out
// (16 keeps them aligned as malloc aligns).
const size_t BLOCK_HEADER_BYTES = 16;

struct Kept {
    uint8_t* read = nullptr;    // the read buffer
    uint8_t* window = nullptr;  // the window and the zero row
    uint8_t* pixels = nullptr;  // decoded rows given back by free_top_rows
    ~Kept() {
        for (uint8_t* block : {read, window, pixels}) {
            if (block) free(block - BLOCK_HEADER_BYTES);
        }
    }
};

thread_local Kept kept;

size_t capacity_of(const uint8_t* block) {
    size_t capacity;
    memcpy(&capacity, block - BLOCK_HEADER_BYTES, sizeof capacity);
    return capacity;
}

// A block of at least `size` bytes: the one in *slot when it is large
// enough (*slot is then empty), else a new one. Null when memory runs out.
uint8_t* take_block(uint8_t** slot, size_t size) {
    uint8_t* block = *slot;
    *slot = nullptr;
    if (block && capacity_of(block) >= size) return block;
    if (block) free(block - BLOCK_HEADER_BYTES);
    if (size > SIZE_MAX - BLOCK_HEADER_BYTES) return nullptr;
    uint8_t* start = static_cast<uint8_t*>(malloc(size + BLOCK_HEADER_BYTES));
    if (!start) return nullptr;
    memcpy(start, &size, sizeof size);
    return start + BLOCK_HEADER_BYTES;
}

// Keeps a block from take_block in *slot for the next decode, or frees it.
void give_block(uint8_t** slot, uint8_t* block) {
    if (!block) return;
    if (!*slot && capacity_of(block) <= KEEP_MAX_BYTES) {
        *slot = block;
    } else {
        free(block - BLOCK_HEADER_BYTES);
    }
}

// The window of `window_bytes` and the zero row of `zeros_bytes`, in one
// block, and the decoded rows.
bool take_rows_buffers(Buffers* buffers, size_t window_bytes, size_t zeros_bytes, size_t pixels_bytes) {
    buffers->window = window_bytes <= SIZE_MAX - zeros_bytes
                          ? take_block(&kept.window, window_bytes + zeros_bytes)
                          : nullptr;
    if (!buffers->window) return false;
    buffers->zeros = buffers->window + window_bytes;
    memset(buffers->zeros, 0, zeros_bytes);
    buffers->pixels = take_block(&kept.pixels, pixels_bytes);
    return buffers->pixels != nullptr;
}

// Inflates and unfilters shape.rows rows into buffers.pixels.
bool decode_rows(Walk* walk, const Shape& shape, const Buffers& buffers, size_t window_rows) {
    Inflate stream;
    if (!inflate_begin(&stream)) return false;
    bool ok = read_zlib_header(walk);
    const uint8_t* prior = buffers.zeros;
    for (size_t row = 0; ok && row < shape.rows; row += window_rows) {
        size_t count = shape.rows - row < window_rows ? shape.rows - row : window_rows;
        ok = inflate_into(walk, &stream, buffers.window, count * shape.filtered_stride);
        if (!ok) break;
        if (shape.depth == 16) {
            for (size_t i = 0; i < count; ++i) keep_high_bytes(buffers.window + i * shape.filtered_stride, shape.length);
        }
        uint8_t* out = buffers.pixels + row * shape.row_bytes;
        UnfilterRows rows = {buffers.window, shape.filtered_stride, prior, out, shape.row_bytes,
                             count, shape.length, shape.channels};
        ok = unfilter_rows(rows);
        prior = out + (count - 1) * shape.row_bytes;
    }
    inflate_end(&stream);
    return ok;
}

void give_buffers(Buffers* buffers) {
    give_block(&kept.read, buffers->read);
    give_block(&kept.window, buffers->window);
    give_block(&kept.pixels, buffers->pixels);
    *buffers = {nullptr, nullptr, nullptr, nullptr};
}

}  // namespace

bool decode_top_rows(FILE* file, const PngHeader& header, BytesNeeded bytes_needed,
                     ColumnsNeeded columns_needed, TopRows* rows) {
    if (!takes(header)) return false;
    uint8_t tail[sizeof IEND_CHUNK];
    uint64_t file_size;
    if (!read_file_end(file, tail, sizeof tail, &file_size) || !ends_with_iend(tail, sizeof tail) ||
        fseek(file, 0, SEEK_SET) != 0) {
        return false;
    }
    // Read from the start and the header passed over: the reads then line
    // up with the stream's buffer, which the large ones bypass.
    Buffers buffers = {take_block(&kept.read, READ_BYTES), nullptr, nullptr, nullptr};
    Walk walk = {{file, file_size, 0, buffers.read, 0, 0}, 0, 0, {0, 0}, 0};
    Shape shape = {header.width, header.height, header.depth, header.channels, 0, 0, 0, 0};
    bool ok = buffers.read && take(&walk.input, static_cast<size_t>(header.chunks_offset)) &&
              plan_rows(&shape, bytes_needed, columns_needed) && next_idat(&walk, false);
    if (ok) {
        size_t window_rows = WINDOW_BYTES / shape.filtered_stride / WINDOW_ROW_MULTIPLE * WINDOW_ROW_MULTIPLE;
        if (window_rows < WINDOW_ROW_MULTIPLE) window_rows = WINDOW_ROW_MULTIPLE;
        if (window_rows > shape.rows) window_rows = shape.rows;
        ok = take_rows_buffers(&buffers, window_rows * shape.filtered_stride, shape.length,
                               shape.rows * shape.row_bytes) &&
             decode_rows(&walk, shape, buffers, window_rows);
    }
    if (!ok) {
        give_buffers(&buffers);
        return false;
    }
    // Bytes right of the unfiltered columns are never looked at; zeros.
    for (size_t row = 0; row < shape.rows && shape.length < shape.row_bytes; ++row) {
        memset(buffers.pixels + row * shape.row_bytes + shape.length, 0, shape.row_bytes - shape.length);
    }
    rows->pixels = buffers.pixels;
    rows->image = {buffers.pixels, shape.rows * shape.row_bytes, static_cast<int>(shape.width),
                   static_cast<int>(shape.height), shape.channels};
    buffers.pixels = nullptr;
    give_buffers(&buffers);
    return true;
}

bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, ColumnsNeeded columns_needed,
                     TopRows* rows) {
    PngHeader header;
    return read_png_header(file, &header) &&
           decode_top_rows(file, header, bytes_needed, columns_needed, rows);
}

bool decode_top_rows(FILE* file, BytesNeeded bytes_needed, TopRows* rows) {
    return decode_top_rows(file, bytes_needed, nullptr, rows);
}

void free_top_rows(TopRows* rows) {
    free_top_rows_pixels(rows->pixels);
    rows->pixels = nullptr;
}

void free_top_rows_pixels(uint8_t* pixels) {
    give_block(&kept.pixels, pixels);
}
