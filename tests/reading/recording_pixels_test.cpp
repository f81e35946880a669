// The pieces of a recording's reading that need no video: a pixel's YUV to
// RGB (yuv.h) against the standards' own formulas, a 4:2:0 frame's pixels
// as the gauge addresses them (frame_pixels.h), the layout vote
// (layout_vote.h), the walk that steps over stray pixels (gauge.h) and the
// names of recordings (recording.h).
#include "reading/recording/frame_pixels.h"
#include "reading/recording/layout_vote.h"
#include "reading/recording/recording.h"
#include "reading/recording/yuv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The standards' matrices as published (ITU-R BT.601 and BT.709, and the
// JPEG full-range form), for 8-bit codes; 10-bit codes are scaled to them.
struct Reference {
    double y_scale, y_black;
    double r_cr, g_cb, g_cr, b_cb;
};

Reference reference(const YuvFormat& format) {
    bool bt601 = format.matrix == YuvMatrix::bt601;
    if (format.full_range) {
        return bt601 ? Reference{1.0, 0, 1.402, 0.344136, 0.714136, 1.772}
                     : Reference{1.0, 0, 1.5748, 0.187324, 0.468124, 1.8556};
    }
    return bt601 ? Reference{255.0 / 219, 16, 1.596027, 0.391762, 0.812968, 2.017232}
                 : Reference{255.0 / 219, 16, 1.792741, 0.213249, 0.532909, 2.112402};
}

Colour reference_rgb(const YuvFormat& format, int y, int cb, int cr) {
    Reference m = reference(format);
    double scale = 1.0;  // 10-bit codes into 8-bit ones
    if (format.bits == 10) scale = format.full_range ? 255.0 / 1023.0 : 0.25;
    double luma = y * scale, blue = cb * scale - 128, red = cr * scale - 128;
    if (format.bits == 10 && format.full_range) {
        blue = (cb - 512) * scale;
        red = (cr - 512) * scale;
    }
    double base = (luma - m.y_black) * m.y_scale;
    auto byte = [](double v) {
        long r = std::lround(v);
        return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    };
    return {byte(base + m.r_cr * red), byte(base - m.g_cb * blue - m.g_cr * red),
            byte(base + m.b_cb * blue)};
}

std::string text(Colour c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

const YuvFormat FORMATS[] = {
    {YuvMatrix::bt601, false, 8}, {YuvMatrix::bt709, false, 8}, {YuvMatrix::bt601, true, 8},
    {YuvMatrix::bt709, true, 8},  {YuvMatrix::bt601, false, 10}, {YuvMatrix::bt709, false, 10},
    {YuvMatrix::bt601, true, 10}, {YuvMatrix::bt709, true, 10},
};

}  // namespace

TEST(YuvToRgb, AgreesWithTheStandardsFormulasWithinOneStep) {
    for (const YuvFormat& format : FORMATS) {
        YuvConverter to_rgb = yuv_converter(format);
        int top = format.bits == 10 ? 1023 : 255;
        int step = format.bits == 10 ? 13 : 3;
        for (int y = 0; y <= top; y += step) {
            for (int cb = 0; cb <= top; cb += 4 * step) {
                for (int cr = 0; cr <= top; cr += 4 * step) {
                    Colour got = yuv_to_rgb(to_rgb, y, cb, cr);
                    Colour want = reference_rgb(format, y, cb, cr);
                    ASSERT_LE(abs(got.red - want.red) + abs(got.green - want.green) +
                                  abs(got.blue - want.blue), 2)
                        << "matrix " << static_cast<int>(format.matrix) << " full "
                        << format.full_range << " bits " << format.bits << " yuv " << y << ","
                        << cb << "," << cr << ": " << text(got) << " not " << text(want);
                }
            }
        }
    }
}

