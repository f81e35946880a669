// When the program could be wrong without saying so: a mistyped folder
// stops the run before anything is read or written.
#include "support/page_text.h"
#include "support/program_run.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <thread>

namespace {

// Runs the program in `where` with its standard error kept, killing it when
// it has not ended after limit_ms (a watch that started watching instead of
// stopping; its status is then -1).
ProgramRun run_bounded(const std::string& where, std::vector<std::string> arguments,
                       int limit_ms = 30000) {
    ChildSetup setup;
    setup.keep_errors = true;
    return run_program(where, std::move(arguments), "", setup, limit_ms);
}

const char SAVED_COMPARE[] = "Saved compare.html\n";

const char* const WRITTEN[] = {"raw.txt", "output.txt", "report.html", "report.csv", "report.xlsx", "compare.html"};

// The name as the Windows program is given it: a drive and backslashes.
std::string windows_path(const std::string& path) {
    std::string name = "Z:" + path;
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
    return name;
}

class Trust : public EndToEnd {
  protected:
    void SetUp() override {
        ASSERT_EQ(mkdir((folder / "shots").c_str(), 0755), 0);
        ASSERT_TRUE(write_file(folder / "shots/a.png", game_png_with_reading(516)));
        ASSERT_TRUE(write_file(folder / "b.png", game_png_with_reading(900)));
    }
    void expect_nothing_written(const std::string& shown) {
        for (const char* name : WRITTEN) {
            EXPECT_EQ(file(name), "<missing>") << shown << ": " << name;
            EXPECT_EQ(read_file(folder / (std::string("shots/") + name)), "<missing>") << shown << ": " << name;
        }
    }
};

std::string shown(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += " '" + argument + "'";
    return text;
}

}  // namespace

TEST_F(Trust, AMistypedFolderStopsEveryModeAfterTheBanner) {
    std::vector<std::vector<std::string>> cases = {
        {"-scan", "shots/Varnholt Screenshot"},
        {"-report", "shot/"},
        {"-watch", "./shots2"},
        {"shots/gone.png"},
        {"-s", "shots", "shots/missing"},
        {"-c", "shots", "shots", "out/"},
    };
    if (is_wine_run()) {
        cases.push_back({"-scan", "shots\\Varnholt Screenshot"});
        cases.push_back({"-report", windows_path(folder / "gone")});
        cases.push_back({"-watch", "C:gone"});
    }
    for (const std::vector<std::string>& arguments : cases) {
        ProgramRun run = run_bounded(folder.path, arguments);
        EXPECT_EQ(run.status, 1) << shown(arguments);
        EXPECT_EQ(run.console, BANNER) << shown(arguments);
        EXPECT_EQ(run.errors, "healthgauge: no such folder or screenshot: '" + arguments.back() + "'\n")
            << shown(arguments);
        expect_nothing_written(shown(arguments));
    }
}

TEST_F(Trust, ANameWithoutASeparatorIsIgnoredAsBefore) {
    std::vector<std::vector<std::string>> cases = {{"-scan", "shot"}};
    // A backslash is a separator on Windows only.
    if (!is_wine_run()) cases.push_back({"-scan", "shots\\gone"});
    for (const std::vector<std::string>& arguments : cases) {
        ProgramRun run = run_bounded(folder.path, arguments);
        EXPECT_EQ(run.errors, "healthgauge: no such folder or screenshot: '" + arguments.back() + "'\n");
        EXPECT_NE(run.console.find("Saved raw.txt with 1 percentages"), std::string::npos)
            << run.console;
        EXPECT_EQ(file("raw.txt"), "10.0%\r\n") << shown(arguments);
        EXPECT_EQ(remove((folder / "raw.txt").c_str()), 0);
    }
}

TEST_F(Trust, AFolderWithAnEscapedClosingQuoteIsTakenOnWindows) {
    if (!is_wine_run()) GTEST_SKIP() << "the command line's backslash-quote rule is Windows'";
    // "Z:\...\shots\" in a batch file arrives as Z:\...\shots"
    for (const std::string& typed : {std::string("shots\""), windows_path(folder / "shots") + "\""}) {
        ProgramRun run = run_bounded(folder.path, {"-scan", typed});
        EXPECT_EQ(run.errors, "") << typed;
        EXPECT_EQ(read_file(folder / "shots/raw.txt"), "48.4%\r\n") << typed;
        EXPECT_EQ(remove((folder / "shots/raw.txt").c_str()), 0) << typed;
    }
    // Not when what remains is no folder.
    ProgramRun run = run_bounded(folder.path, {"-scan", "shots\\gone\""});
    EXPECT_EQ(run.errors, "healthgauge: no such folder or screenshot: 'shots\\gone\"'\n");
    EXPECT_EQ(run.console, BANNER);
}

