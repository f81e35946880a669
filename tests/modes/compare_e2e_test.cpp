// The compare mode run end to end: two folders of generated screenshots
// beside the working folder's own, the console compared with figures worked
// out here by exact whole-number arithmetic, compare.html, the error lines,
// and the folders left exactly as they were. Under Wine
// (scripts/test/run-windows-tests) the same cases run against the Windows
// program, with folder names holding spaces and Japanese text.
#include "support/program_run.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int BAR = 240;  // the bar of layout TYPE, in pixels

// The reading of a bar filled `filled` pixels: exact for every count.
int reading_of(int filled) { return filled * 1000 / BAR; }

// num / den rounded to a whole number, halves away from zero (den > 0).
int64_t rounded(int64_t num, int64_t den) {
    int64_t size = (2 * (num < 0 ? -num : num) + den) / (2 * den);
    return num < 0 ? -size : size;
}

std::string percent_text(int64_t tenths, bool with_sign) {
    std::string sign = !with_sign || tenths == 0 ? "" : tenths > 0 ? "+" : "-";
    return sign + percent(tenths < 0 ? -tenths : tenths);
}

std::string padded(const std::string& text, size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// The damages of a folder's readings, sorted.
std::vector<int64_t> damages(const std::vector<int>& readings) {
    std::vector<int64_t> values;
    for (int reading : readings) {
        if (reading >= 0) values.push_back(1000 - reading);
    }
    std::sort(values.begin(), values.end());
    return values;
}

// The average, median and share of misses of a folder as fractions num/den.
struct Fraction {
    int64_t num, den;
};

Fraction average(const std::vector<int64_t>& d) {
    int64_t sum = 0;
    for (int64_t v : d) sum += v;
    return {sum, static_cast<int64_t>(d.size())};
}

Fraction median(const std::vector<int64_t>& d) {
    size_t n = d.size();
    return n % 2 ? Fraction{d[n / 2], 1} : Fraction{d[n / 2 - 1] + d[n / 2], 2};
}

Fraction misses(const std::vector<int64_t>& d) {
    return {1000 * static_cast<int64_t>(std::count(d.begin(), d.end(), 0)),
            static_cast<int64_t>(d.size())};
}

// The row of the table up to its interval: label, A, B and B - A.
std::string row_start(const char* label, Fraction a, Fraction b) {
    std::string line = label;
    line += std::string(15 - line.size(), ' ');
    line += padded(percent_text(rounded(a.num, a.den), false), 7);
    line += padded(percent_text(rounded(b.num, b.den), false), 9);
    line += padded(percent_text(rounded(b.num * a.den - a.num * b.den, a.den * b.den), true), 9);
    return line;
}

const char HEADER[] = "                   A        B     B - A   95% interval\n";
const char HEADER_FEW[] = "                   A        B     B - A\n";
const char SAVED_COMPARE[] = "Saved compare.html\n";

// Parses "+1.2% to -3.4%" into tenths.
bool parse_interval(const std::string& text, int* low, int* high) {
    double from, to;
    if (sscanf(text.c_str(), "%lf%% to %lf%%", &from, &to) != 2) return false;
    *low = static_cast<int>(from * 10 + (from < 0 ? -0.5 : 0.5));
    *high = static_cast<int>(to * 10 + (to < 0 ? -0.5 : 0.5));
    return true;
}

// Every file under a folder with its content: what must not change.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : folder_names(folder)) files[name] = read_file(folder + "/" + name);
    return files;
}

class Compare : public EndToEnd {
  protected:
    // A folder of the working folder with one screenshot per reading (-1:
    // a file that is not a picture).
    void make_folder(const std::string& name, const std::vector<int>& readings) {
        ASSERT_EQ(mkdir((folder / name).c_str(), 0755), 0) << name;
        for (size_t i = 0; i < readings.size(); ++i) {
            std::string path = folder / name + "/shot" + std::to_string(1000 + i) + ".png";
            if (readings[i] < 0) {
                ASSERT_TRUE(write_file(path, "not a picture"));
            } else {
                ASSERT_TRUE(write_file(path, game_png_with_reading(static_cast<uint32_t>(readings[i]))));
            }
        }
    }
    // A path inside one of the compared folders as the program shows it.
    static std::string shown(const std::string& folder, const std::string& name) {
        return folder + (is_wine_run() ? "\\" : "/") + name;
    }
};

