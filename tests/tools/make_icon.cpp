// make_icon.cpp - draws the program's icon, source/healthgauge.ico: a health
// gauge, two thirds full, on a dark tile, at 16, 32 and 48 pixels.
//
//   make_icon FILE
//
// The icon file holds one 32-bit image with alpha per size, each stored as
// Windows keeps icons: a bitmap header of twice the height, the pixels
// bottom-up in blue-green-red-alpha order, then the one-bit mask (all zero,
// since the alpha channel decides).
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int SIZES[] = {16, 32, 48};
constexpr int SIZE_COUNT = 3;

struct Rgba {
    uint8_t red, green, blue, alpha;
};

constexpr Rgba CLEAR = {0, 0, 0, 0};
constexpr Rgba TILE = {34, 38, 46, 255};
constexpr Rgba FRAME = {12, 12, 14, 255};
constexpr Rgba GAUGE = {232, 194, 49, 255};  // the colour of the game's bar
constexpr Rgba EMPTY = {88, 44, 38, 255};

// The icon at size x size, top row first.
std::vector<Rgba> draw(int size) {
    std::vector<Rgba> pixels(static_cast<size_t>(size) * size, CLEAR);
    int corner = size / 8;
    int bar_left = size / 8, bar_right = size - 1 - size / 8;
    int bar_top = size * 3 / 8, bar_bottom = size - 1 - size * 3 / 8;
    int filled_to = bar_left + (bar_right - bar_left) * 2 / 3;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // A tile with its corners cut off.
            int dx = x < corner ? corner - x : (x > size - 1 - corner ? x - (size - 1 - corner) : 0);
            int dy = y < corner ? corner - y : (y > size - 1 - corner ? y - (size - 1 - corner) : 0);
            if (dx + dy > corner) continue;
            Rgba colour = TILE;
            if (x >= bar_left && x <= bar_right && y >= bar_top && y <= bar_bottom) {
                bool edge = x == bar_left || x == bar_right || y == bar_top || y == bar_bottom;
                colour = edge ? FRAME : (x <= filled_to ? GAUGE : EMPTY);
            }
            pixels[static_cast<size_t>(y) * size + x] = colour;
        }
    }
    return pixels;
}

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// One icon image: bitmap header, pixels bottom-up, mask.
std::vector<uint8_t> image_bytes(int size) {
    std::vector<Rgba> pixels = draw(size);
    uint32_t mask_row = static_cast<uint32_t>((size + 31) / 32 * 4);
    uint32_t image_size = static_cast<uint32_t>(size * size * 4) + mask_row * size;
    std::vector<uint8_t> out;
    put32(out, 40);                                 // header size
    put32(out, static_cast<uint32_t>(size));        // width
    put32(out, static_cast<uint32_t>(size * 2));    // height of pixels and mask
    put16(out, 1);                                  // planes
    put16(out, 32);                                 // bits per pixel
    put32(out, 0);                                  // no compression
    put32(out, image_size);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Rgba& p = pixels[static_cast<size_t>(y) * size + x];
            out.push_back(p.blue);
            out.push_back(p.green);
            out.push_back(p.red);
            out.push_back(p.alpha);
        }
    }
    out.insert(out.end(), mask_row * size, 0);
    return out;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_icon FILE\n");
        return 2;
    }
    std::vector<uint8_t> file;
    put16(file, 0);           // reserved
    put16(file, 1);           // an icon
    put16(file, SIZE_COUNT);
    std::vector<uint8_t> images;
    uint32_t offset = 6 + 16 * SIZE_COUNT;
    for (int size : SIZES) {
        std::vector<uint8_t> image = image_bytes(size);
        file.push_back(static_cast<uint8_t>(size));
        file.push_back(static_cast<uint8_t>(size));
        file.push_back(0);    // no palette
        file.push_back(0);
        put16(file, 1);       // planes
        put16(file, 32);      // bits per pixel
        put32(file, static_cast<uint32_t>(image.size()));
        put32(file, offset);
        offset += static_cast<uint32_t>(image.size());
        images.insert(images.end(), image.begin(), image.end());
    }
    file.insert(file.end(), images.begin(), images.end());

    FILE* out = fopen(argv[1], "wb");
    if (!out) {
        perror(argv[1]);
        return 1;
    }
    bool ok = fwrite(file.data(), 1, file.size(), out) == file.size();
    if (fclose(out) != 0 || !ok) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
