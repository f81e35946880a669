// The pages' charts: the histogram's bins and bars, the timeline's play
// sessions on a large folder, and file times in local time.
#include "pages/chart.h"
#include "pages/local_time.h"
#include "platform/platform.h"
#include "support/page_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

TEST(Chart, BinsOfFivePointsWithMissesApart) {
    EXPECT_EQ(histogram_bin(0), 0);     // 0.0%: a complete miss
    EXPECT_EQ(histogram_bin(1), 1);     // 0.1%
    EXPECT_EQ(histogram_bin(50), 1);    // 5.0%
    EXPECT_EQ(histogram_bin(51), 2);    // 5.1%
    EXPECT_EQ(histogram_bin(100), 2);   // 10.0%
    EXPECT_EQ(histogram_bin(951), 20);  // 95.1%
    EXPECT_EQ(histogram_bin(1000), 20); // 100.0%
    for (uint32_t damage = 1; damage <= 1000; ++damage) {
        int bin = histogram_bin(damage);
        ASSERT_GE(bin, 1);
        ASSERT_LT(bin, HISTOGRAM_BINS);
        ASSERT_GE(histogram_bin(damage), histogram_bin(damage - 1)) << damage;
    }
    char label[BIN_LABEL_SIZE];
    histogram_bin_label(0, label);
    EXPECT_STREQ(label, "0.0");
    histogram_bin_label(1, label);
    EXPECT_STREQ(label, "0.1\xE2\x80\x93" "5.0");
    histogram_bin_label(2, label);
    EXPECT_STREQ(label, "5.1\xE2\x80\x93" "10.0");
    histogram_bin_label(20, label);
    EXPECT_STREQ(label, "95.1\xE2\x80\x93" "100.0");
}

TEST(Chart, BarHeightsFollowTheCounts) {
    uint32_t counts[HISTOGRAM_BINS] = {};
    counts[0] = 7;
    counts[3] = 14;
    counts[20] = 1;
    std::string svg = written([&](FILE* file) { write_histogram_svg(file, counts); });
    std::vector<std::string> heights = attributes(svg, "<rect class=\"bar", "height");
    std::vector<std::string> shown = attributes(svg, "<rect class=\"bar", "data-count");
    ASSERT_EQ(heights.size(), size_t(HISTOGRAM_BINS));
    ASSERT_EQ(shown.size(), size_t(HISTOGRAM_BINS));
    double per_screenshot = atof(heights[3].c_str()) / 14;
    EXPECT_GT(per_screenshot, 0);
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        EXPECT_EQ(shown[bin], std::to_string(counts[bin])) << bin;
        EXPECT_NEAR(atof(heights[bin].c_str()), counts[bin] * per_screenshot, 0.02) << bin;
    }
    // The axes carry their titles and the bins their ranges.
    EXPECT_NE(svg.find(">Damage (%)<"), std::string::npos);
    EXPECT_NE(svg.find(">Screenshots<"), std::string::npos);
    EXPECT_NE(svg.find(">95.1\xE2\x80\x93" "100.0<"), std::string::npos);
}

TEST(Sessions, TwentyThousandPointsStayUnderTwoMegabytes) {
    std::vector<TimePoint> points;
    for (uint32_t i = 0; i < 20000; ++i) {
        // 40 sessions of 500, 10 s apart, 2 hours between sessions.
        points.push_back({1700000000 + (i / 500) * 7200 + (i % 500) * 10, (i * 7919) % 1001});
    }
    std::string svg = written([&](FILE* file) {
        write_timeline_svg(file, points.data(), static_cast<uint32_t>(points.size()));
    });
    EXPECT_LT(svg.size(), size_t(2) << 20);
    EXPECT_EQ(occurrences(svg, "<g class=\"session\""), size_t(MAX_SESSIONS));
    EXPECT_EQ(occurrences(svg, "<circle"), size_t(20000));
    EXPECT_EQ(occurrences(svg, "<path class=\"line\""), size_t(MAX_SESSIONS));
}

TEST(LocalTime, PositionsInARecording) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0:00:00.000"},          {83.45, "0:01:23.450"},     {83.4504, "0:01:23.450"},
        {0.0005, "0:00:00.001"},     {3599.9996, "1:00:00.000"}, {36000, "10:00:00.000"},
        {-3, "0:00:00.000"},         {1e300, "0:00:00.000"},     {std::nan(""), "0:00:00.000"},
    };
    for (const auto& c : cases) {
        char text[POSITION_TEXT_SIZE];
        format_position(c.seconds, text);
        EXPECT_STREQ(text, c.text) << c.seconds;
    }
}

TEST(LocalTime, SecondsToFileTimesAndBack) {
    for (double seconds : {0.0, 1700000000.25, -11644473600.0, 4102444800.5}) {
        EXPECT_EQ(file_time_seconds(file_time_from_seconds(seconds)),
                  static_cast<int64_t>(std::floor(seconds)))
            << seconds;
    }
    EXPECT_LT(file_time_from_seconds(1700000000.25), file_time_from_seconds(1700000000.5))
        << "fractions of a second keep hits apart";
    EXPECT_EQ(file_time_from_seconds(-2e10), 0u) << "before 1601";
    EXPECT_EQ(file_time_from_seconds(1e30), UINT64_MAX);
}

TEST(LocalTime, FileTimesInLocalTime) {
    // The listing counts file times in nanoseconds from 1601, as Windows does.
    auto file_time = [](uint64_t unix_seconds, uint64_t nanoseconds) {
        return (unix_seconds + 11644473600ull) * 1000000000ull + nanoseconds;
    };
    const char* previous = getenv("TZ");
    std::string saved = previous ? previous : "";
    setenv("TZ", "UTC", 1);
    tzset();
    char text[LOCAL_TIME_SIZE];
    EXPECT_TRUE(file_time_to_local(file_time(0, 0), text));
    EXPECT_STREQ(text, "1970-01-01 00:00:00");
    EXPECT_TRUE(file_time_to_local(0, text));
    EXPECT_STREQ(text, "1601-01-01 00:00:00");
    EXPECT_TRUE(file_time_to_local(file_time(1700000000ull, 999999999ull), text));
    EXPECT_STREQ(text, "2023-11-14 22:13:20");
    setenv("TZ", "CET-1", 1);  // one hour east of UTC, no summer time
    tzset();
    EXPECT_TRUE(file_time_to_local(file_time(1700000000ull, 0), text));
    EXPECT_STREQ(text, "2023-11-14 23:13:20");
    EXPECT_EQ(file_time_seconds(file_time(1700000000ull, 0)), 1700000000);
    if (previous) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