TEST(YuvToRgb, WorkedExamples) {
    struct Example {
        YuvFormat format;
        int y, cb, cr;
        const char* rgb;
    };
    // Black, white and grey of each range and depth; pure red and the bar
    // colour (214, 175, 71) encoded by hand with each matrix's coefficients.
    const Example examples[] = {
        {{YuvMatrix::bt709, false, 8}, 16, 128, 128, "0,0,0"},
        {{YuvMatrix::bt709, false, 8}, 235, 128, 128, "255,255,255"},
        {{YuvMatrix::bt709, true, 8}, 128, 128, 128, "128,128,128"},
        {{YuvMatrix::bt601, false, 10}, 64, 512, 512, "0,0,0"},
        {{YuvMatrix::bt601, false, 10}, 940, 512, 512, "255,255,255"},
        {{YuvMatrix::bt709, true, 10}, 1023, 512, 512, "255,255,255"},
        // BT.709 red: Y = 16 + 219 * 0.2126 = 62.6, Cb = 128 - 224 * 0.2126 / 1.8556 = 102.3,
        // Cr = 128 + 112 = 240.
        // Worked through: R = 1.164384 * 47 + 1.792741 * 112 = 255.5, G = 54.73 + 5.54 - 59.69
        // = 0.58, B = 54.73 - 2.112402 * 26 = -0.2.
        {{YuvMatrix::bt709, false, 8}, 63, 102, 240, "255,1,0"},
        // BT.601 red: Y = 16 + 219 * 0.299 = 81.5, Cb = 128 - 112 * 0.299 / 0.886 = 90.2.
        {{YuvMatrix::bt601, false, 8}, 81, 90, 240, "254,0,0"},
        // The bar (214, 175, 71), BT.709 full range: Y = 173.6, Cb = 128 + (71 - 173.6) / 1.8556
        // = 72.7, Cr = 128 + (214 - 173.6) / 1.5748 = 153.7.
        // Back: R = 174 + 1.5748 * 26 = 214.9, G = 174 + 0.187324 * 55 - 0.468124 * 26 = 172.1,
        // B = 174 - 1.8556 * 55 = 71.9 (the codes' rounding moves G).
        {{YuvMatrix::bt709, true, 8}, 174, 73, 154, "215,172,72"},
    };
    for (const Example& e : examples) {
        EXPECT_EQ(text(yuv_to_rgb(yuv_converter(e.format), e.y, e.cb, e.cr)), e.rgb)
            << "yuv " << e.y << "," << e.cb << "," << e.cr;
    }
}

TEST(FramePixels, EachPixelTakesItsOwnLumaAndItsBlocksChroma) {
    // A 1920x1080 frame whose Y counts along the row and whose chroma blocks
    // alternate, 10 bit: the converted pixels are those of their own samples.
    const int width = 1920, height = 1080;
    std::vector<uint16_t> luma(static_cast<size_t>(width) * height), cb(luma.size() / 4),
        cr(luma.size() / 4);
    for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint16_t>(64 + i % 800);
    for (size_t i = 0; i < cb.size(); ++i) {
        cb[i] = static_cast<uint16_t>(i % 2 ? 300 : 700);
        cr[i] = static_cast<uint16_t>(i % 3 ? 512 : 900);
    }
    YuvPlanes planes = {{reinterpret_cast<const uint8_t*>(luma.data()),
                         reinterpret_cast<const uint8_t*>(cb.data()),
                         reinterpret_cast<const uint8_t*>(cr.data())},
                        {2 * width, width, width}, width, height, true};
    YuvConverter to_rgb = yuv_converter({YuvMatrix::bt709, false, 10});
    GaugePixels pixels;
    ASSERT_TRUE(gauge_pixels_begin(width, height, &pixels));
    // Three pixels from the row's end run on into the next row, as the gauge reads.
    convert_pixels(planes, to_rgb, width - 1, 57, 3, &pixels);
    for (int i = 0; i < 3; ++i) {
        int x = (width - 1 + i) % width, y = 57 + (width - 1 + i) / width;
        size_t at = static_cast<size_t>(y) * width + x;
        size_t block = static_cast<size_t>(y / 2) * (width / 2) + x / 2;
        Colour want = yuv_to_rgb(to_rgb, luma[at], cb[block], cr[block]);
        const uint8_t* got = pixels.rgb + 3 * at;
        EXPECT_EQ(text({got[0], got[1], got[2]}), text(want)) << "pixel " << x << "," << y;
    }
    // Only the top rows are kept, and nothing past them is written.
    EXPECT_LT(pixels.image.size, static_cast<size_t>(width) * 200 * 3);
    std::vector<uint8_t> before(pixels.rgb, pixels.rgb + pixels.image.size);
    convert_pixels(planes, to_rgb, 0, 1000, width, &pixels);
    convert_pixels(planes, to_rgb, width * 2000, 0, 10, &pixels);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), pixels.rgb));
    gauge_pixels_end(&pixels);
}