// n readings of bars filled from `low` pixels, stepping by `step` and
// wrapping within `range` pixels: a fixed spread with many ties.
std::vector<int> spread_readings(int n, int low, int range, int step) {
    std::vector<int> readings;
    for (int i = 0; i < n; ++i) readings.push_back(reading_of(low + (i * step) % range));
    return readings;
}

}  // namespace

TEST_F(Compare, KnownShiftGivesTheVerdictAndExactFigures) {
    // B's bars are 40 pixels (16.7 points) emptier: more damage. A has more
    // complete misses; B has a file that is not a picture.
    std::vector<int> a = spread_readings(40, 100, 100, 7), b = spread_readings(36, 60, 100, 11);
    for (int i = 0; i < 6; ++i) a[static_cast<size_t>(i) * 5] = 1000;
    b[3] = 1000;
    b.push_back(-1);
    const std::string name_a = "old gear", name_b = "new gear";
    make_folder(name_a, a);
    make_folder(name_b, b);
    auto before_a = snapshot(folder / name_a), before_b = snapshot(folder / name_b);

    ProgramRun run_ab = run({"-compare", name_a, name_b});
    std::vector<int64_t> da = damages(a), db = damages(b);
    std::string expected_start = "Error: Failed to load " + shown(name_b, "shot1036.png") + "\n" +
                                 "Comparing old gear (40 screenshots read) with new gear (36 read)\n" +
                                 HEADER;
    ASSERT_EQ(run_ab.console.compare(0, expected_start.size(), expected_start), 0) << run_ab.console;
    std::istringstream lines(run_ab.console.substr(expected_start.size()));
    const char* labels[] = {"Average damage", "Median damage", "Complete misses"};
    Fraction (*figures[])(const std::vector<int64_t>&) = {average, median, misses};
    for (int row = 0; row < 3; ++row) {
        std::string line;
        std::getline(lines, line);
        Fraction fa = figures[row](da), fb = figures[row](db);
        std::string start = row_start(labels[row], fa, fb) + "  ";
        ASSERT_EQ(line.compare(0, start.size(), start), 0) << line << "\nnot\n" << start;
        int low, high;
        ASSERT_TRUE(parse_interval(line.substr(start.size()), &low, &high)) << line;
        int64_t difference = rounded(fb.num * fa.den - fa.num * fb.den, fa.den * fb.den);
        EXPECT_LE(low, high) << line;
        if (row != 1) {  // the average's and the misses' intervals hold their estimate
            EXPECT_LE(low, difference) << line;
            EXPECT_GE(high, difference) << line;
        }
    }
    std::string rest((std::istreambuf_iterator<char>(lines)), std::istreambuf_iterator<char>());
    EXPECT_EQ(rest, "new gear does more damage than old gear (p < 0.001, rank test).\n" + std::string(SAVED_COMPARE));

    // The folders are untouched; the page is in the working folder.
    EXPECT_EQ(snapshot(folder / name_a), before_a);
    EXPECT_EQ(snapshot(folder / name_b), before_b);
    std::string page = file("compare.html");
    EXPECT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0);
    EXPECT_NE(page.find("new gear does more damage than old gear (p &lt; 0.001, rank test)."), std::string::npos);

    // The other way round: A does more, and the same run gives the same
    // console (the bootstrap's seed is fixed). -c in any case is the same.
    ProgramRun run_ba = run({"-C", name_b, name_a});
    EXPECT_NE(run_ba.console.find("new gear does more damage than old gear (p < 0.001, rank test).\n"),
              std::string::npos)
        << run_ba.console;
    EXPECT_EQ(run({"-compare", name_a, name_b}).console, run_ab.console);
}

