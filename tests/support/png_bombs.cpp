// png_bombs.cpp - hostile and oversized files (see png_bombs.h).
#include "support/png_bombs.h"

#include "support/png_writer.h"

#include <zlib.h>

namespace {

void put_le(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// Raw deflate blocks of `data` from a fresh state, ending on a byte
// boundary (a full flush), not final: pieces like it can follow one another.
std::string deflate_piece(const std::string& data) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FULL_FLUSH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

std::string zlib_with_zeros(const std::string& prefix, uint64_t total) {
    const uint64_t PIECE = 1 << 20;
    std::string out = "\x78\xda";
    out += deflate_piece(prefix);
    uint64_t zeros = total > prefix.size() ? total - prefix.size() : 0;
    std::string piece = deflate_piece(std::string(PIECE, '\0'));
    for (uint64_t left = zeros; left >= PIECE; left -= PIECE) out += piece;
    out += deflate_piece(std::string(zeros % PIECE, '\0'));
    out += std::string("\x03\x00", 2);  // an empty final block
    uLong check = adler32(1, reinterpret_cast<const Bytef*>(prefix.data()),
                          static_cast<uInt>(prefix.size()));
    // Zero bytes leave the first sum alone and add it to the second each time.
    uint32_t low = check & 0xffff, high = check >> 16;
    high = static_cast<uint32_t>((high + (zeros % 65521) * low) % 65521);
    put32(out, high << 16 | low);
    return out;
}

std::string png_file(uint32_t width, uint32_t height, int depth, int colour, bool interlaced,
                     const std::string& zlib_stream) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    put32(header, width);
    put32(header, height);
    header += std::string{static_cast<char>(depth), static_cast<char>(colour), 0, 0,
                          static_cast<char>(interlaced ? 1 : 0)};
    put_chunk(png, "IHDR", header);
    const size_t STEP = 1 << 20;
    for (size_t at = 0; at < zlib_stream.size(); at += STEP) {
        put_chunk(png, "IDAT", zlib_stream.substr(at, STEP));
    }
    put_chunk(png, "IEND", "");
    return png;
}

uint64_t png_data_size(uint32_t width, uint32_t height, int depth, int channels, bool interlaced) {
    auto pass_size = [&](uint64_t w, uint64_t h) {
        return w && h ? ((w * channels * depth + 7) / 8 + 1) * h : 0;
    };
    if (!interlaced) return pass_size(width, height);
    static const int X0[] = {0, 4, 0, 2, 0, 1, 0}, Y0[] = {0, 0, 4, 0, 2, 0, 1};
    static const int DX[] = {8, 8, 4, 4, 2, 2, 1}, DY[] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t size = 0;
    for (int pass = 0; pass < 7; ++pass) {
        uint64_t w = width > uint32_t(X0[pass]) ? (width - X0[pass] + DX[pass] - 1) / DX[pass] : 0;
        uint64_t h = height > uint32_t(Y0[pass]) ? (height - Y0[pass] + DY[pass] - 1) / DY[pass] : 0;
        size += pass_size(w, h);
    }
    return size;
}

std::string deep_png(uint32_t width, uint32_t height, bool interlaced) {
    uint64_t size = png_data_size(width, height, 16, 4, interlaced);
    return png_file(width, height, 16, 6, interlaced, zlib_with_zeros("", size));
}

std::string inflating_png(uint64_t inflated) {
    // One row: a filter byte and one pixel; the rest is data too much.
    return png_file(1, 1, 8, 2, false, zlib_with_zeros(std::string(4, '\0'), inflated));
}

std::string tall_png(const Screenshot& top, uint32_t height, int depth) {
    static const int COLOUR_TYPE[] = {0, 0, 4, 2, 6};
    size_t samples = static_cast<size_t>(top.width) * top.channels;
    std::string rows;
    uint32_t noise = 12345;
    for (int y = 0; y < top.height; ++y) {
        rows.push_back('\0');
        for (size_t i = 0; i < samples; ++i) {
            rows.push_back(static_cast<char>(top.pixels[y * samples + i]));
            if (depth == 16) {
                noise = noise * 1103515245u + 12345u;
                rows.push_back(static_cast<char>(noise >> 24));
            }
        }
    }
    uint64_t size = png_data_size(top.width, height, depth, top.channels, false);
    return png_file(top.width, height, depth, COLOUR_TYPE[top.channels], false,
                    zlib_with_zeros(rows, size));
}

std::string psd_header() {
    std::string psd = "8BPS";
    psd += std::string("\0\1", 2) + std::string(6, '\0');  // version 1, reserved
    psd += std::string("\0\4", 2);                          // four channels
    put32(psd, 23170);                                      // height
    put32(psd, 23170);                                      // width
    psd += std::string("\0\x08\0\x03", 4);                  // 8 bits, RGB
    psd += std::string(12, '\0');                           // three empty sections
    psd += std::string("\0\0", 2);                          // raw pixel data follows
    return psd;                                             // 40 bytes, and no pixels
}

std::string bmp_header() {
    std::string bmp = "BM";
    put_le(bmp, 54 + 200000000u, 4);
    put_le(bmp, 0, 4);
    put_le(bmp, 54, 4);     // pixels start right after the headers
    put_le(bmp, 40, 4);     // BITMAPINFOHEADER
    put_le(bmp, 10000, 4);  // width
    put_le(bmp, 20000, 4);  // height
    put_le(bmp, 1, 2);
    put_le(bmp, 32, 2);     // bits a pixel
    put_le(bmp, 0, 4);      // no compression
    bmp += std::string(20, '\0');  // image size, resolution, colours: none given
    return bmp;  // 54 bytes
}

std::string gif_header() {
    std::string gif = "GIF89a";
    put_le(gif, 8000, 2);
    put_le(gif, 7500, 2);
    gif += std::string("\0\0\0", 3);  // no colour table
    return gif;  // 13 bytes
}