TEST(LayoutVote, MostVotesWinTiesGoEarlierPoorMatchesDoNotVote) {
    struct Case {
        std::vector<std::pair<int, int>> frames;  // (best layout, its score)
        int layout, median;
        uint64_t voting;
    };
    const Case cases[] = {
        {{}, -1, 0, 0},
        {{{3, 100}, {4, 50}, {3, 120}}, 3, 100, 3},
        {{{4, 10}, {3, 20}}, 3, 10, 2},                      // a tie: the earlier row
        {{{5, 601}, {5, 700}, {4, 600}}, 4, 600, 1},         // over 600: no vote
        {{{-1, 0}, {4, 0}, {4, 300}, {4, 301}, {4, 302}}, 4, 300, 4},  // no candidate: no vote
    };
    for (const Case& c : cases) {
        LayoutVote vote = {};
        for (const auto& frame : c.frames) vote_frame(&vote, frame.first, frame.second);
        EXPECT_EQ(voted_layout(vote), c.layout);
        EXPECT_EQ(median_vote_score(vote), c.median);
        EXPECT_EQ(vote.voting_frames, c.voting);
    }
}

TEST(SkippingWalk, StepsOverTwoStrayPixelsAndEndsAtTheThird) {
    struct Case {
        const char* bar;  // B bar-coloured, . not
        uint32_t skipping, plain;
    };
    const Case cases[] = {
        {"BBBBBBBBBB", 10, 10}, {"BBB.BBB...", 7, 3},  {"BB..BB", 6, 2},
        {"B...BB", 1, 1},       {".BBB", 4, 0},        {"...BBB", 0, 0},
        {"BBBBB..B..", 8, 5},   {"..........", 0, 0},  {"B.B.B.B..B", 10, 1},
    };
    for (const Case& c : cases) {
        int length = static_cast<int>(strlen(c.bar));
        GaugeType type = {length, 1, 0, 0, length - 1, {214, 175, 71}, {}};
        std::vector<uint8_t> rgb;
        for (int i = 0; i < length; ++i) {
            Colour colour = c.bar[i] == 'B' ? Colour{200, 170, 80} : Colour{30, 18, 18};
            rgb.insert(rgb.end(), {colour.red, colour.green, colour.blue});
        }
        Image image = {rgb.data(), rgb.size(), length, 1, 3};
        EXPECT_EQ(count_bar_pixels_skipping(image, type, RECORDING_WALK_SKIPS), c.skipping) << c.bar;
        EXPECT_EQ(count_bar_pixels_skipping(image, type, 0), c.plain) << c.bar;
        EXPECT_EQ(count_bar_pixels(image, type), c.plain) << c.bar;
    }
}

TEST(RecordingNames, EndingsInAnyCase) {
    const std::pair<const char*, bool> names[] = {
        {"a.mp4", true},   {"B.MOV", true},  {"c.mkv", true}, {"d.WebM", true},
        {"e.flv", true},   {"f.ts", true},   {".mp4", true},  {"g.png", false},
        {"mp4", false},    {"h.mp4.png", false}, {"i.tsx", false}, {"", false},
    };
    for (const auto& name : names) EXPECT_EQ(is_recording_name(name.first), name.second) << name.first;
}
