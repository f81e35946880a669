// make_examples - writes the sample screenshots of examples/.
//
//     make_examples <folder>
//
// Each shows one of the gauge layouts that 1920x1080 and 2560x1440 screens
// can match, at a different fill, over a plain gradient that keeps the files
// small; one shows no gauge at all. The names number them in the order they
// were taken.
#include "support/screenshot_maker.h"

#include <cstdio>
#include <string>

namespace {

struct Sample {
    const char* name;
    int width, height, channels;
    int type;       // -1 for no gauge
    int filled;     // bar pixels
};

const Sample SAMPLES[] = {
    {"shot0038.png", 1920, 1080, 3, 3, 237},
    {"shot0039.png", 1920, 1080, 4, 4, 140},
    {"shot0040.png", 1920, 1080, 3, 5, 60},
    {"shot0041.png", 1920, 1080, 3, -1, 0},
    {"shot0042.png", 2560, 1440, 3, 1, 201},
};

void paint_gradient(Screenshot& shot) {
    for (int y = 0; y < shot.height; ++y) {
        // Dark at the top, where the gauges are, so no sample point matches
        // by accident.
        Colour colour = {static_cast<uint8_t>(y * 40 / shot.height),
                         static_cast<uint8_t>(y * 50 / shot.height),
                         static_cast<uint8_t>(10 + y * 80 / shot.height)};
        for (int x = 0; x < shot.width; ++x) set_pixel(shot, x, y, colour);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_examples <folder>\n");
        return 2;
    }
    int failures = 0;
    for (const Sample& sample : SAMPLES) {
        Screenshot shot = blank_screenshot(sample.width, sample.height, sample.channels);
        paint_gradient(shot);
        if (sample.type >= 0) paint_gauge(shot, sample.type, sample.filled);
        std::string path = std::string(argv[1]) + "/" + sample.name;
        if (!write_png(shot, path)) {
            fprintf(stderr, "make_examples: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
