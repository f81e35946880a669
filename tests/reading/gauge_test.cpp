// Gauge reading: layout choice, the bar walk, channel counts, buffer bounds
// and decoding failures, on screenshots built in memory or written as PNG.
#include "modes/messages.h"
#include "reading/gauge.h"
#include "reading/screenshot.h"
#include "support/screenshot_maker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

uint32_t read_image(const Screenshot& shot, bool* ok) {
    GaugeResult result = read_gauge_image(image_of(shot));
    *ok = result.status == GaugeStatus::read;
    return result.reading;
}

// Reads a file as the modes do: the result, with the message a mode prints.
bool read_file_printing(const std::string& path, uint32_t* reading) {
    GaugeResult result = read_gauge(path.c_str());
    if (result.status == GaugeStatus::read) *reading = result.reading;
    print_read_failure(result, path.c_str());
    return result.status == GaugeStatus::read;
}

uint32_t must_read(const Screenshot& shot) {
    bool ok = false;
    uint32_t reading = read_image(shot, &ok);
    EXPECT_TRUE(ok);
    return reading;
}

const char WARNING[] = "Warning: Could not find matching health bar type for screenshot shot.png\n";

}  // namespace

TEST(GaugeReading, WorkedExamplesOfBothScreenSizes) {
    Screenshot large = blank_screenshot(2560, 1440, 3);
    paint_gauge(large, 1, 201);
    EXPECT_EQ(must_read(large), 516u);

    Screenshot small = blank_screenshot(1920, 1080, 3);
    paint_gauge(small, 3, 120);
    EXPECT_EQ(must_read(small), 506u);
}

TEST(GaugeReading, LowestScoreWinsAndTiesGoToTheEarlierRow) {
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, 5, 240);
    paint_gauge(shot, 4, 100);
    paint_gauge(shot, 3, 50);
    int score = -1;
    EXPECT_EQ(choose_gauge_type(image_of(shot), &score), 3);
    EXPECT_EQ(score, 0);

    // Row 3 one step off: row 4 now has the lowest score.
    const SamplePoint& point = gauge_types[3].points[0];
    set_pixel(shot, point.x, point.y, shifted_colour(point.colour, 1));
    EXPECT_EQ(choose_gauge_type(image_of(shot), &score), 4);
    EXPECT_EQ(must_read(shot), 100u * 1000 / 389);

    // Rows 4 and 5 tie at 0: row 4 wins.
    set_pixel(shot, point.x, point.y, shifted_colour(point.colour, 300));
    const SamplePoint& point4 = gauge_types[4].points[2];
    set_pixel(shot, point4.x, point4.y, shifted_colour(point4.colour, 2));
    EXPECT_EQ(choose_gauge_type(image_of(shot), &score), 5);
    set_pixel(shot, point4.x, point4.y, point4.colour);
    EXPECT_EQ(choose_gauge_type(image_of(shot), &score), 4);
}

TEST(GaugeReading, OneMatchingDimensionIsEnough) {
    Screenshot wide = blank_screenshot(1920, 200, 3);  // width only
    paint_gauge(wide, 4, 389);
    EXPECT_EQ(must_read(wide), 1000u);

    // Height only, narrower than the bar: the bar runs on into the next row.
    Screenshot tall = blank_screenshot(1000, 1080, 3);
    paint_gauge(tall, 3, 237);
    EXPECT_EQ(must_read(tall), 1000u);

    Screenshot neither = blank_screenshot(1921, 1081, 3);
    paint_gauge(neither, 3, 237);
    GaugeResult result = read_gauge_image(image_of(neither));
    EXPECT_EQ(result.status, GaugeStatus::no_layout);
    EXPECT_EQ(result.layout, -1);
    testing::internal::CaptureStdout();
    print_read_failure(result, "shot.png");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), WARNING);
}

TEST(GaugeReading, ScoreOf600IsAcceptedAnd601Rejected) {
    for (int total : {600, 601}) {
        Screenshot shot = blank_screenshot(1920, 1080, 3);
        paint_gauge(shot, 3, 237);
        spoil_samples(shot, 3, total);
        int score = 0;
        EXPECT_EQ(choose_gauge_type(image_of(shot), &score), 3);
        EXPECT_EQ(score, total);
        bool ok = false;
        read_image(shot, &ok);
        EXPECT_EQ(ok, total == 600) << "score " << total;
    }
}

