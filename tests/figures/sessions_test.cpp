// Play sessions: where the readings are split, and how many at most.
#include "figures/sessions.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(Sessions, GapsOfMoreThanHalfAnHourSplitTwelveAtMost) {
    struct Case {
        std::vector<int64_t> seconds;
        std::vector<std::pair<uint32_t, uint32_t>> sessions;  // first, count
    };
    std::vector<int64_t> many;  // 20 sessions, gaps of 1, 2, ... 19 hours
    for (int k = 0; k < 20; ++k) {
        int64_t start = many.empty() ? 0 : many.back() + k * 3600;
        many.push_back(start);
        many.push_back(start + 60);
    }
    // The 11 longest gaps (hours 9..19) are kept: sessions start at 2*9 and on.
    std::vector<std::pair<uint32_t, uint32_t>> merged = {{0, 18}};
    for (uint32_t k = 9; k < 20; ++k) merged.push_back({2 * k, 2});
    const Case cases[] = {
        {{}, {}},
        {{100}, {{0, 1}}},
        {{0, 1800, 3600}, {{0, 3}}},                 // exactly 30 minutes: one session
        {{0, 1801, 1802}, {{0, 1}, {1, 2}}},         // more: a new one
        {{0, 60, 86400, 86460, 86520}, {{0, 2}, {2, 3}}},  // a day apart
        {many, merged},
    };
    for (const Case& c : cases) {
        std::vector<TimePoint> points;
        for (int64_t s : c.seconds) points.push_back({1700000000 + s, 100});
        TimeSession sessions[MAX_SESSIONS];
        int count = split_sessions(points.data(), static_cast<uint32_t>(points.size()), sessions);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (int k = 0; k < count; ++k) got.push_back({sessions[k].first, sessions[k].count});
        EXPECT_EQ(got, c.sessions) << c.seconds.size() << " points";
    }
}
