// The watch mode's small decisions: the session's summary line; and that
// each run of it starts afresh. (Its options are in cli/options_test.cpp.)
#include "cli/program.h"
#include "modes/watch.h"
#include "platform/platform.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string status(uint32_t count, uint64_t sum, uint32_t last, long ago, size_t size = 96) {
    char text[96];
    int length = format_watch_status(text, size, count, sum, last, ago);
    EXPECT_EQ(static_cast<size_t>(length), strlen(text));
    return text;
}

}  // namespace

TEST(WatchStatus, ReadingsAverageDamageAndTheLastReadingWithItsAge) {
    struct Case {
        uint32_t count;
        uint64_t sum;
        uint32_t last;
        long ago;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, 0, "Watching: no screenshot read yet"},
        {1, 516, 516, 0, "Watching: 1 read, average damage 48.4%, last reading 51.6% 0:00 ago"},
        {2, 1300, 800, 42, "Watching: 2 read, average damage 35.0%, last reading 80.0% 0:42 ago"},
        // The average is truncated as the summary's: 999.67 is 999.
        {3, 2999, 1000, 3725, "Watching: 3 read, average damage 0.1%, last reading 100.0% 1:02:05 ago"},
        {1, 0, 0, -5, "Watching: 1 read, average damage 100.0%, last reading 0.0% 0:00 ago"},
    };
    for (const Case& c : cases) EXPECT_EQ(status(c.count, c.sum, c.last, c.ago), c.text);
    EXPECT_EQ(status(2, 1300, 800, 42, 12), "Watching: 2");  // cut to the buffer
}

namespace {

std::string summary(uint32_t count, uint64_t sum) {
    char text[96];
    format_watch_summary(count, sum, text, sizeof text);
    return text;
}

}  // namespace

TEST(WatchSummary, DamageOfTheTruncatedAverageReading) {
    EXPECT_EQ(summary(0, 0), "Read 0 screenshots");
    EXPECT_EQ(summary(1, 1000), "Read 1 screenshots, average damage 0.0% (health left 100.0%)");
    EXPECT_EQ(summary(1, 0), "Read 1 screenshots, average damage 100.0% (health left 0.0%)");
    EXPECT_EQ(summary(2, 500 + 800), "Read 2 screenshots, average damage 35.0% (health left 65.0%)");
    // (1000 + 1000 + 999) / 3 = 999.67, truncated to 999: 0.1% damage.
    EXPECT_EQ(summary(3, 2999), "Read 3 screenshots, average damage 0.1% (health left 99.9%)");
    // Many readings: the sum runs past 32 bits.
    EXPECT_EQ(summary(5000000, uint64_t(5000000) * 999),
              "Read 5000000 screenshots, average damage 0.1% (health left 99.9%)");
}

namespace {

std::atomic<int> clipboard_puts{0};
ClipboardOutcome count_put(const char*) {
    ++clipboard_puts;
    return ClipboardOutcome::done;
}
ClipboardOutcome count_empty() { return ClipboardOutcome::done; }

}  // namespace

// Two runs in one process: the second counts only what it reads itself.
TEST(WatchSession, EachRunStartsAfresh) {
    TempFolder folder;
    InsideFolder inside(folder.path);
    clipboard = {count_put, count_empty};
    clipboard_puts = 0;
    stop_requests_start();  // the signals below request stops, never end the test
    Screenshot shot = blank_screenshot(1920, 64, 3);
    paint_gauge(shot, 5, filled_for_reading(5, 500));
    std::atomic<bool> done{false};
    // Writes a screenshot until the first run has read one; from then on asks
    // every run to stop.
    std::thread driver([&] {
        while (!done) {
            if (clipboard_puts == 0) {
                EXPECT_TRUE(write_png(shot, folder / "shot.png"));
            } else {
                kill(getpid(), SIGTERM);
            }
            usleep(20000);
        }
    });
    testing::internal::CaptureStdout();
    run_watch();
    run_watch();
    std::string console = testing::internal::GetCapturedStdout();
    done = true;
    driver.join();
    clipboard = SYSTEM_CLIPBOARD;
    std::string second = console.substr(console.rfind("Watching"));
    // Another test may hold every inotify instance of this user for a while:
    // then the watch looks every second instead, and says so.
    const std::string fallback =
        "Warning: Cannot watch this folder for changes; looking every second instead.\n";
    size_t at = second.find(fallback);
    if (at != std::string::npos) second.erase(at, fallback.size());
    EXPECT_EQ(second, "Watching for new screenshots. Press Ctrl+C to stop.\nRead 0 screenshots\n")
        << console;
}