TEST_F(Compare, EqualFoldersShowNoClearDifference) {
    std::vector<int> readings = spread_readings(25, 80, 120, 13);
    readings[4] = 1000;
    make_folder("A", readings);
    make_folder("B", readings);
    ProgramRun run_ab = run({"-compare", "A", "B"});
    std::vector<int64_t> d = damages(readings);
    // The rows' intervals come from resamples, which differ even for equal
    // folders: the rows are checked up to them.
    for (const std::string& start : {std::string("Comparing A (25 screenshots read) with B (25 read)\n") +
                                         HEADER + row_start("Average damage", average(d), average(d)),
                                     "\n" + row_start("Median damage", median(d), median(d)),
                                     "\n" + row_start("Complete misses", misses(d), misses(d))}) {
        EXPECT_NE(run_ab.console.find(start), std::string::npos) << run_ab.console << "\nwithout\n" << start;
    }
    EXPECT_NE(run_ab.console.find("\nNo clear difference between A and B (p = 1.000, rank test).\n" +
                                  std::string(SAVED_COMPARE)),
              std::string::npos)
        << run_ab.console;
}

TEST_F(Compare, TooFewScreenshotsHaveNoIntervalsButAPage) {
    make_folder("five", {500, 500, 600, 700, 1000});
    make_folder("others", {250, 250, 300, 400, 900, -1});
    ProgramRun result = run({"-compare", "five", "others"});
    std::vector<int64_t> a = damages({500, 500, 600, 700, 1000}), b = damages({250, 250, 300, 400, 900});
    EXPECT_EQ(result.console,
              "Error: Failed to load " + shown("others", "shot1005.png") + "\n" +
                  "Comparing five (5 screenshots read) with others (5 read)\n" + HEADER_FEW +
                  row_start("Average damage", average(a), average(b)) + "\n" +
                  row_start("Median damage", median(a), median(b)) + "\n" +
                  row_start("Complete misses", misses(a), misses(b)) + "\n" +
                  "Too few screenshots to tell: at least 10 in each folder are needed.\n" +
                  SAVED_COMPARE);
    std::string page = file("compare.html");
    EXPECT_NE(page.find("Too few screenshots to tell"), std::string::npos);
    EXPECT_EQ(page.find("<th>95% interval"), std::string::npos);
}

TEST_F(Compare, ErrorsAreOneLineEachAndWriteNothing) {
    make_folder("good", spread_readings(12, 100, 50, 3));
    make_folder("unreadable", {-1});
    make_folder("empty", {});
    ASSERT_TRUE(write_file(folder / "a file", "x"));
    const std::string usage =
        "Error: -compare needs two folders: healthgauge -compare FOLDER_A FOLDER_B\n";
    const std::string not_png = shown("unreadable", "shot1000.png");
    struct Case {
        std::vector<std::string> arguments;
        std::string console;
        std::vector<std::string> reasons;  // the names of the lines on standard error
    };
    const Case cases[] = {
        {{"-compare"}, usage, {}},
        {{"-c", "good"}, usage, {}},
        {{"-scan", "-compare", "good"}, usage, {}},
        {{"-compare", "missing", "good"}, "Error: Cannot read the folder missing.\n", {"missing"}},
        {{"-compare", "good", "a file"}, "Error: Cannot read the folder a file.\n", {"a file"}},
        {{"-compare", "missing", "gone"},
         "Error: Cannot read the folder missing.\nError: Cannot read the folder gone.\n",
         {"missing", "gone"}},
        {{"-compare", "good", "empty"}, "Error: No screenshot could be read in empty.\n", {}},
        {{"-compare", "unreadable", "good"},
         "Error: Failed to load " + not_png + "\n" +
             "Error: No screenshot could be read in unreadable.\n",
         {not_png}},
        // The same folder twice: its messages once.
        {{"-compare", "missing", "missing"}, "Error: Cannot read the folder missing.\n", {"missing"}},
        {{"-compare", "unreadable", "unreadable"},
         "Error: Failed to load " + not_png + "\n" +
             "Error: No screenshot could be read in unreadable.\n",
         {not_png}},
    };
    for (const Case& c : cases) {
        ProgramRun result = run_with_errors(folder.path, c.arguments);
        EXPECT_EQ(result.console, BANNER + c.console) << c.arguments.back();
        // Each line of standard error names its folder or file and says why.
        std::istringstream errors(result.errors);
        std::string line;
        for (const std::string& name : c.reasons) {
            std::string start = "healthgauge: " + name + ": ";
            ASSERT_TRUE(std::getline(errors, line)) << c.arguments.back() << ": no line for " << name;
            EXPECT_EQ(line.compare(0, start.size(), start), 0) << line;
            EXPECT_GT(line.size(), start.size()) << line;
        }
        EXPECT_FALSE(std::getline(errors, line)) << c.arguments.back() << ": " << line;
        EXPECT_EQ(file("compare.html"), "<missing>");
    }
    // A later mode option wins: the folders are unused. Help wins over all.
    EXPECT_EQ(run({"-compare", "missing", "gone", "-scan"}).console.compare(0, sizeof PROCESSING - 1, PROCESSING), 0);
    EXPECT_EQ(run({"-compare", "good", "-help"}).console.find("Error"), std::string::npos);
    EXPECT_EQ(folder_names(folder / "good").size(), size_t(12));
}