TEST_F(Trust, AComparedFolderThatCannotBeListedStopsBeforeEitherIsRead) {
    // b.png would be read, and its failure told, if the other folder were.
    ASSERT_EQ(mkdir((folder / "damaged").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "damaged/b.png", "not a picture"));
    struct Case {
        std::vector<std::string> arguments;
        std::string console;
        std::vector<std::string> reasons;  // whose reason standard error gives
    };
    const Case cases[] = {
        {{"-compare", "damaged", "shots/Varnholt Screenshot"},
         "Error: Cannot read the folder shots/Varnholt Screenshot.\n",
         {"shots/Varnholt Screenshot"}},
        {{"-c", "gone", "damaged"}, "Error: Cannot read the folder gone.\n", {"gone"}},
        {{"-c", "b.png", "gone"},
         "Error: Cannot read the folder b.png.\nError: Cannot read the folder gone.\n",
         {"b.png", "gone"}},
    };
    for (const Case& c : cases) {
        ProgramRun run = run_bounded(folder.path, c.arguments);
        EXPECT_EQ(run.console, BANNER + c.console) << shown(c.arguments);
        std::string::size_type at = 0;
        for (const std::string& name : c.reasons) {
            at = run.errors.find("healthgauge: " + name + ": ", at);
            EXPECT_NE(at, std::string::npos) << shown(c.arguments) << "\n" << run.errors;
        }
        EXPECT_EQ(run.errors.find("damaged"), std::string::npos) << run.errors;
        expect_nothing_written(shown(c.arguments));
    }
}

namespace {

// A folder of screenshots with these damages (permille, multiples of 50:
// exact with the 240-pixel bar).
void make_damage_folder(const std::string& path, const std::vector<uint32_t>& damages) {
    for (size_t i = 0; i < damages.size(); ++i) {
        ASSERT_TRUE(write_file(path + "/shot" + std::to_string(i) + ".png",
                               game_png_with_reading(1000 - damages[i])));
    }
}

void make_folders(const std::string& root, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::string path = root;
        for (std::string::size_type at = 0, next; at != std::string::npos; at = next) {
            next = name.find('/', at + 1);
            path = root + "/" + name.substr(0, next);
            mkdir(path.c_str(), 0755);
        }
    }
}

}  // namespace

TEST_F(Trust, TheComparisonNamesTheFoldersAndHowManyShotsWouldTell) {
    std::vector<uint32_t> tens, tens_plus_50, high(12, 900);
    for (uint32_t i = 0; i < 10; ++i) tens.push_back(100 * i), tens_plus_50.push_back(100 * i + 50);
    const std::string long_name = "new gear after the long patch of the winter season";
    make_folders(folder.path, {"runs/monday/shots", "runs/tuesday/shots", "old gear", long_name});
    make_damage_folder(folder / "runs/monday/shots", tens);
    make_damage_folder(folder / "runs/tuesday/shots", tens_plus_50);
    make_damage_folder(folder / "old gear", tens);
    make_damage_folder(folder / long_name, high);
    // 603 from ceil(2 (z(0.975) + z(0.8))^2 s^2 / 50^2 / 0.955), s^2 = 91666.7
    // (Python's statistics module).
    const std::string power =
        "About 603 screenshots in each folder would tell a difference of 5.0 points (80% power).\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string comparing, sentence, power;
    };
    const Case cases[] = {
        {{"-compare", "runs/monday/shots", "runs/tuesday/shots/"},
         "Comparing runs/monday/shots (10 screenshots read) with runs/tuesday/shots/ (10 read)\n",
         "No clear difference between A and B (p = 0.", power},
        {{"-compare", "runs/tuesday/shots", "old gear"},
         "Comparing runs/tuesday/shots (10 screenshots read) with old gear (10 read)\n",
         "No clear difference between shots and old gear (p = 0.", power},
        {{"-c", "old gear", long_name},
         "Comparing old gear (10 screenshots read) with " + long_name + " (12 read)\n",
         "new gear after the ... the winter season does more damage than old gear (p ", ""},
    };
    for (const Case& c : cases) {
        ProgramRun run = run_bounded(folder.path, c.arguments);
        EXPECT_EQ(run.errors, "") << shown(c.arguments);
        EXPECT_EQ(run.console.find(std::string(BANNER) + c.comparing), 0u) << run.console;
        EXPECT_NE(run.console.find("\n" + c.sentence), std::string::npos) << run.console;
        std::string tail = ", rank test).\n" + c.power + SAVED_COMPARE;
        EXPECT_EQ(run.console.substr(run.console.size() - std::min(tail.size(), run.console.size())), tail)
            << run.console;
        std::string page = file("compare.html");
        EXPECT_NE(page.find("id=\"verdict\">" + c.sentence), std::string::npos) << shown(c.arguments);
        EXPECT_EQ(page.find("id=\"power\">" + c.power.substr(0, c.power.size() - 1) + "</p>") !=
                      std::string::npos,
                  !c.power.empty())
            << shown(c.arguments);
        EXPECT_NE(page.find("<dt>Screenshots that would tell</dt>"), std::string::npos);
    }
}

