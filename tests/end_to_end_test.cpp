// The built program, run in temporary folders: console output, raw.txt,
// output.txt and exit status, compared exactly.
//
// HEALTHGAUGE_PROGRAM names the program to run (default: the one built here)
// and HEALTHGAUGE_RUNNER a program to run it with (for example wine), so the
// same cases serve every build. With HEALTHGAUGE_CONSOLE_CRLF set, carriage
// returns before line feeds in the console output are dropped first.
// HEALTHGAUGE_WINDOWS_TOOL names tests/windows/platform_tool.exe when the
// program is the Windows one: it tells the listing order and reads and sets
// the clipboard as Windows programs see them.
#include "png_bombs.h"
#include "png_writer.h"
#include "progress.h"
#include "screenshot_maker.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

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

namespace {

const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";
const char PROCESSING[] = "Processing screenshots...\n";
const char SAVED_OUTPUT[] = "Saved output.txt with percentage average information\n";

struct ProgramRun {
    std::string console;
    int status;
};

std::string environment(const char* name, const char* fallback = "") {
    const char* value = getenv(name);
    return value ? value : fallback;
}

bool is_wine_run() { return !environment("HEALTHGAUGE_RUNNER").empty(); }

std::string windows_tool() { return environment("HEALTHGAUGE_WINDOWS_TOOL"); }

// What the child sets up for the program before it starts.
struct ChildSetup {
    // No file may grow past 0 bytes (RLIMIT_FSIZE), and SIGXFSZ is ignored:
    // every write to a regular file fails.
    bool no_file_growth = false;
    // Even the superuser obeys file permissions: the capabilities that
    // override them are dropped from the bounding set, so they are gone after
    // exec. The child exits with SETUP_FAILED when that is not possible.
    bool obey_permissions = false;
    // More environment variables, NAME and value.
    std::vector<std::pair<std::string, std::string>> settings;
    // Standard error goes here instead of the test's, when not -1.
    int error_fd = -1;
};

constexpr int SETUP_FAILED = 125;

void set_up_child(const ChildSetup& setup) {
    for (const auto& setting : setup.settings) setenv(setting.first.c_str(), setting.second.c_str(), 1);
    if (setup.error_fd >= 0) dup2(setup.error_fd, STDERR_FILENO);
    if (setup.no_file_growth) {
        struct rlimit limit;
        if (getrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(SETUP_FAILED);
        limit.rlim_cur = 0;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(SETUP_FAILED);
        signal(SIGXFSZ, SIG_IGN);
    }
    if (setup.obey_permissions && geteuid() == 0) {
        if (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
            prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0) {
            _exit(SETUP_FAILED);
        }
    }
}

// A program started with its standard output on a pipe.
struct StartedProgram {
    pid_t pid;
    int output;
};

// Starts a command in folder, through HEALTHGAUGE_RUNNER when that is set.
// Without a display (the default) it leaves the desktop's clipboard alone.
StartedProgram start_in_folder(const std::string& folder, std::vector<std::string> arguments,
                               const std::string& display, const ChildSetup& setup) {
    std::string runner = environment("HEALTHGAUGE_RUNNER");
    if (!runner.empty()) arguments.insert(arguments.begin(), runner);

    int fds[2];
    if (pipe(fds) != 0) return {-1, -1};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        unsetenv("WAYLAND_DISPLAY");
        if (display.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", display.c_str(), 1);
        }
        set_up_child(setup);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// Collects the started program's standard output until it ends. The status
// is its exit status, or 128 plus the signal that ended it.
ProgramRun finish(StartedProgram started) {
    if (started.pid < 0) return {"<pipe failed>", -1};
    ProgramRun run = {"", -1};
    char buffer[4096];
    ssize_t got;
    while ((got = read(started.output, buffer, sizeof buffer)) > 0) run.console.append(buffer, got);
    close(started.output);
    int status = 0;
    waitpid(started.pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Runs a command in folder and collects its standard output.
ProgramRun run_in_folder(const std::string& folder, std::vector<std::string> arguments,
                         const std::string& display = "", const ChildSetup& setup = {}) {
    return finish(start_in_folder(folder, std::move(arguments), display, setup));
}

std::string program_path() {
    return environment("HEALTHGAUGE_PROGRAM", HEALTHGAUGE_DEFAULT_PROGRAM);
}

// Runs the program in folder with the given arguments.
ProgramRun run_program(const std::string& folder, std::vector<std::string> arguments,
                       const std::string& display = "", const ChildSetup& setup = {}) {
    arguments.insert(arguments.begin(), program_path());
    ProgramRun run = run_in_folder(folder, std::move(arguments), display, setup);
    if (!environment("HEALTHGAUGE_CONSOLE_CRLF").empty()) {
        std::string::size_type at;
        while ((at = run.console.find("\r\n")) != std::string::npos) run.console.erase(at, 1);
    }
    return run;
}

// Layout 5 has a 240-pixel bar: every reading used below is exact with it.
constexpr int TYPE = 5;

Screenshot screenshot_with_reading(uint32_t reading) {
    Screenshot shot = blank_screenshot(1920, 64, 3);
    int filled = filled_for_reading(TYPE, reading);
    paint_gauge(shot, TYPE, filled);
    EXPECT_EQ(static_cast<uint32_t>(filled) * 1000 / 240, reading) << "not exact: " << reading;
    return shot;
}

// Runs the Windows tool in folder; its output.
std::string run_windows_tool(const std::string& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), windows_tool());
    return run_in_folder(folder, std::move(arguments)).console;
}

// The entries of a directory search by the Windows program, by name: kind,
// time and size as the tool prints them ("f\t<time>\t<size>").
std::vector<std::pair<std::string, std::string>> windows_listing(const std::string& folder,
                                                                 const std::string& pattern) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream lines(run_windows_tool(folder, {"list", pattern}));
    std::string line;
    while (std::getline(lines, line)) {
        std::string::size_type tab = line.find('\t');
        entries.emplace_back(line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return entries;
}

// Names of the folder's entries in the order the platform lists them (Wine
// sorts them, unlike readdir).
std::vector<std::string> listing_order(const std::string& folder) {
    std::vector<std::string> names;
    if (!windows_tool().empty()) {
        for (const auto& entry : windows_listing(folder, ".\\*")) {
            if (!entry.first.empty() && entry.first[0] != '.') names.push_back(entry.first);
        }
        return names;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

// A screenshot file: a reading, or -1 for a file that is not an image.
struct Shot {
    std::string name;
    int reading;
};

// Creates the files, then fills them in listing order: the i-th listed gets
// the i-th reading. Returns the names in listing order.
std::vector<std::string> make_screenshots(const TempFolder& folder, const std::vector<int>& readings) {
    for (size_t i = 0; i < readings.size(); ++i) {
        EXPECT_TRUE(write_file(folder / ("shot" + std::to_string(i) + ".png"), ""));
    }
    std::vector<std::string> names;
    for (const std::string& name : listing_order(folder.path)) {
        if (name.compare(0, 4, "shot") == 0) names.push_back(name);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (readings[i] < 0) {
            EXPECT_TRUE(write_file(folder / names[i], "this is not a picture"));
        } else {
            EXPECT_TRUE(write_png(screenshot_with_reading(static_cast<uint32_t>(readings[i])),
                                  folder / names[i]));
        }
    }
    return names;
}

std::string damage_lines(const std::vector<int>& readings) {
    std::string text;
    for (int reading : readings) {
        if (reading < 0) continue;
        int damage = 1000 - reading;
        text += std::to_string(damage / 10) + "." + std::to_string(damage % 10) + "%\r\n";
    }
    return text;
}

class EndToEnd : public testing::Test {
  protected:
    ProgramRun run(std::vector<std::string> arguments = {}, const ChildSetup& setup = {}) {
        ProgramRun result = run_program(folder.path, std::move(arguments), "", setup);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.console.compare(0, sizeof BANNER - 1, BANNER), 0) << result.console;
        if (result.console.size() >= sizeof BANNER - 1) result.console.erase(0, sizeof BANNER - 1);
        return result;
    }
    std::string file(const std::string& name) { return read_file(folder / name); }
    TempFolder folder;
};

}  // namespace

// ---- the latest-screenshot mode ------------------------------------------

TEST_F(EndToEnd, LatestReadsTheNewestScreenshot) {
    Screenshot shot = blank_screenshot(2560, 1440, 3);
    paint_gauge(shot, 1, 201);
    ASSERT_TRUE(write_png(shot, folder / "shot0042.png"));
    ASSERT_TRUE(set_time(folder / "shot0042.png", 2000));
    ASSERT_TRUE(write_png(screenshot_with_reading(1000), folder / "shot0041.png"));
    ASSERT_TRUE(set_time(folder / "shot0041.png", 1000));
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{}, {"-l"}, {"-LAST"}, {"-last"}, {"-scan", "-last"}, {"scan"},
          {"-x"}}) {
        EXPECT_EQ(run(arguments).console, "51.6% from shot0042.png\n") << arguments.size();
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
}

TEST_F(EndToEnd, LatestWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_TRUE(write_file(folder / ".hidden.png", "x"));
    ASSERT_EQ(mkdir((folder / "old").c_str(), 0755), 0);
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "old/inside.png"));
    EXPECT_EQ(run().console, "Error: Could not find any PNG file.\n");
}

TEST_F(EndToEnd, LatestDoesNotFallBackToAnOlderScreenshot) {
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "good.png"));
    ASSERT_TRUE(set_time(folder / "good.png", 1000));
    ASSERT_TRUE(write_file(folder / "broken.PNG", "garbage"));
    ASSERT_TRUE(set_time(folder / "broken.PNG", 2000));
    EXPECT_EQ(run().console, "Error: Failed to load broken.PNG\n");

    ASSERT_TRUE(write_png(blank_screenshot(1920, 1080, 3), folder / "broken.PNG"));
    ASSERT_TRUE(set_time(folder / "broken.PNG", 2000));
    EXPECT_EQ(run({"-l"}).console,
              "Warning: Could not find matching health bar type for screenshot broken.PNG\n");
}

