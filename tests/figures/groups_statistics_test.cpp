// The statistics of several setups against independent figures:
// Kruskal-Wallis H, its p and the upper incomplete gamma against SciPy (on
// the same generated samples), Holm's adjustment against a table worked by
// hand, the one-sample bootstrap by what it must do, and the figures'
// sentences on comparisons laid out by hand.
#include "figures/groups_figures.h"
#include "figures/groups_statistics.h"
#include "support/scipy_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

std::vector<uint32_t> sample(Lcg* lcg, size_t n, uint32_t spread, uint32_t shift) {
    std::vector<uint32_t> values;
    for (size_t i = 0; i < n; ++i) values.push_back(std::min(1000u, shift + lcg->below(spread)));
    return values;
}

struct Group {
    size_t n;
    uint32_t spread, shift;
};

}  // namespace

TEST(GroupsStatistics, KruskalWallisMatchesSciPy) {
    SKIP_WITHOUT_SCIPY();
    struct Case {
        const char* name;
        std::vector<Group> groups;
    };
    const std::vector<Case> cases = {
        {"two singles", {{1, 1000, 0}, {1, 1000, 0}}},
        {"three small, distinct", {{3, 1000, 0}, {4, 1000, 0}, {2, 1000, 0}}},
        {"equal groups", {{50, 1000, 0}, {50, 1000, 0}, {50, 1000, 0}, {50, 1000, 0}}},
        {"heavy ties", {{30, 4, 0}, {25, 4, 1}, {40, 4, 0}}},
        {"all equal", {{5, 1, 300}, {7, 1, 300}, {3, 1, 300}}},
        {"one group all equal", {{12, 1, 500}, {15, 1000, 0}, {10, 1000, 0}}},
        {"unequal sizes", {{7, 400, 300}, {300, 400, 250}, {40, 400, 280}}},
        {"far apart", {{200, 200, 0}, {220, 200, 700}, {180, 200, 350}}},
        {"small shift, large", {{2000, 600, 200}, {1900, 600, 230}, {2100, 600, 210}}},
        {"twelve groups", {{20, 500, 0},  {20, 500, 10}, {20, 500, 20}, {20, 500, 30},
                           {20, 500, 40}, {20, 500, 50}, {20, 500, 60}, {20, 500, 70},
                           {20, 500, 80}, {20, 500, 90}, {20, 500, 100}, {20, 500, 400}}},
        {"misses and a full bar", {{30, 2, 0}, {30, 2, 999}, {30, 1001, 0}}},
    };
    std::vector<std::vector<std::vector<uint32_t>>> samples;
    std::string script = "from scipy.stats import kruskal\n"
                         "def k(*s):\n"
                         "    try:\n"
                         "        r = kruskal(*s)\n"
                         "        print(repr(float(r.statistic)), repr(float(r.pvalue)))\n"
                         "    except ValueError:\n"
                         "        print('identical identical')\n";
    Lcg lcg = {20261208};
    for (const Case& c : cases) {
        std::vector<std::vector<uint32_t>> groups;
        script += "k(";
        for (const Group& g : c.groups) {
            groups.push_back(sample(&lcg, g.n, g.spread, g.shift));
            script += python_list(groups.back()) + ",";
        }
        script += ")\n";
        samples.push_back(groups);
    }
    int status;
    std::istringstream output(run_python(script, &status));
    ASSERT_EQ(status, 0) << output.str();
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string h_text, p_text;
        output >> h_text >> p_text;
        ASSERT_FALSE(output.fail()) << cases[i].name << "\n" << output.str();
        std::vector<const uint32_t*> values;
        std::vector<size_t> sizes;
        for (auto& g : samples[i]) {
            std::sort(g.begin(), g.end());  // as kruskal_wallis takes them; SciPy had them unsorted
            values.push_back(g.data());
            sizes.push_back(g.size());
        }
        KruskalWallis test;
        ASSERT_TRUE(kruskal_wallis(values.data(), sizes.data(), static_cast<int>(sizes.size()), &test));
        EXPECT_EQ(test.df, static_cast<int>(sizes.size()) - 1) << cases[i].name;
        if (h_text == "identical") {  // SciPy refuses; nothing tells the groups apart
            EXPECT_EQ(test.h, 0.0) << cases[i].name;
            EXPECT_EQ(test.p, 1.0) << cases[i].name;
            continue;
        }
        expect_relative(test.h, std::stod(h_text), std::string(cases[i].name) + ", H");
        expect_relative(test.p, std::stod(p_text), std::string(cases[i].name) + ", p");
    }
}