namespace {

// What a terminal shows of the bytes, roughly: control sequences dropped,
// a cursor moved forward (Wine's console draws spaces so) as spaces.
std::string shown_text(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\x1b' || i + 1 >= bytes.size() || bytes[i + 1] != '[') {
            if (bytes[i] != '\r') text += bytes[i];
            continue;
        }
        size_t end = i + 2;
        while (end < bytes.size() && !isalpha(static_cast<unsigned char>(bytes[end]))) ++end;
        if (end < bytes.size() && bytes[end] == 'C') text.append(std::max(1, atoi(&bytes[i + 2])), ' ');
        i = end;
    }
    return text;
}

// The program on a pseudo-terminal of its own (its controlling terminal, so
// ^C there interrupts it), with HEALTHGAUGE_NO_PAUSE unset.
struct TerminalRun {
    StartedProgram started;
    pid_t pid = -1;
    int master = -1;
    std::string received;

    bool start(const std::string& folder, std::vector<std::string> arguments) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
        std::string terminal_name = ptsname(master);
        ChildSetup setup;
        setup.unset = {"HEALTHGAUGE_NO_PAUSE"};
        setup.last_step = [terminal_name, this] {
            setsid();
            int terminal = open(terminal_name.c_str(), O_RDWR);
            if (terminal < 0) _exit(SETUP_FAILED);
            for (int fd : {0, 1, 2}) dup2(terminal, fd);
            close(terminal);
            close(master);
        };
        started = start_program(folder, std::move(arguments), "", setup);
        pid = started.pid;
        return pid > 0;
    }
    // Reads until text has arrived or limit_ms pass; whether it arrived.
    bool wait_for(const std::string& text, int limit_ms = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        while (shown_text(received).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd poll_fd = {master, POLLIN, 0};
            if (poll(&poll_fd, 1, 100) <= 0) continue;
            char buffer[1024];
            ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0) return shown_text(received).find(text) != std::string::npos;
            received.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }
    void type(const char* keys) { EXPECT_EQ(write(master, keys, strlen(keys)), ssize_t(strlen(keys))); }
    // The exit status once it ended within limit_ms, else -1.
    int ended(int limit_ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            wait_for("\x01", 50);  // keeps the terminal drained
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~TerminalRun() {
        started.pid = pid;  // -1 once it ended
        kill_program(started);
        if (master >= 0) close(master);
    }
};

}  // namespace