TEST_F(EndToEnd, LatestFullAndEmptyBars) {
    ASSERT_TRUE(write_png(screenshot_with_reading(1000), folder / "full.png"));
    EXPECT_EQ(run().console, "100.0% from full.png\n");
    ASSERT_TRUE(write_png(screenshot_with_reading(0), folder / "empty.png"));
    ASSERT_TRUE(set_time(folder / "full.png", 1000));
    ASSERT_TRUE(set_time(folder / "empty.png", 2000));
    EXPECT_EQ(run().console, "0.0% from empty.png\n");
}

TEST_F(EndToEnd, LatestOfEqualTimesIsTheFirstListed) {
    ASSERT_TRUE(write_png(screenshot_with_reading(900), folder / "older.png"));
    ASSERT_TRUE(set_time(folder / "older.png", 1000));
    std::vector<std::string> names = make_screenshots(folder, {300, 400, 500});
    for (const std::string& name : names) ASSERT_TRUE(set_time(folder / name, 3000));
    EXPECT_EQ(run().console, "30.0% from " + names[0] + "\n");

    // A tenth of a microsecond later is newer (the finest step on Windows).
    ASSERT_TRUE(set_time(folder / names[2], 3000, 100));
    EXPECT_EQ(run().console, "50.0% from " + names[2] + "\n");
}

