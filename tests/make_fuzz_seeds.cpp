// make_fuzz_seeds - writes the fuzzer's seed screenshots.
//
//     make_fuzz_seeds <folder>
//
// Small screenshots that match the layouts by width or by height, RGB and
// RGBA, with different filters and IDAT sizes, so that the fuzzer starts
// from files that reach the fast decode and the bar walk.
#include "png_writer.h"

#include <cstdio>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    struct Seed {
        const char* name;
        int width, height, channels, type, filled, filter;
        size_t idat_size;
    };
    const Seed seeds[] = {
        {"rgb-1920x64.png", 1920, 64, 3, 3, 120, -1, 1 << 16},
        {"rgba-1920x64.png", 1920, 64, 4, 4, 389, 4, 512},
        {"rgb-2560x72.png", 2560, 72, 3, 1, 201, 1, 1 << 16},
        {"rgb-40x1080.png", 40, 1080, 3, 5, 240, 2, 97},
        {"rgba-8x1440.png", 8, 1440, 4, 1, 0, 3, 1 << 16},
    };
    int failures = 0;
    for (const Seed& seed : seeds) {
        Screenshot shot = blank_screenshot(seed.width, seed.height, seed.channels, 20);
        paint_gauge(shot, seed.type, seed.filled);
        PngOptions options;
        options.level = 9;
        options.filter = seed.filter;
        options.idat_size = seed.idat_size;
        std::string png = encode_png(shot, options);
        std::string path = std::string(argv[1]) + "/" + seed.name;
        FILE* file = fopen(path.c_str(), "wb");
        if (!file || fwrite(png.data(), 1, png.size(), file) != png.size() || fclose(file) != 0) {
            fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
