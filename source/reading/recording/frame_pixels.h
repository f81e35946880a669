// frame_pixels.h - the few RGB pixels of a decoded 4:2:0 frame that the
// gauge looks at, in an image laid out as a screenshot's top rows.
//
//     GaugePixels pixels;
//     if (!gauge_pixels_begin(width, height, &pixels)) ... out of memory ...
//     YuvPlanes planes = {{y, u, v}, {y_stride, u_stride, v_stride}, width, height, false};
//     convert_pixels(planes, to_rgb, x, y, count, &pixels);  // only what is looked at
//     ... gauge.h's functions on pixels.image ...
//     gauge_pixels_end(&pixels);
//
// The image spans the top rows that the candidate layouts and their gauge
// pictures reach (gauge.h), so gauge.cpp's functions read it as they read
// a screenshot; only the pixels converted hold the frame's colours, the
// rest keep whatever they held. Coordinates past the width run on into the
// next row, as the gauge reads them.
#pragma once

#include "reading/image.h"
#include "reading/recording/yuv.h"

#include <cstdint>

// A decoded frame's planes: Y at full size, Cb and Cr at half size each
// way; samples are bytes, or 16-bit words (10 bit) when wide.
struct YuvPlanes {
    const uint8_t* data[3];
    int stride[3];  // bytes from one row to the next
    int width, height;
    bool wide;
};

struct GaugePixels {
    uint8_t* rgb;  // the top rows, 3 bytes a pixel
    Image image;   // over rgb: the frame's width and height, size = the rows' bytes
};

// The rows the layouts of a width x height frame and their gauge pictures
// look at; false when memory runs out. The size must fit a layout.
bool gauge_pixels_begin(int width, int height, GaugePixels* pixels);
void gauge_pixels_end(GaugePixels* pixels);

// Converts `count` pixels from (x, y) on, as the gauge addresses them
// (running on past the width into the next row); pixels outside the frame
// or the rows are left alone.
void convert_pixels(const YuvPlanes& planes, const YuvConverter& to_rgb, int32_t x, int32_t y,
                    int32_t count, GaugePixels* pixels);

// The three sample points of a layout, its bar's scan line, and the rows of
// its gauge picture (crop_gauge).
void convert_sample_points(const YuvPlanes& planes, const YuvConverter& to_rgb,
                           const GaugeType& type, GaugePixels* pixels);
void convert_bar(const YuvPlanes& planes, const YuvConverter& to_rgb, const GaugeType& type,
                 GaugePixels* pixels);
void convert_crop_region(const YuvPlanes& planes, const YuvConverter& to_rgb,
                         const GaugeType& type, GaugePixels* pixels);
