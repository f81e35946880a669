// make_compare_folder - writes a folder of screenshots whose damages follow
// a seeded spread, for the compare mode's demonstration and benchmark
// (scripts/bench/compare).
//
//     make_compare_folder <folder> <count> <centre> <spread> <misses> <seed> [scenery] [linked]
//
// Each screenshot (1920x1080 RGB, the 240-pixel bar of layout 6) is a
// complete miss with a chance of <misses> percent, else its damage is
// <centre> permille plus or minus up to <spread>, in steps the bar shows
// exactly. With "scenery" the screenshots carry noisy, rendered-looking
// content (about 2 MB a file) instead of a black ground. The bar has 241
// possible fills, so each fill is drawn and encoded once and its bytes are
// written for every screenshot that has it (with scenery, the first such
// screenshot's scenery). With "linked" the later screenshots of a fill are
// hard links to its first file: twelve folders of 2,000 screenshots with
// scenery then take about 3 GB rather than 48.
#include "support/png_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

constexpr int TYPE = 5;
constexpr int BAR = 240;

int main(int argc, char* argv[]) {
    if (argc < 7 || argc > 9) {
        fprintf(stderr, "usage: make_compare_folder <folder> <count> <centre> <spread> <misses> "
                        "<seed> [scenery] [linked]\n");
        return 2;
    }
    std::string folder = argv[1];
    int count = atoi(argv[2]), centre = atoi(argv[3]), spread = atoi(argv[4]);
    int misses = atoi(argv[5]);
    uint64_t state = strtoull(argv[6], nullptr, 10) * 2654435761u + 1;
    bool scenery = false, linked = false;
    for (int a = 7; a < argc; ++a) {
        scenery = scenery || strcmp(argv[a], "scenery") == 0;
        linked = linked || strcmp(argv[a], "linked") == 0;
    }
    std::map<int, std::string> encoded;  // fill -> PNG bytes
    std::map<int, std::string> first;    // fill -> its first file, when linked
    for (int i = 0; i < count; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        uint32_t draw = static_cast<uint32_t>(state >> 33);
        int damage = static_cast<int>(draw % 100) < misses
                         ? 0
                         : centre - spread + static_cast<int>((draw / 100) % (2 * spread + 1));
        damage = damage < 0 ? 0 : damage > 1000 ? 1000 : damage;
        int filled = BAR - damage * BAR / 1000;  // a whole pixel count: exact readings
        std::string& png = encoded[filled];
        if (png.empty()) {
            Screenshot shot = blank_screenshot(1920, 1080, 3);
            if (scenery) add_scenery(shot, draw);
            paint_gauge(shot, TYPE, filled);
            PngOptions fast;  // quick to write; reading is what is measured
            fast.level = 1;
            fast.filter = 0;
            png = encode_png(shot, fast);
        }
        char name[64];
        snprintf(name, sizeof name, "/shot%04d.png", i);
        std::string& original = first[filled];
        if (linked && !original.empty()) {
            if (link(original.c_str(), (folder + name).c_str()) == 0) continue;
            fprintf(stderr, "make_compare_folder: cannot link %s%s\n", folder.c_str(), name);
            return 1;
        }
        original = folder + name;
        FILE* file = fopen((folder + name).c_str(), "wb");
        if (!file || fwrite(png.data(), 1, png.size(), file) != png.size() || fclose(file) != 0) {
            fprintf(stderr, "make_compare_folder: cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
