// decode.cpp - turning a screenshot file into pixels (see decode.h).
#include "decode.h"

#include <cstdlib>
#include <stb_image.h>

#ifdef HEALTHGAUGE_FAST_DECODE
#include "png_rows.h"
#endif

static bool decode_whole(FILE* file, DecodedImage* decoded) {
    if (fseek(file, 0, SEEK_SET) != 0) return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_file(file, &width, &height, &channels, 0);
    if (!pixels) return false;
    size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) *
                  static_cast<size_t>(channels);
    decoded->pixels = pixels;
    decoded->image = {pixels, size, width, height, channels};
    decoded->whole = true;
    return true;
}

bool decode_screenshot(FILE* file, BytesNeeded bytes_needed, bool fast, DecodedImage* decoded) {
#ifdef HEALTHGAUGE_FAST_DECODE
    TopRows rows;
    if (fast && decode_top_rows(file, bytes_needed, &rows)) {
        decoded->pixels = rows.pixels;
        decoded->image = rows.image;
        decoded->whole = false;
        return true;
    }
#else
    (void)bytes_needed;
    (void)fast;
#endif
    return decode_whole(file, decoded);
}

void free_decoded(DecodedImage* decoded) {
    if (decoded->whole) {
        stbi_image_free(decoded->pixels);
    } else {
        free(decoded->pixels);
    }
    decoded->pixels = nullptr;
}
