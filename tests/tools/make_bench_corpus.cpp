// make_bench_corpus - writes seeded, realistic screenshots for the benchmark.
//
//     make_bench_corpus <folder> <width> <height> <channels> <count> <seed> [first]
//
// Files are named shotNNNN.png from number `first` (default 0) on, so that
// several runs can fill one folder side by side.
// Noisy, rendered-looking content (4 to 7 MB a file at 2560x1440), a gauge
// of one of the layouts that fit the size at a seeded fill, and a mix of
// zlib levels, filter choices and IDAT chunk sizes.
#include "support/png_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 7 && argc != 8) {
        fprintf(stderr, "usage: make_bench_corpus <folder> <width> <height> <channels> <count> <seed> [first]\n");
        return 2;
    }
    std::string folder = argv[1];
    int width = atoi(argv[2]), height = atoi(argv[3]), channels = atoi(argv[4]);
    int count = atoi(argv[5]);
    uint32_t seed = static_cast<uint32_t>(strtoul(argv[6], nullptr, 10));
    int first = argc == 8 ? atoi(argv[7]) : 0;

    std::vector<int> types;
    for (int type = 0; type < GAUGE_TYPE_COUNT; ++type) {
        if (gauge_types[type].screen_width == width || gauge_types[type].screen_height == height) {
            types.push_back(type);
        }
    }
    if (types.empty()) {
        fprintf(stderr, "make_bench_corpus: no layout fits %dx%d\n", width, height);
        return 2;
    }
    static const int LEVELS[] = {1, 3, 6, 9};
    static const size_t IDAT_SIZES[] = {8192, 65536, 1 << 20};
    for (int i = first; i < first + count; ++i) {
        uint32_t state = seed * 7919u + static_cast<uint32_t>(i) * 104729u;
        int type = types[state % types.size()];
        const GaugeType& gauge = gauge_types[type];
        int filled = static_cast<int>((state / 7) % static_cast<uint32_t>(gauge.bar_last - gauge.bar_first + 2));

        Screenshot shot = blank_screenshot(width, height, channels);
        add_scenery(shot, state);
        paint_gauge(shot, type, filled);
        PngOptions options;
        options.level = LEVELS[(state / 3) % 4];
        options.filter = static_cast<int>((state / 11) % 6) - 1;
        options.idat_size = IDAT_SIZES[(state / 13) % 3];
        std::string png = encode_png(shot, options);

        char name[64];
        snprintf(name, sizeof name, "/shot%04d.png", i);
        FILE* file = fopen((folder + name).c_str(), "wb");
        if (!file || fwrite(png.data(), 1, png.size(), file) != png.size() || fclose(file) != 0) {
            fprintf(stderr, "make_bench_corpus: cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
