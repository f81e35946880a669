// gauge.cpp - reading the health gauge out of a screenshot's pixels (see gauge.h).
#include "reading/gauge.h"

#include <cstdlib>
#include <cstring>

// clang-format off
const GaugeType gauge_types[GAUGE_TYPE_COUNT] = {
    {25600, 14400, 42, 1166, 1394, {232, 194, 49},
     {{1085, 55, {171, 155, 127}}, {1090, 65, {177, 156, 120}}, {1084, 56, {170, 156, 130}}}},
    {2560, 1440, 57, 1086, 1474, {220, 161, 45},
     {{1095, 46, {197, 162, 100}}, {1234, 69, {190, 152, 89}}, {1475, 58, {192, 161, 100}}}},
    {25600, 14400, 43, 1185, 1375, {187, 133, 23},
     {{1183, 39, {204, 160, 113}}, {1165, 40, {216, 168, 98}}, {1223, 51, {179, 126, 68}}}},
    {1920, 1080, 56, 842, 1078, {214, 175, 71},
     {{839, 57, {108, 93, 51}}, {842, 54, {105, 91, 49}}, {842, 57, {168, 135, 50}}}},
    {1920, 1080, 58, 766, 1154, {217, 150, 42},
     {{764, 56, {135, 139, 123}}, {766, 54, {142, 138, 115}}, {765, 60, {139, 141, 120}}}},
    {1920, 1080, 52, 840, 1079, {197, 140, 41},
     {{839, 43, {236, 207, 74}}, {839, 52, {236, 207, 74}}, {839, 60, {236, 207, 74}}}},
    {12800, 7200, 42, 526, 754, {232, 194, 49},
     {{529, 45, {183, 221, 241}}, {621, 45, {183, 221, 241}}, {744, 45, {183, 221, 241}}}},
    {12800, 7200, 43, 535, 744, {187, 133, 23},
     {{531, 43, {204, 196, 187}}, {633, 51, {210, 194, 155}}, {578, 51, {145, 138, 121}}}},
    {12800, 7200, 43, 545, 735, {187, 133, 23},
     {{541, 43, {255, 222, 190}}, {621, 51, {207, 169, 129}}, {590, 51, {183, 128, 68}}}},
};
// clang-format on

int colour_distance(const uint8_t* pixels, Colour colour) {
    return abs(pixels[0] - colour.red) + abs(pixels[1] - colour.green) +
           abs(pixels[2] - colour.blue);
}

// Byte offset of pixel (x, y); x past the width runs on into the next row.
// The layout table holds no negative coordinate.
static uint64_t pixel_offset(const Image& image, int32_t x, int32_t y) {
    return (static_cast<uint64_t>(y) * static_cast<uint64_t>(image.width) +
            static_cast<uint64_t>(x)) *
           static_cast<uint64_t>(image.channels);
}

static bool matches_screen(const Image& image, const GaugeType& type) {
    return image.width == type.screen_width || image.height == type.screen_height;
}

// One past the furthest byte the layout can look at: the end of the three
// bytes of its furthest sample point or of its bar's last pixel (the bar is
// walked left to right).
static uint64_t layout_end(const Image& image, const GaugeType& type) {
    uint64_t end = pixel_offset(image, type.bar_last, type.bar_row) + 3;
    for (const SamplePoint& point : type.points) {
        uint64_t point_end = pixel_offset(image, point.x, point.y) + 3;
        if (point_end > end) end = point_end;
    }
    return end;
}

bool is_candidate(const Image& image, const GaugeType& type) {
    return matches_screen(image, type) && layout_end(image, type) <= image.size;
}

int match_score(const Image& image, const GaugeType& type) {
    int score = 0;
    for (const SamplePoint& point : type.points) {
        score += colour_distance(image.pixels + pixel_offset(image, point.x, point.y),
                                 point.colour);
    }
    return score;
}

int choose_gauge_type(const Image& image, int* score) {
    int best = -1;
    int best_score = 0;
    for (int row = 0; row < GAUGE_TYPE_COUNT; ++row) {
        if (!is_candidate(image, gauge_types[row])) continue;
        int row_score = match_score(image, gauge_types[row]);
        if (best < 0 || row_score < best_score) {
            best = row;
            best_score = row_score;
        }
    }
    *score = best_score;
    return best;
}

uint32_t bar_length(const GaugeType& type) {
    return static_cast<uint32_t>(type.bar_last - type.bar_first + 1);
}

