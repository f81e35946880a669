// The built program, run in temporary folders: console output, raw.txt,
// output.txt and exit status, compared exactly.
//
// HEALTHGAUGE_PROGRAM names the program to run (default: the one built here)
// and HEALTHGAUGE_RUNNER a program to run it with (for example wine), so the
// same cases serve every build. With HEALTHGAUGE_CONSOLE_CRLF set, carriage
// returns before line feeds in the console output are dropped first.
// HEALTHGAUGE_WINDOWS_TOOL names tests/windows/platform_tool.exe when the
// program is the Windows one: it tells the listing order and reads and sets
// the clipboard as Windows programs see them.
#include "png_writer.h"
#include "progress.h"
#include "screenshot_maker.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>
#include <zlib.h>

namespace {

const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";
const char PROCESSING[] = "Processing screenshots...\n";
const char SAVED_OUTPUT[] = "Saved output.txt with percentage average information\n";

struct ProgramRun {
    std::string console;
    int status;
};

std::string environment(const char* name, const char* fallback = "") {
    const char* value = getenv(name);
    return value ? value : fallback;
}

bool is_wine_run() { return !environment("HEALTHGAUGE_RUNNER").empty(); }

std::string windows_tool() { return environment("HEALTHGAUGE_WINDOWS_TOOL"); }

// Environment variables set for one run, NAME and value.
typedef std::vector<std::pair<std::string, std::string>> Settings;

// Runs a command in folder, through HEALTHGAUGE_RUNNER when that is set, and
// collects its standard output. Without a display (the default) it leaves the
// desktop's clipboard alone. settings are added to its environment; with
// error_fd its standard error goes there instead of the test's.
ProgramRun run_in_folder(const std::string& folder, std::vector<std::string> arguments,
                         const std::string& display = "", const Settings& settings = {},
                         int error_fd = -1) {
    std::string runner = environment("HEALTHGAUGE_RUNNER");
    if (!runner.empty()) arguments.insert(arguments.begin(), runner);

    int fds[2];
    if (pipe(fds) != 0) return {"<pipe failed>", -1};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        unsetenv("WAYLAND_DISPLAY");
        if (display.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", display.c_str(), 1);
        }
        for (const auto& setting : settings) setenv(setting.first.c_str(), setting.second.c_str(), 1);
        if (error_fd >= 0) dup2(error_fd, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    ProgramRun run = {"", -1};
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) run.console.append(buffer, got);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Runs the program in folder with the given arguments.
ProgramRun run_program(const std::string& folder, std::vector<std::string> arguments,
                       const std::string& display = "", const Settings& settings = {},
                       int error_fd = -1) {
    arguments.insert(arguments.begin(), environment("HEALTHGAUGE_PROGRAM", HEALTHGAUGE_DEFAULT_PROGRAM));
    ProgramRun run = run_in_folder(folder, std::move(arguments), display, settings, error_fd);
    if (!environment("HEALTHGAUGE_CONSOLE_CRLF").empty()) {
        std::string::size_type at;
        while ((at = run.console.find("\r\n")) != std::string::npos) run.console.erase(at, 1);
    }
    return run;
}

// Layout 5 has a 240-pixel bar: every reading used below is exact with it.
constexpr int TYPE = 5;

Screenshot screenshot_with_reading(uint32_t reading) {
    Screenshot shot = blank_screenshot(1920, 64, 3);
    int filled = filled_for_reading(TYPE, reading);
    paint_gauge(shot, TYPE, filled);
    EXPECT_EQ(static_cast<uint32_t>(filled) * 1000 / 240, reading) << "not exact: " << reading;
    return shot;
}

// Runs the Windows tool in folder; its output.
std::string run_windows_tool(const std::string& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), windows_tool());
    return run_in_folder(folder, std::move(arguments)).console;
}