// ---- help and version --------------------------------------------------------

TEST_F(EndToEnd, HelpPrintsTheUsageAndReadsNothing) {
    make_screenshots(folder, {500, 600});
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--help"}, {"-scan", "-H"}, {"/?", "-s"}, {"-x", "-?"},
          {"-version", "-Help"}}) {
        std::string console = run(arguments).console;
        EXPECT_EQ(console.compare(0, 19, "Usage: healthgauge "), 0) << console;
        EXPECT_NE(console.find("-scan"), std::string::npos);
        EXPECT_NE(console.find("Exit status"), std::string::npos);
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
    EXPECT_EQ(file("output.txt"), "<missing>");
}

TEST_F(EndToEnd, VersionPrintsExactlyTheBanner) {
    make_screenshots(folder, {500});
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--version"}, {"-scan", "-VERSION"}, {"-version", "-l"}}) {
        ProgramRun result = run_program(folder.path, arguments);
        EXPECT_EQ(result.console, BANNER);
        EXPECT_EQ(result.status, 1);
    }
    EXPECT_EQ(file("raw.txt"), "<missing>");
}

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

// True when a child can be set up so (the superuser giving up its override
// of permissions needs CAP_SETPCAP).
bool child_setup_works(const ChildSetup& setup) {
    pid_t pid = fork();
    if (pid == 0) {
        set_up_child(setup);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

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
        StartedProgram started =
            start_in_folder(folder.path, {program_path(), "-scan"}, "", ChildSetup());
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
    if (is_wine_run()) GTEST_SKIP() << "POSIX permissions";
    ChildSetup obey;
    obey.obey_permissions = true;
    if (!child_setup_works(obey)) GTEST_SKIP() << "cannot give up the superuser's override";
    make_screenshots(folder, {500, 600});
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    std::set<std::string> names = folder_names(folder.path);
    ASSERT_EQ(chmod(folder.path.c_str(), 0555), 0);
    ProgramRun result = run({"-scan"}, obey);
    ASSERT_EQ(chmod(folder.path.c_str(), 0755), 0);
    EXPECT_EQ(result.console, std::string(PROCESSING) +
                                  "Error: Failed to open raw.txt for writing.\n"
                                  "Error: Failed to open output.txt for writing.\n");
    EXPECT_EQ(file("raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt"), OLD_OUTPUT);
    EXPECT_EQ(folder_names(folder.path), names);
}

TEST_F(EndToEnd, ScanOfAFolderThatCannotBeListedTouchesNeitherFile) {
    if (is_wine_run()) GTEST_SKIP() << "POSIX permissions";
    ChildSetup obey;
    obey.obey_permissions = true;
    if (!child_setup_works(obey)) GTEST_SKIP() << "cannot give up the superuser's override";
    make_screenshots(folder, {500});
    ASSERT_TRUE(write_file(folder / "raw.txt", OLD_RAW));
    ASSERT_TRUE(write_file(folder / "output.txt", OLD_OUTPUT));
    std::set<std::string> names = folder_names(folder.path);
    ASSERT_EQ(chmod(folder.path.c_str(), 0333), 0);  // files can be made, not listed
    ProgramRun result = run({"-scan"}, obey);
    ASSERT_EQ(chmod(folder.path.c_str(), 0755), 0);
    EXPECT_EQ(result.console, std::string(PROCESSING) +
                                  "FindFirstFile failed (13)\n"  // EACCES
                                  "Error: Didn't find any health bar gauges.\n");
    EXPECT_EQ(file("raw.txt"), OLD_RAW);
    EXPECT_EQ(file("output.txt"), OLD_OUTPUT);
    EXPECT_EQ(folder_names(folder.path), names);
}

// ---- big folders and old file times ------------------------------------------

TEST_F(EndToEnd, LatestFindsTheNewestInAFolderOf25000Entries) {
    for (int i = 0; i < 25000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "s%05d.%s", i, i % 5 == 0 ? "png" : "txt");
        int fd = open((folder / name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    // The last PNG the platform lists is the newest; one listed early is the
    // next newest. Every other one is empty and older.
    std::vector<std::string> pngs;
    for (const std::string& name : listing_order(folder.path)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) pngs.push_back(name);
    }
    ASSERT_EQ(pngs.size(), 5000u);
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / pngs[10]));
    ASSERT_TRUE(set_time(folder / pngs[10], 4000000000L));
    ASSERT_TRUE(write_png(screenshot_with_reading(825), folder / pngs.back()));
    ASSERT_TRUE(set_time(folder / pngs.back(), 4000000100L));
    EXPECT_EQ(run().console, "82.5% from " + pngs.back() + "\n");
}

TEST_F(EndToEnd, LatestPlacesAFileFrom1969BeforeToday) {
    ASSERT_TRUE(write_png(screenshot_with_reading(300), folder / "ancient.png"));
    ASSERT_TRUE(set_time(folder / "ancient.png", -86400 * 100));
    ASSERT_TRUE(write_png(screenshot_with_reading(700), folder / "today.png"));
    EXPECT_EQ(run().console, "70.0% from today.png\n");
    ASSERT_TRUE(set_time(folder / "today.png", -86400 * 200));  // even older
    EXPECT_EQ(run().console, "30.0% from ancient.png\n");
}