// One setup, or none: nothing to tell apart, and nothing to allocate.
TEST(GroupsStatistics, KruskalWallisOfFewerThanTwoGroupsFindsNoDifference) {
    const uint32_t values[] = {100, 200, 300};
    const uint32_t* samples[] = {values};
    const size_t sizes[] = {3};
    for (int k : {0, 1}) {
        KruskalWallis test = {-1, -1, -1};
        ASSERT_TRUE(kruskal_wallis(samples, sizes, k, &test)) << k;
        EXPECT_EQ(test.h, 0.0) << k;
        EXPECT_EQ(test.p, 1.0) << k;
    }
}

TEST(GroupsStatistics, UpperGammaMatchesSciPy) {
    SKIP_WITHOUT_SCIPY();
    // Both branches (x below and above a + 1), half-integer a as the
    // chi-square gives it, and far tails.
    const double points[][2] = {{0.5, 0.01}, {0.5, 0.7},  {0.5, 3},    {1, 0.2},   {1, 40},
                                {1.5, 2.4},  {2.5, 1},    {2.5, 30},   {5.5, 6.4}, {5.5, 80},
                                {10, 9},     {10, 12},    {50, 45},    {0.5, 300}, {3, 0.001}};
    std::string script = "from scipy.special import gammaincc\n";
    for (const auto& point : points) {
        script += "print(repr(float(gammaincc(" + std::to_string(point[0]) + ", " +
                  std::to_string(point[1]) + "))))\n";
    }
    int status;
    std::istringstream output(run_python(script, &status));
    ASSERT_EQ(status, 0) << output.str();
    for (const auto& point : points) {
        double q = -1;
        output >> q;
        ASSERT_FALSE(output.fail()) << output.str();
        expect_relative(upper_gamma_q(point[0], point[1]), q,
                        "Q(" + std::to_string(point[0]) + ", " + std::to_string(point[1]) + ")");
    }
    EXPECT_EQ(upper_gamma_q(2, 0), 1.0);
}

TEST(GroupsStatistics, HolmMatchesHandTable) {
    struct Case {
        std::vector<double> p, adjusted;
    };
    const Case cases[] = {
        // sorted 0.005 0.01 0.03 0.04: x4 = 0.02, x3 = 0.03, x2 = 0.06, x1 = 0.04 -> 0.06
        {{0.01, 0.04, 0.03, 0.005}, {0.03, 0.06, 0.06, 0.02}},
        // capped at 1, and a later smaller product raised to the one before
        {{0.5, 0.6}, {1.0, 1.0}},
        {{0.2}, {0.2}},
        // equal p values: 0.01 x3 = 0.03, x2 = 0.02 -> 0.03, x1 = 0.01 -> 0.03
        {{0.01, 0.01, 0.01}, {0.03, 0.03, 0.03}},
        // six pairs, as four setups give: 0.001x6, 0.002x5, 0.013x4, 0.02x3, 0.3x2, 0.9x1
        {{0.3, 0.001, 0.9, 0.02, 0.002, 0.013}, {0.6, 0.006, 0.9, 0.06, 0.01, 0.052}},
    };
    for (const Case& c : cases) {
        std::vector<double> adjusted(c.p.size(), -1);
        holm_adjust(c.p.data(), static_cast<int>(c.p.size()), adjusted.data());
        for (size_t i = 0; i < c.p.size(); ++i) {
            EXPECT_NEAR(adjusted[i], c.adjusted[i], 1e-12) << "p " << c.p[i] << " of " << c.p.size();
        }
    }
}

// The intervals every run shows, on every platform: pinned from the first
// release of the bootstrap, so that a faster one keeps them.
TEST(GroupsStatistics, BootstrapMeanStaysAsPinned) {
    const struct {
        size_t n;
        double low, high;
    } cases[] = {{1, 0, 0}, {2, 0, 912}, {37, 412.56756756756755, 604.97297297297303},
                 {2000, 487.69850000000002, 513.20650000000001}};
    for (const auto& c : cases) {
        std::vector<uint32_t> values(c.n);
        for (size_t i = 0; i < c.n; ++i) values[i] = static_cast<uint32_t>((i * 7919) % 1001);
        Interval interval;
        ASSERT_TRUE(bootstrap_mean(values.data(), c.n, BOOTSTRAP_SEED, &interval));
        EXPECT_EQ(interval.low, c.low) << c.n;
        EXPECT_EQ(interval.high, c.high) << c.n;
    }
}

TEST(GroupsStatistics, BootstrapMeanCoversTheAverage) {
    std::vector<uint32_t> constant(25, 437);
    Interval interval;
    ASSERT_TRUE(bootstrap_mean(constant.data(), constant.size(), BOOTSTRAP_SEED, &interval));
    EXPECT_EQ(interval.low, 437);
    EXPECT_EQ(interval.high, 437);
    // Uniform 0..999: sd 288.7; with 400 values the interval is about
    // 2 x 1.96 x 288.7 / 20 = 56.6 wide round the average.
    Lcg lcg = {7};
    std::vector<uint32_t> values = sample(&lcg, 400, 1000, 0);
    double mean = 0;
    for (uint32_t v : values) mean += v / 400.0;
    ASSERT_TRUE(bootstrap_mean(values.data(), values.size(), BOOTSTRAP_SEED, &interval));
    EXPECT_LT(interval.low, mean);
    EXPECT_GT(interval.high, mean);
    EXPECT_NEAR(interval.high - interval.low, 56.6, 6);
}

