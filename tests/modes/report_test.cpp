// The report page's pieces: histogram bins, HTML escaping, base64, the gauge
// crop and its end mark, which crops are kept, the page with and without
// readings, and file times as local time.
#include "modes/local_time.h"
#include "modes/report/crop_png.h"
#include "modes/report/report_charts.h"
#include "modes/report/report_collect.h"
#include "modes/report/report_html.h"
#include "modes/report/report_page.h"
#include "modes/scan.h"
#include "platform/platform.h"
#include "support/page_text.h"
#include "support/screenshot_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <set>
#include <stb_image.h>
#include <string>
#include <vector>

namespace {

std::string escaped(const std::string& text) {
    std::vector<char> out(HTML_ESCAPED_SIZE(text.size()));
    html_escape(text.c_str(), out.data(), out.size());
    std::string both = written([&](FILE* file) { write_html_text(file, text.c_str()); });
    EXPECT_EQ(both, out.data()) << "the buffer and the file forms differ";
    return out.data();
}

const std::string FFFD = "\xEF\xBF\xBD";


}  // namespace

TEST(ReportHistogram, BinsOfFivePointsWithMissesApart) {
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

TEST(ReportHistogram, BarHeightsFollowTheCounts) {
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

TEST(ReportHtml, EscapesMarkupAndQuotes) {
    EXPECT_EQ(escaped("shot0001.png"), "shot0001.png");
    EXPECT_EQ(escaped("<script>alert(\"x\")</script>&'.png"),
              "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;&#39;.png");
    EXPECT_EQ(escaped("&amp;"), "&amp;amp;");
    // Control characters show as their pictures.
    EXPECT_EQ(escaped("a\nb\x7f"), "a\xE2\x90\x8A" "b\xE2\x90\xA1");
    EXPECT_EQ(escaped(std::string("\x01", 1)), "\xE2\x90\x81");
}

TEST(ReportHtml, KeepsUtf8AndReplacesInvalidBytes) {
    EXPECT_EQ(escaped("sk\xC3\xA4rmbild.png"), "sk\xC3\xA4rmbild.png");
    EXPECT_EQ(escaped("\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png"),
              "\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png");
    EXPECT_EQ(escaped("\xF0\x9F\x8E\xAE"), "\xF0\x9F\x8E\xAE");   // U+1F3AE
    EXPECT_EQ(escaped("a\xFF" "b"), "a" + FFFD + "b");            // never valid
    EXPECT_EQ(escaped("\x80"), FFFD);                             // stray continuation
    EXPECT_EQ(escaped("\xC0\xAF"), FFFD + FFFD);                  // overlong '/'
    EXPECT_EQ(escaped("\xE0\x80\xAF"), FFFD + FFFD + FFFD);       // overlong
    EXPECT_EQ(escaped("\xED\xA0\x80"), FFFD + FFFD + FFFD);       // surrogate
    EXPECT_EQ(escaped("\xF4\x90\x80\x80"), FFFD + FFFD + FFFD + FFFD);  // past U+10FFFF
    EXPECT_EQ(escaped("x\xE2\x82"), "x" + FFFD + FFFD);           // cut short at the end
    EXPECT_EQ(escaped("\xE2\x82<"), FFFD + FFFD + "&lt;");        // cut short by markup
}

TEST(ReportHtml, EscapingStopsAtACharacterThatDoesNotFit) {
    char out[8];
    EXPECT_EQ(html_escape("ab<cd", out, sizeof out), size_t(7));
    EXPECT_STREQ(out, "ab&lt;c");
    EXPECT_EQ(html_escape("a\xC3\xA4\xC3\xA4\xC3\xA4", out, 7), size_t(5));
    EXPECT_STREQ(out, "a\xC3\xA4\xC3\xA4");
}

TEST(ReportHtml, Base64) {
    const char* cases[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                              {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
    for (const auto& c : cases) {
        const uint8_t* data = reinterpret_cast<const uint8_t*>(c[0]);
        std::vector<char> out(base64_length(strlen(c[0])) + 1);
        EXPECT_EQ(base64_encode(data, strlen(c[0]), out.data()), strlen(c[1]));
        EXPECT_STREQ(out.data(), c[1]);
    }
    // Written to a file in pieces, a long block reads the same as in one go.
    std::vector<uint8_t> block(10000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + i / 251);
    for (size_t size : {size_t(3072), size_t(3073), size_t(9999), size_t(10000)}) {
        std::vector<char> whole(base64_length(size) + 1);
        base64_encode(block.data(), size, whole.data());
        EXPECT_EQ(written([&](FILE* file) { write_base64(file, block.data(), size); }),
                  whole.data())
            << size;
    }
}

namespace {

// A screenshot of layout `type` with `filled` bar pixels over scenery.
Screenshot gauge_screenshot(int type, int filled) {
    const GaugeType& gauge = gauge_types[type];
    Screenshot shot = blank_screenshot(gauge.screen_width, 80, 3);
    add_scenery(shot, static_cast<uint32_t>(type * 31 + filled));
    paint_gauge(shot, type, filled);
    return shot;
}

const uint8_t* shot_pixel(const Screenshot& shot, int x, int y) {
    return &shot.pixels[(static_cast<size_t>(y) * shot.width + x) * shot.channels];
}

const uint8_t* crop_pixel(const GaugeCrop& crop, int x, int y) {
    return &crop.pixels[(static_cast<size_t>(y) * crop.width + x) * 3];
}

// The crop of a screenshot as the scan makes it.
GaugeCrop crop_of(const Screenshot& shot, GaugeResult* result) {
    GaugeCrop crop = {};
    *result = read_gauge_image(image_of(shot));
    if (result->status == GaugeStatus::read) crop_gauge(image_of(shot), *result, &crop);
    return crop;
}

// The end mark's left edge, in percent of the figure's width.
double mark_position(const GaugeCrop& crop) {
    CropPng png;
    EXPECT_TRUE(encode_crop_png(crop, &png));
    CropFigure figure = {crop.width, crop.height, crop.bar_end, png.data, png.size};
    std::string html = written([&](FILE* file) { write_crop_figure(file, figure); });
    free_crop_png(&png);
    const std::string mark = "class=\"end\" style=\"left:";
    size_t at = html.find(mark);
    EXPECT_NE(at, std::string::npos) << html.substr(0, 200);
    return at == std::string::npos ? -1 : atof(html.c_str() + at + mark.size());
}

}  // namespace

TEST(ReportCrop, PositionAndSizeForEveryLayout) {
    for (int type = 0; type < GAUGE_TYPE_COUNT; ++type) {
        SCOPED_TRACE("layout " + std::to_string(type));
        const GaugeType& gauge = gauge_types[type];
        int length = gauge.bar_last - gauge.bar_first + 1;
        Screenshot shot = gauge_screenshot(type, length / 2);
        GaugeResult result;
        GaugeCrop crop = crop_of(shot, &result);
        ASSERT_EQ(result.status, GaugeStatus::read);
        ASSERT_EQ(result.layout, type);
        EXPECT_EQ(crop.width, length + 2 * CROP_MARGIN);
        EXPECT_EQ(crop.height, CROP_HEIGHT);
        EXPECT_EQ(crop.bar_start, CROP_MARGIN);
        EXPECT_EQ(crop.bar_row, CROP_MARGIN);
        EXPECT_EQ(crop.bar_end, CROP_MARGIN + length / 2);
        // Each corner and the bar's ends are the screenshot's own pixels.
        int left = gauge.bar_first - CROP_MARGIN, top = gauge.bar_row - CROP_MARGIN;
        const int xs[] = {0, crop.bar_start, crop.bar_end - 1, crop.bar_end, crop.width - 1};
        for (int y : {0, crop.bar_row, crop.height - 1}) {
            for (int x : xs) {
                EXPECT_EQ(memcmp(crop_pixel(crop, x, y), shot_pixel(shot, left + x, top + y), 3),
                          0)
                    << x << "," << y;
            }
        }
        // The crop makes a PNG that decodes to the same pixels.
        CropPng png;
        ASSERT_TRUE(encode_crop_png(crop, &png));
        int w = 0, h = 0, channels = 0;
        uint8_t* back = stbi_load_from_memory(png.data, static_cast<int>(png.size), &w, &h,
                                              &channels, 3);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(w, crop.width);
        EXPECT_EQ(h, crop.height);
        EXPECT_EQ(memcmp(back, crop.pixels, static_cast<size_t>(w) * h * 3), 0);
        stbi_image_free(back);
        free_crop_png(&png);
    }
}

TEST(ReportCrop, EndMarkAtAnEmptyAndAFullBar) {
    const int type = 1;  // 2560 x 1440, a 389-pixel bar
    const GaugeType& gauge = gauge_types[type];
    int length = gauge.bar_last - gauge.bar_first + 1;
    const uint8_t bar[3] = {gauge.bar_colour.red, gauge.bar_colour.green, gauge.bar_colour.blue};

    GaugeResult result;
    GaugeCrop empty = crop_of(gauge_screenshot(type, 0), &result);
    ASSERT_EQ(result.reading, 0u);
    EXPECT_EQ(empty.bar_end, empty.bar_start);
    EXPECT_NE(memcmp(crop_pixel(empty, empty.bar_end, empty.bar_row), bar, 3), 0);
    EXPECT_NEAR(mark_position(empty), 100.0 * CROP_MARGIN / empty.width, 0.001);

    GaugeCrop full = crop_of(gauge_screenshot(type, length), &result);
    ASSERT_EQ(result.reading, 1000u);
    EXPECT_EQ(full.bar_end, CROP_MARGIN + length);
    EXPECT_EQ(memcmp(crop_pixel(full, full.bar_end - 1, full.bar_row), bar, 3), 0);
    EXPECT_NEAR(mark_position(full), 100.0 * (CROP_MARGIN + length) / full.width, 0.001);
}

namespace {

FileEntry entry_named(const std::string& name, uint64_t time = 0) {
    static std::deque<std::string> paths;  // the listing keeps its paths; so do the tests
    paths.push_back(name);
    FileEntry entry = {};
    entry.path = paths.back().c_str();
    entry.time = time;
    return entry;
}

GaugeResult read_result(uint32_t reading) {
    return {GaugeStatus::read, reading, 3, 17, reading * 237 / 1000};
}

}  // namespace

TEST(ReportCrops, FirstOnesAndTheExtremesOfTheRest) {
    GaugeCrop crop = {};
    crop.width = 40;
    crop.height = CROP_HEIGHT;
    crop.bar_start = crop.bar_row = CROP_MARGIN;
    crop.bar_end = 20;

    Report report;
    report_start(&report);
    // A failed file first: it takes a row but no crop and does not count.
    report_add(&report, entry_named("broken.png"), {GaugeStatus::load_failed, 0, -1, 0, 0},
               nullptr);
    const uint32_t total = REPORT_FIRST_CROPS + 400;
    std::vector<uint32_t> readings;
    for (uint32_t i = 0; i < total; ++i) {
        uint32_t reading = (i * 7919) % 1001;  // every value, in a scrambled order
        readings.push_back(reading);
        report_add(&report, entry_named("s" + std::to_string(i) + ".png"), read_result(reading),
                   &crop);
    }
    report_finish(&report);
    ASSERT_FALSE(report.failed);
    ASSERT_EQ(report.row_count, total + 1);
    EXPECT_EQ(report.read_count, total);
    EXPECT_EQ(report.rows[0].crop, -1);
    EXPECT_STREQ(report_row_name(report, report.rows[0]), "broken.png");
    EXPECT_STREQ(report_row_name(report, report.rows[total]),
                 ("s" + std::to_string(total - 1) + ".png").c_str());

    // Without the listing's times, the first rows listed count as the
    // oldest, the failed one among them. Past the first crops: the 50
    // lowest and 50 highest readings, earlier rows first among equal ones.
    const uint32_t first = REPORT_FIRST_CROPS - 1;
    std::vector<std::pair<uint32_t, uint32_t>> rest;  // (reading, index)
    for (uint32_t i = first; i < total; ++i) rest.push_back({readings[i], i});
    std::stable_sort(rest.begin(), rest.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::set<uint32_t> expected;
    for (uint32_t i = 0; i < REPORT_EXTREME_CROPS; ++i) expected.insert(rest[i].second);
    std::stable_sort(rest.begin(), rest.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (uint32_t i = 0; i < REPORT_EXTREME_CROPS; ++i) expected.insert(rest[i].second);

    for (uint32_t i = 0; i < total; ++i) {
        const ReportRow& row = report.rows[i + 1];
        bool kept = i < first || expected.count(i) > 0;
        ASSERT_EQ(row.crop >= 0, kept) << "screenshot " << i << ", reading " << readings[i];
        if (kept) {
            EXPECT_EQ(report.crops[row.crop].bar_end, 20);
        }
    }
    EXPECT_EQ(report.crop_count, first + 2 * REPORT_EXTREME_CROPS);
    report_free(&report);
}

TEST(ReportCrops, AVeryBigFolderKeepsThePageSmall) {
    GaugeCrop crop = {};
    crop.width = 40;
    crop.height = CROP_HEIGHT;
    crop.bar_end = 30;
    for (int i = 0; i < 40 * CROP_HEIGHT * 3; ++i) crop.pixels[i] = static_cast<uint8_t>(i * 13);

    // Rows alone come near the page's target: the first crops give way,
    // the extremes' crops stay.
    const uint32_t total = REPORT_PAGE_TARGET / REPORT_ROW_BYTES;
    Report report;
    report_start(&report);
    for (uint32_t i = 0; i < total; ++i) {
        report_add(&report, entry_named("shot" + std::to_string(i) + ".png"),
                   read_result(i * 7919 % 1001), &crop);
    }
    report_finish(&report);
    ASSERT_FALSE(report.failed);
    EXPECT_EQ(report.first_crops, REPORT_FIRST_CROPS);
    EXPECT_EQ(report.first_shown, 0u);
    uint32_t shown = 0;
    for (uint32_t i = 0; i < report.row_count; ++i) {
        if (report.rows[i].crop < 0) continue;
        ++shown;
        EXPECT_GE(i, REPORT_FIRST_CROPS);
        EXPECT_EQ(report.crops[report.rows[i].crop].row, i);
    }
    EXPECT_EQ(shown, 2 * REPORT_EXTREME_CROPS);
    std::string page = written([&](FILE* file) { write_report_page(file, report); });
    report_free(&report);
    EXPECT_LT(page.size(), size_t(40) << 20);
    EXPECT_EQ(occurrences(page, "<tr class=\"file\">"), size_t(total));
    EXPECT_NE(page.find("Gauge pictures are shown for the 0 oldest screenshots read and for the "
                        "50 highest and 50 lowest damages of the others."),
              std::string::npos);
}

TEST(ReportPage, WithoutReadingsListsEveryFileAndNoFigures) {
    Report report;
    report_start(&report);
    report_add(&report, entry_named("a<b>.png"), {GaugeStatus::load_failed, 0, -1, 0, 0}, nullptr);
    report_add(&report, entry_named("dark.png"), {GaugeStatus::no_layout, 0, 4, 811, 0}, nullptr);
    report_finish(&report);
    std::string page = written([&](FILE* file) { write_report_page(file, report); });
    report_free(&report);
    EXPECT_NE(page.find("Error: Didn't find any health bar gauges."), std::string::npos);
    EXPECT_EQ(page.find("<svg"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"name\">a&lt;b&gt;.png</td>"), std::string::npos);
    EXPECT_NE(page.find("Error: Failed to load"), std::string::npos);
    EXPECT_NE(page.find("Warning: Could not find matching health bar type"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"layout\">no match</td><td class=\"num\">\xE2\x80\x94<"),
              std::string::npos);
    EXPECT_NE(page.find("<td class=\"layout\">not loaded</td>"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.compare(page.size() - 8, 8, "</html>\n"), 0);
}

TEST(ReportPage, FiguresAreTheSummaryLines) {
    Report report;
    report_start(&report);
    for (uint32_t reading : {1000u, 1000u, 900u}) {
        report_add(&report, entry_named("x.png", 1700000000ull * 1000000000ull), read_result(reading),
                   nullptr);
    }
    report_finish(&report);
    std::string page = written([&](FILE* file) { write_report_page(file, report); });
    report_free(&report);
    for (const char* line :
         {"<tr><td>Health bars detected:</td><td>3</td></tr>",
          "<tr><td>Average damage:</td><td>3.4%</td></tr>",
          "<tr><td>Most common damage:</td><td>0.0% (2 occurances)</td></tr>",
          "<tr><td>Highest damage:</td><td>10.0%</td></tr>",
          "<tr><td>Lowest damage:</td><td>10.0%</td></tr>",
          "<tr><td>Complete misses:</td><td>2</td></tr>",
          "<tr><td>Total unique health bars:</td><td>2</td></tr>"}) {
        EXPECT_NE(page.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(attributes(page, "<circle", "cx").size(), size_t(3));
    EXPECT_EQ(attributes(page, "<rect class=\"bar", "data-count")[0], "2");
    EXPECT_EQ(attributes(page, "<rect class=\"bar", "data-count")[2], "1");  // 10.0%
}

TEST(ReportTime, FileTimesInLocalTime) {
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
