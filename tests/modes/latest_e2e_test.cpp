// The latest-screenshot mode and the command line, run end to end.
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

// ---- help and version --------------------------------------------------------

TEST_F(EndToEnd, HelpPrintsTheUsageAndReadsNothing) {
    make_screenshots(folder, {500, 600});
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--help"}, {"-scan", "-H"}, {"/?", "-s"}, {"-x", "-?"},
          {"-version", "-Help"}}) {
        std::string console = run(arguments).console;
        EXPECT_EQ(console.compare(0, 19, "Usage: healthgauge "), 0) << console;
        EXPECT_NE(console.find("-scan"), std::string::npos);
        EXPECT_NE(console.find("Exit status"), std::string::npos);
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
    EXPECT_EQ(file("output.txt"), "<missing>");
}

TEST_F(EndToEnd, VersionPrintsExactlyTheBanner) {
    make_screenshots(folder, {500});
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--version"}, {"-scan", "-VERSION"}, {"-version", "-l"}}) {
        ProgramRun result = run_program(folder.path, arguments);
        EXPECT_EQ(result.console, BANNER);
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
}
