// The modes on encoded recordings (the clips of the fixture
// recording_clips, with their truth files): -scan and -report write the
// hits' damages, positions and rows; several recordings are read in turn;
// a recording named from the start folder is found after the run moved to
// its folder; -compare takes recordings as A and B.
#include "reading/gauge.h"
#include "support/page_text.h"
#include "support/program_run.h"
#include "support/recording_truth.h"
#include "support/workbook_check.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const ALL_CLIPS[] = {"h264-1080.mp4", "h264-1440.mp4", "h264-601.mkv", "h264-untagged.ts",
                                 "hevc-10bit.mkv", "vp9-full.webm", "av1.mkv"};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream all(text);
    std::string line;
    while (std::getline(all, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Tenths of a percent from "48.4%" or "48.4".
int tenths(const std::string& text) { return static_cast<int>(std::lround(std::stod(text) * 10)); }

// raw.txt's damages against the truth's, each within one bar pixel.
void expect_damages(const std::string& raw, const std::vector<TrueHit>& hits, int layout) {
    std::vector<std::string> lines = lines_of(raw);
    ASSERT_EQ(lines.size(), hits.size()) << raw;
    int tolerance = static_cast<int>(1000 / bar_length(gauge_types[layout]) + 1);
    for (size_t i = 0; i < hits.size(); ++i) {
        EXPECT_LE(std::abs(tenths(lines[i]) - static_cast<int>(hits[i].damage)), tolerance)
            << "hit " << i << ": " << lines[i] << " not " << hits[i].damage;
    }
}

class RecordingModes : public EndToEnd {
  protected:
    void SetUp() override {
        for (const char* clip : ALL_CLIPS) {
            std::string bytes = read_file(CLIPS + "/" + clip);
            ASSERT_FALSE(bytes.empty()) << "the clip " << clip << " is made by the fixture recording_clips";
            ASSERT_TRUE(write_file(folder / clip, bytes));
        }
    }
};

}  // namespace

TEST_F(RecordingModes, ScanWritesEveryHitsDamageAndTheSummary) {
    Truth truth = read_truth("h264-1080.mp4");
    ASSERT_FALSE(truth.hits.empty());
    ProgramRun scan = run({"-scan", "h264-1080.mp4"});
    size_t n = truth.hits.size();
    std::vector<std::string> console = lines_of(scan.console);
    ASSERT_EQ(console.size(), 4u) << scan.console;
    EXPECT_EQ(console[0].compare(0, 26, "Reading h264-1080.mp4 (0:0"), 0) << console[0];
    EXPECT_NE(console[0].find(", 1920\xC3\x97" "1080, 60 frames/s)"), std::string::npos) << console[0];
    EXPECT_EQ(console[1], "Found " + std::to_string(n) + " hits in h264-1080.mp4");
    EXPECT_EQ(console[2], "Saved raw.txt with " + std::to_string(n) + " percentages");
    EXPECT_EQ(console[3], "Saved output.txt with percentage average information");
    expect_damages(file("raw.txt"), truth.hits, truth.layout);
    std::vector<std::string> summary = lines_of(file("output.txt"));
    ASSERT_EQ(summary.size(), 7u);
    EXPECT_EQ(summary[0], "Health bars detected: " + std::to_string(n));
    EXPECT_NE(std::find(summary.begin(), summary.end(), "Complete misses: 0"), summary.end())
        << file("output.txt");
}

TEST_F(RecordingModes, SeveralRecordingsAreReadInTurnFromTheStartFolder) {
    Truth first = read_truth("vp9-full.webm"), second = read_truth("h264-601.mkv");
    ASSERT_EQ(mkdir((folder / "out").c_str(), 0755), 0);
    // Named from the start folder; the files go to out/.
    ProgramRun scan = run({"-scan", "vp9-full.webm", "out", "h264-601.mkv"});
    EXPECT_NE(scan.console.find("Found " + std::to_string(first.hits.size()) + " hits in vp9-full.webm\n"
                                "Reading h264-601.mkv ("),
              std::string::npos)
        << scan.console;
    std::string raw = read_file(folder / "out/raw.txt");
    std::vector<std::string> lines = lines_of(raw);
    ASSERT_EQ(lines.size(), first.hits.size() + second.hits.size()) << raw;
    std::string first_part, second_part;
    for (size_t i = 0; i < lines.size(); ++i) {
        (i < first.hits.size() ? first_part : second_part) += lines[i] + "\r\n";
    }
    expect_damages(first_part, first.hits, first.layout);
    expect_damages(second_part, second.hits, second.layout);
    EXPECT_EQ(file("raw.txt"), "<missing>") << "nothing is written in the start folder";
}

TEST_F(RecordingModes, ReportHasARowPerHitWithItsPosition) {
    Truth truth = read_truth("h264-1080.mp4");
    ProgramRun report = run({"-report", "h264-1080.mp4"});
    EXPECT_NE(report.console.find("Saved report.html\nSaved report.csv\n"), std::string::npos)
        << report.console;
    std::vector<std::string> rows = lines_of(file("report.csv"));
    ASSERT_EQ(rows.size(), truth.hits.size() + 1);
    EXPECT_EQ(rows[0], "\xEF\xBB\xBF" "file,file_time,health,damage,status,layout,score,position");
    for (size_t i = 0; i < truth.hits.size(); ++i) {
        std::vector<std::string> fields;
        std::stringstream row(rows[i + 1]);
        std::string field;
        while (std::getline(row, field, ',')) fields.push_back(field);
        ASSERT_EQ(fields.size(), 8u) << rows[i + 1];
        EXPECT_EQ(fields[0], "h264-1080.mp4");
        EXPECT_EQ(fields[1].size(), 19u) << "a local time: " << fields[1];
        EXPECT_EQ(fields[4], "read");
        EXPECT_NEAR(std::stod(fields[7]), truth.hits[i].position, 0.017) << rows[i + 1];
        EXPECT_EQ(fields[7].size() - fields[7].find('.'), 4u) << "three decimals: " << fields[7];
        EXPECT_EQ(tenths(fields[2]) + tenths(fields[3]) > 0, true);
    }
    std::string page = file("report.html");
    EXPECT_NE(page.find("<h2>Hits</h2>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<small class=\"position\">at 0:00:"), truth.hits.size());
    EXPECT_EQ(occurrences(page, "health after</small>"), truth.hits.size());
    EXPECT_NE(page.find("<tr><td>Complete misses:</td><td>0</td></tr>"), std::string::npos);
    // The workbook holds the same rows, the positions as numbers (openpyxl).
    std::string output = check_workbook(folder.path);
    EXPECT_EQ(output.compare(0, 5 + std::to_string(truth.hits.size()).size(),
                             "rows " + std::to_string(truth.hits.size())),
              0)
        << output;
}

TEST_F(RecordingModes, CompareTakesRecordingsAsAAndB) {
    ProgramRun compare = run({"-compare", "h264-1080.mp4", "h264-601.mkv"});
    size_t a = read_truth("h264-1080.mp4").hits.size(), b = read_truth("h264-601.mkv").hits.size();
    EXPECT_NE(compare.console.find("Comparing h264-1080.mp4 (" + std::to_string(a) +
                                   " screenshots read) with h264-601.mkv (" + std::to_string(b) +
                                   " read)\n"),
              std::string::npos)
        << compare.console;
    EXPECT_NE(compare.console.find("Saved compare.html\n"), std::string::npos) << compare.console;
}

// report.csv without its file times (local time, which Wine may tell apart).
std::string without_times(const std::string& csv) {
    std::string kept;
    for (const std::string& line : lines_of(csv)) {
        size_t name_end = line.find(',');
        size_t time_end = line.find(',', name_end + 1);
        kept += line.substr(0, name_end) + line.substr(time_end) + "\n";
    }
    return kept;
}

TEST_F(RecordingModes, TheWindowsBuildReadsWhatTheLinuxBuildReads) {
    if (!is_wine_run()) GTEST_SKIP() << "compares the Windows build under Wine with the Linux build";
    std::vector<std::string> arguments = {"-report"};
    for (const char* clip : ALL_CLIPS) arguments.push_back(clip);
    ASSERT_EQ(mkdir((folder / "linux").c_str(), 0755), 0);
    ProgramRun windows = run(arguments);
    arguments.push_back("linux");
    // The Linux build itself, straight from here, never through the runner.
    std::vector<std::string> linux_run = arguments;
    linux_run.insert(linux_run.begin(), HEALTHGAUGE_DEFAULT_PROGRAM);
    std::string runner = environment("HEALTHGAUGE_RUNNER");
    unsetenv("HEALTHGAUGE_RUNNER");
    ProgramRun linux = run_in_folder(folder.path, linux_run);
    setenv("HEALTHGAUGE_RUNNER", runner.c_str(), 1);
    EXPECT_EQ(linux.status, 1);
    EXPECT_NE(linux.console.find("Saved report.csv"), std::string::npos) << linux.console;
    EXPECT_EQ(without_crlf(windows.console), linux.console.substr(sizeof BANNER - 1));
    EXPECT_EQ(file("raw.txt"), read_file(folder / "linux/raw.txt"));
    EXPECT_EQ(file("output.txt"), read_file(folder / "linux/output.txt"));
    EXPECT_EQ(without_times(file("report.csv")), without_times(read_file(folder / "linux/report.csv")));
}
