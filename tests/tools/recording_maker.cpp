// recording_maker - raw video frames of a synthetic scene of play, with a
// truth file of its hits, for the recording tests and benchmark.
//
//     recording_maker LAYOUT SECONDS BAR_HEIGHT MATRIX RANGE BITS SEED TRUTH |
//         ffmpeg -f rawvideo -pix_fmt yuv420p -s 1920x1080 -r 60 -i - ... clip.mp4
//
// LAYOUT is a row of gauge_types (its screen size is the frames'), MATRIX
// 601 or 709, RANGE limited or full, BITS 8 (yuv420p) or 10 (yuv420p10le,
// little-endian words). The frames (60 a second) go to standard output;
// TRUTH gets the layout's row on its first line and then one line per hit,
// "POSITION READING DAMAGE" (seconds of the hit's first frame, permille).
//
// The scene repeats a 2.1-second script as long as SECONDS asks: a full
// bar, a 2-pixel hit, a hit of 35 % of the bar, a drain over 250 ms, a
// menu (the gauge gone), a refill and two more hits, on a moving grainy
// background; the bar is BAR_HEIGHT pixels tall around its scan line with
// patches of the sample points' colours around them, and the gauge's own
// pixels are painted as the screenshot tests paint them (paint_gauge).
// Colours go to YUV by the chosen matrix and range, chroma averaged over
// each 2x2 block, as an encoder's input would be.
#include "support/screenshot_maker.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

constexpr int FPS = 60;
constexpr double SCRIPT_SECONDS = 2.1;
// A value shown at least this long is one the player saw: the script's values
// hold for 150 ms or more, a drain's passing values for a frame each.
constexpr int HOLD_MS = 100;

struct Scene {
    int layout;
    int width, height;
    int bar_height;
    bool bt601, full_range;
    int bits;
    uint32_t seed;
};

// The filled pixels at time t of the script, and whether a menu hides the gauge.
struct Moment {
    int filled;
    bool menu;
};

static Moment script_at(const GaugeType& type, double t) {
    int length = static_cast<int>(bar_length(type));
    int v1 = length - 2;                                         // 2 px
    int v2 = v1 - static_cast<int>(std::lround(0.35 * length));  // 35 %
    int v3 = v2 - static_cast<int>(std::lround(0.25 * length));  // drained
    int v4 = static_cast<int>(std::lround(0.9 * length));        // refilled
    int v5 = v4 - static_cast<int>(std::lround(0.10 * length));
    int v6 = v5 - static_cast<int>(std::lround(0.05 * length));
    if (t < 0.3) return {length, false};
    if (t < 0.5) return {v1, false};
    if (t < 0.7) return {v2, false};
    if (t < 0.95) return {v2 - static_cast<int>((v2 - v3) * (t - 0.7) / 0.25), false};
    if (t < 1.15) return {v3, false};
    if (t < 1.35) return {v3, true};
    if (t < 1.5) return {v3, false};
    if (t < 1.7) return {v4, false};
    if (t < 1.9) return {v5, false};
    return {v6, false};
}

// The colour of the moving, grainy ground at (x, y) in frame f: a slow
// wave (wave, -1..1, moving with the frames) with grain on it.
static Colour ground(int x, int y, int f, double wave, uint32_t* grain) {
    *grain ^= *grain << 13;
    *grain ^= *grain >> 17;
    *grain ^= *grain << 5;
    int noise = static_cast<int>(*grain & 31) - 16;
    int base = 70 + static_cast<int>(40 * wave);
    int u = x + 5 * f, v = y + 2 * f;
    auto clamp = [](int c) { return static_cast<uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c); };
    return {clamp(base + noise + (u / 97) % 40), clamp(base + noise - 10),
            clamp(base + noise + 20 - (v / 53) % 30)};
}

// The bar as a rectangle around its scan line and the sample points' patches.
static void paint_scene_gauge(Screenshot& strip, const Scene& scene, int filled) {
    const GaugeType& type = gauge_types[scene.layout];
    const Colour empty = {30, 18, 18};
    int top = type.bar_row - (scene.bar_height - 1) / 2;
    for (int y = top; y < top + scene.bar_height; ++y) {
        for (int x = type.bar_first; x <= type.bar_last; ++x) {
            set_pixel(strip, x, y, x - type.bar_first < filled ? type.bar_colour : empty);
        }
    }
    for (const SamplePoint& point : type.points) {
        for (int y = point.y - 2; y <= point.y + 2; ++y) {
            for (int x = point.x - 2; x <= point.x + 2; ++x) {
                if (y == type.bar_row && x >= type.bar_first && x <= type.bar_last) continue;
                // The nearest sample point's colour.
                const SamplePoint* nearest = &point;
                for (const SamplePoint& other : type.points) {
                    int d = abs(other.x - x) + abs(other.y - y);
                    if (d < abs(nearest->x - x) + abs(nearest->y - y)) nearest = &other;
                }
                set_pixel(strip, x, y, nearest->colour);
            }
        }
    }
    paint_gauge(strip, scene.layout, filled);
}

