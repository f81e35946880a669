// Hostile files run end to end: bounded time and memory, and the right
// message.
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

// ---- hostile files: bounded time and memory, and the right message ---------
// (time and peak memory are measured by scripts/bench/bombs)

TEST_F(EndToEnd, HostileFilesGiveTheirMessage) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;  // then the name
    };
    const char* LOAD = "Error: Failed to load ";
    const char* LAYOUT = "Warning: Could not find matching health bar type for screenshot ";
    const Case cases[] = {
        {"deep.png", deep_png(16384, 16383, false), LAYOUT},        // 4 GiB of 16-bit pixels
        {"interlaced.png", deep_png(16384, 16383, true), LAYOUT},   // the same, interlaced
        {"inflating.png", inflating_png(uint64_t(1) << 31), LOAD},  // 1x1, 2 GiB of data
        {"psd.png", psd_header(), LOAD},
        {"bmp.png", bmp_header(), LOAD},
        {"gif.png", gif_header(), LOAD},
    };
    for (const Case& c : cases) {
        TempFolder alone;
        ASSERT_TRUE(write_file(alone / c.name, c.bytes));
        ProgramRun latest = run_program(alone.path, {});
        EXPECT_EQ(latest.status, 1);
        EXPECT_EQ(latest.console, std::string(BANNER) + c.message + c.name + "\n") << c.name;
    }

    // All of them in one scan, with two screenshots that read.
    for (const Case& c : cases) ASSERT_TRUE(write_file(folder / c.name, c.bytes));
    make_screenshots(folder, {300, 700});
    std::string console = run({"-scan"}).console;
    for (const Case& c : cases) {
        EXPECT_NE(console.find(std::string(c.message) + c.name + "\n"), std::string::npos) << c.name;
    }
    EXPECT_NE(console.find("Saved raw.txt with 2 percentages\n"), std::string::npos) << console;
}

TEST_F(EndToEnd, GiantScreenshotsRead) {
    if (is_wine_run()) GTEST_SKIP() << "needs the fast decode, which the Windows build may lack";
    // 25600 x 14400, too large to decode whole, and a 16-bit 12800 x 7200.
    Screenshot wide = blank_screenshot(25600, 64, 3, 30);
    paint_gauge(wide, 0, 229);
    ASSERT_TRUE(write_file(folder / "wide.png", tall_png(wide, 14400, 8)));
    EXPECT_EQ(run().console, "100.0% from wide.png\n");
    Screenshot deep = blank_screenshot(12800, 64, 4, 30);
    paint_gauge(deep, 7, 105);
    ASSERT_TRUE(write_file(folder / "deep.png", tall_png(deep, 7200, 16)));
    ASSERT_TRUE(set_time(folder / "deep.png", 4000000000L));
    EXPECT_EQ(run().console, "50.0% from deep.png\n");
}

TEST_F(EndToEnd, NamedPipeWithAScreenshotsNameDoesNotHang) {
    if (is_wine_run()) GTEST_SKIP() << "named pipes are POSIX";
    make_screenshots(folder, {400});
    ASSERT_EQ(mkfifo((folder / "zzz-newest.png").c_str(), 0644), 0);
    ASSERT_TRUE(set_time(folder / "zzz-newest.png", 4000000000L));
    alarm(60);  // a scan that blocks on the pipe would otherwise hang for good
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" +
                                          SAVED_OUTPUT);
    EXPECT_EQ(run().console, "40.0% from shot0.png\n");
    // Named on the command line it is read, and refused: the system gave no
    // reason, so there is no line of one.
    ProgramRun named = run_with_errors(folder.path, {"zzz-newest.png"});
    EXPECT_EQ(named.console, std::string(BANNER) + "Error: Failed to load zzz-newest.png\n");
    EXPECT_EQ(named.errors, "");
    alarm(0);
}