TEST_F(Compare, FolderNamesWithSpacesAndJapaneseText) {
    const std::string a = "gear \xE8\xA3\x85\xE5\x82\x99 one";  // gear 装備 one
    const std::string b = "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84 gear";  // 新しい gear
    make_folder(a, spread_readings(12, 120, 60, 5));
    make_folder(b, spread_readings(12, 120, 60, 5));
    ASSERT_TRUE(write_file(folder / b + "/\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png", "x"));
    ProgramRun result = run({"-compare", a, b});
    std::string expected = "Error: Failed to load " +
                           shown(b, "\xE3\x82\xB9\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7.png") +
                           "\nComparing " + a + " (12 screenshots read) with " + b + " (12 read)\n" +
                           HEADER;
    EXPECT_EQ(result.console.substr(0, expected.size()), expected);
    EXPECT_NE(result.console.find("No clear difference between " + a + " and " + b +
                                  " (p = 1.000, rank test).\n"),
              std::string::npos);
    std::string page = file("compare.html");
    EXPECT_NE(page.find("<b>" + a + "</b>"), std::string::npos);
    EXPECT_NE(page.find("<b>" + b + "</b>"), std::string::npos);
}

TEST_F(Compare, PageThatCannotBeWrittenIsSaidAfterTheTable) {
    make_folder("A", spread_readings(10, 100, 40, 3));
    make_folder("B", spread_readings(10, 100, 40, 7));
    ASSERT_EQ(mkdir((folder / "compare.html").c_str(), 0755), 0);
    std::string console = run({"-compare", "A", "B"}).console;
    const std::string ending = " (80% power).\nError: Failed to write compare.html.\n";
    ASSERT_GE(console.size(), ending.size());
    EXPECT_EQ(console.substr(console.size() - ending.size()), ending) << console;
    EXPECT_EQ(folder_names(folder / "compare.html").size(), size_t(0));
}

TEST_F(Compare, FolderPathsOfAnyLengthAreCompared) {
    // Four nested folders of 199 characters: a path longer than any one name
    // (and, on Windows, than MAX_PATH).
    std::string deep;
    for (int level = 0; level < 3; ++level) {
        deep += std::string(199, static_cast<char>('a' + level)) + "/";
        ASSERT_EQ(mkdir((folder / deep).c_str(), 0755), 0) << level;
    }
    deep += std::string(199, 'd');
    make_folder(deep, spread_readings(12, 120, 60, 5));
    make_folder("B", spread_readings(12, 120, 60, 7));
    ProgramRun result = run_with_errors(folder.path, {"-compare", deep, "B"});
    std::string expected = std::string(BANNER) + "Comparing " + deep +
                           " (12 screenshots read) with B (12 read)\n" + HEADER;
    EXPECT_EQ(result.console.substr(0, expected.size()), expected) << result.console;
    EXPECT_EQ(result.errors, "");
    EXPECT_NE(file("compare.html"), "<missing>");
}