// RGB to Y, Cb, Cr codes as fixed-point rows of a matrix plus offsets.
struct ToYuv {
    int32_t rows[3][3];
    int32_t offsets[3];
    int32_t top;
};

static ToYuv to_yuv_of(const Scene& scene) {
    double kr = scene.bt601 ? 0.299 : 0.2126, kb = scene.bt601 ? 0.114 : 0.0722;
    double kg = 1 - kr - kb;
    double step = scene.bits == 10 ? 4 : 1, top = scene.bits == 10 ? 1023 : 255;
    double y_span = scene.full_range ? top : 219 * step;
    double c_span = scene.full_range ? top : 224 * step;
    double luma[3] = {kr, kg, kb};
    double blue_diff[3] = {-kr, -kg, 1 - kb}, red_diff[3] = {1 - kr, -kg, -kb};
    ToYuv to = {};
    for (int c = 0; c < 3; ++c) {
        to.rows[0][c] = static_cast<int32_t>(std::lround(65536 * y_span * luma[c] / 255));
        to.rows[1][c] = static_cast<int32_t>(std::lround(65536 * c_span * blue_diff[c] / (255 * 2 * (1 - kb))));
        to.rows[2][c] = static_cast<int32_t>(std::lround(65536 * c_span * red_diff[c] / (255 * 2 * (1 - kr))));
    }
    to.offsets[0] = static_cast<int32_t>(scene.full_range ? 0 : 16 * step);
    to.offsets[1] = to.offsets[2] = static_cast<int32_t>(128 * step);
    to.top = static_cast<int32_t>(top);
    return to;
}

// One code of r, g, b (sums of `count` pixels' channels) by row `row`.
static uint16_t code(const ToYuv& to, int row, int32_t r, int32_t g, int32_t b, int count) {
    int64_t fixed = static_cast<int64_t>(to.rows[row][0]) * r + static_cast<int64_t>(to.rows[row][1]) * g +
                    static_cast<int64_t>(to.rows[row][2]) * b;
    int64_t value = to.offsets[row] + (fixed / count + 32768) / 65536;
    if (fixed < 0) value = to.offsets[row] - ((-fixed) / count + 32768) / 65536;
    return static_cast<uint16_t>(value < 0 ? 0 : value > to.top ? to.top : value);
}

struct Planes {
    std::vector<uint16_t> y, cb, cr;
};

// Rows of the frame drawn in RGB (the gauge's and their surroundings);
// below them the ground is drawn straight in YUV, quicker to make and to
// encode.
static int strip_rows(const Scene& scene) {
    int rows = gauge_types[scene.layout].bar_row + 2 * CROP_MARGIN + 16;
    rows += rows % 2;
    return rows < scene.height ? rows : scene.height;
}

static void render_strip(const Scene& scene, const ToYuv& to, int f, const Moment& moment,
                         Screenshot& strip, Planes* planes) {
    uint32_t grain = scene.seed * 2654435761u + static_cast<uint32_t>(f) * 40503u + 1;
    for (int y = 0; y < strip.height; ++y) {
        double wave_y = std::cos((y + 2 * f) * 0.021);
        for (int x = 0; x < scene.width; ++x) {
            Colour c = moment.menu ? Colour{240, 240, 246}
                                   : ground(x, y, f, std::sin((x + 5 * f) * 0.013) * wave_y, &grain);
            uint8_t* p = &strip.pixels[(static_cast<size_t>(y) * scene.width + x) * 3];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
        }
    }
    if (!moment.menu) paint_scene_gauge(strip, scene, moment.filled);
    const uint8_t* pixels = strip.pixels.data();
    for (size_t i = 0; i < static_cast<size_t>(scene.width) * strip.height; ++i) {
        const uint8_t* p = pixels + 3 * i;
        planes->y[i] = code(to, 0, p[0], p[1], p[2], 1);
    }
    int half_width = scene.width / 2;
    for (int y = 0; y < strip.height / 2; ++y) {
        for (int x = 0; x < half_width; ++x) {
            int32_t sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy) {
                const uint8_t* p = pixels + (static_cast<size_t>(2 * y + dy) * scene.width + 2 * x) * 3;
                for (int c = 0; c < 3; ++c) sum[c] += p[c] + p[3 + c];
            }
            size_t at = static_cast<size_t>(y) * half_width + x;
            planes->cb[at] = code(to, 1, sum[0], sum[1], sum[2], 4);
            planes->cr[at] = code(to, 2, sum[0], sum[1], sum[2], 4);
        }
    }
}

