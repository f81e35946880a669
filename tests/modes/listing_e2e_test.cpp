// The listing run end to end: big folders, old file times, names in any
// script, and the Windows program's directory search under Wine.
#include "modes/progress.h"
#include "support/png_bombs.h"
#include "support/program_run.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <map>
#include <csignal>
#include <linux/capability.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>
#include <zlib.h>

// ---- big folders and old file times ------------------------------------------

TEST_F(EndToEnd, LatestFindsTheNewestInAFolderOf25000Entries) {
    for (int i = 0; i < 25000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "s%05d.%s", i, i % 5 == 0 ? "png" : "txt");
        int fd = open((folder / name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    // The last PNG the platform lists is the newest; one listed early is the
    // next newest. Every other one is empty and older.
    std::vector<std::string> pngs;
    for (const std::string& name : listing_order(folder.path)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) pngs.push_back(name);
    }
    ASSERT_EQ(pngs.size(), 5000u);
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / pngs[10]));
    ASSERT_TRUE(set_time(folder / pngs[10], 4000000000L));
    ASSERT_TRUE(write_png(screenshot_with_reading(825), folder / pngs.back()));
    ASSERT_TRUE(set_time(folder / pngs.back(), 4000000100L));
    EXPECT_EQ(run().console, "82.5% from " + pngs.back() + "\n");
}

TEST_F(EndToEnd, LatestPlacesAFileFrom1969BeforeToday) {
    ASSERT_TRUE(write_png(screenshot_with_reading(300), folder / "ancient.png"));
    ASSERT_TRUE(set_time(folder / "ancient.png", -86400 * 100));
    ASSERT_TRUE(write_png(screenshot_with_reading(700), folder / "today.png"));
    EXPECT_EQ(run().console, "70.0% from today.png\n");
    ASSERT_TRUE(set_time(folder / "today.png", -86400 * 200));  // even older
    EXPECT_EQ(run().console, "30.0% from ancient.png\n");
}

TEST_F(EndToEnd, ScanOfManyScreenshotsAgreesWithReadingEachAlone) {
    std::vector<int> readings;
    for (int i = 0; i < 300; ++i) readings.push_back((i * 37 % 41) * 25);  // 0..1000, exact
    std::vector<std::string> names = make_screenshots(folder, readings);
    run({"-scan"});
    std::string raw = file("raw.txt");
    EXPECT_EQ(raw, damage_lines(readings));

    // Each file alone, as the newest: its reading is 1000 minus its damage.
    for (size_t i : {size_t(0), size_t(1), size_t(150), names.size() - 1}) {
        ASSERT_TRUE(set_time(folder / names[i], 4000000000L + static_cast<long>(i)));
        EXPECT_EQ(run().console, percent(readings[i]) + " from " + names[i] + "\n");
    }
}

// ---- names in any script -----------------------------------------------------
//
// Screenshots named in Japanese, Swedish, with an emoji, and with the longest
// names the file system takes (in Japanese, and in ASCII, which under Wine
// makes a path longer than MAX_PATH). Under Wine the test prefix has the ANSI
// code page 1252, which holds none of the Japanese characters.

namespace {

// The longest name of ASCII letters, or of "ス" (3 bytes in UTF-8), with the
// extension .png, that the file system of folder takes: NAME_MAX bytes
// (255 on Linux; Windows would take 255 characters, but files under Wine
// live on the Linux file system).
std::string longest_name(const std::string& folder, const std::string& unit) {
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0 || limit > 4096) limit = 255;
    std::string name;
    while (name.size() + unit.size() + 4 <= static_cast<size_t>(limit)) name += unit;
    return name + ".png";
}