TEST_F(EndToEnd, ScanOfManyScreenshotsAgreesWithReadingEachAlone) {
    std::vector<int> readings;
    for (int i = 0; i < 300; ++i) readings.push_back((i * 37 % 41) * 25);  // 0..1000, exact
    std::vector<std::string> names = make_screenshots(folder, readings);
    run({"-scan"});
    std::string raw = file("raw.txt");
    EXPECT_EQ(raw, damage_lines(readings));

    // Each file alone, as the newest: its reading is 1000 minus its damage.
    for (size_t i : {size_t(0), size_t(1), size_t(150), names.size() - 1}) {
        ASSERT_TRUE(set_time(folder / names[i], 4000000000L + static_cast<long>(i)));
        int reading = readings[i];
        std::string expected = std::to_string(reading / 10) + "." + std::to_string(reading % 10) +
                               "% from " + names[i] + "\n";
        EXPECT_EQ(run().console, expected);
    }
}

// ---- names in any script -----------------------------------------------------
//
// Screenshots named in Japanese, Swedish, with an emoji, and with the longest
// names the file system takes (in Japanese, and in ASCII, which under Wine
// makes a path longer than MAX_PATH). Under Wine the test prefix has the ANSI
// code page 1252, which holds none of the Japanese characters.

namespace {

// The longest name of ASCII letters, or of "ス" (3 bytes in UTF-8), with the
// extension .png, that the file system of folder takes: NAME_MAX bytes
// (255 on Linux; Windows would take 255 characters, but files under Wine
// live on the Linux file system).
std::string longest_name(const std::string& folder, const std::string& unit) {
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0 || limit > 4096) limit = 255;
    std::string name;
    while (name.size() + unit.size() + 4 <= static_cast<size_t>(limit)) name += unit;
    return name + ".png";
}

class NamesInAnyScript : public EndToEnd {
  protected:
    void SetUp() override {
        names = {"\xe3\x82\xb9\xe3\x82\xaf\xe3\x82\xb7\xe3\x83\xa7.png",  // スクショ.png
                 "sk\xc3\xa4rmbild.png",                                   // skärmbild.png
                 "boss \xf0\x9f\x90\x89 fight.png",                         // a dragon
                 longest_name(folder.path, "\xe3\x82\xb9"),                  // スススス...png
                 longest_name(folder.path, "a")};
        readings = {516, 250, 516, 0, 1000};
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_TRUE(write_png(screenshot_with_reading(static_cast<uint32_t>(readings[i])),
                                  folder / names[i]))
                << names[i];
            ASSERT_TRUE(set_time(folder / names[i], 1000 + static_cast<long>(i)));
        }
        ASSERT_EQ(names[3].size(), size_t(253));  // 83 characters and .png
    }
    // The reading of each name, in the order the platform lists them.
    std::vector<int> readings_in_listing_order() {
        std::vector<int> ordered;
        for (const std::string& name : listing_order(folder.path)) {
            auto at = std::find(names.begin(), names.end(), name);
            if (at != names.end()) ordered.push_back(readings[static_cast<size_t>(at - names.begin())]);
        }
        return ordered;
    }
    std::vector<std::string> names;
    std::vector<int> readings;
};

std::string percent(int value) {
    return std::to_string(value / 10) + "." + std::to_string(value % 10) + "%";
}

}  // namespace

TEST_F(NamesInAnyScript, ScanReadsEveryScreenshot) {
    std::vector<int> ordered = readings_in_listing_order();
    ASSERT_EQ(ordered.size(), names.size()) << "the listing lost a name";
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) +
                                          "Saved raw.txt with 5 percentages\n" + SAVED_OUTPUT);
    EXPECT_EQ(file("raw.txt"), damage_lines(ordered));
    EXPECT_EQ(file("output.txt"), "Health bars detected: 5\r\n"
                                  "Average damage: 54.4%\r\n"
                                  "Most common damage: 48.4% (2 occurances)\r\n"
                                  "Highest damage: 100.0%\r\n"
                                  "Lowest damage: 48.4%\r\n"
                                  "Complete misses: 1\r\n"
                                  "Total unique health bars: 4\r\n");
}

TEST_F(NamesInAnyScript, LatestReadsTheNewestAndPrintsItsNameAsUtf8) {
    // Each name in turn becomes the newest; the line names it in UTF-8 bytes.
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(set_time(folder / names[i], 2000 + static_cast<long>(i)));
        EXPECT_EQ(run().console, percent(readings[i]) + " from " + names[i] + "\n") << i;
        EXPECT_EQ(run({"-l"}).console, percent(readings[i]) + " from " + names[i] + "\n") << i;
    }
    // An older file with a plain name does not win over them.
    ASSERT_TRUE(write_png(screenshot_with_reading(500), folder / "shot0001.png"));
    ASSERT_TRUE(set_time(folder / "shot0001.png", 1500));
    EXPECT_EQ(run().console, percent(readings.back()) + " from " + names.back() + "\n");
}

TEST_F(NamesInAnyScript, NameThatIsNotAPictureIsNamedInTheError) {
    ASSERT_TRUE(write_file(folder / names[0], "not a picture"));
    ASSERT_TRUE(set_time(folder / names[0], 3000));
    EXPECT_EQ(run().console, "Error: Failed to load " + names[0] + "\n");
}

namespace {

// What a terminal shows of text written to it: movements of the cursor to the
// right become spaces, other control sequences and carriage returns go.
std::string as_shown(const std::string& terminal) {
    std::string shown;
    for (size_t i = 0; i < terminal.size(); ++i) {
        if (terminal[i] == '\r') continue;
        if (terminal[i] != '\x1b') {
            shown += terminal[i];
            continue;
        }
        if (i + 1 < terminal.size() && terminal[i + 1] == '[') {
            size_t end = i + 2;
            while (end < terminal.size() && !isalpha(static_cast<unsigned char>(terminal[end]))) ++end;
            if (end < terminal.size() && terminal[end] == 'C') {
                int count = atoi(terminal.substr(i + 2, end - i - 2).c_str());
                shown.append(static_cast<size_t>(count > 0 ? count : 1), ' ');
            }
            i = end;
        } else {
            ++i;  // a two-character sequence
        }
    }
    return shown;
}

}  // namespace

