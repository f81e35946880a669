// The compare mode's statistics against independent figures: the rank test
// against SciPy (run by /usr/bin/python3 on the same generated samples), the
// Newcombe interval against the worked examples of Newcombe (1998, Statistics
// in Medicine 17, 873-890, table II, method 10), the generator against the
// reference outputs of splitmix64 and xoshiro256**, and the bootstrap by
// what it must do: agree across seeds, cover a known shift.
//
// Without python3 and SciPy the SciPy case is skipped, unless the build was
// configured where they were present (scripts/install-deps installs them):
// then their absence is a failure.
#include "figures/compare_statistics.h"
#include "support/scipy_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// n values: `shift` plus a draw of 0..spread-1, capped at 1000; with a
// share of misses_percent exactly 0 (a complete miss).
std::vector<uint32_t> sample(Lcg* lcg, size_t n, uint32_t spread, uint32_t shift,
                             uint32_t misses_percent = 0) {
    std::vector<uint32_t> values;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = lcg->below(100) < misses_percent ? 0 : shift + lcg->below(spread);
        values.push_back(v > 1000 ? 1000 : v);
    }
    return values;
}

}  // namespace

TEST(CompareStatistics, RankTestMatchesSciPy) {
    SKIP_WITHOUT_SCIPY();
    struct Case {
        const char* name;
        size_t na, nb;
        uint32_t spread_a, shift_a, spread_b, shift_b, misses_a, misses_b;
    };
    const Case cases[] = {
        {"one against one", 1, 1, 1000, 0, 1000, 0, 0, 0},
        {"one against five", 1, 5, 1000, 0, 1000, 0, 0, 0},
        {"small, distinct", 4, 3, 1000, 0, 1000, 0, 0, 0},
        {"ten against ten", 10, 10, 1000, 0, 1000, 40, 0, 0},
        {"ties, few values", 20, 25, 5, 0, 5, 1, 0, 0},
        {"heavy ties and misses", 200, 180, 20, 0, 20, 0, 30, 10},
        {"all equal", 5, 7, 1, 300, 1, 300, 0, 0},
        {"A all equal, B spread", 12, 15, 1, 500, 1000, 0, 0, 0},
        {"equal samples", 50, 50, 1000, 0, 1000, 0, 0, 0},
        {"B entirely above A", 60, 70, 100, 0, 100, 500, 0, 0},
        {"far apart, large", 600, 500, 200, 0, 200, 700, 0, 0},
        {"damage-like, small shift", 2000, 1900, 600, 200, 600, 230, 8, 5},
        {"unequal sizes", 7, 300, 400, 300, 400, 250, 0, 0},
    };
    std::vector<std::pair<std::vector<uint32_t>, std::vector<uint32_t>>> samples;
    std::string script = "from scipy.stats import mannwhitneyu\nimport warnings\n"
                         "warnings.simplefilter('ignore')\n";
    Lcg lcg = {20261207};
    for (const Case& c : cases) {
        std::vector<uint32_t> a = sample(&lcg, c.na, c.spread_a, c.shift_a, c.misses_a);
        std::vector<uint32_t> b = sample(&lcg, c.nb, c.spread_b, c.shift_b, c.misses_b);
        script += "r = mannwhitneyu(" + python_list(b) + ", " + python_list(a) +
                  ", alternative='two-sided', use_continuity=True, method='asymptotic')\n"
                  "print(repr(float(r.statistic)), repr(float(r.pvalue)))\n";
        samples.emplace_back(a, b);
    }
    int status;
    std::istringstream output(run_python(script, &status));
    ASSERT_EQ(status, 0) << output.str();
    for (size_t i = 0; i < samples.size(); ++i) {
        double u = -1, p = -1;
        output >> u >> p;
        ASSERT_FALSE(output.fail()) << cases[i].name << "\n" << output.str();
        const auto& s = samples[i];
        RankTest test = rank_test(s.first.data(), s.first.size(), s.second.data(), s.second.size());
        expect_relative(test.u_b, u, std::string(cases[i].name) + ", U");
        expect_relative(test.p, p, std::string(cases[i].name) + ", p");
    }
}

TEST(CompareStatistics, NewcombeIntervalMatchesWorkedExamples) {
    struct Case {
        uint64_t x1, n1, x2, n2;
        double low, high;  // to four decimals
    };
    const Case cases[] = {
        {56, 70, 48, 80, 0.0524, 0.3339},  {9, 10, 3, 10, 0.1705, 0.8090},
        {5, 56, 0, 29, -0.0381, 0.1926},   {0, 10, 0, 20, -0.1611, 0.2775},
        {0, 10, 0, 10, -0.2775, 0.2775},   {10, 10, 0, 20, 0.6791, 1.0000},
        {10, 10, 0, 10, 0.6075, 1.0000},
    };
    for (const Case& c : cases) {
        Interval interval = newcombe_interval(c.x1, c.n1, c.x2, c.n2);
        EXPECT_NEAR(interval.low, c.low, 0.00005) << c.x1 << "/" << c.n1 << " - " << c.x2 << "/" << c.n2;
        EXPECT_NEAR(interval.high, c.high, 0.00005) << c.x1 << "/" << c.n1 << " - " << c.x2 << "/" << c.n2;
    }
    // Swapping the two turns the interval around.
    Interval there = newcombe_interval(56, 70, 48, 80), back = newcombe_interval(48, 80, 56, 70);
    EXPECT_NEAR(back.low, -there.high, 1e-12);
    EXPECT_NEAR(back.high, -there.low, 1e-12);
}