TEST_F(Trust, CtrlCLeavesTheWatchSummaryOnScreenInAWindowOfItsOwn) {
    TerminalRun watch;
    ASSERT_TRUE(watch.start(folder.path, {"-watch"}));
    ASSERT_TRUE(watch.wait_for("Press Ctrl+C to stop.")) << shown_text(watch.received);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    watch.type("\x03");
    ASSERT_TRUE(watch.wait_for("Read 0 screenshots")) << shown_text(watch.received);
    if (!is_wine_run()) {  // no console window of its own: no pause
        EXPECT_EQ(watch.ended(10000), 1) << watch.received;
        EXPECT_EQ(shown_text(watch.received).find("Press Enter"), std::string::npos);
        return;
    }
    // Wine, like Windows after a double-click, shows the console one process.
    ASSERT_TRUE(watch.wait_for("Press Enter to close this window.")) << shown_text(watch.received);
    std::string shown = shown_text(watch.received);
    EXPECT_LT(shown.find("Read 0 screenshots"), shown.find("Press Enter")) << shown;
    EXPECT_EQ(watch.ended(1000), -1) << "it did not wait";
    watch.type("\r");
    EXPECT_EQ(watch.ended(10000), 1) << watch.received;
}

// ---- pictures that are not the game, and files that are not read -------------

namespace {

const char TIMES[] = "\xC3\x97";

// A whole picture of width x height, layout `type` painted in with
// `reading`, its sample points `score` away from their colours in all;
// written fast (the rows below the gauge are one colour).
void write_picture(const std::string& path, int width, int height, int type, uint32_t reading,
                   int score = 0) {
    Screenshot shot = blank_screenshot(width, height, 3);
    paint_gauge(shot, type, filled_for_reading(type, reading));
    spoil_samples(shot, type, score);
    PngOptions fast;
    fast.level = 1;
    fast.filter = 0;
    ASSERT_TRUE(write_file(path, encode_png(shot, fast)));
}

// A player's trial: two game screenshots, a wallpaper that matches a layout
// by chance, a 16:10 desktop, a 4K desktop, the top rows of a screenshot
// cut off, and three pictures of other formats.
void make_trial_folder(const std::string& path) {
    write_picture(path + "/shot0001.png", 1920, 1080, 5, 516, 12);
    write_picture(path + "/shot0002.png", 2560, 1440, 1, 0, 240);
    write_picture(path + "/wallpaper sunset.png", 1920, 1080, 4, 1000, 368);
    write_picture(path + "/desktop.png", 1920, 1200, 5, 250);
    ASSERT_TRUE(write_png(screenshot_with_reading(750), path + "/cropped.png"));
    PngOptions fast;
    fast.level = 1;
    fast.filter = 0;
    ASSERT_TRUE(write_file(path + "/desktop 4k.png", encode_png(blank_screenshot(3840, 2160, 1), fast)));
    for (const char* name : {"photo.jpg", "PHOTO2.JPG", "old.bmp"}) {
        ASSERT_TRUE(write_file(path + "/" + name, "not read"));
    }
}

std::string weak_by_score(const std::string& name) {
    return "healthgauge: " + name + ": weak match (score 368 of 600, 1920" + TIMES +
           "1080 B): is it a game screenshot?\n";
}

std::string weak_by_side(const std::string& name) {
    return "healthgauge: " + name + ": weak match (1920" + TIMES + "1200 read as 1920" + TIMES +
           "1080 C): is it a game screenshot?\n";
}

// The top 64 rows of a screenshot, read by their width alone.
std::string weak_crop(const std::string& name) {
    return "healthgauge: " + name + ": weak match (1920" + TIMES + "64 read as 1920" + TIMES +
           "1080 C): is it a game screenshot?\n";
}

std::string not_a_screen_size(const std::string& name) {
    return "healthgauge: " + name + ": 3840" + TIMES + "2160 is not a screen size the gauge is read at (1920" +
           TIMES + "1080, 2560" + TIMES + "1440)\n";
}

const char OTHER_PICTURES[] =
    "healthgauge: 2 .jpg files were not read (only PNG screenshots are read)\n"
    "healthgauge: 1 .bmp file was not read (only PNG screenshots are read)\n";

// The lines of a text, sorted: the screenshots' lines follow the listing's
// order, which the test does not choose.
std::vector<std::string> sorted_lines(const std::string& text) {
    std::vector<std::string> result;
    std::string::size_type start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        result.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    if (start < text.size()) result.push_back(text.substr(start));
    std::sort(result.begin(), result.end());
    return result;
}

}  // namespace