// The entries of a directory search by the Windows program, by name: kind,
// time and size as the tool prints them ("f\t<time>\t<size>").
std::vector<std::pair<std::string, std::string>> windows_listing(const std::string& folder,
                                                                 const std::string& pattern) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream lines(run_windows_tool(folder, {"list", pattern}));
    std::string line;
    while (std::getline(lines, line)) {
        std::string::size_type tab = line.find('\t');
        entries.emplace_back(line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return entries;
}

// Names of the folder's entries in the order the platform lists them (Wine
// sorts them, unlike readdir).
std::vector<std::string> listing_order(const std::string& folder) {
    std::vector<std::string> names;
    if (!windows_tool().empty()) {
        for (const auto& entry : windows_listing(folder, ".\\*")) {
            if (!entry.first.empty() && entry.first[0] != '.') names.push_back(entry.first);
        }
        return names;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

// A screenshot file: a reading, or -1 for a file that is not an image.
struct Shot {
    std::string name;
    int reading;
};

// Creates the files, then fills them in listing order: the i-th listed gets
// the i-th reading. Returns the names in listing order.
std::vector<std::string> make_screenshots(const TempFolder& folder, const std::vector<int>& readings) {
    for (size_t i = 0; i < readings.size(); ++i) {
        EXPECT_TRUE(write_file(folder / ("shot" + std::to_string(i) + ".png"), ""));
    }
    std::vector<std::string> names;
    for (const std::string& name : listing_order(folder.path)) {
        if (name.compare(0, 4, "shot") == 0) names.push_back(name);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (readings[i] < 0) {
            EXPECT_TRUE(write_file(folder / names[i], "this is not a picture"));
        } else {
            EXPECT_TRUE(write_png(screenshot_with_reading(static_cast<uint32_t>(readings[i])),
                                  folder / names[i]));
        }
    }
    return names;
}

std::string damage_lines(const std::vector<int>& readings) {
    std::string text;
    for (int reading : readings) {
        if (reading < 0) continue;
        int damage = 1000 - reading;
        text += std::to_string(damage / 10) + "." + std::to_string(damage % 10) + "%\r\n";
    }
    return text;
}

class EndToEnd : public testing::Test {
  protected:
    ProgramRun run(std::vector<std::string> arguments = {}) {
        ProgramRun result = run_program(folder.path, std::move(arguments));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.console.compare(0, sizeof BANNER - 1, BANNER), 0) << result.console;
        if (result.console.size() >= sizeof BANNER - 1) result.console.erase(0, sizeof BANNER - 1);
        return result;
    }
    std::string file(const std::string& name) { return read_file(folder / name); }
    TempFolder folder;
};

}  // namespace

// ---- the latest-screenshot mode ------------------------------------------

TEST_F(EndToEnd, LatestReadsTheNewestScreenshot) {
    Screenshot shot = blank_screenshot(2560, 1440, 3);
    paint_gauge(shot, 1, 201);
    ASSERT_TRUE(write_png(shot, folder / "shot0042.png"));
    ASSERT_TRUE(set_time(folder / "shot0042.png", 2000));
    ASSERT_TRUE(write_png(screenshot_with_reading(1000), folder / "shot0041.png"));
    ASSERT_TRUE(set_time(folder / "shot0041.png", 1000));
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{}, {"-l"}, {"-LAST"}, {"-last"}, {"-scan", "-last"}, {"scan"},
          {"-x"}}) {
        EXPECT_EQ(run(arguments).console, "51.6% from shot0042.png\n") << arguments.size();
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
}

TEST_F(EndToEnd, LatestWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_TRUE(write_file(folder / ".hidden.png", "x"));
    ASSERT_EQ(mkdir((folder / "old").c_str(), 0755), 0);
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "old/inside.png"));
    EXPECT_EQ(run().console, "Error: Could not find any PNG file.\n");
}

TEST_F(EndToEnd, LatestDoesNotFallBackToAnOlderScreenshot) {
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "good.png"));
    ASSERT_TRUE(set_time(folder / "good.png", 1000));
    ASSERT_TRUE(write_file(folder / "broken.PNG", "garbage"));
    ASSERT_TRUE(set_time(folder / "broken.PNG", 2000));
    EXPECT_EQ(run().console, "Error: Failed to load broken.PNG\n");

    ASSERT_TRUE(write_png(blank_screenshot(1920, 1080, 3), folder / "broken.PNG"));
    ASSERT_TRUE(set_time(folder / "broken.PNG", 2000));
    EXPECT_EQ(run({"-l"}).console,
              "Warning: Could not find matching health bar type for screenshot broken.PNG\n");
}

