// crop_png.h - a gauge crop as a small PNG file in memory, for the report.
//
//     CropPng png;
//     if (encode_crop_png(crop, &png)) ... png.data, png.size ...
//     free_crop_png(&png);
//
// The picture is the crop's RGB pixels as they are. Encoding one takes about
// 0.3 ms and 10 KB for a noisy 413 x 25 crop (scripts/bench/report).
#pragma once

#include "reading/gauge.h"

#include <cstddef>
#include <cstdint>

struct CropPng {
    uint8_t* data;  // the PNG file's bytes (malloc'd), null when empty
    size_t size;
};

// Encodes the crop; false (and png empty) when memory is short.
bool encode_crop_png(const GaugeCrop& crop, CropPng* png);

void free_crop_png(CropPng* png);