// Under Wine, in a terminal (script(1) gives the program a pseudo-terminal),
// the program's standard output is a console window, which Wine draws on the
// terminal in UTF-8. The console must show the names as they are, not the
// program's UTF-8 bytes read in the console's code page.
TEST_F(NamesInAnyScript, ConsoleWindowShowsTheNames) {
    if (windows_tool().empty()) GTEST_SKIP() << "a console window is Windows' (run under Wine)";
    std::string command = "cd '" + folder.path + "' && LC_ALL=C.UTF-8 timeout 60 script -qec \"" +
                          environment("HEALTHGAUGE_RUNNER") + " '" +
                          environment("HEALTHGAUGE_PROGRAM") + "'\" /dev/null </dev/null";
    for (size_t i : {size_t(0), size_t(1)}) {
        ASSERT_TRUE(set_time(folder / names[i], 5000 + static_cast<long>(i)));
        FILE* terminal = popen(command.c_str(), "r");
        ASSERT_NE(terminal, nullptr);
        std::string output;
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, terminal)) > 0) output.append(buffer, got);
        pclose(terminal);
        std::string line = percent(readings[i]) + " from " + names[i] + "\n";
        EXPECT_NE(as_shown(output).find(line), std::string::npos) << as_shown(output);
    }
}

// ---- the report mode ---------------------------------------------------------

