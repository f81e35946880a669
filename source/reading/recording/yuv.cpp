// yuv.cpp - the fixed-point coefficients of each YUV format (see yuv.h).
#include "reading/recording/yuv.h"

#include <cmath>

static int32_t fixed(double value) {
    return static_cast<int32_t>(std::lround(value * 65536.0));
}

YuvConverter yuv_converter(const YuvFormat& format) {
    // Kr and Kb of the matrix; Kg = 1 - Kr - Kb.
    double kr = format.matrix == YuvMatrix::bt601 ? 0.299 : 0.2126;
    double kb = format.matrix == YuvMatrix::bt601 ? 0.114 : 0.0722;
    double kg = 1.0 - kr - kb;
    double step = format.bits == 10 ? 4.0 : 1.0;  // a 10-bit code per 8-bit code
    double top = format.bits == 10 ? 1023.0 : 255.0;
    // Y and C codes per full swing of Y' (0..1) and of Pb, Pr (-0.5..0.5).
    double y_span = format.full_range ? top : 219.0 * step;
    double c_span = format.full_range ? top : 224.0 * step;
    YuvConverter to_rgb;
    to_rgb.y_black = format.full_range ? 0 : static_cast<int32_t>(16 * step);
    to_rgb.c_zero = static_cast<int32_t>(128 * step);
    to_rgb.y_scale = fixed(255.0 / y_span);
    to_rgb.r_from_cr = fixed(255.0 * 2.0 * (1.0 - kr) / c_span);
    to_rgb.b_from_cb = fixed(255.0 * 2.0 * (1.0 - kb) / c_span);
    to_rgb.g_from_cb = fixed(255.0 * 2.0 * (1.0 - kb) * kb / kg / c_span);
    to_rgb.g_from_cr = fixed(255.0 * 2.0 * (1.0 - kr) * kr / kg / c_span);
    return to_rgb;
}
