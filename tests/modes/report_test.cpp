// The report page's pieces: the gauge crop and its end mark, which crops are
// kept, and the page with and without readings.
#include "modes/report/crop_png.h"
#include "pages/chart.h"
#include "modes/report/report_collect.h"
#include "pages/html.h"
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

