// Recordings named on the command line, end to end: what a file that is no
// recording of the game gives, and what a folder's scan says of the
// recordings it leaves alone. (The hits of real recordings are checked
// against their known truth in recording_clips_e2e_test.cpp.)
#include "support/program_run.h"

#include <string>
#include <sys/stat.h>

namespace {

const char NO_HITS[] = "Saved raw.txt with 0 percentages\nError: Didn't find any health bar gauges.\n";

}  // namespace

TEST_F(EndToEnd, ARecordingThatIsNoneSaysWhyAndReadsNothingElse) {
    make_screenshots(folder, {300});  // never read: a named recording takes the folder's place
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;  // the start of its standard error line after "healthgauge: NAME: "
    };
    const Case cases[] = {
        {"notes.mp4", "these are notes, not a video\n", "it is not a video file"},
        {"shot.MKV", game_png_with_reading(500), "it is not a video file"},
        {"empty.ts", "", "it is not a video file"},
        {"zeros.flv", std::string(4096, '\0'), "it is not a video file"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(write_file(folder / c.name, c.bytes));
        ProgramRun scan = run_with_errors(folder.path, {"-scan", c.name});
        EXPECT_EQ(scan.console, std::string(BANNER) + "Error: Failed to load " + c.name + "\n" + NO_HITS)
            << c.name;
        std::string reason = std::string("healthgauge: ") + c.name + ": " + c.reason;
        EXPECT_EQ(scan.errors.compare(0, reason.size(), reason), 0) << scan.errors;
        EXPECT_EQ(file("raw.txt"), "") << c.name;
    }
    // The report says the same, and writes its page and table with no row.
    ProgramRun report = run_with_errors(folder.path, {"-r", "notes.mp4"});
    EXPECT_EQ(report.console, std::string(BANNER) + "Error: Failed to load notes.mp4\n" + NO_HITS +
                                  "Saved report.html\nSaved report.csv\nSaved report.xlsx\n");
    EXPECT_EQ(file("report.csv"), "\xEF\xBB\xBF" "file,file_time,health,damage,status,layout,score,position\r\n");
    // A recording as A of -compare: its own message, then the mode's.
    ProgramRun compare = run_with_errors(folder.path, {"-compare", "notes.mp4", "."});
    EXPECT_EQ(compare.console, std::string(BANNER) + "Error: Failed to load notes.mp4\n"
                                   "Error: No hit could be read in notes.mp4.\n");
}

TEST_F(EndToEnd, AFoldersScanNamesTheRecordingsItLeavesAlone) {
    ASSERT_EQ(mkdir((folder / "shots").c_str(), 0755), 0);
    for (const std::string& where : {folder.path, folder / "shots"}) {
        ASSERT_TRUE(write_file(where + "/shot1.png", game_png_with_reading(300)));
        ASSERT_TRUE(write_file(where + "/shot2.png", game_png_with_reading(700)));
        for (const char* name : {"b session.mp4", "A.MKV", "clip.webm.txt"}) {
            ASSERT_TRUE(write_file(where + "/" + name, "not read"));
        }
    }
    ProgramRun scan = run_with_errors(folder.path, {"-scan"});
    EXPECT_EQ(scan.console, std::string(BANNER) + PROCESSING + "Saved raw.txt with 2 percentages\n"
                                "Saved output.txt with percentage average information\n");
    // One of them is the example, quoted when its name holds a space.
    const std::string start = "healthgauge: 2 recordings were not read (name one to read its hits: "
                              "healthgauge -scan ";
    EXPECT_TRUE(scan.errors == start + "A.MKV)\n" || scan.errors == start + "\"b session.mp4\")\n")
        << scan.errors;
    // compare's folders say it with their names.
    ProgramRun compare = run_with_errors(folder.path, {"-compare", "shots", "shots"});
    EXPECT_NE(compare.errors.find("healthgauge: shots: 2 recordings were not read (name one to read "
                                  "its hits: healthgauge -scan "),
              std::string::npos)
        << compare.errors;
}