// The rest of the frame: a moving pattern with light grain, in YUV.
static void render_below(const Scene& scene, const ToYuv& to, int f, int first_row, bool menu,
                         Planes* planes) {
    uint32_t grain = scene.seed * 747796405u + static_cast<uint32_t>(f) * 2891336453u + 1;
    int32_t black = to.offsets[0], white = code(to, 0, 255, 255, 255, 1);
    int32_t span = white - black;
    for (int y = first_row; y < scene.height; ++y) {
        uint16_t* row = &planes->y[static_cast<size_t>(y) * scene.width];
        for (int x = 0; x < scene.width; ++x) {
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            int level = menu ? 230 : 60 + ((x + 4 * f) / 64 + (y + f) / 48) % 2 * 50 +
                                         static_cast<int>(grain & 7);
            row[x] = static_cast<uint16_t>(black + span * level / 255);
        }
    }
    int half_width = scene.width / 2;
    for (int y = first_row / 2; y < scene.height / 2; ++y) {
        for (int x = 0; x < half_width; ++x) {
            size_t at = static_cast<size_t>(y) * half_width + x;
            planes->cb[at] = code(to, 1, 90 + (x + f) % 60, 80, 70, 1);
            planes->cr[at] = code(to, 2, 90 + (x + f) % 60, 80, 70, 1);
        }
    }
}

static void render(const Scene& scene, const ToYuv& to, int f, Screenshot& strip, Planes* planes) {
    Moment moment = script_at(gauge_types[scene.layout],
                              std::fmod(static_cast<double>(f) / FPS, SCRIPT_SECONDS));
    render_strip(scene, to, f, moment, strip, planes);
    render_below(scene, to, f, strip.height, moment.menu, planes);
}

static bool write_plane(const std::vector<uint16_t>& plane, int bits) {
    if (bits == 10) {
        return fwrite(plane.data(), 2, plane.size(), stdout) == plane.size();  // little-endian host
    }
    std::vector<uint8_t> bytes(plane.begin(), plane.end());
    return fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// The script's hits over `frames` frames, as a perfect reader would settle them.
static void write_truth(const Scene& scene, int frames, FILE* truth) {
    const GaugeType& type = gauge_types[scene.layout];
    fprintf(truth, "%d\n", scene.layout);
    int previous = -1;
    int run_value = -1, run_start = 0;
    auto settle = [&](int end) {
        if (run_value < 0 || (end - run_start) * 1000 < HOLD_MS * FPS) return;
        uint32_t reading = bar_reading(type, static_cast<uint32_t>(run_value));
        if (previous >= 0 && reading + 2 < static_cast<uint32_t>(previous)) {
            fprintf(truth, "%.6f %u %u\n", static_cast<double>(run_start) / FPS, reading,
                    static_cast<uint32_t>(previous) - reading);
        }
        previous = static_cast<int>(reading);
    };
    for (int f = 0; f < frames; ++f) {
        Moment moment = script_at(type, std::fmod(static_cast<double>(f) / FPS, SCRIPT_SECONDS));
        int value = moment.menu ? -1 : moment.filled;
        if (value == run_value) continue;
        settle(f);
        run_value = value;
        run_start = f;
    }
    settle(frames - 1);
}

int main(int argc, char* argv[]) {
    if (argc != 9) {
        fprintf(stderr, "usage: recording_maker LAYOUT SECONDS BAR_HEIGHT 601|709 limited|full 8|10 SEED TRUTH\n");
        return 2;
    }
    Scene scene = {};
    scene.layout = atoi(argv[1]);
    double seconds = atof(argv[2]);
    scene.bar_height = atoi(argv[3]);
    scene.bt601 = strcmp(argv[4], "601") == 0;
    scene.full_range = strcmp(argv[5], "full") == 0;
    scene.bits = atoi(argv[6]);
    scene.seed = static_cast<uint32_t>(strtoul(argv[7], nullptr, 10));
    if (scene.layout < 0 || scene.layout >= GAUGE_TYPE_COUNT || seconds <= 0 ||
        scene.bar_height < 1 || (scene.bits != 8 && scene.bits != 10)) {
        fprintf(stderr, "recording_maker: bad arguments\n");
        return 2;
    }
    scene.width = gauge_types[scene.layout].screen_width;
    scene.height = gauge_types[scene.layout].screen_height;
    int frames = static_cast<int>(std::lround(seconds * FPS));
    FILE* truth = fopen(argv[8], "w");
    if (!truth) {
        perror(argv[8]);
        return 1;
    }
    write_truth(scene, frames, truth);
    if (fclose(truth) != 0) return 1;
    Screenshot strip = blank_screenshot(scene.width, strip_rows(scene), 3);
    size_t area = static_cast<size_t>(scene.width) * scene.height;
    Planes planes = {std::vector<uint16_t>(area), std::vector<uint16_t>(area / 4),
                     std::vector<uint16_t>(area / 4)};
    ToYuv to = to_yuv_of(scene);
    for (int f = 0; f < frames; ++f) {
        render(scene, to, f, strip, &planes);
        if (!write_plane(planes.y, scene.bits) || !write_plane(planes.cb, scene.bits) ||
            !write_plane(planes.cr, scene.bits)) {
            return 1;  // the encoder stopped reading
        }
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
