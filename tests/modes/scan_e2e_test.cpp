// The scan mode run end to end: console, raw.txt, output.txt, and how the
// two files are replaced.
#include "modes/progress.h"
#include "support/png_bombs.h"
#include "support/program_run.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <map>
#include <csignal>
#include <linux/capability.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>
#include <zlib.h>

// ---- the scan mode ---------------------------------------------------------

TEST_F(EndToEnd, ScanOfThreeScreenshots) {
    std::vector<int> readings = {1000, 1000, 900};
    make_screenshots(folder, readings);
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "sub.png").c_str(), 0755), 0);
    ASSERT_TRUE(write_png(screenshot_with_reading(0), folder / "sub.png/inside.png"));
    for (const char* option : {"-scan", "-s", "-S", "-SCAN"}) {
        EXPECT_EQ(run({"-last", option}).console, std::string(PROCESSING) +
                                                    "Saved raw.txt with 3 percentages\n" +
                                                    SAVED_OUTPUT);
        EXPECT_EQ(file("raw.txt"), damage_lines({1000, 1000, 900}));
        EXPECT_EQ(file("output.txt"), "Health bars detected: 3\r\n"
                                      "Average damage: 3.4%\r\n"
                                      "Most common damage: 0.0% (2 occurances)\r\n"
                                      "Highest damage: 10.0%\r\n"
                                      "Lowest damage: 10.0%\r\n"
                                      "Complete misses: 2\r\n"
                                      "Total unique health bars: 2\r\n");
    }
}

TEST_F(EndToEnd, ScanOfOneScreenshot) {
    make_screenshots(folder, {537});
    EXPECT_EQ(run({"-s"}).console,
              std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" + SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), "46.3%\r\n");
    EXPECT_EQ(file("output.txt"), "Health bar: 46.3%\r\n");
}

TEST_F(EndToEnd, ScanTieAndEmptyBarAndUnreadableFiles) {
    std::vector<int> readings = {700, -1, 800, 0, 700, 800};
    std::vector<std::string> names = make_screenshots(folder, readings);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) + "Error: Failed to load " +
                                          names[1] + "\nSaved raw.txt with 5 percentages\n" +
                                          SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), damage_lines(readings));
    EXPECT_EQ(file("output.txt"), "Health bars detected: 5\r\n"
                                  "Average damage: 40.0%\r\n"
                                  "Most common damage: 30.0% (2 occurances)\r\n"
                                  "Highest damage: 100.0%\r\n"
                                  "Lowest damage: 20.0%\r\n"
                                  "Complete misses: 0\r\n"
                                  "Total unique health bars: 3\r\n");
}

TEST_F(EndToEnd, ScanOfCompleteMissesOnly) {
    make_screenshots(folder, {1000, 1000});
    run({"-scan"});
    EXPECT_EQ(file("output.txt"), "Health bars detected: 2\r\n"
                                  "Average damage: 0.0%\r\n"
                                  "Most common damage: 0.0% (2 occurances)\r\n"
                                  "Highest damage: 0.0%\r\n"
                                  "Lowest damage: 0.0%\r\n"
                                  "Complete misses: 2\r\n"
                                  "Total unique health bars: 1\r\n");
}

TEST_F(EndToEnd, ScanWhereNothingReads) {
    std::vector<std::string> names = make_screenshots(folder, {-1, -1});
    ASSERT_TRUE(write_file(folder / "output.txt", "earlier summary\r\n"));
    EXPECT_EQ(run({"-scan"}).console,
              std::string(PROCESSING) + "Error: Failed to load " + names[0] +
                  "\nError: Failed to load " + names[1] +
                  "\nSaved raw.txt with 0 percentages\n"
                  "Error: Didn't find any health bar gauges.\n");
    EXPECT_EQ(file("raw.txt"), "");
    EXPECT_EQ(file("output.txt"), "earlier summary\r\n");
}

TEST_F(EndToEnd, ScanWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Saved raw.txt with 0 percentages\n"
                                          "Error: Didn't find any health bar gauges.\n");
}

TEST_F(EndToEnd, ScanWithFilesThatCannotBeOpened) {
    make_screenshots(folder, {500, 600});
    ASSERT_EQ(mkdir((folder / "output.txt").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder / "raw.txt").c_str(), 0755), 0);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Error: Failed to open raw.txt for writing.\n"
                                          "Error: Failed to open output.txt for writing.\n");
}

TEST_F(EndToEnd, ScanReportsWritesThatFail) {
    if (is_wine_run()) GTEST_SKIP() << "needs /dev/full behind a link";
    make_screenshots(folder, {500, 600});
    ASSERT_EQ(symlink("/dev/full", (folder / "output.txt").c_str()), 0);
    ASSERT_EQ(symlink("/dev/full", (folder / "raw.txt").c_str()), 0);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Error: Failed to write raw.txt.\n"
                                          "Error: Failed to write output.txt.\n");
}

