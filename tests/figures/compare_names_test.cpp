// The folders' names in the comparison's sentences, and the line that says
// how many screenshots would settle a comparison without a clear difference.
#include "figures/compare_figures.h"
#include "figures/compare_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CompareNames, LastPartOfEachPathOrAAndB) {
    const std::string forty = "0123456789012345678901234567890123456789";
    const std::string o_umlaut = "\xC3\xB6", e_acute = "\xC3\xA9", u_umlaut = "\xC3\xBC";
    auto repeated = [](const std::string& text, int times) {
        std::string all;
        for (int i = 0; i < times; ++i) all += text;
        return all;
    };
    struct Case {
        std::string path_a, path_b, a, b;
    };
    const std::vector<Case> cases = {
        {"old gear", "new gear", "old gear", "new gear"},
        {"shots/old gear/", "/home/me/new gear//", "old gear", "new gear"},
        {"runs/monday/shots", "runs/tuesday/shots", "A", "B"},  // equal last parts
        {".", "new", "A", "B"},
        {"old", "..", "A", "B"},
        {"/", "new", "A", "B"},
        {forty, "b", forty, "b"},  // 40 characters stay whole
        {forty + "x", "b", "0123456789012345678...34567890123456789x", "b"},
        // 41 characters of two bytes each: cut between characters, never in one.
        {o_umlaut + repeated(e_acute, 39) + u_umlaut, "b",
         o_umlaut + repeated(e_acute, 18) + "..." + repeated(e_acute, 17) + u_umlaut, "b"},
#ifdef _WIN32
        {"D:\\Shots\\old gear\\", "C:new gear", "old gear", "new gear"},
#else
        {"D:\\Shots\\old gear", "new gear", "D:\\Shots\\old gear", "new gear"},
#endif
    };
    for (const Case& c : cases) {
        FolderNames names = compare_folder_names(c.path_a.c_str(), c.path_b.c_str());
        EXPECT_EQ(names.a, c.a) << c.path_a;
        EXPECT_EQ(names.b, c.b) << c.path_b;
    }
}

TEST(CompareNames, SentencesNameTheFoldersEitherWay) {
    Comparison comparison = {};
    comparison.a.read = comparison.b.read = 10;
    comparison.enough = true;
    char sentence[COMPARE_SENTENCE_SIZE];
    comparison.test = {80, 0.027};
    compare_sentence(comparison, "old gear", "new gear", sentence);
    EXPECT_STREQ(sentence, "new gear does more damage than old gear (p = 0.027, rank test).");
    comparison.test = {20, 0.027};
    compare_sentence(comparison, "old gear", "new gear", sentence);
    EXPECT_STREQ(sentence, "old gear does more damage than new gear (p = 0.027, rank test).");
    comparison.test = {60, 0.3};
    compare_sentence(comparison, "old gear", "new gear", sentence);
    EXPECT_STREQ(sentence, "No clear difference between old gear and new gear (p = 0.300, rank test).");
    // Two names of the longest kind fit.
    std::string longest(4 * COMPARE_NAME_CHARACTERS, 'x');
    compare_sentence(comparison, longest.c_str(), longest.c_str(), sentence);
    EXPECT_EQ(std::string(sentence).size(), 28 + 2 * longest.size() + 5 + 24);
}

namespace {

Comparison compared(std::vector<uint32_t> a, std::vector<uint32_t> b) {
    Comparison comparison;
    EXPECT_TRUE(compare_damage(a.data(), a.size(), b.data(), b.size(), &comparison));
    return comparison;
}

}  // namespace

TEST(ComparePower, ScreenshotsThatWouldTellTheObservedDifference) {
    // The expected counts come from Python's statistics module:
    // ceil(2 (z(0.975) + z(0.8))^2 s^2 / D^2 / 0.955), s^2 the pooled variance.
    struct Case {
        std::vector<uint32_t> a, b;
        uint64_t shots;
        const char* line;  // "" for none
    };
    std::vector<uint32_t> tens, tens_plus_20, unequal_a, unequal_b;
    for (uint32_t i = 0; i < 10; ++i) tens.push_back(100 * i), tens_plus_20.push_back(100 * i + 20);
    unequal_a = {0, 0, 50, 120, 300, 310, 420, 600, 610, 900, 1000, 80};
    unequal_b = {10, 60, 130, 330, 500, 700, 640, 990, 100, 420, 250};
    const Case cases[] = {
        {tens, tens_plus_20, 3767,
         "About 3767 screenshots in each folder would tell a difference of 2.0 points (80% power)."},
        {tens_plus_20, tens, 3767,
         "About 3767 screenshots in each folder would tell a difference of 2.0 points (80% power)."},
        {unequal_a, unequal_b, 19274,
         "About 19274 screenshots in each folder would tell a difference of 1.0 points (80% power)."},
        {tens, tens, 0, ""},  // no difference: no line
    };
    for (const Case& c : cases) {
        Comparison comparison = compared(c.a, c.b);
        EXPECT_EQ(shots_to_tell(comparison), c.shots);
        char line[COMPARE_SENTENCE_SIZE];
        EXPECT_EQ(compare_power_sentence(comparison, line), c.line[0] != '\0');
        EXPECT_STREQ(line, c.line);
    }
}

TEST(ComparePower, NoLineWithAClearDifferenceOrTooFewOrARoundedZero) {
    std::vector<uint32_t> low(12, 100), high(12, 900);
    low[0] = 120, high[0] = 880;
    char line[COMPARE_SENTENCE_SIZE];
    EXPECT_FALSE(compare_power_sentence(compared(low, high), line));  // p < 0.001
    EXPECT_STREQ(line, "");
    EXPECT_FALSE(compare_power_sentence(compared({100, 200}, {300, 500}), line));  // too few
    // 0.04 points apart: rounds to 0.0, no line.
    std::vector<uint32_t> a = {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 0, 100, 200, 300,
                               400, 500, 600, 700, 800, 900, 1000, 0, 100, 0};
    std::vector<uint32_t> b = a;
    b[0] = 1;
    EXPECT_FALSE(compare_power_sentence(compared(a, b), line));
    // No spread at all: the formula says 0, but no test reads fewer than 10.
    EXPECT_EQ(shots_to_tell(compared(std::vector<uint32_t>(10, 0), std::vector<uint32_t>(10, 100))),
              COMPARE_MIN_READ);
}