TEST_F(EndToEnd, LatestFullAndEmptyBars) {
    ASSERT_TRUE(write_png(screenshot_with_reading(1000), folder / "full.png"));
    EXPECT_EQ(run().console, "100.0% from full.png\n");
    ASSERT_TRUE(write_png(screenshot_with_reading(0), folder / "empty.png"));
    ASSERT_TRUE(set_time(folder / "full.png", 1000));
    ASSERT_TRUE(set_time(folder / "empty.png", 2000));
    EXPECT_EQ(run().console, "0.0% from empty.png\n");
}

TEST_F(EndToEnd, LatestOfEqualTimesIsTheFirstListed) {
    ASSERT_TRUE(write_png(screenshot_with_reading(900), folder / "older.png"));
    ASSERT_TRUE(set_time(folder / "older.png", 1000));
    std::vector<std::string> names = make_screenshots(folder, {300, 400, 500});
    for (const std::string& name : names) ASSERT_TRUE(set_time(folder / name, 3000));
    EXPECT_EQ(run().console, "30.0% from " + names[0] + "\n");

    // A tenth of a microsecond later is newer (the finest step on Windows).
    ASSERT_TRUE(set_time(folder / names[2], 3000, 100));
    EXPECT_EQ(run().console, "50.0% from " + names[2] + "\n");
}

// ---- the scan mode ---------------------------------------------------------

TEST_F(EndToEnd, ScanOfThreeScreenshots) {
    std::vector<int> readings = {1000, 1000, 900};
    make_screenshots(folder, readings);
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "sub.png").c_str(), 0755), 0);
    ASSERT_TRUE(write_png(screenshot_with_reading(0), folder / "sub.png/inside.png"));
    for (const char* option : {"-scan", "-s", "-S", "-SCAN"}) {
        EXPECT_EQ(run({"-last", option}).console, std::string(PROCESSING) +
                                                    "Saved raw.txt with 3 percentages\n" +
                                                    SAVED_OUTPUT);
        EXPECT_EQ(file("raw.txt"), damage_lines({1000, 1000, 900}));
        EXPECT_EQ(file("output.txt"), "Health bars detected: 3\r\n"
                                      "Average damage: 3.4%\r\n"
                                      "Most common damage: 0.0% (2 occurances)\r\n"
                                      "Highest damage: 10.0%\r\n"
                                      "Lowest damage: 10.0%\r\n"
                                      "Complete misses: 2\r\n"
                                      "Total unique health bars: 2\r\n");
    }
}

TEST_F(EndToEnd, ScanOfOneScreenshot) {
    make_screenshots(folder, {537});
    EXPECT_EQ(run({"-s"}).console,
              std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" + SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), "46.3%\r\n");
    EXPECT_EQ(file("output.txt"), "Health bar: 46.3%\r\n");
}

TEST_F(EndToEnd, ScanTieAndEmptyBarAndUnreadableFiles) {
    std::vector<int> readings = {700, -1, 800, 0, 700, 800};
    std::vector<std::string> names = make_screenshots(folder, readings);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) + "Error: Failed to load " +
                                          names[1] + "\nSaved raw.txt with 5 percentages\n" +
                                          SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), damage_lines(readings));
    EXPECT_EQ(file("output.txt"), "Health bars detected: 5\r\n"
                                  "Average damage: 40.0%\r\n"
                                  "Most common damage: 30.0% (2 occurances)\r\n"
                                  "Highest damage: 100.0%\r\n"
                                  "Lowest damage: 20.0%\r\n"
                                  "Complete misses: 0\r\n"
                                  "Total unique health bars: 3\r\n");
}

TEST_F(EndToEnd, ScanOfCompleteMissesOnly) {
    make_screenshots(folder, {1000, 1000});
    run({"-scan"});
    EXPECT_EQ(file("output.txt"), "Health bars detected: 2\r\n"
                                  "Average damage: 0.0%\r\n"
                                  "Most common damage: 0.0% (2 occurances)\r\n"
                                  "Highest damage: 0.0%\r\n"
                                  "Lowest damage: 0.0%\r\n"
                                  "Complete misses: 2\r\n"
                                  "Total unique health bars: 1\r\n");
}

