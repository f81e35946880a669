// Options, the percent text, and the latest mode with a recording clipboard.
#include "file_list.h"
#include "platform.h"
#include "program.h"
#include "screenshot_maker.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

Mode mode_of(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "healthgauge");
    return choose_mode(static_cast<int>(arguments.size()), arguments.data());
}

// What the latest mode did to the clipboard.
std::vector<std::string> clipboard_calls;
void record_put(const char* text) { clipboard_calls.push_back(std::string("put ") + text); }
void record_empty() { clipboard_calls.push_back("empty"); }

class LatestMode : public testing::Test {
  protected:
    void SetUp() override {
        clipboard_calls.clear();
        clipboard = {record_put, record_empty};
    }
    void TearDown() override {
        clipboard = SYSTEM_CLIPBOARD;
        file_list_release();
    }
    std::string run_here() {
        InsideFolder inside(folder.path);
        testing::internal::CaptureStdout();
        run_latest();
        return testing::internal::GetCapturedStdout();
    }
    void write_screenshot(const std::string& name, int filled, long time) {
        Screenshot shot = blank_screenshot(1920, 1080, 3);
        paint_gauge(shot, 3, filled);
        ASSERT_TRUE(write_png(shot, folder / name));
        ASSERT_TRUE(set_time(folder / name, time));
    }
    TempFolder folder;
};

}  // namespace

TEST(Options, LastOptionWinsAndOthersAreIgnored) {
    EXPECT_EQ(mode_of({}), Mode::latest);
    for (const char* latest : {"-l", "-LAST", "-last", "-L"}) EXPECT_EQ(mode_of({latest}), Mode::latest);
    for (const char* scan : {"-s", "-SCAN", "-Scan", "-S"}) EXPECT_EQ(mode_of({scan}), Mode::scan);
    EXPECT_EQ(mode_of({"-scan", "-last"}), Mode::latest);
    EXPECT_EQ(mode_of({"-last", "-S"}), Mode::scan);
    EXPECT_EQ(mode_of({"scan"}), Mode::latest);
    EXPECT_EQ(mode_of({"-x", "-sc", "--scan", "-scans", ""}), Mode::latest);
    EXPECT_EQ(mode_of({"-s", "-x", "last"}), Mode::scan);
}

TEST(Options, ReportLikeTheOtherOptions) {
    for (const char* report : {"-r", "-R", "-report", "-REPORT", "-Report"}) {
        EXPECT_EQ(mode_of({report}), Mode::report) << report;
    }
    EXPECT_EQ(mode_of({"-report", "-s"}), Mode::scan);
    EXPECT_EQ(mode_of({"-l", "-r"}), Mode::report);
    EXPECT_EQ(mode_of({"-r", "-x", "report"}), Mode::report);
    EXPECT_EQ(mode_of({"-rep", "--report", "-reports", "-rr"}), Mode::latest);
}

TEST(Options, PercentTextHasOneDecimal) {
    char text[PERCENT_TEXT_SIZE];
    const std::pair<uint32_t, const char*> cases[] = {
        {1000, "100.0%"}, {537, "53.7%"}, {5, "0.5%"}, {0, "0.0%"}};
    for (const auto& [value, expected] : cases) {
        format_percent(value, text);
        EXPECT_STREQ(text, expected);
    }
}

TEST_F(LatestMode, ReadsTheNewestPngAndCopiesItsText) {
    write_screenshot("old.png", 237, 1000);
    write_screenshot("new.png", 120, 2000);
    ASSERT_TRUE(write_file(folder / "newest.txt", "not a screenshot"));
    ASSERT_TRUE(set_time(folder / "newest.txt", 3000));
    EXPECT_EQ(run_here(), "50.6% from new.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put 50.6%"});
}

TEST_F(LatestMode, UnreadableNewestEmptiesTheClipboardWithoutTryingOlderOnes) {
    write_screenshot("good.png", 237, 1000);
    ASSERT_TRUE(write_file(folder / "bad.png", "garbage"));
    ASSERT_TRUE(set_time(folder / "bad.png", 2000));
    EXPECT_EQ(run_here(), "Error: Failed to load bad.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"empty"});

    Screenshot blank = blank_screenshot(1920, 1080, 3);
    ASSERT_TRUE(write_png(blank, folder / "bad.png"));
    ASSERT_TRUE(set_time(folder / "bad.png", 2000));
    clipboard_calls.clear();
    EXPECT_EQ(run_here(),
              "Warning: Could not find matching health bar type for screenshot bad.png\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"empty"});
}

TEST_F(LatestMode, NoPngLeavesTheClipboardAlone) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
    EXPECT_EQ(run_here(), "Error: Could not find any PNG file.\n");
    EXPECT_TRUE(clipboard_calls.empty());
}

TEST_F(LatestMode, EqualTimesGoToTheFileListedFirst) {
    write_screenshot("a.png", 237, 5000);
    write_screenshot("b.png", 0, 5000);
    write_screenshot("c.png", 120, 5000);
    // Which one the platform yields first is its own business: ask it.
    std::string first;
    {
        InsideFolder inside(folder.path);
        ASSERT_TRUE(file_list_list_files());
        first = file_list.entries[file_list.index[0]].path;
    }
    const std::map<std::string, std::string> text = {
        {"a.png", "100.0%"}, {"b.png", "0.0%"}, {"c.png", "50.6%"}};
    EXPECT_EQ(run_here(), text.at(first) + " from " + first + "\n");
    EXPECT_EQ(clipboard_calls, std::vector<std::string>{"put " + text.at(first)});
}
