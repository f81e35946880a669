// screenshot_maker.h - builds screenshots with a gauge in them, for the
// tests, the sample screenshots and the benchmark.
#pragma once

#include "reading/gauge.h"

#include <cstdint>
#include <string>
#include <vector>

struct Screenshot {
    int width;
    int height;
    int channels;
    std::vector<uint8_t> pixels;
};

// A screenshot filled with one grey level (alpha 255 where there is alpha).
// Black matches no layout; mid-dark greys come close to some.
Screenshot blank_screenshot(int width, int height, int channels, uint8_t grey = 0);

// Sets the three colour bytes of pixel (x, y), running on into the next row
// past the width as the reader does; the alpha byte is left alone.
void set_pixel(Screenshot& shot, int x, int y, Colour colour);

// Paints the sample points of layout `type` with their expected colours and
// the first `filled` pixels of its bar with the bar colour, the rest of the
// bar with a dark colour that is not bar.
void paint_gauge(Screenshot& shot, int type, int filled);

// A colour `distance` away from c (at most 3 * 127): each channel in turn
// moves up to 127 away from its nearer end.
Colour shifted_colour(Colour c, int distance);

// Moves the sample points of layout `type` `score` away from their colours
// in all, split as evenly as can be: a match score of `score` when they held
// their colours.
void spoil_samples(Screenshot& shot, int type, int score);

// Bar pixels that give a reading: the smallest count whose permille is reading.
int filled_for_reading(int type, uint32_t reading);

// Fills the screenshot with seeded noise that compresses like a rendered
// game frame; paint the gauge afterwards.
void add_scenery(Screenshot& shot, uint32_t seed);

// The screenshot as an Image for the reader.
Image image_of(const Screenshot& shot);

// Writes the screenshot as a PNG file; false on failure.
bool write_png(const Screenshot& shot, const std::string& path);
