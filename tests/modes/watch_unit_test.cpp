// The watch mode's small decisions: its options and the session's summary
// line.
#include "modes/options.h"
#include "modes/program.h"
#include "modes/watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Mode mode_of(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "healthgauge");
    return choose_mode(static_cast<int>(arguments.size()), arguments.data());
}

std::string summary(uint32_t count, uint64_t sum) {
    char text[96];
    format_watch_summary(count, sum, text, sizeof text);
    return text;
}

}  // namespace

TEST(WatchOptions, WatchAndWInAnyCaseAndTheLastOptionWins) {
    for (const char* option : {"-watch", "-w", "-W", "-WATCH", "-Watch"}) {
        EXPECT_EQ(mode_of({option}), Mode::watch) << option;
    }
    EXPECT_EQ(mode_of({"-watch", "-scan"}), Mode::scan);
    EXPECT_EQ(mode_of({"-s", "-w"}), Mode::watch);
    EXPECT_EQ(mode_of({"-w", "-l"}), Mode::latest);
    EXPECT_EQ(mode_of({"watch"}), Mode::latest);
    EXPECT_EQ(mode_of({"-wa"}), Mode::latest);
    EXPECT_EQ(mode_of({"-watching"}), Mode::latest);
}

TEST(WatchSummary, DamageOfTheTruncatedAverageReading) {
    EXPECT_EQ(summary(0, 0), "Read 0 screenshots");
    EXPECT_EQ(summary(1, 1000), "Read 1 screenshots, average damage 0.0%");
    EXPECT_EQ(summary(1, 0), "Read 1 screenshots, average damage 100.0%");
    EXPECT_EQ(summary(2, 500 + 800), "Read 2 screenshots, average damage 35.0%");
    // (1000 + 1000 + 999) / 3 = 999.67, truncated to 999: 0.1% damage.
    EXPECT_EQ(summary(3, 2999), "Read 3 screenshots, average damage 0.1%");
    // Many readings: the sum runs past 32 bits.
    EXPECT_EQ(summary(5000000, uint64_t(5000000) * 999),
              "Read 5000000 screenshots, average damage 0.1%");
}