namespace {

GroupFigures figures(const char* name, double mean, bool tested = true) {
    return {name, 0, tested ? 20u : 5u, 0, mean, mean, {mean, mean}, {0, 0}, tested, 0};
}

}  // namespace

TEST(GroupsFigures, SentenceNamesWhatTheTestsShow) {
    GroupFigures groups[] = {figures("sword", 600), figures("spear", 590), figures("bow", 400),
                             figures("axe", 380)};
    struct Case {
        bool differs;
        double p;
        std::vector<bool> pair_differs;  // pairs (0,1) (0,2) (0,3) (1,2) (1,3) (2,3)
        const char* sentence;
    };
    const Case cases[] = {
        {true, 0.001, {false, true, true, true, true, false},
         "sword does the most damage; it beats bow and axe (Holm-adjusted rank tests)."},
        {true, 0.001, {true, true, true, true, true, true},
         "sword does the most damage; it beats spear, bow and axe (Holm-adjusted rank tests)."},
        {true, 0.04, {false, false, false, false, true, false},
         "No setup clearly does the most damage; sword, spear and bow lead "
         "(Holm-adjusted rank tests)."},
        {true, 0.02, {false, false, false, true, true, false},
         "No setup clearly does the most damage; sword and spear lead "
         "(Holm-adjusted rank tests)."},
        {false, 0.3104, {},
         "No clear difference between the 4 setups (p = 0.310, Kruskal\xE2\x80\x93Wallis)."},
        {false, 0.0004, {}, "No clear difference between the 4 setups (p < 0.001, "
                            "Kruskal\xE2\x80\x93Wallis)."},
    };
    for (const Case& c : cases) {
        PairTest pairs[6];
        int k = 0;
        for (int i = 0; i < 4; ++i) {
            for (int j = i + 1; j < 4 && !c.pair_differs.empty(); ++j, ++k) {
                pairs[k] = {i, j, 0.5, 0.5, c.pair_differs[k]};
            }
        }
        GroupsComparison comparison = {groups, 4, 4, true, {1, c.p, 3}, c.differs, pairs, k};
        char text[GROUPS_SENTENCE_SIZE];
        groups_sentence(comparison, text);
        EXPECT_STREQ(text, c.sentence);
    }
}

TEST(GroupsFigures, SetupsUnderTenAreLeftOut) {
    Lcg lcg = {99};
    std::vector<uint32_t> strong = sample(&lcg, 40, 200, 700), weak = sample(&lcg, 40, 200, 100),
                          few = sample(&lcg, 9, 10, 990);
    GroupSample samples[] = {{"weak", weak.data(), 40, 0}, {"few", few.data(), 9, 0},
                             {"strong", strong.data(), 40, 0}};
    GroupsComparison c;
    ASSERT_TRUE(compare_groups(samples, 3, 1, &c));
    EXPECT_EQ(c.tested, 2);
    ASSERT_EQ(c.count, 3);
    EXPECT_STREQ(c.groups[0].name, "few");  // the highest average, shown first
    EXPECT_FALSE(c.groups[0].tested);
    EXPECT_EQ(c.pair_count, 1);  // strong against weak only
    char text[GROUPS_SENTENCE_SIZE];
    groups_sentence(c, text);
    EXPECT_STREQ(text, "strong does the most damage; it beats weak (Holm-adjusted rank tests).");
    groups_release(&c);

    GroupSample alone[] = {{"weak", weak.data(), 40, 0}, {"few", few.data(), 9, 0}};
    ASSERT_TRUE(compare_groups(alone, 2, 1, &c));
    EXPECT_FALSE(c.enough);
    groups_sentence(c, text);
    EXPECT_STREQ(text, "Too few setups to compare: at least two with 10 screenshots read each "
                       "are needed.");
    groups_release(&c);
}

TEST(GroupsFigures, CellsShowPercentsAndIntervals) {
    GroupFigures f = {"bow", 0, 40, 2, 523.4, 510, {481.2, 559.96}, {0.0138, 0.165}, true, 0};
    GroupCells cells;
    group_cells(f, &cells);
    EXPECT_STREQ(cells.read, "40");
    EXPECT_STREQ(cells.average, "52.3% (48.1% to 56.0%)");
    EXPECT_STREQ(cells.median, "51.0%");
    EXPECT_STREQ(cells.misses, "2 (1.4% to 16.5%)");
    EXPECT_EQ(text_characters("2026-11-21 20:10\xE2\x80\x93" "21:45"), 22u);
}
