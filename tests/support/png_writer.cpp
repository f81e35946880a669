// png_writer.cpp - a small PNG encoder for tests and the benchmark.
#include "support/png_writer.h"

#include <cstdlib>
#include <zlib.h>

void put32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void put_chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, static_cast<uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

namespace {

int paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// One row with its filter byte in front.
void filter_row(const uint8_t* row, const uint8_t* prior, size_t length, int bpp, int filter,
                std::string& out) {
    out.push_back(static_cast<char>(filter));
    for (size_t i = 0; i < length; ++i) {
        int a = i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0;
        int b = prior ? prior[i] : 0;
        int c = prior && i >= static_cast<size_t>(bpp) ? prior[i - bpp] : 0;
        int predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                      : filter == 4 ? paeth(a, b, c) : 0;
        out.push_back(static_cast<char>(row[i] - predicted));
    }
}

}  // namespace

std::string encode_png(const Screenshot& shot, const PngOptions& options) {
    static const int COLOUR_TYPE[] = {0, 0, 4, 2, 6};
    size_t samples = static_cast<size_t>(shot.width) * shot.channels;
    int sample_bytes = options.depth == 16 ? 2 : 1;
    size_t row_bytes = samples * sample_bytes;
    std::vector<uint8_t> rows(row_bytes * shot.height);
    for (size_t i = 0; i < samples * shot.height; ++i) {
        rows[i * sample_bytes] = shot.pixels[i];
        if (sample_bytes == 2) rows[i * 2 + 1] = static_cast<uint8_t>(~shot.pixels[i] ^ (i % 7));
    }
    std::string raw;
    raw.reserve((row_bytes + 1) * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        const uint8_t* row = rows.data() + y * row_bytes;
        int filter = options.filter >= 0 ? options.filter : y % 5;
        filter_row(row, y > 0 ? row - row_bytes : nullptr, row_bytes, shot.channels * sample_bytes,
                   filter, raw);
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packed_size, '\0');
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &packed_size,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), options.level);
    packed.resize(packed_size);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    put32(header, static_cast<uint32_t>(shot.width));
    put32(header, static_cast<uint32_t>(shot.height));
    header += std::string{static_cast<char>(options.depth == 16 ? 16 : 8),
                          static_cast<char>(COLOUR_TYPE[shot.channels]), 0, 0, 0};
    put_chunk(png, "IHDR", header);
    size_t step = options.idat_size > 0 ? options.idat_size : 1;
    for (size_t at = 0; at < packed.size(); at += step) put_chunk(png, "IDAT", packed.substr(at, step));
    put_chunk(png, "IEND", "");
    return png;
}

std::vector<size_t> chunk_offsets(const std::string& png) {
    std::vector<size_t> offsets;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        offsets.push_back(at);
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<uint8_t>(png[at + i]);
        at += 12 + static_cast<size_t>(length);
    }
    return offsets;
}