TEST_F(EndToEnd, ReportDoesWhatTheScanDoesAndWritesThePage) {
    std::vector<std::string> names = make_screenshots(folder, {1000, -1, 1000, 900});
    ProgramRun scan = run({"-scan"});
    std::string raw = file("raw.txt"), output = file("output.txt");
    ASSERT_EQ(remove((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(remove((folder / "output.txt").c_str()), 0);

    EXPECT_EQ(run({"-report"}).console, scan.console + "Saved report.html\n");
    EXPECT_EQ(file("raw.txt"), raw);
    EXPECT_EQ(file("output.txt"), output);
    std::string page = file("report.html");
    EXPECT_EQ(page.compare(0, 15, "<!DOCTYPE html>"), 0);
    size_t at = 0;
    for (const std::string& name : names) {  // every file has its row, in listing order
        at = page.find("<td class=\"name\">" + name + "</td>", at);
        EXPECT_NE(at, std::string::npos) << name;
    }
    EXPECT_NE(page.find("<tr><td>Health bars detected:</td><td>3</td></tr>"), std::string::npos);

    // -r is the same, and the page is replaced.
    ASSERT_TRUE(write_file(folder / "report.html", "old"));
    EXPECT_EQ(run({"-x", "-R"}).console, scan.console + "Saved report.html\n");
    EXPECT_EQ(file("report.html"), page);
}

TEST_F(EndToEnd, ReportOfAScanThatReadsNothing) {
    std::vector<std::string> names = make_screenshots(folder, {-1, -1});
    ASSERT_TRUE(write_file(folder / "output.txt", "earlier summary\r\n"));
    EXPECT_EQ(run({"-report"}).console,
              std::string(PROCESSING) + "Error: Failed to load " + names[0] +
                  "\nError: Failed to load " + names[1] +
                  "\nSaved raw.txt with 0 percentages\n"
                  "Error: Didn't find any health bar gauges.\n"
                  "Saved report.html\n");
    EXPECT_EQ(file("output.txt"), "earlier summary\r\n");
    std::string page = file("report.html");
    EXPECT_NE(page.find("Error: Didn't find any health bar gauges."), std::string::npos);
    for (const std::string& name : names) {
        EXPECT_NE(page.find("<td class=\"name\">" + name +
                            "</td><td class=\"time\">"),
                  std::string::npos);
    }
    EXPECT_EQ(page.find("<svg"), std::string::npos);
}

TEST_F(EndToEnd, ReportThatCannotBeWritten) {
    make_screenshots(folder, {500, 600});
    ProgramRun scan = run({"-scan"});
    ASSERT_EQ(mkdir((folder / "report.html").c_str(), 0755), 0);
    ASSERT_EQ(remove((folder / "raw.txt").c_str()), 0);
    ASSERT_EQ(remove((folder / "output.txt").c_str()), 0);
    EXPECT_EQ(run({"-r"}).console, scan.console + "Error: Failed to write report.html.\n");
    EXPECT_EQ(file("raw.txt"), "50.0%\r\n40.0%\r\n");
    EXPECT_EQ(file("output.txt").compare(0, 24, "Health bars detected: 2\r"), 0);
}

// ---- hostile files: bounded time and memory, and the right message ---------
// (time and peak memory are measured by scripts/bench-bombs)

TEST_F(EndToEnd, HostileFilesGiveTheirMessage) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;  // then the name
    };
    const char* LOAD = "Error: Failed to load ";
    const char* LAYOUT = "Warning: Could not find matching health bar type for screenshot ";
    const Case cases[] = {
        {"deep.png", deep_png(16384, 16383, false), LAYOUT},        // 4 GiB of 16-bit pixels
        {"interlaced.png", deep_png(16384, 16383, true), LAYOUT},   // the same, interlaced
        {"inflating.png", inflating_png(uint64_t(1) << 31), LOAD},  // 1x1, 2 GiB of data
        {"psd.png", psd_header(), LOAD},
        {"bmp.png", bmp_header(), LOAD},
        {"gif.png", gif_header(), LOAD},
    };
    for (const Case& c : cases) {
        TempFolder alone;
        ASSERT_TRUE(write_file(alone / c.name, c.bytes));
        ProgramRun latest = run_program(alone.path, {});
        EXPECT_EQ(latest.status, 1);
        EXPECT_EQ(latest.console, std::string(BANNER) + c.message + c.name + "\n") << c.name;
    }

    // All of them in one scan, with two screenshots that read.
    for (const Case& c : cases) ASSERT_TRUE(write_file(folder / c.name, c.bytes));
    make_screenshots(folder, {300, 700});
    std::string console = run({"-scan"}).console;
    for (const Case& c : cases) {
        EXPECT_NE(console.find(std::string(c.message) + c.name + "\n"), std::string::npos) << c.name;
    }
    EXPECT_NE(console.find("Saved raw.txt with 2 percentages\n"), std::string::npos) << console;
}

TEST_F(EndToEnd, GiantScreenshotsRead) {
    if (is_wine_run()) GTEST_SKIP() << "needs the fast decode, which the Windows build may lack";
    // 25600 x 14400, too large to decode whole, and a 16-bit 12800 x 7200.
    Screenshot wide = blank_screenshot(25600, 64, 3, 30);
    paint_gauge(wide, 0, 229);
    ASSERT_TRUE(write_file(folder / "wide.png", tall_png(wide, 14400, 8)));
    EXPECT_EQ(run().console, "100.0% from wide.png\n");
    Screenshot deep = blank_screenshot(12800, 64, 4, 30);
    paint_gauge(deep, 7, 105);
    ASSERT_TRUE(write_file(folder / "deep.png", tall_png(deep, 7200, 16)));
    ASSERT_TRUE(set_time(folder / "deep.png", 4000000000L));
    EXPECT_EQ(run().console, "50.0% from deep.png\n");
}

TEST_F(EndToEnd, NamedPipeWithAScreenshotsNameDoesNotHang) {
    if (is_wine_run()) GTEST_SKIP() << "named pipes are POSIX";
    make_screenshots(folder, {400});
    ASSERT_EQ(mkfifo((folder / "zzz-newest.png").c_str(), 0644), 0);
    ASSERT_TRUE(set_time(folder / "zzz-newest.png", 4000000000L));
    alarm(60);  // a scan that blocks on the pipe would otherwise hang for good
    EXPECT_EQ(run({"-scan"}).console, std::string(PROCESSING) + "Saved raw.txt with 1 percentages\n" +
                                          SAVED_OUTPUT);
    EXPECT_EQ(run().console, "40.0% from shot0.png\n");
    alarm(0);
}

// ---- the clipboard, on a real X server or under Wine ------------------------
//
// HEALTHGAUGE_TEST_DISPLAY names an X display with xclip available (the test
// script starts Xvfb for it); HEALTHGAUGE_REQUIRE_CLIPBOARD makes its absence
// a failure rather than a skip. With HEALTHGAUGE_WINDOWS_TOOL set, the
// clipboard is Wine's, read and set through that tool.

namespace {

// Runs xclip on the test display: reads the clipboard, or sets it to text.
std::string xclip(const std::string& display, const char* text = nullptr) {
    std::string command = "DISPLAY='" + display + "' xclip -selection clipboard";
    command += text ? " >/dev/null 2>&1" : " -o 2>/dev/null";
    return run_command(command, text);
}

class Clipboard : public EndToEnd {
  protected:
    void SetUp() override {
        if (windows_tool().empty()) {
            display = environment("HEALTHGAUGE_TEST_DISPLAY");
            if (display.empty()) {
                if (!environment("HEALTHGAUGE_REQUIRE_CLIPBOARD").empty()) {
                    FAIL() << "HEALTHGAUGE_TEST_DISPLAY is not set";
                }
                GTEST_SKIP() << "no test display";
            }
        }
        put_text("sentinel");
        ASSERT_EQ(settled_text("sentinel"), "sentinel");
    }
    std::string text() {
        return windows_tool().empty() ? xclip(display) : run_windows_tool(folder.path, {"clipboard"});
    }
    // The clipboard's text, read again for up to three seconds until it is
    // `expected`: xclip goes to the background before it takes the
    // selection, so a read right after it returns may still see the old text.
    std::string settled_text(const std::string& expected) {
        std::string current = text();
        for (int i = 0; i < 150 && current != expected; ++i) {
            usleep(20000);
            current = text();
        }
        return current;
    }
    void put_text(const char* content) {
        if (windows_tool().empty()) {
            xclip(display, content);
        } else {
            run_windows_tool(folder.path, {"put-text", content});
        }
    }
    std::string run_with_display(std::vector<std::string> arguments = {}) {
        ProgramRun result = run_program(folder.path, std::move(arguments), display);
        EXPECT_EQ(result.status, 1);
        return result.console;
    }
    std::string display;
};

}  // namespace

TEST_F(Clipboard, HoldsExactlyTheReadingAfterASuccessfulRun) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    EXPECT_EQ(run_with_display(), std::string(BANNER) + "53.7% from shot.png\n");
    EXPECT_EQ(settled_text("53.7%"), "53.7%");
}

TEST_F(Clipboard, IsEmptiedWhenTheReadingFails) {
    ASSERT_TRUE(write_file(folder / "shot.png", "garbage"));
    run_with_display();
    EXPECT_EQ(settled_text(""), "");
}

TEST_F(Clipboard, IsLeftAloneWithoutAnyPng) {
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    run_with_display();
    EXPECT_EQ(settled_text("sentinel"), "sentinel");
}

TEST_F(Clipboard, IsLeftAloneByHelp) {
    ASSERT_TRUE(write_png(screenshot_with_reading(537), folder / "shot.png"));
    std::string console = run_with_display({"--help"});
    EXPECT_EQ(console.compare(0, sizeof BANNER - 1, BANNER), 0) << console;
    EXPECT_NE(console.find("Usage: healthgauge "), std::string::npos) << console;
    EXPECT_EQ(console.find("53.7%"), std::string::npos) << console;
    // A helper started by mistake could take the selection a moment later.
    usleep(300000);
    EXPECT_EQ(settled_text("sentinel"), "sentinel");
}