TEST_F(EndToEnd, ScanWhereNothingReads) {
    std::vector<std::string> names = make_screenshots(folder, {-1, -1});
    ASSERT_TRUE(write_file(folder / "output.txt", "earlier summary\r\n"));
    EXPECT_EQ(run({"-scan"}).console,
              std::string(PROCESSING) + "Error: Failed to load " + names[0] +
                  "\nError: Failed to load " + names[1] +
                  "\nSaved raw.txt with 0 percentages\n"
                  "Error: Didn't find any health bar gauges.\n");
    EXPECT_EQ(file("raw.txt"), "");
    EXPECT_EQ(file("output.txt"), "earlier summary\r\n");
}

TEST_F(EndToEnd, ScanWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Saved raw.txt with 0 percentages\n"
                                          "Error: Didn't find any health bar gauges.\n");
}

TEST_F(EndToEnd, ScanWithFilesThatCannotBeOpened) {
    make_screenshots(folder, {500, 600});
    ASSERT_EQ(mkdir((folder / "output.txt").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder / "raw.txt").c_str(), 0755), 0);
    EXPECT_EQ(run({"-scan"}).console,
              std::string(PROCESSING) + "Error: Failed to open output.txt for writing.\n");
}

TEST_F(EndToEnd, ScanReportsWritesThatFail) {
    if (is_wine_run()) GTEST_SKIP() << "needs /dev/full behind a link";
    make_screenshots(folder, {500, 600});
    ASSERT_EQ(symlink("/dev/full", (folder / "output.txt").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (folder / "raw.txt").c_str()), 0);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Error: Failed to write raw.txt.\n"
                                          "Error: Failed to write output.txt.\n");
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
        int reading = readings[i];
        std::string expected = std::to_string(reading / 10) + "." + std::to_string(reading % 10) +
                               "% from " + names[i] + "\n";
        EXPECT_EQ(run().console, expected);
    }
}

// ---- the clipboard, on a real X server or under Wine ------------------------
//
// HEALTHGAUGE_TEST_DISPLAY names an X display with xclip available (the test
// script starts Xvfb for it); HEALTHGAUGE_REQUIRE_CLIPBOARD makes its absence
// a failure rather than a skip. With HEALTHGAUGE_WINDOWS_TOOL set, the
// clipboard is Wine's, read and set through that tool.

namespace {

// Runs xclip on the test display: reads the clipboard, or sets it to text.
std::string xclip(const std::string& display, const char* text = nullptr) {
    std::string command = "DISPLAY='" + display + "' xclip -selection clipboard";
    command += text ? " >/dev/null 2>&1" : " -o 2>/dev/null";
    FILE* pipe = popen(command.c_str(), text ? "w" : "r");
    if (!pipe) return "<xclip failed>";
    std::string content;
    if (text) {
        fputs(text, pipe);
    } else {
        char buffer[256];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) content.append(buffer, got);
    }
    pclose(pipe);
    return content;
}

class Clipboard : public EndToEnd {
  protected:
    void SetUp() override {
        if (windows_tool().empty()) {
            display = environment("HEALTHGAUGE_TEST_DISPLAY");
            if (display.empty()) {
                if (!environment("HEALTHGAUGE_REQUIRE_CLIPBOARD").empty()) {
                    FAIL() << "HEALTHGAUGE_TEST_DISPLAY is not set";
                }
                GTEST_SKIP() << "no test display";
            }
        }
        put_text("sentinel");
        ASSERT_EQ(settled_text("sentinel"), "sentinel");
    }
    std::string text() {
        return windows_tool().empty() ? xclip(display) : run_windows_tool(folder.path, {"clipboard"});
    }
    // The clipboard's text, read again for up to three seconds until it is
    // `expected`: xclip goes to the background before it takes the
    // selection, so a read right after it returns may still see the old text.
    std::string settled_text(const std::string& expected) {
        std::string current = text();
        for (int i = 0; i < 150 && current != expected; ++i) {
            usleep(20000);
            current = text();
        }
        return current;
    }
    void put_text(const char* content) {
        if (windows_tool().empty()) {
            xclip(display, content);
        } else {
            run_windows_tool(folder.path, {"put-text", content});
        }
    }
    std::string run_with_display() {
        ProgramRun result = run_program(folder.path, {}, display);
        EXPECT_EQ(result.status, 1);
        return result.console;
    }
    std::string display;
};

}  // namespace

TEST_F(Clipboard, HoldsExactlyTheReadingAfterASuccessfulRun) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    EXPECT_EQ(run_with_display(), std::string(BANNER) + "53.7% from shot.png\n");
    EXPECT_EQ(settled_text("53.7%"), "53.7%");
}

