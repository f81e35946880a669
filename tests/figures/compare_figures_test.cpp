// The compare mode's texts: signed percentages and p-values by the program's
// own rounding, the verdict at the edges of significance and direction, and
// the table's columns.
#include "figures/compare_figures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CompareFigures, SignedPercentAndPValueTexts) {
    struct Percent {
        int64_t tenths;
        const char* text;
    };
    const Percent percents[] = {{49, "+4.9%"}, {-121, "-12.1%"}, {0, "0.0%"}, {1000, "+100.0%"},
                                {-1000, "-100.0%"}, {5, "+0.5%"}, {-3, "-0.3%"}, {123456, "+100.0%"}};
    for (const Percent& c : percents) {
        char text[COMPARE_CELL_SIZE];
        format_signed_percent(c.tenths, text);
        EXPECT_STREQ(text, c.text) << c.tenths;
    }
    struct P {
        double p;
        const char* text;
    };
    const P ps[] = {{0.004, "p = 0.004"}, {0.0045, "p = 0.005"}, {0.0009999, "p < 0.001"},
                    {0.001, "p = 0.001"}, {1e-300, "p < 0.001"}, {0, "p < 0.001"},
                    {0.0495, "p = 0.050"}, {1, "p = 1.000"}, {0.9996, "p = 1.000"},
                    {0.41249, "p = 0.412"}};
    for (const P& c : ps) {
        char text[COMPARE_CELL_SIZE];
        format_p_value(c.p, text);
        EXPECT_STREQ(text, c.text) << c.p;
    }
}

TEST(CompareFigures, VerdictFollowsPAndTheDirectionOfU) {
    struct Case {
        double p, u_b;  // 10 against 10: U of B is 50 when even
        const char* sentence;
    };
    const Case cases[] = {
        {0.004, 80, "B does more damage than A (p = 0.004, rank test)."},
        {0.004, 20, "A does more damage than B (p = 0.004, rank test)."},
        {0.0499, 70, "B does more damage than A (p = 0.050, rank test)."},
        {0.05, 70, "No clear difference between A and B (p = 0.050, rank test)."},
        {0.2, 30, "No clear difference between A and B (p = 0.200, rank test)."},
        {0.0001, 99, "B does more damage than A (p < 0.001, rank test)."},
    };
    for (const Case& c : cases) {
        Comparison comparison = {};
        comparison.a.read = comparison.b.read = 10;
        comparison.enough = true;
        comparison.test = {c.u_b, c.p};
        char sentence[COMPARE_SENTENCE_SIZE];
        compare_sentence(comparison, "A", "B", sentence);
        EXPECT_STREQ(sentence, c.sentence);
    }
}

TEST(CompareFigures, TableHasTheIntervalColumnOnlyWithEnoughScreenshots) {
    // 9 against 12: too few. Damages in permille.
    std::vector<uint32_t> a = {0, 100, 200, 300, 400, 500, 600, 700, 800};
    std::vector<uint32_t> b = {0, 0, 150, 250, 350, 450, 550, 650, 750, 850, 950, 1000};
    Comparison comparison;
    ASSERT_TRUE(compare_damage(a.data(), a.size(), b.data(), b.size(), &comparison));
    EXPECT_FALSE(comparison.enough);
    char table[COMPARE_TABLE_SIZE];
    compare_table_text(comparison, table);
    EXPECT_STREQ(table,
                 "                   A        B     B - A\n"
                 "Average damage   40.0%    49.6%    +9.6%\n"
                 "Median damage    40.0%    50.0%   +10.0%\n"
                 "Complete misses  11.1%    16.7%    +5.6%\n");
    char sentence[COMPARE_SENTENCE_SIZE];
    compare_sentence(comparison, "old", "new", sentence);
    EXPECT_STREQ(sentence, "Too few screenshots to tell: at least 10 in each folder are needed.");

    a.push_back(900);  // 10 against 12: intervals, every row the same width
    ASSERT_TRUE(compare_damage(a.data(), a.size(), b.data(), b.size(), &comparison));
    EXPECT_TRUE(comparison.enough);
    compare_table_text(comparison, table);
    std::string text = table;
    const std::string header = "                   A        B     B - A   95% interval\n";
    EXPECT_EQ(text.compare(0, header.size(), header), 0) << text;
    EXPECT_NE(text.find("\nAverage damage   45.0%    49.6%    +4.6%  "), std::string::npos) << text;
    EXPECT_NE(text.find("\nComplete misses  10.0%    16.7%    +6.7%  "), std::string::npos) << text;
    EXPECT_EQ(comparison.a.quartile_low, 200u);
    EXPECT_EQ(comparison.b.misses, 2u);
}