class NamesInAnyScript : public EndToEnd {
  protected:
    void SetUp() override {
        names = {"\xe3\x82\xb9\xe3\x82\xaf\xe3\x82\xb7\xe3\x83\xa7.png",  // スクショ.png
                 "sk\xc3\xa4rmbild.png",                                   // skärmbild.png
                 "boss \xf0\x9f\x90\x89 fight.png",                         // a dragon
                 longest_name(folder.path, "\xe3\x82\xb9"),                  // スススス...png
                 longest_name(folder.path, "a")};
        readings = {516, 250, 516, 0, 1000};
        // Whole screenshots: a weak match's line on standard error would
        // share the console window with the reading (ConsoleWindowShowsTheNames).
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_TRUE(write_file(folder / names[i],
                                   game_png_with_reading(static_cast<uint32_t>(readings[i]))))
                << names[i];
            ASSERT_TRUE(set_time(folder / names[i], 1000 + static_cast<long>(i)));
        }
        ASSERT_EQ(names[3].size(), size_t(253));  // 83 characters and .png
    }
    // Under Wine, in a terminal (script(1) gives the program a
    // pseudo-terminal), the program's standard output and error are a console
    // window, which Wine draws on the terminal in UTF-8: what the terminal
    // got from a run of the program without arguments in the folder.
    std::string console_window_output() {
        std::string command = "cd '" + folder.path + "' && LC_ALL=C.UTF-8 timeout 60 script -qec \"" +
                              environment("HEALTHGAUGE_RUNNER") + " '" +
                              environment("HEALTHGAUGE_PROGRAM") + "'\" /dev/null </dev/null";
        std::string output;
        FILE* terminal = popen(command.c_str(), "r");
        if (!terminal) return output;
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, terminal)) > 0) output.append(buffer, got);
        pclose(terminal);
        return output;
    }
    // The reading of each name, in the order the platform lists them.
    std::vector<int> readings_in_listing_order() {
        std::vector<int> ordered;
        for (const std::string& name : listing_order(folder.path)) {
            auto at = std::find(names.begin(), names.end(), name);
            if (at != names.end()) ordered.push_back(readings[static_cast<size_t>(at - names.begin())]);
        }
        return ordered;
    }
    std::vector<std::string> names;
    std::vector<int> readings;
};

}  // namespace

TEST_F(NamesInAnyScript, ScanReadsEveryScreenshot) {
    std::vector<int> ordered = readings_in_listing_order();
    ASSERT_EQ(ordered.size(), names.size()) << "the listing lost a name";
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Saved raw.txt with 5 percentages\n" + SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), damage_lines(ordered));
    EXPECT_EQ(file("output.txt"), "Health bars detected: 5\r\n"
                                  "Average damage: 54.4%\r\n"
                                  "Most common damage: 48.4% (2 occurances)\r\n"
                                  "Highest damage: 100.0%\r\n"
                                  "Lowest damage: 48.4%\r\n"
                                  "Complete misses: 1\r\n"
                                  "Total unique health bars: 4\r\n");
}

TEST_F(NamesInAnyScript, LatestReadsTheNewestAndPrintsItsNameAsUtf8) {
    // Each name in turn becomes the newest; the line names it in UTF-8 bytes.
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(set_time(folder / names[i], 2000 + static_cast<long>(i)));
        EXPECT_EQ(run().console, percent(readings[i]) + " from " + names[i] + "\n") << i;
        EXPECT_EQ(run({"-l"}).console, percent(readings[i]) + " from " + names[i] + "\n") << i;
    }
    // An older file with a plain name does not win over them.
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "shot0001.png"));
    ASSERT_TRUE(set_time(folder / "shot0001.png", 1500));
    EXPECT_EQ(run().console, percent(readings.back()) + " from " + names.back() + "\n");
}

TEST_F(NamesInAnyScript, NameThatIsNotAPictureIsNamedInTheError) {
    ASSERT_TRUE(write_file(folder / names[0], "not a picture"));
    ASSERT_TRUE(set_time(folder / names[0], 3000));
    EXPECT_EQ(run().console, "Error: Failed to load " + names[0] + "\n");
}

namespace {

// What a terminal shows of text written to it: movements of the cursor to the
// right become spaces, other control sequences and carriage returns go.
std::string as_shown(const std::string& terminal) {
    std::string shown;
    for (size_t i = 0; i < terminal.size(); ++i) {
        if (terminal[i] == '\r') continue;
        if (terminal[i] != '\x1b') {
            shown += terminal[i];
            continue;
        }
        if (i + 1 < terminal.size() && terminal[i + 1] == '[') {
            size_t end = i + 2;
            while (end < terminal.size() && !isalpha(static_cast<unsigned char>(terminal[end]))) ++end;
            if (end < terminal.size() && terminal[end] == 'C') {
                int count = atoi(terminal.substr(i + 2, end - i - 2).c_str());
                shown.append(static_cast<size_t>(count > 0 ? count : 1), ' ');
            }
            i = end;
        } else {
            ++i;  // a two-character sequence
        }
    }
    return shown;
}

}  // namespace

// Under Wine, in a terminal (script(1) gives the program a pseudo-terminal),
// the program's standard output is a console window, which Wine draws on the
// terminal in UTF-8. The console must show the names as they are, not the
// program's UTF-8 bytes read in the console's code page.
TEST_F(NamesInAnyScript, ConsoleWindowShowsTheNames) {
    if (windows_tool().empty()) GTEST_SKIP() << "a console window is Windows' (run under Wine)";
    for (size_t i : {size_t(0), size_t(1)}) {
        ASSERT_TRUE(set_time(folder / names[i], 5000 + static_cast<long>(i)));
        std::string line = percent(readings[i]) + " from " + names[i] + "\n";
        std::string shown = as_shown(console_window_output());
        EXPECT_NE(shown.find(line), std::string::npos) << shown;
    }
}