TEST_F(Clipboard, IsEmptiedWhenTheReadingFails) {
    ASSERT_TRUE(write_file(folder / "shot.png", "garbage"));
    run_with_display();
    EXPECT_EQ(settled_text(""), "");
}

TEST_F(Clipboard, IsLeftAloneWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    run_with_display();
    EXPECT_EQ(settled_text("sentinel"), "sentinel");
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

// ---- the scan on several threads -------------------------------------------

namespace {

// PNG bytes with one more chunk just before the first IDAT.
std::string with_chunk_before_data(const std::string& png, const std::string& type,
                                   const std::string& data) {
    size_t at = png.size();
    for (size_t offset : chunk_offsets(png)) {
        if (png.compare(offset + 4, 4, "IDAT") == 0) {
            at = offset;
            break;
        }
    }
    std::string chunk;
    for (int shift : {24, 16, 8, 0}) chunk += static_cast<char>(data.size() >> shift & 0xff);
    std::string body = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    chunk += body;
    for (int shift : {24, 16, 8, 0}) chunk += static_cast<char>(crc >> shift & 0xff);
    return png.substr(0, at) + chunk + png.substr(at);
}

// An RGB screenshot with a transparency key: the fast decode passes it over
// and the whole decode reads it as RGBA.
std::string keyed_png(const Screenshot& shot) {
    return with_chunk_before_data(encode_png(shot), "tRNS", std::string("\0\1\0\2\0\3", 6));
}

// count screenshots of every kind a scan meets, in a seeded mix: fast-decode
// RGB and RGBA ones at both sizes, whole-decode ones (transparency key, grey),
// ones no layout matches (black, an odd size), and files that do not decode
// (text, empty, a PNG cut in half). Beside them a text file and a folder
// whose name ends in .png.
void make_mixed_screenshots(const TempFolder& folder, int count, uint32_t seed) {
    uint32_t random = seed;
    auto next = [&random](uint32_t below) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % below;
    };
    for (int i = 0; i < count; ++i) {
        std::string path = folder / ("mixed" + std::to_string(i) + ".png");
        std::string bytes;
        switch (next(8)) {
            case 0:
            case 1: {
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, static_cast<int>(next(241)));
                bytes = encode_png(shot);
                break;
            }
            case 2: {
                Screenshot shot = blank_screenshot(2560, 72, 4);
                add_scenery(shot, next(1000));
                paint_gauge(shot, 1, static_cast<int>(next(390)));
                bytes = encode_png(shot);
                break;
            }
            case 3: {
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, static_cast<int>(next(241)));
                bytes = keyed_png(shot);
                break;
            }
            case 4:
                bytes = encode_png(blank_screenshot(1920, 64, 1, static_cast<uint8_t>(next(256))));
                break;
            case 5:
                bytes = encode_png(blank_screenshot(1920, 64, 3));
                break;
            case 6: {
                Screenshot shot = blank_screenshot(300, 200, 3);
                add_scenery(shot, next(1000));
                bytes = encode_png(shot);
                break;
            }
            default: {
                uint32_t kind = next(3);
                if (kind == 0) bytes = "this is not a picture";
                if (kind == 2) {
                    Screenshot shot = blank_screenshot(1920, 64, 3);
                    paint_gauge(shot, TYPE, 100);
                    bytes = encode_png(shot);
                    bytes.resize(bytes.size() / 2);
                }
                break;
            }
        }
        ASSERT_TRUE(write_file(path, bytes));
    }
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
}

struct ScanOutcome {
    std::string console, raw, output, errors;
};

// A scan with HEALTHGAUGE_THREADS set to threads (unset when null), its
// standard error going to a file.
ScanOutcome scan_with_threads(const TempFolder& folder, const char* threads) {
    TempFolder errors;
    std::string error_path = errors / "stderr";
    int error_fd = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(error_fd, 0);
    Settings settings;
    if (threads) settings.emplace_back("HEALTHGAUGE_THREADS", threads);
    ProgramRun run = run_program(folder.path, {"-scan"}, "", settings, error_fd);
    close(error_fd);
    EXPECT_EQ(run.status, 1);
    return {run.console, read_file(folder / "raw.txt"), read_file(folder / "output.txt"),
            read_file(error_path)};
}

}  // namespace