TEST_F(Trust, AScanOrReportOfATrialFolderFlagsWeakMatchesAndSaysWhatWasNotRead) {
    make_trial_folder(folder.path);
    const std::string scan_console = std::string(BANNER) + PROCESSING +
                                     "Warning: Could not find matching health bar type for "
                                     "screenshot desktop 4k.png\n"
                                     "Saved raw.txt with 6 percentages\n" + SAVED_OUTPUT;
    const std::vector<std::string> reading_lines =
        sorted_lines(weak_by_score("wallpaper sunset.png") + weak_by_side("desktop.png") +
                     weak_crop("cropped.png") + not_a_screen_size("desktop 4k.png"));
    for (const char* mode : {"-scan", "-report"}) {
        ProgramRun run = run_bounded(folder.path, {mode});
        std::string saved = std::string(mode) == "-report" ? "Saved report.html\nSaved report.csv\nSaved report.xlsx\n" : "";
        EXPECT_EQ(run.console, scan_console + saved) << mode;
        ASSERT_EQ(run.errors.compare(0, strlen(OTHER_PICTURES), OTHER_PICTURES), 0) << run.errors;
        EXPECT_EQ(sorted_lines(run.errors.substr(strlen(OTHER_PICTURES))), reading_lines) << run.errors;
        // Weak readings count as any other.
        EXPECT_EQ(sorted_lines(file("raw.txt")),
                  sorted_lines("0.0%\r\n10.0%\r\n25.0%\r\n48.4%\r\n75.0%\r\n100.0%\r\n"));
        EXPECT_EQ(file("output.txt").compare(0, 25, "Health bars detected: 6\r\n"), 0);
    }
    // report.csv without its file times (the rows follow them).
    std::vector<std::string> rows;
    for (const std::string& line : sorted_lines(file("report.csv"))) {
        std::string::size_type name_end = line.find(',');
        rows.push_back(line.substr(0, name_end) + line.substr(line.find(',', name_end + 1)));
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, sorted_lines("\xEF\xBB\xBF" "file,health,damage,status,layout,score,position\r\n"
                                 "b.png,90.0,10.0,read,1920\xC3\x97" "1080 C,0,\r\n"
                                 "cropped.png,75.0,25.0,weak,1920\xC3\x97" "1080 C,0,\r\n"
                                 "desktop 4k.png,,,no_layout,no match (3840\xC3\x97" "2160),,\r\n"
                                 "desktop.png,25.0,75.0,weak,1920\xC3\x97" "1080 C,0,\r\n"
                                 "shot0001.png,51.6,48.4,read,1920\xC3\x97" "1080 C,12,\r\n"
                                 "shot0002.png,0.0,100.0,read,2560\xC3\x97" "1440 A,240,\r\n"
                                 "wallpaper sunset.png,100.0,0.0,weak,1920\xC3\x97" "1080 B,368,\r\n"));
    std::string page = file("report.html");
    EXPECT_NE(page.find("<tr><td>Weak matches:</td><td>3</td></tr>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<tr class=\"file weak\">"), 3u);
    EXPECT_EQ(occurrences(page, ">weak match</span>"), 3u);
}

