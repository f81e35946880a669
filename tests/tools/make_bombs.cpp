// make_bombs - writes one hostile or oversized file, for the memory benchmark.
//
//     make_bombs <file> <kind>
//
// Kinds: deep16 (16384x16383 16-bit RGBA, 2 MB), interlaced16 (the same,
// interlaced), inflating (1x1, its data inflates to 2 GiB), psd, bmp, gif
// (headers of other formats claiming large pictures), big8 (a genuine
// 25600x14400 RGB screenshot), big16 (a genuine 12800x7200 16-bit RGBA one).
#include "support/png_bombs.h"

#include <cstdio>
#include <cstring>
#include <string>

static std::string screenshot_file(int width, int height, int channels, int type, int depth) {
    Screenshot top = blank_screenshot(width, 80, channels, 30);
    paint_gauge(top, type, 150);
    return tall_png(top, static_cast<uint32_t>(height), depth);
}

static bool make(const char* kind, std::string* bytes) {
    if (strcmp(kind, "deep16") == 0) *bytes = deep_png(16384, 16383, false);
    else if (strcmp(kind, "interlaced16") == 0) *bytes = deep_png(16384, 16383, true);
    else if (strcmp(kind, "inflating") == 0) *bytes = inflating_png(uint64_t(1) << 31);
    else if (strcmp(kind, "psd") == 0) *bytes = psd_header();
    else if (strcmp(kind, "bmp") == 0) *bytes = bmp_header();
    else if (strcmp(kind, "gif") == 0) *bytes = gif_header();
    else if (strcmp(kind, "big8") == 0) *bytes = screenshot_file(25600, 14400, 3, 0, 8);
    else if (strcmp(kind, "big16") == 0) *bytes = screenshot_file(12800, 7200, 4, 6, 16);
    else return false;
    return true;
}

int main(int argc, char* argv[]) {
    std::string bytes;
    if (argc != 3 || !make(argv[2], &bytes)) {
        fprintf(stderr, "usage: make_bombs <file> deep16|interlaced16|inflating|psd|bmp|gif|big8|big16\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        fprintf(stderr, "make_bombs: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
