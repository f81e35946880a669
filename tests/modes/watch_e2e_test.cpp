// The watch mode of the built program: it runs in a temporary folder while
// the test writes screenshots into it, and its console lines are read as
// they come. Every wait is bounded; a program that does not stop is killed.
//
// program_run.h starts it (HEALTHGAUGE_PROGRAM, HEALTHGAUGE_RUNNER,
// HEALTHGAUGE_CONSOLE_CRLF) and probes the clipboard
// (HEALTHGAUGE_TEST_DISPLAY, HEALTHGAUGE_WINDOWS_TOOL).
#include "support/program_run.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace {

const char WATCHING[] = "Watching for new screenshots. Press Ctrl+C to stop.";
const char FALLBACK[] =
    "Warning: Cannot watch this folder for changes; looking every second instead.";
const char GONE[] = "Error: Stopped watching: the folder can no longer be read.";

std::string png_with_reading(uint32_t reading) { return encode_png(screenshot_with_reading(reading)); }

std::string reading_line(uint32_t reading, const std::string& name) {
    return percent(reading) + " from " + name;
}

// The complete lines the program printed after the banner.
std::vector<std::string> lines(const StartedProgram& program) {
    std::vector<std::string> result;
    std::string text = printed(program);
    std::string banner = BANNER;
    if (text.size() < banner.size() && banner.compare(0, text.size(), text) == 0) return result;
    if (text.compare(0, banner.size(), banner) == 0) text.erase(0, banner.size());
    std::string::size_type start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// Reads the program's output until `done` holds, its output ends or
// timeout_ms pass; whether `done` holds.
bool read_until(StartedProgram& program, int timeout_ms, const std::function<bool()>& done) {
    uint64_t until = now_ms() + static_cast<uint64_t>(timeout_ms);
    while (!done()) {
        uint64_t now = now_ms();
        if (now >= until || !read_output(program, static_cast<int>(std::min<uint64_t>(until - now, 100)))) {
            break;
        }
    }
    return done();
}

// Waits for the program to have printed `count` lines after the banner.
bool wait_for_lines(StartedProgram& program, size_t count, int timeout_ms = 20000) {
    return read_until(program, timeout_ms, [&] { return lines(program).size() >= count; });
}

// Waits for the program to have printed `line`.
bool wait_for_line(StartedProgram& program, const std::string& line, int timeout_ms = 20000) {
    return read_until(program, timeout_ms, [&] {
        std::vector<std::string> all = lines(program);
        return std::find(all.begin(), all.end(), line) != all.end();
    });
}

// Collects output for ms milliseconds (to see that nothing more comes).
void settle(StartedProgram& program, int ms) {
    read_until(program, ms, [] { return false; });
}

// Sends a signal and collects everything up to the program's end (its
// status -1 when it did not end within timeout_ms: it is killed then).
ProgramRun stop_program(StartedProgram& program, int signal_number = SIGINT, int timeout_ms = 10000) {
    kill(program.pid, signal_number);
    return finish(program, timeout_ms);
}

// Processes left in a process group, other than xclip (which stays to
// serve the clipboard): their command names.
std::vector<std::string> leftovers(pid_t group) {
    std::vector<std::string> names;
    DIR* proc = opendir("/proc");
    if (!proc) return names;
    while (const dirent* entry = readdir(proc)) {
        std::string stat = read_file(std::string("/proc/") + entry->d_name + "/stat");
        std::string::size_type close_paren = stat.rfind(')');
        if (stat == "<missing>" || close_paren == std::string::npos) continue;
        std::string name = stat.substr(stat.find('(') + 1, close_paren - stat.find('(') - 1);
        int pgrp = 0;
        char state = 0;
        int parent = 0;
        if (sscanf(stat.c_str() + close_paren + 1, " %c %d %d", &state, &parent, &pgrp) != 3) {
            continue;
        }
        if (pgrp == group && name != "xclip" && state != 'Z') names.push_back(name);
    }
    closedir(proc);
    return names;
}

// The program in watch mode, in its own process group, with old.png in its
// folder from before it started.
class Watch : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        ASSERT_TRUE(write_file(folder / "old.png", png_with_reading(100)));
    }
    void TearDown() override { kill_program(program); }
    // Starts the watch in `where` (the test's folder when empty) and waits
    // until it is ready (its first line).
    void start(const std::string& display = "", ChildSetup setup = {}, std::string where = "") {
        setup.own_group = true;
        program = start_program(where.empty() ? folder.path : where, {"-watch"}, display, setup);
        ASSERT_GT(program.pid, 0);
        ASSERT_TRUE(wait_for_lines(program, 1, is_wine_run() ? 60000 : 20000) &&
                    lines(program)[0] == WATCHING)
            << program.console;
    }
    // Waits for `count` lines in all, then a little longer for any extra.
    std::vector<std::string> lines_after(size_t count, int settle_ms = 300) {
        wait_for_lines(program, count, is_wine_run() ? 40000 : 20000);
        settle(program, settle_ms);
        return lines(program);
    }
    TempFolder folder;
    StartedProgram program;
};

}  // namespace

