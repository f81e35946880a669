// The report in time order and for a spreadsheet: the page's order of the
// rows, which gauge pictures are kept, the layout's name, and the fields of
// report.csv.
#include "pages/chart.h"
#include "modes/report/report_collect.h"
#include "modes/report/report_csv.h"
#include "modes/report/report_page.h"
#include "support/page_text.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

constexpr uint64_t SECOND = 1000000000ull;  // file times count nanoseconds
constexpr uint64_t EPOCH = 11644473600ull * SECOND;  // 1970 in them

FileEntry entry_at(const std::string& name, int64_t seconds) {
    static std::deque<std::string> paths;  // the listing keeps its paths; so do the tests
    paths.push_back(name);
    FileEntry entry = {};
    entry.path = paths.back().c_str();
    entry.time = EPOCH + static_cast<uint64_t>(seconds) * SECOND;
    return entry;
}

GaugeResult read_result(uint32_t reading) {
    return {GaugeStatus::read, reading, 3, 17, reading * 237 / 1000, 1920, 1080};
}


}  // namespace

TEST(ReportOrder, RowsByFileTimeTiesInListingOrder) {
    // Listing order c, a, d, b; times 30, 10, 10, 20.
    std::vector<FileEntry> entries = {entry_at("c.png", 1700000030), entry_at("a.png", 1700000010),
                                      entry_at("d.png", 1700000010), entry_at("b.png", 1700000020)};
    Report report;
    report_start(&report);
    std::vector<const FileEntry*> pngs;
    for (const FileEntry& entry : entries) pngs.push_back(&entry);
    report_rank_listing(&report, pngs.data(), static_cast<uint32_t>(pngs.size()));
    for (const FileEntry& entry : entries) report_add(&report, entry, read_result(500), nullptr);
    report_finish(&report);
    ASSERT_FALSE(report.failed);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < report.row_count; ++i) {
        names.push_back(report_row_name(report, report.rows[report.order[i]]));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.png", "d.png", "b.png", "c.png"}));
    std::string page = written([&](FILE* file) { write_report_page(file, report); });
    size_t at = 0;
    for (const std::string& name : names) {
        at = page.find("<td class=\"name\">" + name + "</td>", at);
        EXPECT_NE(at, std::string::npos) << name;
    }
    EXPECT_NE(page.find("4 PNG files by file time, oldest first"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"report.csv\">report.csv</a>"), std::string::npos);
    report_free(&report);
}

TEST(ReportOrder, PicturesOfTheOldestAreKept) {
    GaugeCrop crop = {};
    crop.width = 40;
    crop.height = CROP_HEIGHT;
    crop.bar_end = 20;
    // Listed newest first: the last REPORT_FIRST_CROPS listed are the oldest.
    const uint32_t total = REPORT_FIRST_CROPS + 300;
    std::vector<FileEntry> entries;
    for (uint32_t i = 0; i < total; ++i) {
        entries.push_back(entry_at("s" + std::to_string(i) + ".png", 1700000000 + (total - i) * 60));
    }
    std::vector<const FileEntry*> pngs;
    for (const FileEntry& entry : entries) pngs.push_back(&entry);
    Report report;
    report_start(&report);
    report_rank_listing(&report, pngs.data(), total);
    for (uint32_t i = 0; i < total; ++i) {
        report_add(&report, entries[i], read_result(500), &crop);  // all equal: no extremes beyond
    }
    report_finish(&report);
    ASSERT_FALSE(report.failed);
    for (uint32_t i = 0; i < total; ++i) {
        bool oldest = i >= total - REPORT_FIRST_CROPS;
        bool extreme = i < 2 * REPORT_EXTREME_CROPS;  // the earliest rows of equal damage
        if (oldest) {
            EXPECT_GE(report.rows[i].crop, 0) << i;
        } else if (!extreme) {
            EXPECT_LT(report.rows[i].crop, 0) << i;
        }
    }
    // The first crops are in time order.
    for (uint32_t k = 1; k < report.first_crops; ++k) {
        EXPECT_GT(report.rows[report.crops[k].row].time, report.rows[report.crops[k - 1].row].time)
            << k;
        EXPECT_EQ(report.rows[report.crops[k].row].crop, static_cast<int32_t>(k));
    }
    report_free(&report);
}

TEST(ReportLayout, ScreenSizeAndShortName) {
    char text[LAYOUT_TEXT_SIZE];
    struct Case {
        GaugeResult result;
        const char* text;
    };
    const Case cases[] = {
        {{GaugeStatus::read, 500, 1, 10, 0, 2560, 1440}, "2560\xC3\x97" "1440 A"},
        {{GaugeStatus::read, 500, 3, 10, 0, 1920, 1080}, "1920\xC3\x97" "1080 A"},
        {{GaugeStatus::read, 500, 4, 10, 0, 1920, 1080}, "1920\xC3\x97" "1080 B"},
        {{GaugeStatus::read, 500, 5, 10, 0, 1920, 1080}, "1920\xC3\x97" "1080 C"},
        {{GaugeStatus::no_layout, 0, 4, 811, 0, 1280, 720}, "no match (1280\xC3\x97" "720)"},
        {{GaugeStatus::no_layout, 0, -1, 0, 0, 0, 0}, "no match"},
        {{GaugeStatus::load_failed, 0, -1, 0, 0, 0, 0}, "not loaded"},
    };
    for (const Case& c : cases) {
        layout_text(c.result, text);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(ReportCsv, FieldsQuotedGuardedAndInUtf8) {
    const std::pair<const char*, const char*> cases[] = {
        {"shot0042.png", "shot0042.png"},
        {"a,b.png", "\"a,b.png\""},
        {"say \"hi\".png", "\"say \"\"hi\"\".png\""},
        {"two\nlines.png", "\"two\nlines.png\""},
        {"cr\rhere.png", "\"cr\rhere.png\""},
        {"スクショ.png", "スクショ.png"},
        {"=1+2.png", "'=1+2.png"},
        {"+1.png", "'+1.png"},
        {"-1.png", "'-1.png"},
        {"@sum.png", "'@sum.png"},
        {"\tx.png", "'\tx.png"},
        {"\rx.png", "\"'\rx.png\""},
        {"=a,b", "\"'=a,b\""},
        // What comes first once a spreadsheet trims blanks and line ends.
        {" =1+1.png", "' =1+1.png"},
        {"  +1.png", "'  +1.png"},
        {" -1.png", "' -1.png"},
        {" @sum.png", "' @sum.png"},
        {" \t=1.png", "' \t=1.png"},
        {"\n=1.png", "\"'\n=1.png\""},
        {" \r\n-1", "\"' \r\n-1\""},
        {" 1-2.png", " 1-2.png"},
        {" x=1.png", " x=1.png"},
        {"   ", "   "},
        {"bad\xFF\xC3.png", "bad\xEF\xBF\xBD\xEF\xBF\xBD.png"},
        {"", ""},
        {"51.6", "51.6"},
    };
    for (const auto& [text, field] : cases) EXPECT_EQ(csv_field(text), field) << text;
}