// ---- how raw.txt and output.txt are replaced --------------------------------

namespace {

bool is_link(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string link_text(const std::string& path) {
    char text[4096];
    ssize_t length = readlink(path.c_str(), text, sizeof text - 1);
    return length < 0 ? "<not a link>" : std::string(text, static_cast<size_t>(length));
}

const char OLD_RAW[] = "12.3%\r\n45.6%\r\n";
const char OLD_OUTPUT[] = "Health bars detected: 2\r\nearlier summary\r\n";

}  // namespace

TEST_F(EndToEnd, ScanReplacesTheOldFilesWithNewOnes) {
    make_screenshots(folder, {500, 600});
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    ASSERT_EQ(chmod((folder / "raw.txt").c_str(), 0640), 0);
    // A second name for the old raw.txt: a file rewritten in place would
    // change under it too; a replaced one leaves it the old content.
    ASSERT_EQ(link((folder / "raw.txt").c_str(), (folder / "old-raw.txt").c_str()), 0);
    std::set<std::string> names = folder_names(folder.path);

    run({"-scan"});
    EXPECT_EQ(file("raw.txt"), damage_lines({500, 600}));
    EXPECT_EQ(file("old-raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt").compare(0, 24, "Health bars detected: 2\r"), 0);
    EXPECT_EQ(folder_names(folder.path), names);  // no temporary file left
    if (!is_wine_run()) {
        struct stat info;
        ASSERT_EQ(stat((folder / "raw.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0640u) << "the permissions stay";
    }
}

TEST_F(EndToEnd, ScanWhereEveryWriteFailsKeepsTheOldFiles) {
    if (is_wine_run()) GTEST_SKIP() << "a file-size limit for the Windows program";
    make_screenshots(folder, {500, 600});
    std::set<std::string> names = folder_names(folder.path);
    const std::string failed = std::string(PROCESSING) +
                               "Error: Failed to write raw.txt.\n"
                               "Error: Failed to write output.txt.\n";
    ChildSetup no_growth;
    no_growth.no_file_growth = true;

    // Without old files, none appear.
    EXPECT_EQ(run({"-scan"}, no_growth).console, failed);
    EXPECT_EQ(folder_names(folder.path), names);

    // Old files stay exactly as they were.
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    names = folder_names(folder.path);
    EXPECT_EQ(run({"-scan"}, no_growth).console, failed);
    EXPECT_EQ(file("raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt"), OLD_OUTPUT);
    EXPECT_EQ(folder_names(folder.path), names);
}

TEST_F(EndToEnd, ScanInterruptedLeavesNoTemporaryFile) {
    if (is_wine_run()) GTEST_SKIP() << "POSIX signals";
    // Unreadable screenshots with long names: their messages fill the pipe
    // to the program, which this test reads only after the signal, so the
    // scan is always still running, raw.txt's temporary file open.
    for (int i = 0; i < 600; ++i) {
        ASSERT_TRUE(write_file(folder / (std::string(200, 'x') + std::to_string(i) + ".png"), "?"));
    }
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    const std::set<std::string> names = folder_names(folder.path);

    for (int signal_number : {SIGINT, SIGTERM}) {
        StartedProgram started = start_program(folder.path, {"-scan"});
        ASSERT_GT(started.pid, 0);
        bool temporary_seen = false;
        for (int wait = 0; wait < 2000 && !temporary_seen; ++wait) {
            for (const std::string& name : folder_names(folder.path)) {
                if (name.compare(0, 9, ".raw.txt.") == 0) temporary_seen = true;
            }
            if (!temporary_seen) usleep(5000);
        }
        EXPECT_TRUE(temporary_seen) << "raw.txt is written through a temporary file";
        kill(started.pid, signal_number);
        ProgramRun result = finish(started);
        EXPECT_EQ(result.status, 128 + signal_number) << "ends by the signal";
        EXPECT_EQ(folder_names(folder.path), names) << signal_number;
        EXPECT_EQ(file("raw.txt"), OLD_RAW);
        EXPECT_EQ(file("output.txt"), OLD_OUTPUT);
    }
}

TEST_F(EndToEnd, ScanFollowsLinkedOutputFiles) {
    if (is_wine_run()) GTEST_SKIP() << "POSIX symbolic links";
    make_screenshots(folder, {537});
    ASSERT_EQ(mkdir((folder / "keep").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "keep/summary.txt", OLD_OUTPUT));
    ASSERT_EQ(link((folder / "keep/summary.txt").c_str(), (folder / "keep/old.txt").c_str()), 0);
    ASSERT_EQ(symlink("keep/summary.txt", (folder / "output.txt").c_str()), 0);
    ASSERT_EQ(symlink("raw-target.txt", (folder / "raw.txt").c_str()), 0);  // nothing there yet

    EXPECT_EQ(run({"-scan"}).console,
              std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" + SAVED_OUTPUT);
    EXPECT_TRUE(is_link(folder / "output.txt"));
    EXPECT_EQ(link_text(folder / "output.txt"), "keep/summary.txt");
    EXPECT_EQ(file("keep/summary.txt"), "Health bar: 46.3%\r\n");
    EXPECT_EQ(file("keep/old.txt"), OLD_OUTPUT) << "replaced in its folder, not rewritten";
    EXPECT_EQ(folder_names(folder / "keep"), (std::set<std::string>{"old.txt", "summary.txt"}));
    EXPECT_EQ(link_text(folder / "raw.txt"), "raw-target.txt");
    EXPECT_EQ(file("raw-target.txt"), "46.3%\r\n");

    // A device behind the link is written directly and stays a device.
    ASSERT_EQ(unlink((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (folder / "raw.txt").c_str()), 0);
    std::set<std::string> names = folder_names(folder.path);
    EXPECT_EQ(run({"-scan"}).console,
              std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" + SAVED_OUTPUT);
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(link_text(folder / "raw.txt"), "/dev/null");
    EXPECT_EQ(folder_names(folder.path), names);
}

TEST_F(EndToEnd, ScanLeavesAReadOnlyRawTxtAlone) {
    make_screenshots(folder, {500, 600});
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_EQ(chmod((folder / "raw.txt").c_str(), 0444), 0);
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Error: Failed to open raw.txt for writing.\n" +
                                          SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt").compare(0, 24, "Health bars detected: 2\r"), 0);
}

TEST_F(EndToEnd, ScanInAReadOnlyFolderTouchesNeitherFile) {
    std::string why_not = why_permissions_cannot_bind();
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    make_screenshots(folder, {500, 600});
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    std::set<std::string> names = folder_names(folder.path);
    ProgramRun result = run_with_folder_mode(0555, {"-scan"});
    EXPECT_EQ(result.console, std::string(PROCESSING) +
                                  "Error: Failed to open raw.txt for writing.\n"
                                  "Error: Failed to open output.txt for writing.\n");
    EXPECT_EQ(file("raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt"), OLD_OUTPUT);
    EXPECT_EQ(folder_names(folder.path), names);
}

// A folder that cannot be listed (though files could be made in it: 0333),
// the working folder or one named on the command line: every mode says why,
// on both outputs, and no file changes in either folder.
TEST_F(EndToEnd, FolderThatCannotBeListedChangesNoFile) {
    std::string why_not = why_permissions_cannot_bind();
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    const std::string not_listed = "FindFirstFile failed (13)\n";  // EACCES
    const std::string no_gauges =
        std::string(PROCESSING) + not_listed + "Error: Didn't find any health bar gauges.\n";
    const std::string no_png = not_listed + "Error: Could not find any PNG file.\n";
    struct Case {
        const char* mode;
        const char* named;  // the folder named on the command line, or "": the working one
        std::string console;  // after the banner
    };
    const Case cases[] = {
        {"-scan", "", no_gauges},       {"-report", "", no_gauges},       {"-last", "", no_png},
        {"-scan", "locked", no_gauges}, {"-report", "locked", no_gauges}, {"-last", "locked", no_png},
    };
    const std::string locked = folder / "locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    for (const std::string& place : {folder.path, locked}) {
        ASSERT_TRUE(write_png(screenshot_with_reading(500), place + "/a.png"));
        ASSERT_TRUE(write_file(place + "/raw.txt", OLD_RAW));
        ASSERT_TRUE(write_file(place + "/output.txt", OLD_OUTPUT));
        ASSERT_TRUE(write_file(place + "/report.html", "the player's page"));
    }
    const std::set<std::string> names = folder_names(folder.path), locked_names = folder_names(locked);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.named);
        std::vector<std::string> arguments = {c.mode};
        if (*c.named) arguments.push_back(c.named);
        const std::string unlisted = *c.named ? folder / c.named : folder.path;
        ChildSetup setup;
        setup.obey_permissions = true;
        setup.keep_errors = true;
        ASSERT_EQ(chmod(unlisted.c_str(), 0333), 0);
        ProgramRun result = run_program(folder.path, arguments, "", setup);
        ASSERT_EQ(chmod(unlisted.c_str(), 0755), 0);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.console, BANNER + c.console);
        EXPECT_EQ(result.errors, "healthgauge: the folder cannot be listed: Permission denied\n");
        for (const std::string& place : {folder.path, locked}) {
            EXPECT_EQ(read_file(place + "/raw.txt"), OLD_RAW) << place;
            EXPECT_EQ(read_file(place + "/output.txt"), OLD_OUTPUT) << place;
            EXPECT_EQ(read_file(place + "/report.html"), "the player's page") << place;
        }
        EXPECT_EQ(folder_names(folder.path), names);
        EXPECT_EQ(folder_names(locked), locked_names);
    }
}
