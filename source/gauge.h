// gauge.h - reading the health gauge out of one screenshot.
//
//     uint32_t reading;
//     if (read_gauge("shot0042.png", &reading)) ... reading is 0..1000 ...
//
// The screenshot is decoded, matched against the built-in gauge layouts by
// three sample pixels each, and the health bar of the best layout is walked
// from its left end. The reading is the filled share of the bar in permille:
// 1000 is a full bar. On failure a message has been printed to standard
// output and *reading is left untouched.
//
// The steps after decoding work on an Image, so they can be fed pixels from
// any source, tests included.
#pragma once

#include <cstddef>
#include <cstdint>

struct Colour {
    uint8_t red, green, blue;
};

struct SamplePoint {
    int32_t x, y;
    Colour colour;  // the colour expected there
};

struct GaugeType {
    int32_t screen_width;
    int32_t screen_height;
    int32_t bar_row;    // y of the scan line through the bar
    int32_t bar_first;  // x of the bar's left end
    int32_t bar_last;   // x of the bar's right end, inclusive
    Colour bar_colour;
    SamplePoint points[3];
};

constexpr int GAUGE_TYPE_COUNT = 9;
extern const GaugeType gauge_types[GAUGE_TYPE_COUNT];

constexpr int MAX_MATCH_SCORE = 600;   // highest accepted sum of three sample distances
constexpr int MAX_BAR_DISTANCE = 200;  // highest distance a bar pixel may have

// Decoded pixels: rows top to bottom without gaps, `channels` bytes a pixel
// (grey, grey+alpha, RGB or RGBA). `size` is the number of bytes available
// from the top; no byte at or past it is ever read.
struct Image {
    const uint8_t* pixels;
    size_t size;
    int width;
    int height;
    int channels;
};

// |R - r| + |G - g| + |B - b| for the three bytes at pixels.
int colour_distance(const uint8_t* pixels, Colour colour);

// True when the layout's sample points and whole bar lie inside the image's
// bytes and its width or height matches the layout's screen.
bool is_candidate(const Image& image, const GaugeType& type);

// The best-matching layout's index, or -1 when none is a candidate. *score
// gets its score; ties go to the earlier layout.
int choose_gauge_type(const Image& image, int* score);

// Bar-coloured pixels from the left end, in permille of the bar's length.
uint32_t measure_bar(const Image& image, const GaugeType& type);

// Everything after decoding: choose the layout, reject a poor match (printing
// the warning with path), measure.
bool read_gauge_image(const Image& image, const char* path, uint32_t* reading);

// Bytes from the top of a width x height image of `channels` channels that
// the candidate layouts can look at (the end of the furthest sample point or
// bar pixel); 0 when no layout matches either dimension.
uint64_t gauge_bytes_needed(int width, int height, int channels);

// Decodes the file at path and reads its gauge. Where the build has the
// fast decode, only the top rows that the layouts need are decoded whenever
// the file allows it (see png_rows.h); otherwise the image is decoded whole.
bool read_gauge(const char* path, uint32_t* reading);

// The same, always decoding the image whole.
bool read_gauge_decoded_whole(const char* path, uint32_t* reading);
