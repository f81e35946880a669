// The frame reader (frame_reader.h) on frames built in memory: the hits of
// the voted layout with their gauge pictures, the caps on what it keeps,
// and frames it cannot read.
#include "reading/recording/frame_reader.h"
#include "support/screenshot_maker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A 1920x1080 frame, BT.709 full range, 8 bit, whose top rows come from an
// RGB strip (chroma averaged over each 2x2 block).
struct Frame {
    std::vector<uint8_t> y, cb, cr;
    Frame() : y(1920 * 1080, 0), cb(960 * 540, 128), cr(960 * 540, 128) {}
    YuvPlanes planes() const {
        return {{y.data(), cb.data(), cr.data()}, {1920, 960, 960}, 1920, 1080, false};
    }
};

uint8_t code(double value) {
    long v = std::lround(value);
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

void encode_strip(const Screenshot& strip, Frame* frame) {
    const double kr = 0.2126, kb = 0.0722, kg = 1 - kr - kb;
    for (int y = 0; y < strip.height; y += 2) {
        for (int x = 0; x < strip.width; x += 2) {
            double r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t* p = &strip.pixels[((y + dy) * strip.width + x + dx) * 3];
                    frame->y[(y + dy) * 1920 + x + dx] = code(kr * p[0] + kg * p[1] + kb * p[2]);
                    r += p[0] / 4.0;
                    g += p[1] / 4.0;
                    b += p[2] / 4.0;
                }
            }
            double luma = kr * r + kg * g + kb * b;
            frame->cb[(y / 2) * 960 + x / 2] = code(128 + (b - luma) / (2 * (1 - kb)));
            frame->cr[(y / 2) * 960 + x / 2] = code(128 + (r - luma) / (2 * (1 - kr)));
        }
    }
}

// The frame of layout 3 with `filled` bar pixels, the bar 3 pixels tall.
Frame gauge_frame(int filled) {
    Screenshot strip = blank_screenshot(1920, 80, 3, 40);
    const GaugeType& type = gauge_types[3];
    for (int y = type.bar_row - 1; y <= type.bar_row + 1; ++y) {
        for (int x = type.bar_first; x < type.bar_first + filled; ++x) set_pixel(strip, x, y, type.bar_colour);
    }
    paint_gauge(strip, 3, filled);
    Frame frame;
    encode_strip(strip, &frame);
    return frame;
}

const YuvConverter TO_RGB = yuv_converter({YuvMatrix::bt709, true, 8});

}  // namespace

TEST(FrameReader, KeepsTheVotedLayoutsHitsAndPicturesUpToTheirCaps) {
    const int high = 230, low = 200;
    Frame high_frame = gauge_frame(high), low_frame = gauge_frame(low);
    FrameReader* reader = frame_reader_begin(1920, 1080, true);
    ASSERT_NE(reader, nullptr);
    // Each value held for two frames 50 ms apart: 100 ms, settled. A drop
    // and a refill a cycle: one hit each.
    const uint32_t cycles = RECORDING_MAX_CROPS + 5;
    int64_t at = 0;
    for (uint32_t cycle = 0; cycle < cycles; ++cycle) {
        for (const Frame* frame : {&high_frame, &high_frame, &low_frame, &low_frame}) {
            read_frame(reader, frame->planes(), TO_RGB, at);
            at += 50000;
        }
    }
    // A frame of another size ends the last run: it settles.
    read_frame_unmatched(reader, at);
    Recording recording = {};
    frame_reader_finish(reader, &recording);
    frame_reader_end(reader);

    EXPECT_EQ(recording.problem, RecordingProblem::none);
    EXPECT_EQ(recording.layout, 3);
    EXPECT_EQ(recording.frames, 4 * cycles + 1);
    EXPECT_EQ(recording.voting_frames, 4 * cycles);
    ASSERT_EQ(recording.hit_count, cycles);
    const GaugeType& type = gauge_types[3];
    uint32_t want_reading = bar_reading(type, low);
    for (uint32_t i = 0; i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        ASSERT_EQ(hit.reading, want_reading) << "hit " << i;
        ASSERT_EQ(hit.damage, bar_reading(type, high) - want_reading) << "hit " << i;
        ASSERT_NEAR(hit.position, 0.1 + 0.2 * i, 1e-9) << "hit " << i;
        if (i < RECORDING_MAX_CROPS) {
            ASSERT_NE(hit.crop, nullptr) << "hit " << i;
            ASSERT_EQ(hit.crop->bar_end - hit.crop->bar_start, low) << "hit " << i;
        } else {
            ASSERT_EQ(hit.crop, nullptr) << "hit " << i;
        }
    }
    free_recording(&recording);
}

TEST(FrameReader, NoVoteWithoutAMatchingFrame) {
    FrameReader* reader = frame_reader_begin(1920, 1080, false);
    ASSERT_NE(reader, nullptr);
    Frame dark;  // all black: no layout's sample points
    for (int i = 0; i < 10; ++i) read_frame(reader, dark.planes(), TO_RGB, i * 16000);
    Recording recording = {};
    frame_reader_finish(reader, &recording);
    frame_reader_end(reader);
    EXPECT_EQ(recording.layout, -1);
    EXPECT_EQ(recording.frames, 10u);
    EXPECT_EQ(recording.voting_frames, 0u);
    EXPECT_EQ(recording.hit_count, 0u);
    free_recording(&recording);
}