// ---- the directory search of the Windows program, under Wine ---------------

namespace {

class WindowsListing : public testing::Test {
  protected:
    void SetUp() override {
        if (windows_tool().empty()) {
            if (is_wine_run()) FAIL() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
            GTEST_SKIP() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
        }
    }
    // Windows counts time in steps of 100 ns from 1601.
    static std::string windows_time(uint64_t seconds, uint64_t nanoseconds = 0) {
        return std::to_string((seconds + 11644473600u) * 10000000u + nanoseconds / 100);
    }
    TempFolder folder;
};

}  // namespace

TEST_F(WindowsListing, EntriesCarryTheirKindTimeAndSize) {
    ASSERT_TRUE(write_file(folder / "SHOT.PNG", std::string(12345, 'x')));
    ASSERT_TRUE(set_time(folder / "SHOT.PNG", 4000000000L, 1234500));
    ASSERT_TRUE(write_file(folder / ".hidden.png", "x"));
    ASSERT_TRUE(set_time(folder / ".hidden.png", 1000));
    ASSERT_TRUE(write_file(folder / "big.bin", ""));
    ASSERT_EQ(truncate((folder / "big.bin").c_str(), (off_t(1) << 32) + 5), 0);  // sparse
    ASSERT_TRUE(set_time(folder / "big.bin", 1000));
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "sub/inside.png", "x"));
    ASSERT_TRUE(set_time(folder / "sub", 2000));

    std::map<std::string, std::string> entries;
    for (const auto& entry : windows_listing(folder.path, ".\\*")) {
        if (entry.first != "." && entry.first != "..") entries.insert(entry);
    }
    std::map<std::string, std::string> expected = {
        {"SHOT.PNG", "f\t" + windows_time(4000000000u, 1234500) + "\t12345"},
        {".hidden.png", "f\t" + windows_time(1000) + "\t1"},
        {"big.bin", "f\t" + windows_time(1000) + "\t5"},  // the low 32 bits
        {"sub", "d\t" + windows_time(2000) + "\t0"}};
    EXPECT_EQ(entries, expected);
}

TEST_F(WindowsListing, FirstEntryOfASearchIsListed) {
    for (const char* name : {"a.png", "b1.png", "b2.png"}) ASSERT_TRUE(write_file(folder / name, ""));
    std::vector<std::string> names;
    for (const auto& entry : windows_listing(folder.path, "b*")) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b1.png", "b2.png"}));
}

TEST_F(WindowsListing, FolderThatCannotBeListedGivesTheSystemError) {
    EXPECT_EQ(run_windows_tool(folder.path, {"list", "missing\\*"}), "error 3\n");  // path not found
}

// ---- the scan on several threads -------------------------------------------

namespace {

// PNG bytes with one more chunk just before the first IDAT.
std::string with_chunk_before_data(const std::string& png, const std::string& type,
                                   const std::string& data) {
    size_t at = png.size();
    for (size_t offset : chunk_offsets(png)) {
        if (png.compare(offset + 4, 4, "IDAT") == 0) {
            at = offset;
            break;
        }
    }
    std::string chunk;
    for (int shift : {24, 16, 8, 0}) chunk += static_cast<char>(data.size() >> shift & 0xff);
    std::string body = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    chunk += body;
    for (int shift : {24, 16, 8, 0}) chunk += static_cast<char>(crc >> shift & 0xff);
    return png.substr(0, at) + chunk + png.substr(at);
}

// An RGB screenshot with a transparency key: the fast decode passes it over
// and the whole decode reads it as RGBA.
std::string keyed_png(const Screenshot& shot) {
    return with_chunk_before_data(encode_png(shot), "tRNS", std::string("\0\1\0\2\0\3", 6));
}

// count screenshots of every kind a scan meets, in a seeded mix: fast-decode
// RGB and RGBA ones at both sizes, whole-decode ones (transparency key, grey),
// ones no layout matches (black, an odd size), and files that do not decode
// (text, empty, a PNG cut in half). Beside them a text file and a folder
// whose name ends in .png.
void make_mixed_screenshots(const TempFolder& folder, int count, uint32_t seed) {
    uint32_t random = seed;
    auto next = [&random](uint32_t below) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % below;
    };
    for (int i = 0; i < count; ++i) {
        std::string path = folder / ("mixed" + std::to_string(i) + ".png");
        std::string bytes;
        switch (next(8)) {
            case 0:
            case 1: {
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, static_cast<int>(next(241)));
                bytes = encode_png(shot);
                break;
            }
            case 2: {
                Screenshot shot = blank_screenshot(2560, 72, 4);
                add_scenery(shot, next(1000));
                paint_gauge(shot, 1, static_cast<int>(next(390)));
                bytes = encode_png(shot);
                break;
            }
            case 3: {
                Screenshot shot = blank_screenshot(1920, 64, 3);
                paint_gauge(shot, TYPE, static_cast<int>(next(241)));
                bytes = keyed_png(shot);
                break;
            }
            case 4:
                bytes = encode_png(blank_screenshot(1920, 64, 1, static_cast<uint8_t>(next(256))));
                break;
            case 5:
                bytes = encode_png(blank_screenshot(1920, 64, 3));
                break;
            case 6: {
                Screenshot shot = blank_screenshot(300, 200, 3);
                add_scenery(shot, next(1000));
                bytes = encode_png(shot);
                break;
            }
            default: {
                uint32_t kind = next(3);
                if (kind == 0) bytes = "this is not a picture";
                if (kind == 2) {
                    Screenshot shot = blank_screenshot(1920, 64, 3);
                    paint_gauge(shot, TYPE, 100);
                    bytes = encode_png(shot);
                    bytes.resize(bytes.size() / 2);
                }
                break;
            }
        }
        ASSERT_TRUE(write_file(path, bytes));
    }
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_EQ(mkdir((folder / "folder.png").c_str(), 0755), 0);
}

