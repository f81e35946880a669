// The groups and sessions modes run end to end: setups of generated
// screenshots with known shifts, equal setups, a setup under 10, play
// sessions from file times, names with spaces and Unicode, the console,
// compare.html, and the subfolders left exactly as they were.
#include "support/program_run.h"

#include <map>
#include <string>
#include <vector>

namespace {

constexpr int BAR = 240;  // the bar of layout TYPE, in pixels

// n readings of bars filled from `low` pixels, stepping by `step` and
// wrapping within `range` pixels.
std::vector<int> spread_readings(int n, int low, int range, int step) {
    std::vector<int> readings;
    for (int i = 0; i < n; ++i) readings.push_back((low + (i * step) % range) * 1000 / BAR);
    return readings;
}

const char SENTENCE_TAIL[] = " (Holm-adjusted rank tests).\n";

class Groups : public EndToEnd {
  protected:
    // A subfolder of the run folder with one screenshot per reading.
    void make_setup(const std::string& name, const std::vector<int>& readings) {
        ASSERT_EQ(mkdir((folder / name).c_str(), 0755), 0) << name;
        for (size_t i = 0; i < readings.size(); ++i) {
            std::string path = folder / name + "/shot" + std::to_string(1000 + i) + ".png";
            ASSERT_TRUE(write_file(path, game_png_with_reading(static_cast<uint32_t>(readings[i]))));
        }
    }
    // The file names of every subfolder: what must not change.
    std::map<std::string, std::set<std::string>> subfolder_names() {
        std::map<std::string, std::set<std::string>> names;
        for (const std::string& name : folder_names(folder.path)) {
            struct stat info;
            if (stat((folder / name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                names[name] = folder_names(folder / name);
            }
        }
        return names;
    }
};

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(Groups, StrongestSetupIsNamedAndEqualOnesAreNotCalledDifferent) {
    // sword's bars are 80 pixels emptier than those of axe and bow, which
    // are the same; a hidden folder and a folder inside sword hold
    // screenshots that must not count.
    make_setup("sword", spread_readings(20, 60, 100, 7));
    make_setup("axe", spread_readings(20, 140, 100, 7));
    make_setup("bow", spread_readings(20, 140, 100, 7));
    make_setup(".cache", spread_readings(12, 0, 10, 1));
    make_setup("sword/old", spread_readings(12, 0, 10, 1));
    auto before = subfolder_names();

    ProgramRun result = run({"-groups"});
    EXPECT_TRUE(holds(result.console, "sword does the most damage; it beats axe and bow" +
                                          std::string(SENTENCE_TAIL)))
        << result.console;
    EXPECT_TRUE(holds(result.console, "Saved compare.html\n")) << result.console;
    // sword's own 20, not its subfolder's; no line for the hidden folder.
    EXPECT_TRUE(holds(result.console, "\nsword     20  ")) << result.console;
    EXPECT_FALSE(holds(result.console, ".cache")) << result.console;
    EXPECT_EQ(subfolder_names(), before);

    std::string page = file("compare.html");
    EXPECT_TRUE(holds(page, "<td>axe</td><td>bow</td><td class=\"num\">1.000</td>"
                            "<td class=\"num\">1.000</td><td>no</td>"))
        << page;
    EXPECT_TRUE(holds(page, "<td>sword</td><td>axe</td>")) << page;
    EXPECT_TRUE(holds(page, "id=\"averages\"")) << page;
    EXPECT_TRUE(holds(page, "What the figures mean")) << page;

    ProgramRun same = run({"-g", folder.path});  // the short option, the folder named
    EXPECT_EQ(same.console, result.console);
}

TEST_F(Groups, EqualSetupsShowNoClearDifference) {
    for (const char* name : {"a", "b", "c"}) make_setup(name, spread_readings(12, 100, 90, 11));
    ProgramRun result = run({"-groups"});
    EXPECT_TRUE(holds(result.console, "No clear difference between the 3 setups (p = 1.000, "
                                      "Kruskal\xE2\x80\x93Wallis).\nSaved compare.html\n"))
        << result.console;
    EXPECT_FALSE(holds(file("compare.html"), "id=\"pairs\""));
}

TEST_F(Groups, SetupUnderTenIsShownButLeftOut) {
    make_setup("few", spread_readings(5, 0, 50, 3));
    make_setup("many", spread_readings(15, 100, 90, 11));
    ProgramRun alone = run({"-groups"});
    EXPECT_TRUE(holds(alone.console, "few: 5 screenshots read, fewer than 10: left out of the "
                                     "tests.\n"))
        << alone.console;
    EXPECT_TRUE(holds(alone.console, "Too few setups to compare: at least two with 10 screenshots "
                                     "read each are needed.\n"))
        << alone.console;
    EXPECT_FALSE(holds(alone.console, "Saved compare.html"));
    EXPECT_EQ(folder_names(folder.path).count("compare.html"), 0u);

    make_setup("more", spread_readings(15, 100, 90, 11));
    ProgramRun both = run({"-groups"});
    EXPECT_TRUE(holds(both.console, "few: 5 screenshots read, fewer than 10: left out of the tests.\n"));
    EXPECT_TRUE(holds(both.console, "No clear difference between the 2 setups")) << both.console;
    EXPECT_TRUE(holds(file("compare.html"), "<tr class=\"out\"><td>few</td>"));
}

TEST_F(Groups, NamesWithSpacesAndUnicode) {
    const std::string sword = "long sword \xE2\x9A\x94", bow = "\xE5\xBC\x93 & bow";  // names Windows allows
    make_setup(sword, spread_readings(20, 40, 100, 7));
    make_setup(bow, spread_readings(20, 140, 100, 7));
    ProgramRun result = run({"-groups"});
    EXPECT_TRUE(holds(result.console, sword + " does the most damage; it beats " + bow +
                                          SENTENCE_TAIL))
        << result.console;
    std::string page = file("compare.html");
    EXPECT_TRUE(holds(page, "<td>\xE5\xBC\x93 &amp; bow</td>")) << page;
    EXPECT_TRUE(holds(page, "<td>long sword \xE2\x9A\x94</td>")) << page;
}

TEST_F(Groups, SessionsAreSplitByFileTimes) {
    // Two evenings in UTC: 20:10 to 20:48 (20 shots, 2 minutes apart) and
    // the next day 18:00 to 18:19 (20 shots, 1 minute apart), the second
    // with more damage.
    std::vector<int> first = spread_readings(20, 140, 100, 7), second = spread_readings(20, 40, 100, 7);
    const long evening = 1795291800, next_day = 1795370400;
    for (int i = 0; i < 20; ++i) {
        std::string a = folder / "a" + std::to_string(100 + i) + ".png";
        std::string b = folder / "b" + std::to_string(100 + i) + ".png";
        ASSERT_TRUE(write_file(a, game_png_with_reading(static_cast<uint32_t>(first[i]))));
        ASSERT_TRUE(write_file(b, game_png_with_reading(static_cast<uint32_t>(second[i]))));
        ASSERT_TRUE(set_time(a, evening + 120L * i));
        ASSERT_TRUE(set_time(b, next_day + 60L * i));
    }
    ChildSetup utc;
    utc.settings.push_back({"TZ", "UTC"});
    ProgramRun result = run({"-sessions"}, utc);
    EXPECT_TRUE(holds(result.console, "2026-11-22 18:00\xE2\x80\x93" "18:19 does the most damage; "
                                      "it beats 2026-11-21 20:10\xE2\x80\x93" "20:48" +
                                          std::string(SENTENCE_TAIL)))
        << result.console;
    EXPECT_TRUE(holds(result.console, "Saved compare.html\n"));
    ProgramRun again = run({"-e"}, utc);
    EXPECT_EQ(again.console, result.console);
}

TEST_F(Groups, UnreadableSubfolderIsSaidAndLeftOut) {
    std::string why = why_permissions_cannot_bind();
    if (!why.empty()) GTEST_SKIP() << why;
    make_setup("a", spread_readings(12, 100, 90, 11));
    make_setup("b", spread_readings(12, 100, 90, 11));
    make_setup("locked", spread_readings(12, 0, 10, 1));
    ASSERT_EQ(chmod((folder / "locked").c_str(), 0), 0);
    ChildSetup obey;
    obey.obey_permissions = true;
    obey.keep_errors = true;
    ProgramRun result = run({"-groups"}, obey);
    chmod((folder / "locked").c_str(), 0755);
    EXPECT_TRUE(holds(result.console, "Error: Cannot read the folder locked.\n")) << result.console;
    EXPECT_TRUE(holds(result.errors, "healthgauge: locked: ")) << result.errors;
    EXPECT_TRUE(holds(result.console, "No clear difference between the 2 setups")) << result.console;
}
