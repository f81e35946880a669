// yuv.h - one pixel's colour from its Y and its chroma samples, by the
// video's matrix and range.
//
//     YuvConverter to_rgb = yuv_converter({YuvMatrix::bt709, false, 8});
//     Colour colour = yuv_to_rgb(to_rgb, y, cb, cr);
//
// No smoothing and no scaling library: a frame's pixel takes its own Y and
// the Cb and Cr of its 2x2 block (frame_pixels.h), converted here with
// fixed-point coefficients worked out once per format. 10-bit samples give
// 8-bit colours, as the gauge compares them.
#pragma once

#include "reading/gauge.h"

#include <cstdint>

enum class YuvMatrix : uint8_t { bt601, bt709 };

struct YuvFormat {
    YuvMatrix matrix;
    bool full_range;  // 0..255 (0..1023) rather than 16..235 (64..940)
    int bits;         // 8 or 10
};

// The format's coefficients in 16.16 fixed point, output scaled to 0..255.
struct YuvConverter {
    int32_t y_black;   // Y of black
    int32_t c_zero;    // Cb, Cr of no colour
    int32_t y_scale;   // per Y step
    int32_t r_from_cr, g_from_cb, g_from_cr, b_from_cb;
};

YuvConverter yuv_converter(const YuvFormat& format);

inline uint8_t clamp_byte(int32_t fixed) {
    int32_t value = (fixed + 32768) >> 16;
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

inline Colour yuv_to_rgb(const YuvConverter& to_rgb, int32_t y, int32_t cb, int32_t cr) {
    int32_t luma = (y - to_rgb.y_black) * to_rgb.y_scale;
    cb -= to_rgb.c_zero;
    cr -= to_rgb.c_zero;
    return {clamp_byte(luma + to_rgb.r_from_cr * cr),
            clamp_byte(luma - to_rgb.g_from_cb * cb - to_rgb.g_from_cr * cr),
            clamp_byte(luma + to_rgb.b_from_cb * cb)};
}