struct ScanOutcome {
    std::string console, raw, output, errors;
};

// A scan (or another mode) with HEALTHGAUGE_THREADS set to threads (unset
// when null), its standard error going to a file.
ScanOutcome scan_with_threads(const TempFolder& folder, const char* threads,
                              const char* option = "-scan") {
    TempFolder errors;
    std::string error_path = errors / "stderr";
    int error_fd = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(error_fd, 0);
    ChildSetup setup;
    if (threads) setup.settings.emplace_back("HEALTHGAUGE_THREADS", threads);
    setup.error_fd = error_fd;
    ProgramRun run = run_program(folder.path, {option}, "", setup);
    close(error_fd);
    EXPECT_EQ(run.status, 1);
    return {run.console, read_file(folder / "raw.txt"), read_file(folder / "output.txt"),
            read_file(error_path)};
}

}  // namespace

TEST_F(EndToEnd, ScanGivesTheSameOutputOnAnyNumberOfThreads) {
    make_mixed_screenshots(folder, 320, 9);
    ScanOutcome one = scan_with_threads(folder, "1");
    // The mix has every outcome in it.
    EXPECT_NE(one.console.find("Error: Failed to load mixed"), std::string::npos) << one.console;
    EXPECT_NE(one.console.find("Warning: Could not find matching health bar type for screenshot mixed"),
              std::string::npos);
    EXPECT_GT(std::count(one.raw.begin(), one.raw.end(), '\n'), 100) << one.raw;
    EXPECT_NE(one.output.find("Health bars detected: "), std::string::npos);

    // 0 is ignored, as is no setting: the machine's count.
    for (const char* threads : {"2", "3", "16", "0", static_cast<const char*>(nullptr)}) {
        ScanOutcome other = scan_with_threads(folder, threads);
        std::string label = threads ? threads : "unset";
        EXPECT_EQ(other.console, one.console) << label;
        EXPECT_EQ(other.raw, one.raw) << label;
        EXPECT_EQ(other.output, one.output) << label;
        if (!is_wine_run()) {
            EXPECT_EQ(other.errors, "") << label << ": not a terminal";
        }
    }

    // The report takes a gauge picture with every result: each thread's own.
    std::string console = scan_with_threads(folder, "1", "-report").console;
    std::string page = read_file(folder / "report.html");
    EXPECT_NE(page.find("data:image/png;base64,"), std::string::npos);
    for (const char* threads : {"2", "16"}) {
        EXPECT_EQ(scan_with_threads(folder, threads, "-report").console, console) << threads;
        EXPECT_TRUE(read_file(folder / "report.html") == page) << threads << " threads: another page";
    }
}

namespace {

// Runs the program in folder with standard output and error on a new
// pseudo-terminal; what the terminal received. Empty when none can be had.
std::string run_on_terminal(const std::string& folder, const char* threads) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "";
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (terminal < 0) return "";
    std::string program = program_path();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(terminal, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        close(terminal);
        close(master);
        if (chdir(folder.c_str()) != 0) _exit(127);
        setenv("HEALTHGAUGE_THREADS", threads, 1);
        execl(program.c_str(), program.c_str(), "-scan", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(terminal);
    std::string received;
    char buffer[4096];
    ssize_t got;
    // Reading ends with EIO once the program and its terminal are gone.
    while ((got = read(master, buffer, sizeof buffer)) > 0) received.append(buffer, got);
    close(master);
    waitpid(pid, nullptr, 0);
    return received;
}

// The lines a terminal shows after receiving bytes: a carriage return goes
// back to the line's start, other characters overwrite; trailing blanks cut.
std::string screen_of(const std::string& bytes) {
    std::string screen, line;
    size_t column = 0;
    auto end_line = [&]() {
        line.erase(line.find_last_not_of(' ') + 1);
        screen += line + "\n";
        line.clear();
        column = 0;
    };
    for (char c : bytes) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            end_line();
        } else {
            if (column < line.size()) {
                line[column] = c;
            } else {
                line += c;
            }
            ++column;
        }
    }
    if (!line.empty()) end_line();
    return screen;
}

}  // namespace

TEST_F(EndToEnd, ProgressLineOnATerminalLeavesNothingBehind) {
    if (is_wine_run()) GTEST_SKIP() << "Wine gives the program no Windows console here";
    // Whole decodes of full-size screenshots, slow enough for the line to show,
    // with files that do not decode (and so print a line) among them.
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, TYPE, 120);
    std::string keyed = keyed_png(shot);
    for (int i = 0; i < 60; ++i) {
        std::string name = folder / ("shot" + std::to_string(i) + ".png");
        ASSERT_TRUE(write_file(name, i % 20 == 7 ? "not a picture" : keyed));
    }
    std::string plain = scan_with_threads(folder, "1").console;
    // The banner's two lines, the scan's first and last two, three failures.
    ASSERT_EQ(std::count(plain.begin(), plain.end(), '\n'), 2 + 1 + 3 + 2) << plain;

    auto started = std::chrono::steady_clock::now();
    std::string received = run_on_terminal(folder.path, "1");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_FALSE(received.empty()) << "no pseudo-terminal";
    // Each message on a line of its own, and the progress line gone at the end.
    EXPECT_EQ(screen_of(received), plain);
    if (seconds > 3 * PROGRESS_DELAY) {
        EXPECT_NE(received.find("\rReading screenshots: "), std::string::npos)
            << "no progress line in a scan of " << seconds << " s";
    }
}
