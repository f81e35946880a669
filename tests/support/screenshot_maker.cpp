// screenshot_maker.cpp - builds screenshots with a gauge in them.
#include "support/screenshot_maker.h"

// The PNG writer's code is the program's own copy (stb_image_write_unit.cpp).
#include <stb_image_write.h>

Screenshot blank_screenshot(int width, int height, int channels, uint8_t grey) {
    Screenshot shot = {width, height, channels, {}};
    shot.pixels.assign(static_cast<size_t>(width) * height * channels, grey);
    if (channels == 2 || channels == 4) {
        for (size_t i = channels - 1; i < shot.pixels.size(); i += channels) shot.pixels[i] = 255;
    }
    return shot;
}

void set_pixel(Screenshot& shot, int x, int y, Colour colour) {
    size_t offset = (static_cast<size_t>(y) * shot.width + x) * shot.channels;
    if (offset + 3 > shot.pixels.size()) return;
    shot.pixels[offset] = colour.red;
    shot.pixels[offset + 1] = colour.green;
    shot.pixels[offset + 2] = colour.blue;
}

void paint_gauge(Screenshot& shot, int type, int filled) {
    const GaugeType& gauge = gauge_types[type];
    const Colour empty = {30, 18, 18};  // far from every bar colour
    for (int x = gauge.bar_first; x <= gauge.bar_last; ++x) {
        bool bar = x - gauge.bar_first < filled;
        set_pixel(shot, x, gauge.bar_row, bar ? gauge.bar_colour : empty);
    }
    for (const SamplePoint& point : gauge.points) set_pixel(shot, point.x, point.y, point.colour);
}

int filled_for_reading(int type, uint32_t reading) {
    const GaugeType& gauge = gauge_types[type];
    uint32_t length = static_cast<uint32_t>(gauge.bar_last - gauge.bar_first + 1);
    for (uint32_t filled = 0; filled <= length; ++filled) {
        if (filled * 1000 / length >= reading) return static_cast<int>(filled);
    }
    return static_cast<int>(length);
}

void add_scenery(Screenshot& shot, uint32_t seed) {
    // Two kinds of ground, in patches: grainy gradients (sky, fog: small
    // noisy residues the compressor stores as literals) and a repeating
    // texture (walls, ground: long matches), much like a rendered frame.
    uint32_t state = seed * 2654435761u + 1;
    Colour tile[48][48];
    for (auto& row : tile) {
        for (Colour& texel : row) {
            state = state * 1664525u + 1013904223u;
            texel = {static_cast<uint8_t>(state >> 24), static_cast<uint8_t>(state >> 16),
                     static_cast<uint8_t>(state >> 8)};
        }
    }
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            state = state * 1664525u + 1013904223u;
            bool textured = ((x / 320 + y / 180 + static_cast<int>(seed)) % 3) == 0;
            if (textured) {
                set_pixel(shot, x, y, tile[y % 48][x % 48]);
                continue;
            }
            int noise = static_cast<int>(state >> 27);  // 0..31
            Colour colour = {static_cast<uint8_t>((x * 7 / 40 + noise) & 0x7f),
                             static_cast<uint8_t>((y / 9 + noise) & 0x7f),
                             static_cast<uint8_t>(((x + y) / 31 + 2 * noise) & 0x7f)};
            set_pixel(shot, x, y, colour);
        }
    }
}

Image image_of(const Screenshot& shot) {
    return {shot.pixels.data(), shot.pixels.size(), shot.width, shot.height, shot.channels};
}

Colour shifted_colour(Colour c, int distance) {
    uint8_t* channels[] = {&c.red, &c.green, &c.blue};
    for (uint8_t* channel : channels) {
        int step = distance < 127 ? distance : 127;
        *channel = static_cast<uint8_t>(*channel < 128 ? *channel + step : *channel - step);
        distance -= step;
    }
    return c;
}

void spoil_samples(Screenshot& shot, int type, int score) {
    int shares[3] = {score / 3, score / 3, score - 2 * (score / 3)};
    for (int i = 0; i < 3; ++i) {
        const SamplePoint& point = gauge_types[type].points[i];
        set_pixel(shot, point.x, point.y, shifted_colour(point.colour, shares[i]));
    }
}

bool write_png(const Screenshot& shot, const std::string& path) {
    return stbi_write_png(path.c_str(), shot.width, shot.height, shot.channels,
                          shot.pixels.data(), shot.width * shot.channels) != 0;
}
