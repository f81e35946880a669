// The scan summary: its figures and the exact lines of output.txt.
#include "figures/summary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string summary_text(const std::vector<uint32_t>& readings) {
    ScanSummary summary = summarise_readings(readings.data(), static_cast<uint32_t>(readings.size()));
    FILE* file = tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(write_summary(file, summary));
    std::string text(static_cast<size_t>(ftell(file)), '\0');
    rewind(file);
    EXPECT_EQ(fread(&text[0], 1, text.size(), file), text.size());
    fclose(file);
    return text;
}

}  // namespace

TEST(ScanSummary, ThreeReadingsWithTwoCompleteMisses) {
    EXPECT_EQ(summary_text({1000, 1000, 900}),
              "Health bars detected: 3\r\n"
              "Average damage: 3.4%\r\n"
              "Most common damage: 0.0% (2 occurances)\r\n"
              "Highest damage: 10.0%\r\n"
              "Lowest damage: 10.0%\r\n"
              "Complete misses: 2\r\n"
              "Total unique health bars: 2\r\n");
}

TEST(ScanSummary, SingleReadingHasOneLine) {
    EXPECT_EQ(summary_text({537}), "Health bar: 46.3%\r\n");
}

TEST(ScanSummary, MostCommonTieGoesToTheValueSeenFirst) {
    ScanSummary s = summarise_readings(std::vector<uint32_t>{700, 800, 700, 800}.data(), 4);
    EXPECT_EQ(s.most_common, 700u);
    EXPECT_EQ(s.most_common_count, 2u);
    s = summarise_readings(std::vector<uint32_t>{800, 700, 700, 800, 700}.data(), 5);
    EXPECT_EQ(s.most_common, 700u);
    EXPECT_EQ(s.most_common_count, 3u);
    s = summarise_readings(std::vector<uint32_t>{3, 2, 1}.data(), 3);
    EXPECT_EQ(s.most_common, 3u) << "all different: the first reading, once";
    EXPECT_EQ(s.most_common_count, 1u);
    EXPECT_EQ(s.distinct, 3u);
}

TEST(ScanSummary, AverageDamageIsRoundedUp) {
    EXPECT_NE(summary_text({999, 998}).find("Average damage: 0.2%\r\n"), std::string::npos);
}

TEST(ScanSummary, EmptyBarAnywhereIsTheHighestDamage) {
    std::string text = summary_text({500, 0, 600});
    EXPECT_NE(text.find("Highest damage: 100.0%\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Lowest damage: 40.0%\r\n"), std::string::npos) << text;
}

TEST(ScanSummary, OnlyCompleteMissesShowNoDamage) {
    std::string text = summary_text({1000, 1000});
    EXPECT_NE(text.find("Highest damage: 0.0%\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Lowest damage: 0.0%\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Complete misses: 2\r\n"), std::string::npos) << text;
}