TEST_F(EndToEnd, ScanGivesTheSameOutputOnAnyNumberOfThreads) {
    make_mixed_screenshots(folder, 320, 9);
    ScanOutcome one = scan_with_threads(folder, "1");
    // The mix has every outcome in it.
    EXPECT_NE(one.console.find("Error: Failed to load mixed"), std::string::npos) << one.console;
    EXPECT_NE(one.console.find("Warning: Could not find matching health bar type for screenshot mixed"),
              std::string::npos);
    EXPECT_GT(std::count(one.raw.begin(), one.raw.end(), '\n'), 100) << one.raw;
    EXPECT_NE(one.output.find("Health bars detected: "), std::string::npos);

    // 0 is ignored, as is no setting: the machine's count.
    for (const char* threads : {"2", "3", "16", "0", static_cast<const char*>(nullptr)}) {
        ScanOutcome other = scan_with_threads(folder, threads);
        std::string label = threads ? threads : "unset";
        EXPECT_EQ(other.console, one.console) << label;
        EXPECT_EQ(other.raw, one.raw) << label;
        EXPECT_EQ(other.output, one.output) << label;
        if (!is_wine_run()) {
            EXPECT_EQ(other.errors, "") << label << ": not a terminal";
        }
    }
}

namespace {

// Runs the program in folder with standard output and error on a new
// pseudo-terminal; what the terminal received. Empty when none can be had.
std::string run_on_terminal(const std::string& folder, const char* threads) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "";
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (terminal < 0) return "";
    std::string program = environment("HEALTHGAUGE_PROGRAM", HEALTHGAUGE_DEFAULT_PROGRAM);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(terminal, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        close(terminal);
        close(master);
        if (chdir(folder.c_str()) != 0) _exit(127);
        setenv("HEALTHGAUGE_THREADS", threads, 1);
        execl(program.c_str(), program.c_str(), "-scan", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(terminal);
    std::string received;
    char buffer[4096];
    ssize_t got;
    // Reading ends with EIO once the program and its terminal are gone.
    while ((got = read(master, buffer, sizeof buffer)) > 0) received.append(buffer, got);
    close(master);
    waitpid(pid, nullptr, 0);
    return received;
}

// The lines a terminal shows after receiving bytes: a carriage return goes
// back to the line's start, other characters overwrite; trailing blanks cut.
std::string screen_of(const std::string& bytes) {
    std::string screen, line;
    size_t column = 0;
    auto end_line = [&]() {
        line.erase(line.find_last_not_of(' ') + 1);
        screen += line + "\n";
        line.clear();
        column = 0;
    };
    for (char c : bytes) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            end_line();
        } else {
            if (column < line.size()) {
                line[column] = c;
            } else {
                line += c;
            }
            ++column;
        }
    }
    if (!line.empty()) end_line();
    return screen;
}

}  // namespace

TEST_F(EndToEnd, ProgressLineOnATerminalLeavesNothingBehind) {
    if (is_wine_run()) GTEST_SKIP() << "Wine gives the program no Windows console here";
    // Whole decodes of full-size screenshots, slow enough for the line to show,
    // with files that do not decode (and so print a line) among them.
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, TYPE, 120);
    std::string keyed = keyed_png(shot);
    for (int i = 0; i < 60; ++i) {
        std::string name = folder / ("shot" + std::to_string(i) + ".png");
        ASSERT_TRUE(write_file(name, i % 20 == 7 ? "not a picture" : keyed));
    }
    std::string plain = scan_with_threads(folder, "1").console;
    // The banner's two lines, the scan's first and last two, three failures.
    ASSERT_EQ(std::count(plain.begin(), plain.end(), '\n'), 2 + 1 + 3 + 2) << plain;

    auto started = std::chrono::steady_clock::now();
    std::string received = run_on_terminal(folder.path, "1");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_FALSE(received.empty()) << "no pseudo-terminal";
    // Each message on a line of its own, and the progress line gone at the end.
    EXPECT_EQ(screen_of(received), plain);
    if (seconds > 3 * PROGRESS_DELAY) {
        EXPECT_NE(received.find("\rReading screenshots: "), std::string::npos)
            << "no progress line in a scan of " << seconds << " s";
    }
}