// Standard error shares the console window: its lines, with a name and a
// multiplication sign, must show as they are too.
TEST_F(NamesInAnyScript, ConsoleWindowShowsStandardErrorToo) {
    if (windows_tool().empty()) GTEST_SKIP() << "a console window is Windows' (run under Wine)";
    // The top rows alone: read by their width, a weak match.
    const std::string crop = "\xe3\x82\xb9\xe3\x82\xaf\xe3\x82\xb7\xe3\x83\xa7 top.png";
    ASSERT_TRUE(write_png(screenshot_with_reading(750), folder / crop));
    ASSERT_TRUE(set_time(folder / crop, 6000));
    std::string shown = as_shown(console_window_output());
    const std::string times = "\xC3\x97";
    size_t reading = shown.find(percent(750) + " from " + crop + "\n");
    // The window is 80 columns wide: the line's start, before it wraps.
    size_t weak = shown.find("healthgauge: " + crop + ": weak match (1920" + times + "64 read as 1920" +
                             times + "1080");
    EXPECT_NE(reading, std::string::npos) << shown;
    EXPECT_NE(weak, std::string::npos) << shown;
}

// ---- the directory search of the Windows program, under Wine ---------------

namespace {

class WindowsListing : public testing::Test {
  protected:
    void SetUp() override {
        if (windows_tool().empty()) {
            if (is_wine_run()) FAIL() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
            GTEST_SKIP() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
        }
    }
    // Windows counts time in steps of 100 ns from 1601.
    static std::string windows_time(uint64_t seconds, uint64_t nanoseconds = 0) {
        return std::to_string((seconds + 11644473600u) * 10000000u + nanoseconds / 100);
    }
    TempFolder folder;
};

}  // namespace

TEST_F(WindowsListing, EntriesCarryTheirKindTimeAndSize) {
    ASSERT_TRUE(write_file(folder / "SHOT.PNG", std::string(12345, 'x')));
    ASSERT_TRUE(set_time(folder / "SHOT.PNG", 4000000000L, 1234500));
    ASSERT_TRUE(write_file(folder / ".hidden.png", "x"));
    ASSERT_TRUE(set_time(folder / ".hidden.png", 1000));
    ASSERT_TRUE(write_file(folder / "big.bin", ""));
    ASSERT_EQ(truncate((folder / "big.bin").c_str(), (off_t(1) << 32) + 5), 0);  // sparse
    ASSERT_TRUE(set_time(folder / "big.bin", 1000));
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "sub/inside.png", "x"));
    ASSERT_TRUE(set_time(folder / "sub", 2000));

    std::map<std::string, std::string> entries;
    for (const auto& entry : windows_listing(folder.path, ".\\*")) {
        if (entry.first != "." && entry.first != "..") entries.insert(entry);
    }
    std::map<std::string, std::string> expected = {
        {"SHOT.PNG", "f\t" + windows_time(4000000000u, 1234500) + "\t12345"},
        {".hidden.png", "f\t" + windows_time(1000) + "\t1"},
        {"big.bin", "f\t" + windows_time(1000) + "\t5"},  // the low 32 bits
        {"sub", "d\t" + windows_time(2000) + "\t0"}};
    EXPECT_EQ(entries, expected);
}

TEST_F(WindowsListing, FirstEntryOfASearchIsListed) {
    for (const char* name : {"a.png", "b1.png", "b2.png"}) ASSERT_TRUE(write_file(folder / name, ""));
    std::vector<std::string> names;
    for (const auto& entry : windows_listing(folder.path, "b*")) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b1.png", "b2.png"}));
}

TEST_F(WindowsListing, FolderThatCannotBeListedGivesTheSystemError) {
    EXPECT_EQ(run_windows_tool(folder.path, {"list", "missing\\*"}), "error 3\n");  // path not found
}

// Sizes past 2 GiB, where Windows' 32-bit long (and ftell) would give up.
TEST_F(WindowsListing, OpenFilesTellTheirWholeSize) {
    for (off_t size : {off_t(0), off_t(12345), (off_t(1) << 31) + 7, (off_t(1) << 32) + 5}) {
        std::string name = "sized" + std::to_string(size) + ".png";
        ASSERT_TRUE(write_file(folder / name, ""));
        ASSERT_EQ(truncate((folder / name).c_str(), size), 0);  // sparse
        EXPECT_EQ(run_windows_tool(folder.path, {"size", name}), std::to_string(size) + "\n");
    }
}

