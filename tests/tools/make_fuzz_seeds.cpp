// make_fuzz_seeds - writes the fuzzer's seed files.
//
//     make_fuzz_seeds <folder>
//
// Small screenshots that match the layouts by width or by height, RGB and
// RGBA, 8 and 16 bits, with different filters and IDAT sizes, so that the
// fuzzer starts from files that reach the fast decode and the bar walk; and
// hostile files in small: images whose data claims or inflates to far more
// than the file holds, and other formats named .png (real JPEG and BMP
// pictures, and PSD, BMP and GIF headers claiming large pictures).
#include "support/png_bombs.h"
#include "support/png_writer.h"

#include <cstdio>
#include <stb_image_write.h>
#include <string>

namespace {

bool write_seed(const std::string& folder, const char* name, const std::string& bytes) {
    std::string path = folder + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    struct Seed {
        const char* name;
        int width, height, channels, type, filled, filter;
        size_t idat_size;
        int depth;
    };
    const Seed seeds[] = {
        {"rgb-1920x64.png", 1920, 64, 3, 3, 120, -1, 1 << 16, 8},
        {"rgba-1920x64.png", 1920, 64, 4, 4, 389, 4, 512, 8},
        {"rgb-2560x72.png", 2560, 72, 3, 1, 201, 1, 1 << 16, 8},
        {"rgb-40x1080.png", 40, 1080, 3, 5, 240, 2, 97, 8},
        {"rgba-8x1440.png", 8, 1440, 4, 1, 0, 3, 1 << 16, 8},
        {"rgb16-1920x64.png", 1920, 64, 3, 4, 300, -1, 1 << 16, 16},
        {"rgba16-24x1440.png", 24, 1440, 4, 1, 389, 4, 1000, 16},
    };
    int failures = 0;
    for (const Seed& seed : seeds) {
        Screenshot shot = blank_screenshot(seed.width, seed.height, seed.channels, 20);
        paint_gauge(shot, seed.type, seed.filled);
        PngOptions options;
        options.level = 9;
        options.filter = seed.filter;
        options.idat_size = seed.idat_size;
        options.depth = seed.depth;
        failures += !write_seed(folder, seed.name, encode_png(shot, options));
    }

    // Claims and data far beyond the file's size.
    failures += !write_seed(folder, "deep16-2048x2047.png", deep_png(2048, 2047, false));
    failures += !write_seed(folder, "interlaced16-2048x2047.png", deep_png(2048, 2047, true));
    failures += !write_seed(folder, "inflating-1x1.png", inflating_png(8 << 20));
    Screenshot top = blank_screenshot(1920, 64, 3, 20);
    paint_gauge(top, 5, 100);
    failures += !write_seed(folder, "tall-1920x5000.png", tall_png(top, 5000, 8));

    // Other formats with a .png name.
    failures += !write_seed(folder, "psd-header.png", psd_header());
    failures += !write_seed(folder, "bmp-header.png", bmp_header());
    failures += !write_seed(folder, "gif-header.png", gif_header());
    Screenshot small = blank_screenshot(64, 8, 3, 90);
    std::string jpeg, bmp;
    stbi_write_jpg_to_func(append_bytes, &jpeg, small.width, small.height, 3, small.pixels.data(), 80);
    stbi_write_bmp_to_func(append_bytes, &bmp, small.width, small.height, 3, small.pixels.data());
    failures += !write_seed(folder, "jpeg.png", jpeg);
    failures += !write_seed(folder, "bmp.png", bmp);
    return failures ? 1 : 0;
}