TEST(CompareStatistics, GeneratorGivesTheReferenceOutputs) {
    RandomState seeded = random_seeded(0);  // splitmix64 from 0
    EXPECT_EQ(seeded.s[0], 0xE220A8397B1DCDAFull);
    EXPECT_EQ(seeded.s[1], 0x6E789E6AA1B965F4ull);
    RandomState state = {{1, 2, 3, 4}};
    const uint64_t expected[] = {11520u, 0u, 1509978240u, 1215971899390074240ull,
                                 1216172134540287360ull, 607988272756665600ull};
    for (uint64_t value : expected) EXPECT_EQ(random_next(&state), value);

    // Every value below n comes up, and nothing at or above it.
    RandomState random = random_seeded(BOOTSTRAP_SEED);
    for (uint64_t n : {1ull, 2ull, 7ull, 1000ull, 5000000000ull}) {
        std::vector<int> seen(n < 1000 ? n : 1000, 0);
        for (int i = 0; i < 20000; ++i) {
            uint64_t v = random_below(&random, n);
            ASSERT_LT(v, n);
            if (v < seen.size()) ++seen[v];
        }
        if (n <= 1000) {
            for (uint64_t v = 0; v < n; ++v) EXPECT_GT(seen[v], 0) << v << " of " << n;
        }
    }
}

// The draws and the intervals every run shows, on every platform: pinned
// from the first release of the bootstrap, so that a faster one keeps them.
TEST(CompareStatistics, DrawsAndIntervalsStayAsPinned) {
    const struct {
        uint64_t n, hash;  // a hash of 1,000 draws below n, one stream for all
    } draws[] = {{1, 0},
                 {2, 16073638115536859193ull},
                 {3, 11366767061554496610ull},
                 {1000, 1212730980243766398ull},
                 {2000, 6819399876747819137ull},
                 {2147483649ull, 18229560385743634995ull},  // about half the draws rejected
                 {4294967295ull, 3269280516801499531ull},
                 {5000000000ull, 18175376991701642831ull}};
    RandomState random = random_seeded(BOOTSTRAP_SEED);
    for (const auto& d : draws) {
        uint64_t hash = 0;
        for (int i = 0; i < 1000; ++i) hash = hash * 1000003 + random_below(&random, d.n);
        EXPECT_EQ(hash, d.hash) << d.n;
    }
    std::vector<uint32_t> a(300), b(250);
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint32_t>((i * 7919) % 1001);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint32_t>((i * 104729 + 50) % 1001);
    BootstrapIntervals pinned;
    ASSERT_TRUE(bootstrap_differences(a.data(), a.size(), b.data(), b.size(), BOOTSTRAP_SEED, &pinned));
    EXPECT_EQ(pinned.mean.low, -63.413333333333355);
    EXPECT_EQ(pinned.mean.high, 32.895999999999958);
    EXPECT_EQ(pinned.median.low, -103.5);
    EXPECT_EQ(pinned.median.high, 64.5);
}

TEST(CompareStatistics, BootstrapIsStableAcrossSeedsAndCoversAKnownShift) {
    struct Case {
        size_t na, nb;
        uint32_t spread, shift_b;  // B is A's distribution moved up by shift_b
        uint32_t misses;
    };
    const Case cases[] = {{200, 200, 600, 0, 0},   {200, 200, 600, 50, 0},
                          {200, 200, 300, 120, 10}, {400, 150, 500, 30, 0}};
    Lcg lcg = {42};
    for (const Case& c : cases) {
        std::vector<uint32_t> a = sample(&lcg, c.na, c.spread, 200, c.misses);
        std::vector<uint32_t> b = sample(&lcg, c.nb, c.spread, 200 + c.shift_b, c.misses);
        BootstrapIntervals one, two;
        ASSERT_TRUE(bootstrap_differences(a.data(), a.size(), b.data(), b.size(), BOOTSTRAP_SEED, &one));
        ASSERT_TRUE(bootstrap_differences(a.data(), a.size(), b.data(), b.size(), 12345, &two));
        // Within one percentage point (10 permille) across seeds.
        EXPECT_NEAR(one.mean.low, two.mean.low, 10.0);
        EXPECT_NEAR(one.mean.high, two.mean.high, 10.0);
        EXPECT_NEAR(one.median.low, two.median.low, 10.0);
        EXPECT_NEAR(one.median.high, two.median.high, 10.0);
        // The true shifts lie inside: the misses stay put, so the mean moves
        // by the shift times the share of hits and the median by the shift.
        double mean_shift = c.shift_b * (100.0 - c.misses) / 100.0;
        EXPECT_LE(one.mean.low, mean_shift) << c.shift_b;
        EXPECT_GE(one.mean.high, mean_shift) << c.shift_b;
        EXPECT_LE(one.median.low, c.shift_b) << c.shift_b;
        EXPECT_GE(one.median.high, c.shift_b) << c.shift_b;
        EXPECT_LT(one.mean.high - one.mean.low, 200.0);
        // The same seed gives the very same interval.
        BootstrapIntervals again;
        ASSERT_TRUE(bootstrap_differences(a.data(), a.size(), b.data(), b.size(), BOOTSTRAP_SEED, &again));
        EXPECT_EQ(again.mean.low, one.mean.low);
        EXPECT_EQ(again.median.high, one.median.high);
    }
    // One value each: no spread, the interval is that difference.
    uint32_t x = 400, y = 430;
    BootstrapIntervals single;
    ASSERT_TRUE(bootstrap_differences(&x, 1, &y, 1, BOOTSTRAP_SEED, &single));
    EXPECT_EQ(single.mean.low, 30.0);
    EXPECT_EQ(single.median.high, 30.0);
}