TEST_F(Trust, LatestTellsAWeakMatchAPictureOfNoScreenSizeAndAFolderWithoutPng) {
    make_trial_folder(folder / "shots");
    struct Case {
        const char* newest;  // made the newest of shots/
        std::string console, errors;
    };
    const Case cases[] = {
        {"wallpaper sunset.png", "100.0% from wallpaper sunset.png\n",
         weak_by_score("wallpaper sunset.png")},
        {"desktop.png", "25.0% from desktop.png\n", weak_by_side("desktop.png")},
        {"desktop 4k.png",
         "Warning: Could not find matching health bar type for screenshot desktop 4k.png\n",
         not_a_screen_size("desktop 4k.png")},
        {"shot0001.png", "51.6% from shot0001.png\n", ""},
    };
    for (const Case& c : cases) {
        const std::string newest = folder / ("shots/" + std::string(c.newest));
        ASSERT_TRUE(set_time(newest, 2000000000)) << c.newest;
        ProgramRun run = run_bounded(folder.path, {"shots"});
        EXPECT_EQ(run.console, BANNER + c.console);
        EXPECT_EQ(run.errors, OTHER_PICTURES + c.errors) << c.newest;
        ASSERT_TRUE(set_time(newest, 1000000000)) << c.newest;
    }
    // Only pictures of other formats: the folder is named.
    ASSERT_EQ(mkdir((folder / "phone").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(folder / "phone/IMG_0001.JPEG", "not read"));
    ProgramRun run = run_bounded(folder / "phone", {});
    EXPECT_EQ(run.console, std::string(BANNER) + "Error: Could not find any PNG file.\n");
    std::string shown_folder = is_wine_run() ? windows_path(folder / "phone") : folder / "phone";
    EXPECT_EQ(run.errors, "healthgauge: 1 .jpeg file was not read (only PNG screenshots are read)\n"
                          "healthgauge: no PNG file in " + shown_folder + "\n");
}

namespace {

// A file of a compared folder as its messages name it.
std::string in_shots(const std::string& name) { return (is_wine_run() ? "shots\\" : "shots/") + name; }

}  // namespace

TEST_F(Trust, CompareCountsTheWeakMatchesOfEachFolderOnItsPage) {
    make_trial_folder(folder / "shots");
    ASSERT_EQ(mkdir((folder / "other").c_str(), 0755), 0);
    write_picture(folder / "other/shot0003.png", 1920, 1080, 5, 500);
    ProgramRun run = run_bounded(folder.path, {"-compare", "shots", "other"});
    EXPECT_EQ(run.console.find(std::string(BANNER) +
                               "Warning: Could not find matching health bar type for screenshot " +
                               in_shots("desktop 4k.png") +
                               "\nComparing shots (6 screenshots read) with other (1 read)\n"),
              0u)
        << run.console;
    std::string errors = run.errors;
    std::string others = "healthgauge: shots: 2 .jpg files were not read (only PNG screenshots are read)\n"
                         "healthgauge: shots: 1 .bmp file was not read (only PNG screenshots are read)\n";
    ASSERT_EQ(errors.compare(0, others.size(), others), 0) << errors;
    EXPECT_EQ(sorted_lines(errors.substr(others.size())),
              sorted_lines(weak_by_score(in_shots("wallpaper sunset.png")) +
                           weak_by_side(in_shots("desktop.png")) + weak_crop(in_shots("cropped.png")) +
                           not_a_screen_size(in_shots("desktop 4k.png"))));
    std::string page = file("compare.html");
    EXPECT_NE(page.find("<tr><td>Weak matches (read, but are they game screenshots?)</td>"
                        "<td class=\"num\">3</td><td class=\"num\">0</td></tr>"),
              std::string::npos);
}

// The last cell of each row of compare.html's table of setups, sorted.
std::vector<std::string> weak_column(const std::string& page) {
    std::vector<std::string> cells;
    size_t at = page.find("<tbody>"), end = page.find("</tbody>");
    while ((at = page.find("</tr>", at + 1)) < end) {
        size_t cell = page.rfind("\">", at);
        cells.push_back(page.substr(cell + 2, page.rfind("</td>", at) - cell - 2));
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

// Each setup's and each play session's weak matches in the page's table:
// the trial's three among 16 readings, none among the other's 10.
TEST_F(Trust, GroupsAndSessionsCountTheWeakMatchesOfEachSetupOnThePage) {
    make_trial_folder(folder / "shots");
    ASSERT_EQ(mkdir((folder / "other").c_str(), 0755), 0);
    for (int i = 0; i < 10; ++i) {
        write_picture(folder / "shots/more" + std::to_string(i) + ".png", 1920, 1080, 5, 400);
        write_picture(folder / "other/shot" + std::to_string(i) + ".png", 1920, 1080, 5, 500);
    }
    ProgramRun groups = run_bounded(folder.path, {"-groups"});
    ASSERT_NE(groups.console.find(SAVED_COMPARE), std::string::npos) << groups.console;
    std::string page = file("compare.html");
    EXPECT_NE(page.find("<th class=\"num\">Weak matches</th>"), std::string::npos) << page;
    EXPECT_EQ(weak_column(page), (std::vector<std::string>{"0", "3"})) << page;
    EXPECT_EQ(occurrences(groups.errors, ": weak match ("), 3u) << groups.errors;

    // One evening's trial, the other screenshots a day later.
    for (const std::string& name : folder_names(folder / "shots")) {
        ASSERT_TRUE(set_time(folder / "shots/" + name, 1795291800));
    }
    for (int i = 0; i < 10; ++i) {
        std::string moved = folder / "shots/o" + std::to_string(i) + ".png";
        ASSERT_EQ(rename((folder / "other/shot" + std::to_string(i) + ".png").c_str(), moved.c_str()), 0);
        ASSERT_TRUE(set_time(moved, 1795370400 + i));
    }
    ProgramRun sessions = run_bounded(folder / "shots", {"-sessions"});
    ASSERT_NE(sessions.console.find(SAVED_COMPARE), std::string::npos) << sessions.console;
    EXPECT_EQ(weak_column(file("shots/compare.html")), (std::vector<std::string>{"0", "3"}));
}

TEST_F(Trust, WatchTellsAWeakMatchAsItReadsIt) {
    ChildSetup setup;
    setup.keep_errors = true;
    StartedProgram watch = start_program(folder.path, {"-watch"}, "", setup);
    ASSERT_GT(watch.pid, 0);
    auto wait_for = [&watch](const std::string& text) {
        uint64_t until = now_ms() + (is_wine_run() ? 60000 : 20000);
        while (printed(watch).find(text) == std::string::npos && now_ms() < until) {
            if (!read_output(watch, 100)) break;
        }
        return printed(watch).find(text) != std::string::npos;
    };
    ASSERT_TRUE(wait_for("Press Ctrl+C to stop.\n")) << printed(watch);
    write_picture(folder / "wallpaper.tmp", 1920, 1080, 4, 1000, 368);
    ASSERT_EQ(rename((folder / "wallpaper.tmp").c_str(), (folder / "wallpaper sunset.png").c_str()), 0);
    ASSERT_TRUE(wait_for("100.0% from wallpaper sunset.png\n")) << printed(watch);
    kill(watch.pid, SIGINT);
    ProgramRun run = finish(watch, 10000);
    EXPECT_EQ(run.errors, weak_by_score("wallpaper sunset.png"));
    EXPECT_NE(run.console.find("Read 1 screenshots, average damage 0.0% (health left 100.0%)"),
              std::string::npos)
        << run.console;
}

TEST_F(Trust, WatchOnATerminalKeepsALiveStatusLine) {
    TerminalRun watch;
    ASSERT_TRUE(watch.start(folder.path, {"-watch"}));
    ASSERT_TRUE(watch.wait_for("Watching: no screenshot read yet")) << shown_text(watch.received);
    write_picture(folder / "shot.tmp", 1920, 1080, 5, 516);
    ASSERT_EQ(rename((folder / "shot.tmp").c_str(), (folder / "shot.png").c_str()), 0);
    ASSERT_TRUE(watch.wait_for("51.6% from shot.png\n")) << shown_text(watch.received);
    // Drawn again after the reading's line, and counting up: a later age
    // than 0:00 follows within a few seconds (a busy machine may skip one).
    const std::string line = "Watching: 1 read, average damage 48.4%, last reading 51.6% ";
    ASSERT_TRUE(watch.wait_for("51.6% from shot.png\n" + line + "0:00 ago")) << shown_text(watch.received);
    auto later_age = [&watch, &line] {
        std::string shown = shown_text(watch.received);
        for (auto at = shown.find(line); at != std::string::npos; at = shown.find(line, at + 1)) {
            auto end = shown.find(" ago", at + line.size());  // a whole age only
            if (end != std::string::npos && shown.substr(at + line.size(), end - at - line.size()) != "0:00") {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < 100 && !later_age(); ++i) watch.wait_for("\x01", 100);
    ASSERT_TRUE(later_age()) << shown_text(watch.received);
    watch.type("\x03");
    ASSERT_TRUE(watch.wait_for("Read 1 screenshots, average damage 48.4% (health left 51.6%)"))
        << shown_text(watch.received);
    if (is_wine_run()) {  // the console window of its own waits for Enter
        ASSERT_TRUE(watch.wait_for("Press Enter to close this window.")) << shown_text(watch.received);
        watch.type("\r");
    }
    EXPECT_EQ(watch.ended(10000), 1);
    // The line is taken away before the summary: nothing follows it.
    std::string shown = shown_text(watch.received);
    std::string::size_type summary = shown.rfind("Read 1 screenshots");
    EXPECT_EQ(shown.find("Watching: 1", summary), std::string::npos) << shown;
}
