// frame_pixels.cpp - converting the gauge's pixels of a 4:2:0 frame (see
// frame_pixels.h).
#include "reading/recording/frame_pixels.h"

#include <cstdlib>
#include <cstring>

// One past the furthest row the layouts and the crop around their bars reach.
static int64_t rows_needed(int width, int height) {
    uint64_t bytes = gauge_bytes_needed(width, height, 3);
    int64_t rows = static_cast<int64_t>(bytes / (static_cast<uint64_t>(width) * 3)) + 1;
    for (const GaugeType& type : gauge_types) {
        if (type.screen_width != width && type.screen_height != height) continue;
        int64_t end = static_cast<int64_t>(type.bar_row) + CROP_MARGIN +
                      (static_cast<int64_t>(type.bar_last) + CROP_MARGIN) / width + 1;
        if (end > rows) rows = end;
    }
    return rows < height ? rows : height;
}

bool gauge_pixels_begin(int width, int height, GaugePixels* pixels) {
    *pixels = {};
    if (width <= 0 || height <= 0) return false;
    size_t size = static_cast<size_t>(rows_needed(width, height)) * static_cast<size_t>(width) * 3;
    pixels->rgb = static_cast<uint8_t*>(calloc(size, 1));
    if (!pixels->rgb) return false;
    pixels->image = {pixels->rgb, size, width, height, 3};
    return true;
}

void gauge_pixels_end(GaugePixels* pixels) {
    free(pixels->rgb);
    *pixels = {};
}

static int32_t sample(const YuvPlanes& planes, int plane, int x, int y) {
    const uint8_t* row = planes.data[plane] + static_cast<ptrdiff_t>(y) * planes.stride[plane];
    if (!planes.wide) return row[x];
    uint16_t word;
    memcpy(&word, row + 2 * x, 2);
    return word;
}

void convert_pixels(const YuvPlanes& planes, const YuvConverter& to_rgb, int32_t x, int32_t y,
                    int32_t count, GaugePixels* pixels) {
    if (x < 0 || y < 0 || count <= 0) return;
    const int64_t width = planes.width;
    int64_t first = static_cast<int64_t>(y) * width + x;
    int64_t end = first + count;
    int64_t limit = static_cast<int64_t>(pixels->image.size / 3);
    int64_t frame_end = width * planes.height;
    if (end > limit) end = limit;
    if (end > frame_end) end = frame_end;
    for (int64_t at = first; at < end; ++at) {
        int px = static_cast<int>(at % width);
        int py = static_cast<int>(at / width);
        Colour colour = yuv_to_rgb(to_rgb, sample(planes, 0, px, py),
                                   sample(planes, 1, px / 2, py / 2),
                                   sample(planes, 2, px / 2, py / 2));
        uint8_t* out = pixels->rgb + at * 3;
        out[0] = colour.red;
        out[1] = colour.green;
        out[2] = colour.blue;
    }
}

void convert_sample_points(const YuvPlanes& planes, const YuvConverter& to_rgb,
                           const GaugeType& type, GaugePixels* pixels) {
    for (const SamplePoint& point : type.points) {
        convert_pixels(planes, to_rgb, point.x, point.y, 1, pixels);
    }
}

void convert_bar(const YuvPlanes& planes, const YuvConverter& to_rgb, const GaugeType& type,
                 GaugePixels* pixels) {
    convert_pixels(planes, to_rgb, type.bar_first, type.bar_row,
                   static_cast<int32_t>(bar_length(type)), pixels);
}

void convert_crop_region(const YuvPlanes& planes, const YuvConverter& to_rgb,
                         const GaugeType& type, GaugePixels* pixels) {
    int32_t count = static_cast<int32_t>(bar_length(type)) + 2 * CROP_MARGIN;
    for (int32_t y = type.bar_row - CROP_MARGIN; y <= type.bar_row + CROP_MARGIN; ++y) {
        convert_pixels(planes, to_rgb, type.bar_first - CROP_MARGIN, y, count, pixels);
    }
}
