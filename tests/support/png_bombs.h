// png_bombs.h - hostile and oversized files for the tests, the fuzzer's
// seeds and the memory benchmark, built in memory in a moment however much
// their data claims or inflates to.
//
//     std::string png = deep_png(16384, 16383, false);      // 2 MB, 4 GiB of pixels
//     std::string shot = tall_png(top, 25600, 14400, 16);   // a gauge on top, zeros below
//
// Runs of zero bytes are deflated once and the compressed piece repeated, so
// even gigabytes of inflated data take a few milliseconds to build.
#pragma once

#include "support/screenshot_maker.h"

#include <cstdint>
#include <string>

// A zlib stream that inflates to `prefix` followed by zero bytes, `total`
// bytes in all.
std::string zlib_with_zeros(const std::string& prefix, uint64_t total);

// A PNG file: signature, IHDR, the zlib stream in IDAT chunks, IEND.
std::string png_file(uint32_t width, uint32_t height, int depth, int colour, bool interlaced,
                     const std::string& zlib_stream);

// Bytes of filtered image data (filter bytes included) of a PNG.
uint64_t png_data_size(uint32_t width, uint32_t height, int depth, int channels, bool interlaced);

// A 16-bit RGBA PNG of zeros: small file, huge image.
std::string deep_png(uint32_t width, uint32_t height, bool interlaced);

// A 1x1 RGB PNG whose compressed data inflates to `inflated` bytes.
std::string inflating_png(uint64_t inflated);

// The screenshot's rows on top (8 or 16 bits a channel; a 16-bit sample's
// high byte is the screenshot's, its low byte noise), then zero rows down to
// `height`. Not interlaced, filter None throughout.
std::string tall_png(const Screenshot& top, uint32_t height, int depth);

// Headers of other image formats claiming large pictures, without their
// pixel data: a 40-byte PSD, a 54-byte BMP, a 13-byte GIF.
std::string psd_header();
std::string bmp_header();
std::string gif_header();