TEST_F(Watch, ScreenshotWrittenInPiecesIsReadOnceAfterTheLastPiece) {
    start();
    std::string png = png_with_reading(375);
    size_t piece = png.size() / 4 + 1;
    for (size_t at = 0; at < png.size(); at += piece) {
        // Each piece opens, appends and closes, as a writer that reopens would.
        ASSERT_TRUE(write_file(folder / "shot.png", png.substr(at, piece), at != 0));
        if (at + piece < png.size()) {
            settle(program, 400);
            EXPECT_EQ(lines(program).size(), 1u)
                << "read before its last piece: " << program.console;
        }
    }
    EXPECT_EQ(lines_after(2, 1000),
              (std::vector<std::string>{WATCHING, reading_line(375, "shot.png")}));
    EXPECT_EQ(stop_program(program).status, 1);
    EXPECT_EQ(lines(program).back(), "Read 1 screenshots, average damage 62.5% (health left 37.5%)");
}

// A writer that has written the whole screenshot but still holds the file:
// nothing is read until it lets go. On Linux the close is the news; on
// Windows the file cannot be opened unshared until then, which a Windows
// writer (tests/windows/held_writer) shows under Wine.
TEST_F(Watch, WriterHoldingTheFileIsWaitedFor) {
    std::string tool = windows_tool();
    if (is_wine_run() && tool.empty()) GTEST_SKIP() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
    start();
    std::string png = png_with_reading(925);
    if (!is_wine_run()) {
        FILE* file = fopen((folder / "held.png").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(fwrite(png.data(), 1, png.size(), file), png.size());
        ASSERT_EQ(fflush(file), 0);
        settle(program, 1000);
        EXPECT_EQ(lines(program), std::vector<std::string>{WATCHING}) << "read while held";
        ASSERT_EQ(fclose(file), 0);
    } else {
        TempFolder source;
        ASSERT_TRUE(write_file(source / "shot.png", png));
        std::string writer = tool.substr(0, tool.find_last_of('/') + 1) + "held_writer.exe";
        std::string command = "cd '" + folder.path + "' && '" + environment("HEALTHGAUGE_RUNNER") +
                              "' '" + writer + "' '" + source.path + "/shot.png' held.png 2500";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[64] = "";
        ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
        ASSERT_STREQ(line, "written\n");
        settle(program, 1500);
        EXPECT_EQ(lines(program), std::vector<std::string>{WATCHING}) << "read while held";
        EXPECT_EQ(pclose(pipe), 0);
    }
    EXPECT_EQ(lines_after(2), (std::vector<std::string>{WATCHING, reading_line(925, "held.png")}));
}

TEST_F(Watch, TemporaryNameRenamedIntoPlaceIsReadOnceAndTheTemporaryNever) {
    start();
    ASSERT_TRUE(write_file(folder / "shot0001.tmp", png_with_reading(250)));
    ASSERT_EQ(rename((folder / "shot0001.tmp").c_str(), (folder / "shot0001.png").c_str()), 0);
    ASSERT_TRUE(write_file(folder / "left.tmp", png_with_reading(300)));
    // Moved in from another folder.
    TempFolder elsewhere;
    ASSERT_TRUE(write_file(elsewhere / "moved.PNG", png_with_reading(750)));
    ASSERT_EQ(rename((elsewhere / "moved.PNG").c_str(), (folder / "moved.PNG").c_str()), 0);
    EXPECT_EQ(lines_after(3, 800),
              (std::vector<std::string>{WATCHING, reading_line(250, "shot0001.png"),
                                        reading_line(750, "moved.PNG")}));
}

TEST_F(Watch, BurstIsReadOnceEachInTheOrderWritten) {
    start();
    std::vector<std::string> expected = {WATCHING};
    for (uint32_t i = 0; i < 50; ++i) {
        uint32_t reading = (i * 37 % 41) * 25;  // 0..1000, exact for the layout
        char name[32];
        snprintf(name, sizeof name, "burst%02u.png", i);
        ASSERT_TRUE(write_file(folder / name, png_with_reading(reading)));
        expected.push_back(reading_line(reading, name));
    }
    EXPECT_EQ(lines_after(51, 1000), expected);
}

TEST_F(Watch, SameNameIsReadAgainAndOtherFilesNever) {
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    start();
    ASSERT_TRUE(write_file(folder / ".x.png", png_with_reading(100)));
    ASSERT_TRUE(write_file(folder / "notes.txt", "x"));
    ASSERT_TRUE(write_file(folder / "sub/inside.png", png_with_reading(100)));
    // Never ends with IEND: read as it is once its wait is over.
    ASSERT_TRUE(write_file(folder / "late.png", "not a picture"));
    ASSERT_TRUE(write_file(folder / "shot.png", png_with_reading(500)));
    ASSERT_TRUE(wait_for_line(program, reading_line(500, "shot.png")));
    // Opened for writing again and closed, unchanged: the same write.
    ASSERT_TRUE(write_file(folder / "shot.png", "", true));
    settle(program, 300);
    ASSERT_TRUE(write_file(folder / "shot.png", png_with_reading(800)));
    ASSERT_TRUE(wait_for_line(program, reading_line(800, "shot.png")));
    ASSERT_TRUE(write_file(folder / "shot.png", png_with_reading(500)));
    std::vector<std::string> lines = lines_after(5, 500);
    std::vector<std::string> late_lines, other_lines;
    for (const std::string& line : lines) {
        (line.find("late.png") != std::string::npos ? late_lines : other_lines).push_back(line);
    }
    EXPECT_EQ(other_lines, (std::vector<std::string>{WATCHING, reading_line(500, "shot.png"),
                                                     reading_line(800, "shot.png"),
                                                     reading_line(500, "shot.png")}));
    EXPECT_EQ(late_lines, std::vector<std::string>{"Error: Failed to load late.png"});
}

TEST_F(Watch, NothingPresentAtTheStartIsRead) {
    ASSERT_TRUE(write_file(folder / "second.png", png_with_reading(200)));
    start();
    settle(program, 500);
    EXPECT_EQ(lines(program), std::vector<std::string>{WATCHING});
    EXPECT_EQ(stop_program(program).status, 1);
    EXPECT_EQ(lines(program), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

TEST_F(Watch, InterruptEndsItWithTheSummaryAndLeavesNothingBehind) {
    start();
    ASSERT_TRUE(write_file(folder / "a.png", png_with_reading(500)));
    ASSERT_TRUE(write_file(folder / "b.png", png_with_reading(800)));
    ASSERT_TRUE(write_file(folder / "c.png", "\x89PNG\r\n\x1a\n" + std::string(40, 'x') +
                                                  std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12)));
    ASSERT_TRUE(wait_for_lines(program, 4));
    // A screenshot half written when the stop comes does not hold it up.
    ASSERT_TRUE(write_file(folder / "d.png", png_with_reading(300).substr(0, 100)));
    settle(program, 100);
    uint64_t asked = now_ms();
    EXPECT_EQ(stop_program(program, SIGINT).status, 1);
    EXPECT_LT(now_ms() - asked, 2500u);
    EXPECT_EQ(lines(program),
              (std::vector<std::string>{WATCHING, reading_line(500, "a.png"),
                                        reading_line(800, "b.png"), "Error: Failed to load c.png",
                                        "Read 2 screenshots, average damage 35.0% (health left 65.0%)"}));
    if (!is_wine_run()) {
        EXPECT_EQ(leftovers(program.group), std::vector<std::string>{});
    }
}

TEST_F(Watch, TerminateEndsItTheSameWay) {
    if (is_wine_run()) GTEST_SKIP() << "SIGTERM has no console event to become on Windows";
    start();
    EXPECT_EQ(stop_program(program, SIGTERM).status, 1);
    EXPECT_EQ(lines(program), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

// The watched folder removed (once its screenshot is read) or renamed.
TEST_F(Watch, FolderRemovedOrRenamedEndsIt) {
    if (is_wine_run()) GTEST_SKIP() << "Wine keeps the working folder of a program";
    for (bool removed : {true, false}) {
        SCOPED_TRACE(removed ? "removed" : "renamed");
        TempFolder outer;
        std::string inner = outer / "shots";
        ASSERT_EQ(mkdir(inner.c_str(), 0755), 0);
        start("", {}, inner);
        if (HasFatalFailure()) return;
        std::vector<std::string> expected = {WATCHING};
        if (removed) {
            ASSERT_TRUE(write_file(inner + "/one.png", png_with_reading(900)));
            ASSERT_TRUE(wait_for_lines(program, 2));
            ASSERT_EQ(remove((inner + "/one.png").c_str()), 0);
            ASSERT_EQ(rmdir(inner.c_str()), 0);
            expected.insert(expected.end(), {reading_line(900, "one.png"), GONE,
                                             "Read 1 screenshots, average damage 10.0% (health left 90.0%)"});
        } else {
            ASSERT_EQ(rename(inner.c_str(), (outer / "old shots").c_str()), 0);
            expected.insert(expected.end(), {GONE, "Read 0 screenshots"});
        }
        EXPECT_EQ(finish(program, 10000).status, 1);
        EXPECT_EQ(lines(program), expected);
    }
}

TEST_F(Watch, InterruptIgnoredByItsStarterStaysIgnored) {
    if (is_wine_run()) GTEST_SKIP() << "SIGINT's disposition belongs to the POSIX program";
    ChildSetup ignoring;
    ignoring.last_step = [] { signal(SIGINT, SIG_IGN); };
    start("", ignoring);
    kill(program.pid, SIGINT);
    settle(program, 500);
    EXPECT_EQ(lines(program), std::vector<std::string>{WATCHING});
    EXPECT_EQ(stop_program(program, SIGTERM).status, 1);
    EXPECT_EQ(lines(program), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

#ifdef __linux__

// The kernel's queue of inotify events holds max_queued_events; more news than
// that while the program is stopped makes it overflow.
class Overflow : public Watch {
  protected:
    void SetUp() override {
        if (is_wine_run()) GTEST_SKIP() << "inotify belongs to the Linux program";
        limit = atol(read_file("/proc/sys/fs/inotify/max_queued_events").c_str());
        if (limit <= 0 || limit > 100000) GTEST_SKIP() << "queue limit " << limit;
        Watch::SetUp();
    }
    // Stops the program, floods its queue, writes the screenshots, and lets
    // it go on.
    void overflow_then_write(const std::vector<std::pair<std::string, uint32_t>>& shots) {
        ASSERT_EQ(killpg(program.group, SIGSTOP), 0);
        // Two names in turn: the kernel folds an event into the one before it
        // only when they are alike.
        std::string names[2] = {folder / "n0.txt", folder / "n1.txt"};
        for (long i = 0; i <= limit; ++i) {
            int fd = open(names[i % 2].c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            close(fd);
        }
        for (const auto& shot : shots) {
            ASSERT_TRUE(write_file(folder / shot.first, png_with_reading(shot.second)));
        }
        ASSERT_EQ(killpg(program.group, SIGCONT), 0);
    }
    long limit = 0;
};

TEST_F(Overflow, IsCaughtUpWithByListing) {
    start();
    ASSERT_TRUE(write_file(folder / "before.png", png_with_reading(600)));
    ASSERT_TRUE(wait_for_lines(program, 2));
    overflow_then_write({{"lost1.png", 400}, {"lost2.png", 450}});
    EXPECT_EQ(
        lines_after(4, 1000),
        (std::vector<std::string>{WATCHING, reading_line(600, "before.png"),
                                  reading_line(400, "lost1.png"), reading_line(450, "lost2.png")}));
}

// Many older screenshots in the folder: the catch-up still finds every new
// one, wherever it is in the directory's order, and reads each once.
// (They are empty: written before the start, they are never read at all.)
TEST_F(Overflow, CatchUpAmongManyOldScreenshotsReadsEveryNewOneOnce) {
    for (int i = 0; i < 25000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "old%05d.png", i);
        int fd = open((folder / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    start();
    ASSERT_TRUE(write_file(folder / "before.png", png_with_reading(600)));
    ASSERT_TRUE(wait_for_lines(program, 2));
    std::vector<std::pair<std::string, uint32_t>> shots;
    std::vector<std::string> expected = {WATCHING, reading_line(600, "before.png")};
    for (uint32_t i = 0; i < 20; ++i) {
        std::string name = "new" + std::to_string(10 + i) + ".png";
        shots.push_back({name, i * 50});
        expected.push_back(reading_line(i * 50, name));
    }
    overflow_then_write(shots);
    EXPECT_EQ(lines_after(expected.size(), 1000), expected);
}

// A screenshot dated in the future does not hide the ones after it.
TEST_F(Overflow, ScreenshotFromTheFutureHidesNothing) {
    start();
    TempFolder elsewhere;
    ASSERT_TRUE(write_file(elsewhere / "future.png", png_with_reading(300)));
    struct timespec tomorrow[2];
    clock_gettime(CLOCK_REALTIME, &tomorrow[0]);
    tomorrow[0].tv_sec += 86400;
    tomorrow[1] = tomorrow[0];
    ASSERT_EQ(utimensat(AT_FDCWD, (elsewhere / "future.png").c_str(), tomorrow, 0), 0);
    ASSERT_EQ(rename((elsewhere / "future.png").c_str(), (folder / "future.png").c_str()), 0);
    ASSERT_TRUE(wait_for_lines(program, 2));
    overflow_then_write({{"next.png", 700}});
    EXPECT_EQ(lines_after(3, 1000),
              (std::vector<std::string>{WATCHING, reading_line(300, "future.png"),
                                        reading_line(700, "next.png")}));
}

// With every inotify instance of the user taken, the program looks at the
// folder every second instead.
TEST_F(Watch, WithoutInotifyItLooksEverySecond) {
    if (is_wine_run()) GTEST_SKIP() << "inotify belongs to the Linux program";
    ChildSetup no_inotify;
    no_inotify.last_step = [] {
        while (inotify_init() >= 0) {
        }
    };
    start("", no_inotify);
    ASSERT_TRUE(wait_for_lines(program, 2));
    ASSERT_EQ(lines(program)[1], FALLBACK);
    ASSERT_TRUE(write_file(folder / "new.png", png_with_reading(650)));
    std::string png = png_with_reading(125);
    ASSERT_TRUE(write_file(folder / "slow.png", png.substr(0, png.size() / 2)));
    settle(program, 1500);
    ASSERT_TRUE(write_file(folder / "slow.png", png.substr(png.size() / 2), true));
    EXPECT_EQ(lines_after(4, 1500),
              (std::vector<std::string>{WATCHING, FALLBACK, reading_line(650, "new.png"),
                                        reading_line(125, "slow.png")}));
    EXPECT_EQ(stop_program(program).status, 1);
    EXPECT_EQ(lines(program).back(), "Read 2 screenshots, average damage 61.3% (health left 38.7%)");
}

#endif

// ---- the clipboard ----------------------------------------------------------

namespace {

class WatchClipboard : public Watch {
  protected:
    void SetUp() override {
        Watch::SetUp();
        if (!HasFatalFailure()) open_clipboard(&clipboard, folder.path);
    }
    ClipboardProbe clipboard;
};

}  // namespace

TEST_F(WatchClipboard, DamagedScreenshotEmptiesItAndTheWatchGoesOn) {
    start(clipboard.display);
    // A PNG's start and end with nothing readable between them.
    ASSERT_TRUE(
        write_file(folder / "damaged.png", "\x89PNG\r\n\x1a\n" + std::string(64, '\x55') +
                                                std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12)));
    ASSERT_TRUE(wait_for_lines(program, 2));
    EXPECT_EQ(lines(program)[1], "Error: Failed to load damaged.png");
    EXPECT_EQ(settled_clipboard_text(clipboard, ""), "");

    ASSERT_TRUE(write_file(folder / "good.png", png_with_reading(537)));
    EXPECT_EQ(lines_after(3),
              (std::vector<std::string>{WATCHING, "Error: Failed to load damaged.png",
                                        reading_line(537, "good.png")}));
    EXPECT_EQ(settled_clipboard_text(clipboard, "53.7%"), "53.7%");
    EXPECT_EQ(stop_program(program).status, 1);
    EXPECT_EQ(lines(program).back(), "Read 1 screenshots, average damage 46.3% (health left 53.7%)");
    if (windows_tool().empty()) {
        EXPECT_EQ(leftovers(program.group), std::vector<std::string>{});
    }
}

// A clipboard helper that never ends holds up neither the watch nor its stop.
TEST_F(Watch, ClipboardHelperThatNeverEndsHoldsNothingUp) {
    if (is_wine_run()) GTEST_SKIP() << "the clipboard helpers belong to the POSIX program";
    TempFolder bin;
    ASSERT_TRUE(write_file(bin / "xclip", "#!/bin/sh\nexec sleep 60\n"));
    ASSERT_EQ(chmod((bin / "xclip").c_str(), 0755), 0);
    ChildSetup fake_helper;
    fake_helper.settings.push_back({"PATH", bin.path + ":" + environment("PATH")});
    fake_helper.keep_errors = true;
    start(":97", fake_helper);
    ASSERT_TRUE(write_file(folder / "a.png", game_png_with_reading(500)));
    ASSERT_TRUE(wait_for_lines(program, 2));
    ASSERT_TRUE(write_file(folder / "b.png", game_png_with_reading(800)));
    ASSERT_TRUE(wait_for_lines(program, 3));
    // b.png's helper is now being waited for: a stop ends the wait at once.
    uint64_t asked = now_ms();
    ProgramRun stopped = stop_program(program, SIGTERM);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_LT(now_ms() - asked, 2000u);
    EXPECT_EQ(lines(program),
              (std::vector<std::string>{WATCHING, reading_line(500, "a.png"),
                                        reading_line(800, "b.png"),
                                        "Read 2 screenshots, average damage 35.0% (health left 65.0%)"}));
    EXPECT_EQ(leftovers(program.group), std::vector<std::string>{});
    EXPECT_EQ(stopped.errors,
              "healthgauge: the clipboard was not set (its helper did not finish in 3 s)\n");
}