uint32_t bar_reading(const GaugeType& type, uint32_t filled) {
    return filled * 1000 / bar_length(type);
}

uint32_t count_bar_pixels(const Image& image, const GaugeType& type) {
    uint32_t length = bar_length(type);
    uint32_t count = 0;
    const uint8_t* pixel = image.pixels + pixel_offset(image, type.bar_first, type.bar_row);
    while (count < length && colour_distance(pixel, type.bar_colour) <= MAX_BAR_DISTANCE) {
        ++count;
        pixel += image.channels;
    }
    return count;
}

uint32_t count_bar_pixels_skipping(const Image& image, const GaugeType& type, int skips) {
    uint32_t length = bar_length(type);
    uint32_t filled = 0;
    int missed = 0;
    const uint8_t* pixel = image.pixels + pixel_offset(image, type.bar_first, type.bar_row);
    for (uint32_t at = 0; at < length && missed <= skips; ++at, pixel += image.channels) {
        if (colour_distance(pixel, type.bar_colour) <= MAX_BAR_DISTANCE) {
            filled = at + 1;
            missed = 0;
        } else {
            ++missed;
        }
    }
    return filled;
}

GaugeResult read_gauge_image(const Image& image) {
    GaugeResult result = {GaugeStatus::no_layout, 0, -1, 0, 0, image.width, image.height,
                          LoadProblem::none, 0};
    result.layout = choose_gauge_type(image, &result.score);
    if (result.layout < 0 || result.score > MAX_MATCH_SCORE) return result;
    const GaugeType& type = gauge_types[result.layout];
    result.status = GaugeStatus::read;
    result.filled = count_bar_pixels(image, type);
    result.reading = bar_reading(type, result.filled);
    return result;
}

MatchDoubt match_doubt(const GaugeResult& result) {
    if (result.status != GaugeStatus::read || result.layout < 0 ||
        result.layout >= GAUGE_TYPE_COUNT) {
        return MatchDoubt::none;
    }
    const GaugeType& type = gauge_types[result.layout];
    if ((result.width == type.screen_width) != (result.height == type.screen_height)) {
        return MatchDoubt::one_side;
    }
    return result.score > WEAK_MATCH_SCORE ? MatchDoubt::high_score : MatchDoubt::none;
}

bool size_fits_a_layout(int width, int height) {
    const Image shape = {nullptr, 0, width, height, 3};
    for (const GaugeType& type : gauge_types) {
        if (matches_screen(shape, type)) return true;
    }
    return false;
}

uint64_t gauge_bytes_needed(int width, int height, int channels) {
    const Image shape = {nullptr, 0, width, height, channels};
    uint64_t needed = 0;
    for (const GaugeType& type : gauge_types) {
        if (!matches_screen(shape, type)) continue;
        uint64_t end = layout_end(shape, type);
        if (end > needed) needed = end;
    }
    return needed;
}

uint32_t gauge_columns_needed(int width, int height) {
    const Image shape = {nullptr, 0, width, height, 3};
    int32_t end = 0;
    for (const GaugeType& type : gauge_types) {
        if (!matches_screen(shape, type)) continue;
        int32_t last = type.bar_last + CROP_MARGIN;
        for (const SamplePoint& point : type.points) last = point.x > last ? point.x : last;
        end = last + 1 > end ? last + 1 : end;
    }
    return static_cast<uint32_t>(end < width ? end : width);
}

void crop_gauge(const Image& image, const GaugeResult& result, GaugeCrop* crop) {
    const GaugeType& type = gauge_types[result.layout];
    crop->width = static_cast<int>(bar_length(type)) + 2 * CROP_MARGIN;
    crop->height = CROP_HEIGHT;
    crop->bar_start = CROP_MARGIN;
    crop->bar_end = CROP_MARGIN + static_cast<int>(result.filled);
    crop->bar_row = CROP_MARGIN;
    uint8_t* out = crop->pixels;
    for (int y = type.bar_row - CROP_MARGIN; y <= type.bar_row + CROP_MARGIN; ++y) {
        for (int x = type.bar_first - CROP_MARGIN; x <= type.bar_last + CROP_MARGIN; ++x, out += 3) {
            // Pixels as the reader sees them: the three bytes at the pixel's
            // offset, running on into the next row past the width.
            uint64_t offset = pixel_offset(image, x, y);
            if (offset + 3 <= image.size) {
                memcpy(out, image.pixels + offset, 3);
            } else {
                memset(out, 0, 3);
            }
        }
    }
}