TEST(GaugeReading, BarWalkStopsAtTheFirstPixelThatIsNotBar) {
    const GaugeType& gauge = gauge_types[3];  // length 237
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, 3, 237);
    EXPECT_EQ(must_read(shot), 1000u);

    set_pixel(shot, gauge.bar_first + 100, gauge.bar_row, shifted_colour(gauge.bar_colour, 200));
    EXPECT_EQ(must_read(shot), 1000u) << "distance 200 still counts";

    set_pixel(shot, gauge.bar_first + 100, gauge.bar_row, shifted_colour(gauge.bar_colour, 201));
    EXPECT_EQ(must_read(shot), 421u) << "distance 201 ends the walk: 100 of 237";

    set_pixel(shot, gauge.bar_first + 100, gauge.bar_row, gauge.bar_colour);
    set_pixel(shot, gauge.bar_first + 236, gauge.bar_row, {0, 0, 0});
    EXPECT_EQ(must_read(shot), 995u) << "the last pixel alone off: 236 of 237";

    set_pixel(shot, gauge.bar_first, gauge.bar_row, {0, 0, 0});
    EXPECT_EQ(must_read(shot), 0u) << "first pixel off, bar colour after it";
}

TEST(GaugeReading, FourChannelsStepFourBytesAndIgnoreAlpha) {
    Screenshot shot = blank_screenshot(2560, 1440, 4);
    paint_gauge(shot, 1, 300);
    for (size_t i = 3; i < shot.pixels.size(); i += 4) shot.pixels[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(must_read(shot), 300u * 1000 / 389);
}

TEST(GaugeReading, OneAndTwoChannelImagesAreComparedBytewise) {
    // Grey: pixel (x, y) is the three grey bytes from x on. Samples match
    // when three neighbouring greys hold the expected colour; a grey of 175
    // is within 143 of the bar colour (214, 175, 71).
    const GaugeType& gauge = gauge_types[3];
    Screenshot grey = blank_screenshot(1920, 1080, 1);
    auto put_grey = [&](int x, int y, Colour c) {
        uint8_t* p = &grey.pixels[static_cast<size_t>(y) * 1920 + x];
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
    };
    for (const SamplePoint& point : gauge.points) put_grey(point.x, point.y, point.colour);
    for (int x = gauge.bar_first; x < gauge.bar_first + 101; ++x) {
        grey.pixels[static_cast<size_t>(gauge.bar_row) * 1920 + x] = 175;
    }
    // The 101st pixel reads (175, 0, 0), 285 away: 100 of 237 count.
    EXPECT_EQ(must_read(grey), 421u);

    // Grey and alpha: a pixel reads (grey, alpha, next grey).
    Screenshot pair = blank_screenshot(1920, 1080, 2);
    auto put_pair = [&](int x, int y, Colour c) {
        uint8_t* p = &pair.pixels[(static_cast<size_t>(y) * 1920 + x) * 2];
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
    };
    for (const SamplePoint& point : gauge.points) put_pair(point.x, point.y, point.colour);
    for (int x = gauge.bar_first; x <= gauge.bar_last; ++x) put_pair(x, gauge.bar_row, gauge.bar_colour);
    EXPECT_EQ(must_read(pair), 1000u);
}

TEST(GaugeReading, NothingOutsideTheBufferIsEverRead) {
    // Width matches, but the gauge rows lie below the image.
    Screenshot flat = blank_screenshot(1920, 10, 3);
    int score = 0;
    EXPECT_EQ(choose_gauge_type(image_of(flat), &score), -1);

    // Height matches, width 1: sample points inside, bar's end outside.
    Screenshot thin = blank_screenshot(1, 1080, 3);
    EXPECT_EQ(choose_gauge_type(image_of(thin), &score), -1);

    Screenshot tiny = blank_screenshot(1, 1, 1);
    EXPECT_EQ(choose_gauge_type(image_of(tiny), &score), -1);

    // Layout 4's furthest byte on a one-channel image is its third sample
    // point, (765, 60): a candidate only when all three of its bytes exist.
    const GaugeType& gauge = gauge_types[4];
    size_t last = 60 * 1920 + 765;
    for (size_t size : {last + 2, last + 3}) {
        std::vector<uint8_t> bytes(size, 0);
        Image image = {bytes.data(), bytes.size(), 1920, 1080, 1};
        EXPECT_EQ(is_candidate(image, gauge), size == last + 3) << "size " << size;
        choose_gauge_type(image, &score);  // must stay inside the buffer
    }
}

TEST(GaugeReading, DecodesPngFilesAndReportsFilesItCannotRead) {
    std::string dir = testing::TempDir();
    std::string good = dir + "gauge_good.png";
    Screenshot shot = blank_screenshot(2560, 1440, 3);
    paint_gauge(shot, 1, 201);
    ASSERT_TRUE(write_png(shot, good));
    uint32_t reading = 0;
    EXPECT_TRUE(read_file_printing(good, &reading));
    EXPECT_EQ(reading, 516u);

    std::string missing = dir + "gauge_missing.png";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(read_file_printing(missing, &reading));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Failed to load " + missing + "\n");

    std::string text = dir + "gauge_text.png";
    FILE* file = fopen(text.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("not an image at all\n", file);
    fclose(file);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(read_file_printing(text, &reading));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Failed to load " + text + "\n");
}

namespace {

// A picture of width x height with layout `type` painted in, matching it
// with `score`.
Screenshot scored_shot(int width, int height, int type, int score) {
    Screenshot shot = blank_screenshot(width, height, 3);
    paint_gauge(shot, type, 100);
    spoil_samples(shot, type, score);
    return shot;
}

}  // namespace

TEST(GaugeReading, AHighScoreOrOneMatchingSideIsAWeakMatchOfAReading) {
    struct Case {
        int width, height, type, score;
        MatchDoubt doubt;
    };
    const Case cases[] = {
        {1920, 1080, 3, 0, MatchDoubt::none},
        {1920, 1080, 3, 300, MatchDoubt::none},
        {1920, 1080, 3, 301, MatchDoubt::high_score},
        {1920, 1080, 3, 600, MatchDoubt::high_score},
        {2560, 1440, 1, 368, MatchDoubt::high_score},
        {2560, 1440, 1, 28, MatchDoubt::none},
        {1920, 1200, 3, 0, MatchDoubt::one_side},    // a 16:10 screen, read by its width
        {1920, 1200, 3, 368, MatchDoubt::one_side},  // the size is told before the score
        {3440, 1440, 1, 0, MatchDoubt::one_side},    // ultra-wide, read by its height
        {1920, 64, 5, 0, MatchDoubt::one_side},      // the top rows alone
        {1920, 1080, 3, 601, MatchDoubt::none},      // not read at all
    };
    for (const Case& c : cases) {
        GaugeResult result = read_gauge_image(image_of(scored_shot(c.width, c.height, c.type, c.score)));
        EXPECT_EQ(result.status == GaugeStatus::read, c.score <= MAX_MATCH_SCORE);
        EXPECT_EQ(result.layout, c.type);
        EXPECT_EQ(result.score, c.score);
        EXPECT_EQ(result.width, c.width);
        EXPECT_EQ(result.height, c.height);
        EXPECT_EQ(match_doubt(result), c.doubt)
            << c.width << "x" << c.height << " layout " << c.type << " score " << c.score;
    }
}

TEST(GaugeReading, OnlyASizeWithNeitherSideOfAnyLayoutFitsNone) {
    struct Case {
        int width, height;
        bool fits;
    };
    const Case cases[] = {{1920, 1080, true}, {1920, 1200, true}, {3440, 1440, true},
                          {1000, 1080, true}, {3840, 2160, false}, {1280, 720, false},
                          {1921, 1081, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(size_fits_a_layout(c.width, c.height), c.fits) << c.width << "x" << c.height;
    }
    // The sizes a player is told are all read by every side.
    for (const ScreenSize& size : SCREEN_SIZES) {
        bool whole = false;
        for (const GaugeType& type : gauge_types) {
            whole = whole || (type.screen_width == size.width && type.screen_height == size.height);
        }
        EXPECT_TRUE(whole) << size.width << "x" << size.height;
    }
}
