// The median, the nearest-rank percentile and the rounding every figure uses.
#include "figures/order_statistics.h"

#include <gtest/gtest.h>

#include <vector>

TEST(OrderStatistics, MedianOfOddAndEvenCounts) {
    struct Case {
        std::vector<uint32_t> values;
        double median;
    };
    const Case cases[] = {
        {{7}, 7},           {{445, 446}, 445.5}, {{1, 2, 3}, 2},
        {{0, 0, 1000, 1000}, 500}, {{10, 20, 30, 40}, 25}, {{5, 5, 5, 5, 5, 6}, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(median_of_sorted(c.values.data(), c.values.size()), c.median);
    }
}

TEST(OrderStatistics, PercentileIsTheNearestRank) {
    std::vector<uint32_t> ten = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    struct Case {
        int p;
        uint32_t value;
    };
    const Case cases[] = {{1, 10}, {10, 10}, {11, 20}, {50, 50}, {51, 60}, {90, 90}, {91, 100},
                          {100, 100}};
    for (const Case& c : cases) {
        EXPECT_EQ(percentile_of_sorted(ten.data(), ten.size(), c.p), c.value) << c.p;
    }
    std::vector<uint32_t> one = {42};
    EXPECT_EQ(percentile_of_sorted(one.data(), 1, 10), 42u);
    EXPECT_EQ(percentile_of_sorted(one.data(), 1, 90), 42u);
    std::vector<uint32_t> three = {1, 2, 3};  // 10% of 3 is 0.3: rank 1; 90% is 2.7: rank 3
    EXPECT_EQ(percentile_of_sorted(three.data(), 3, 10), 1u);
    EXPECT_EQ(percentile_of_sorted(three.data(), 3, 90), 3u);
}

TEST(OrderStatistics, HalvesRoundAwayFromZero) {
    struct Case {
        double value;
        int64_t rounded;
    };
    const Case cases[] = {{0.5, 1}, {1.5, 2}, {2.5, 3}, {-0.5, -1}, {-2.5, -3}, {2.4999, 2},
                          {-2.4999, -2}, {0, 0}, {445.5, 446}, {999.5, 1000}};
    for (const Case& c : cases) EXPECT_EQ(round_half_away(c.value), c.rounded) << c.value;
}
