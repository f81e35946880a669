// Several setups' figures worked out on several threads: the same figures,
// order and sentence as on one (compare_groups shares the setups out among
// its threads). In figures_tests and, under ThreadSanitizer, thread_tests.
#include "figures/groups_figures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(GroupsThreads, FiguresAreThoseOfOneThread) {
    // Twelve setups of different sizes and spreads, a few with misses.
    std::vector<std::vector<uint32_t>> values(12);
    uint64_t state = 12345;
    for (size_t g = 0; g < values.size(); ++g) {
        for (size_t i = 0; i < 40 + 30 * g; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            uint32_t draw = static_cast<uint32_t>(state >> 33);
            values[g].push_back(draw % 17 == 0 ? 0 : 200 + 20 * static_cast<uint32_t>(g) + draw % 400);
        }
    }
    GroupsComparison results[3];
    const int threads[3] = {1, 2, 5};
    char sentences[3][GROUPS_SENTENCE_SIZE];
    for (int t = 0; t < 3; ++t) {
        std::vector<std::vector<uint32_t>> copy = values;
        std::vector<GroupSample> samples;
        for (size_t g = 0; g < copy.size(); ++g) {
            samples.push_back({"setup", copy[g].data(), static_cast<uint32_t>(copy[g].size()), 0});
        }
        ASSERT_TRUE(compare_groups(samples.data(), 12, threads[t], &results[t]));
        groups_sentence(results[t], sentences[t]);
    }
    for (int t = 1; t < 3; ++t) {
        ASSERT_EQ(results[t].count, results[0].count);
        for (int g = 0; g < results[0].count; ++g) {
            const GroupFigures &one = results[0].groups[g], &many = results[t].groups[g];
            EXPECT_EQ(many.sample, one.sample) << threads[t] << " threads, setup " << g;
            EXPECT_EQ(many.mean, one.mean);
            EXPECT_EQ(many.median, one.median);
            EXPECT_EQ(many.mean_interval.low, one.mean_interval.low);
            EXPECT_EQ(many.mean_interval.high, one.mean_interval.high);
            EXPECT_EQ(many.misses, one.misses);
        }
        EXPECT_EQ(results[t].test.h, results[0].test.h);
        EXPECT_EQ(results[t].pair_count, results[0].pair_count);
        EXPECT_STREQ(sentences[t], sentences[0]);
    }
    for (GroupsComparison& c : results) groups_release(&c);
}
