// crop_png.cpp - a gauge crop as a PNG file in memory (see crop_png.h).
#include "modes/report/crop_png.h"

#include <stb_image_write.h>

#include <cstdlib>
#include <cstring>

constexpr int CROP_FILTER = 1;  // Sub: each byte less the one to its left

// stb_image_write hands over the whole file in one call.
static void keep_bytes(void* context, void* data, int size) {
    CropPng* png = static_cast<CropPng*>(context);
    if (png->data || size <= 0) return;
    png->data = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
    if (!png->data) return;
    memcpy(png->data, data, static_cast<size_t>(size));
    png->size = static_cast<size_t>(size);
}

bool encode_crop_png(const GaugeCrop& crop, CropPng* png) {
    png->data = nullptr;
    png->size = 0;
    if (crop.width <= 0 || crop.width > CROP_MAX_WIDTH || crop.height != CROP_HEIGHT) return false;
    // One filter for every row (Sub: the smallest files for these pictures
    // in scripts/bench/report) instead of trying all five on each row: a
    // third of the time.
    int filter = stbi_write_force_png_filter;
    stbi_write_force_png_filter = CROP_FILTER;
    bool written = stbi_write_png_to_func(keep_bytes, png, crop.width, crop.height, 3,
                                          crop.pixels, crop.width * 3) != 0;
    stbi_write_force_png_filter = filter;
    return written && png->data != nullptr;
}

void free_crop_png(CropPng* png) {
    free(png->data);
    png->data = nullptr;
    png->size = 0;
}
