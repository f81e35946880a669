// The watch mode of the built program: it runs in a temporary folder while
// the test writes screenshots into it, and its console lines are read as
// they come. Every wait is bounded; a program that does not stop is killed.
//
// The same environment as end_to_end_test.cpp chooses the program and its
// runner (HEALTHGAUGE_PROGRAM, HEALTHGAUGE_RUNNER, HEALTHGAUGE_CONSOLE_CRLF),
// the X display for the clipboard (HEALTHGAUGE_TEST_DISPLAY) and, for the
// Windows program, the tool that reads Wine's clipboard
// (HEALTHGAUGE_WINDOWS_TOOL).
#include "support/png_writer.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace {

const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";
const char WATCHING[] = "Watching for new screenshots. Press Ctrl+C to stop.";
const char FALLBACK[] =
    "Warning: Cannot watch this folder for changes; looking every second instead.";
const char GONE[] = "Error: Stopped watching: the folder can no longer be read.";

std::string environment(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

bool under_wine() { return !environment("HEALTHGAUGE_RUNNER").empty(); }

uint64_t now_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

void pause_ms(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// Layout 5 has a 240-pixel bar: every reading used below is exact with it.
std::string png_with_reading(uint32_t reading) {
    Screenshot shot = blank_screenshot(1920, 64, 3);
    paint_gauge(shot, 5, filled_for_reading(5, reading));
    return encode_png(shot);
}

std::string reading_line(uint32_t reading, const std::string& name) {
    return std::to_string(reading / 10) + "." + std::to_string(reading % 10) + "% from " + name;
}

// The program in watch mode, in its own process group, its standard output
// read as it comes.
class WatchedProgram {
  public:
    ~WatchedProgram() { kill_now(); }

    // Starts the program in folder; `before_exec` runs in the child first.
    bool start(const std::string& folder, const std::string& display = "",
               const std::function<void()>& before_exec = nullptr) {
        std::vector<std::string> arguments = {environment("HEALTHGAUGE_PROGRAM").empty()
                                                  ? HEALTHGAUGE_DEFAULT_PROGRAM
                                                  : environment("HEALTHGAUGE_PROGRAM"),
                                              "-watch"};
        if (under_wine()) arguments.insert(arguments.begin(), environment("HEALTHGAUGE_RUNNER"));
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
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
            if (before_exec) before_exec();
            std::vector<char*> argv;
            for (std::string& argument : arguments) argv.push_back(&argument[0]);
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        output = fds[0];
        if (pid < 0) return false;
        setpgid(pid, pid);
        return true;
    }

    // Reads what the program printed, for up to timeout_ms; false at its end.
    bool pump(int timeout_ms) {
        if (output < 0) return false;
        struct pollfd fd = {output, POLLIN, 0};
        if (poll(&fd, 1, timeout_ms) <= 0) return true;
        char buffer[4096];
        ssize_t got = read(output, buffer, sizeof buffer);
        if (got <= 0) {
            close(output);
            output = -1;
            return false;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\r' || environment("HEALTHGAUGE_CONSOLE_CRLF").empty()) {
                console.push_back(buffer[i]);
            }
        }
        return true;
    }

    // The complete lines printed after the banner.
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::string text = console;
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

    // Waits up to timeout_ms for the program to have printed `count` lines
    // after the banner.
    bool wait_for_lines(size_t count, int timeout_ms = 20000) {
        uint64_t until = now_ms() + static_cast<uint64_t>(timeout_ms);
        while (lines().size() < count) {
            uint64_t now = now_ms();
            int step = static_cast<int>(std::min<uint64_t>(until - now, 100));
            if (now >= until || !pump(step)) break;
        }
        return lines().size() >= count;
    }

    // Waits up to timeout_ms for the program to have printed `line`.
    bool wait_for_line(const std::string& line, int timeout_ms = 20000) {
        uint64_t until = now_ms() + static_cast<uint64_t>(timeout_ms);
        auto printed = [&] {
            std::vector<std::string> all = lines();
            return std::find(all.begin(), all.end(), line) != all.end();
        };
        while (!printed()) {
            uint64_t now = now_ms();
            int step = static_cast<int>(std::min<uint64_t>(until - now, 100));
            if (now >= until || !pump(step)) break;
        }
        return printed();
    }

    // Waits until the watch is ready (its first line).
    bool wait_until_watching() {
        return wait_for_lines(1, under_wine() ? 60000 : 20000) && lines()[0] == WATCHING;
    }

    // Collects output for ms milliseconds (to see that nothing more comes).
    void settle(int ms) {
        uint64_t until = now_ms() + static_cast<uint64_t>(ms);
        for (uint64_t now = now_ms(); now < until; now = now_ms()) {
            if (!pump(static_cast<int>(until - now))) break;
        }
    }

    // Sends a signal and collects everything up to the program's end; its
    // exit status, or -1 when it did not end within timeout_ms (it is
    // killed then).
    int stop(int signal_number = SIGINT, int timeout_ms = 10000) {
        kill(pid, signal_number);
        return wait_for_end(timeout_ms);
    }

    int wait_for_end(int timeout_ms = 10000) {
        uint64_t until = now_ms() + static_cast<uint64_t>(timeout_ms);
        while (output >= 0 && now_ms() < until) pump(100);
        int status = 0;
        for (;;) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            if (now_ms() >= until) {
                kill_now();
                return -1;
            }
            pause_ms(10);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Processes left in the program's process group, other than xclip
    // (which stays to serve the clipboard): their command names.
    std::vector<std::string> leftovers() const {
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

    pid_t group_id() const { return group; }

    void send(int signal_number) { kill(pid, signal_number); }

    void kill_now() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        if (output >= 0) close(output);
        output = -1;
    }

    std::string console;

  private:
    pid_t pid = -1;
    pid_t group = -1;
    int output = -1;

  public:
    // Records the group once started (the child leads its own group).
    void remember_group() { group = pid; }
};

bool write_bytes(const std::string& path, const std::string& bytes, const char* how = "wb") {
    FILE* file = fopen(path.c_str(), how);
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

class Watch : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        ASSERT_TRUE(write_bytes(folder / "old.png", png_with_reading(100)));
    }
    void start(const std::string& display = "", const std::function<void()>& before = nullptr) {
        ASSERT_TRUE(program.start(folder.path, display, before));
        program.remember_group();
        ASSERT_TRUE(program.wait_until_watching()) << program.console;
    }
    // Waits for `count` lines in all, then a little longer for any extra.
    std::vector<std::string> lines_after(size_t count, int settle_ms = 300) {
        program.wait_for_lines(count, under_wine() ? 40000 : 20000);
        program.settle(settle_ms);
        return program.lines();
    }
    TempFolder folder;
    WatchedProgram program;
};

}  // namespace

TEST_F(Watch, ScreenshotWrittenInPiecesIsReadOnceAfterTheLastPiece) {
    start();
    std::string png = png_with_reading(375);
    size_t piece = png.size() / 4 + 1;
    for (size_t at = 0; at < png.size(); at += piece) {
        // Each piece opens, appends and closes, as a writer that reopens would.
        ASSERT_TRUE(write_bytes(folder / "shot.png", png.substr(at, piece), at == 0 ? "wb" : "ab"));
        if (at + piece < png.size()) {
            program.settle(400);
            EXPECT_EQ(program.lines().size(), 1u)
                << "read before its last piece: " << program.console;
        }
    }
    EXPECT_EQ(lines_after(2, 1000),
              (std::vector<std::string>{WATCHING, reading_line(375, "shot.png")}));
    EXPECT_EQ(program.stop(), 1);
    EXPECT_EQ(program.lines().back(), "Read 1 screenshots, average damage 62.5% (health left 37.5%)");
}

// A writer that has written the whole screenshot but still holds the file:
// nothing is read until it lets go. On Linux the close is the news; on
// Windows the file cannot be opened unshared until then, which a Windows
// writer (tests/windows/held_writer) shows under Wine.
TEST_F(Watch, WriterHoldingTheFileIsWaitedFor) {
    std::string tool = environment("HEALTHGAUGE_WINDOWS_TOOL");
    if (under_wine() && tool.empty()) GTEST_SKIP() << "HEALTHGAUGE_WINDOWS_TOOL is not set";
    start();
    std::string png = png_with_reading(925);
    if (!under_wine()) {
        FILE* file = fopen((folder / "held.png").c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(fwrite(png.data(), 1, png.size(), file), png.size());
        ASSERT_EQ(fflush(file), 0);
        program.settle(1000);
        EXPECT_EQ(program.lines(), std::vector<std::string>{WATCHING}) << "read while held";
        ASSERT_EQ(fclose(file), 0);
    } else {
        TempFolder source;
        ASSERT_TRUE(write_bytes(source / "shot.png", png));
        std::string writer = tool.substr(0, tool.find_last_of('/') + 1) + "held_writer.exe";
        std::string command = "cd '" + folder.path + "' && '" + environment("HEALTHGAUGE_RUNNER") +
                              "' '" + writer + "' '" + source.path + "/shot.png' held.png 2500";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[64] = "";
        ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
        ASSERT_STREQ(line, "written\n");
        program.settle(1500);
        EXPECT_EQ(program.lines(), std::vector<std::string>{WATCHING}) << "read while held";
        EXPECT_EQ(pclose(pipe), 0);
    }
    EXPECT_EQ(lines_after(2), (std::vector<std::string>{WATCHING, reading_line(925, "held.png")}));
}

TEST_F(Watch, TemporaryNameRenamedIntoPlaceIsReadOnceAndTheTemporaryNever) {
    start();
    ASSERT_TRUE(write_bytes(folder / "shot0001.tmp", png_with_reading(250)));
    ASSERT_EQ(rename((folder / "shot0001.tmp").c_str(), (folder / "shot0001.png").c_str()), 0);
    ASSERT_TRUE(write_bytes(folder / "left.tmp", png_with_reading(300)));
    // Moved in from another folder.
    TempFolder elsewhere;
    ASSERT_TRUE(write_bytes(elsewhere / "moved.PNG", png_with_reading(750)));
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
        ASSERT_TRUE(write_bytes(folder / name, png_with_reading(reading)));
        expected.push_back(reading_line(reading, name));
    }
    EXPECT_EQ(lines_after(51, 1000), expected);
}

TEST_F(Watch, SameNameIsReadAgainAndOtherFilesNever) {
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    start();
    ASSERT_TRUE(write_bytes(folder / ".x.png", png_with_reading(100)));
    ASSERT_TRUE(write_bytes(folder / "notes.txt", "x"));
    ASSERT_TRUE(write_bytes(folder / "sub/inside.png", png_with_reading(100)));
    // Never ends with IEND: read as it is once its wait is over.
    ASSERT_TRUE(write_bytes(folder / "late.png", "not a picture"));
    ASSERT_TRUE(write_bytes(folder / "shot.png", png_with_reading(500)));
    ASSERT_TRUE(program.wait_for_line(reading_line(500, "shot.png")));
    // Opened for writing again and closed, unchanged: the same write.
    ASSERT_TRUE(write_bytes(folder / "shot.png", "", "ab"));
    program.settle(300);
    ASSERT_TRUE(write_bytes(folder / "shot.png", png_with_reading(800)));
    ASSERT_TRUE(program.wait_for_line(reading_line(800, "shot.png")));
    ASSERT_TRUE(write_bytes(folder / "shot.png", png_with_reading(500)));
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
    ASSERT_TRUE(write_bytes(folder / "second.png", png_with_reading(200)));
    start();
    program.settle(500);
    EXPECT_EQ(program.lines(), std::vector<std::string>{WATCHING});
    EXPECT_EQ(program.stop(), 1);
    EXPECT_EQ(program.lines(), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

TEST_F(Watch, InterruptEndsItWithTheSummaryAndLeavesNothingBehind) {
    start();
    ASSERT_TRUE(write_bytes(folder / "a.png", png_with_reading(500)));
    ASSERT_TRUE(write_bytes(folder / "b.png", png_with_reading(800)));
    ASSERT_TRUE(write_bytes(folder / "c.png", "\x89PNG\r\n\x1a\n" + std::string(40, 'x') +
                                                  std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12)));
    ASSERT_TRUE(program.wait_for_lines(4));
    // A screenshot half written when the stop comes does not hold it up.
    ASSERT_TRUE(write_bytes(folder / "d.png", png_with_reading(300).substr(0, 100)));
    program.settle(100);
    uint64_t asked = now_ms();
    EXPECT_EQ(program.stop(SIGINT), 1);
    EXPECT_LT(now_ms() - asked, 2500u);
    EXPECT_EQ(program.lines(),
              (std::vector<std::string>{WATCHING, reading_line(500, "a.png"),
                                        reading_line(800, "b.png"), "Error: Failed to load c.png",
                                        "Read 2 screenshots, average damage 35.0% (health left 65.0%)"}));
    if (!under_wine()) {
        EXPECT_EQ(program.leftovers(), std::vector<std::string>{});
    }
}

TEST_F(Watch, TerminateEndsItTheSameWay) {
    if (under_wine()) GTEST_SKIP() << "SIGTERM has no console event to become on Windows";
    start();
    EXPECT_EQ(program.stop(SIGTERM), 1);
    EXPECT_EQ(program.lines(), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

TEST_F(Watch, FolderRemovedEndsIt) {
    if (under_wine()) GTEST_SKIP() << "Wine keeps the working folder of a program";
    TempFolder outer;
    std::string inner = outer / "shots";
    ASSERT_EQ(mkdir(inner.c_str(), 0755), 0);
    ASSERT_TRUE(program.start(inner));
    program.remember_group();
    ASSERT_TRUE(program.wait_until_watching());
    ASSERT_TRUE(write_bytes(inner + "/one.png", png_with_reading(900)));
    ASSERT_TRUE(program.wait_for_lines(2));
    ASSERT_EQ(remove((inner + "/one.png").c_str()), 0);
    ASSERT_EQ(rmdir(inner.c_str()), 0);
    EXPECT_EQ(program.wait_for_end(), 1);
    EXPECT_EQ(program.lines(),
              (std::vector<std::string>{WATCHING, reading_line(900, "one.png"), GONE,
                                        "Read 1 screenshots, average damage 10.0% (health left 90.0%)"}));
}

TEST_F(Watch, FolderRenamedEndsIt) {
    if (under_wine()) GTEST_SKIP() << "Wine keeps the working folder of a program";
    TempFolder outer;
    std::string inner = outer / "shots";
    ASSERT_EQ(mkdir(inner.c_str(), 0755), 0);
    ASSERT_TRUE(program.start(inner));
    program.remember_group();
    ASSERT_TRUE(program.wait_until_watching());
    ASSERT_EQ(rename(inner.c_str(), (outer / "old shots").c_str()), 0);
    EXPECT_EQ(program.wait_for_end(), 1);
    EXPECT_EQ(program.lines(), (std::vector<std::string>{WATCHING, GONE, "Read 0 screenshots"}));
}

TEST_F(Watch, InterruptIgnoredByItsStarterStaysIgnored) {
    if (under_wine()) GTEST_SKIP() << "SIGINT's disposition belongs to the POSIX program";
    start("", [] { signal(SIGINT, SIG_IGN); });
    program.send(SIGINT);
    program.settle(500);
    EXPECT_EQ(program.lines(), std::vector<std::string>{WATCHING});
    EXPECT_EQ(program.stop(SIGTERM), 1);
    EXPECT_EQ(program.lines(), (std::vector<std::string>{WATCHING, "Read 0 screenshots"}));
}

#ifdef __linux__

// The kernel's queue of inotify events holds max_queued_events; more news than
// that while the program is stopped makes it overflow.
class Overflow : public Watch {
  protected:
    void SetUp() override {
        if (under_wine()) GTEST_SKIP() << "inotify belongs to the Linux program";
        limit = atol(read_file("/proc/sys/fs/inotify/max_queued_events").c_str());
        if (limit <= 0 || limit > 100000) GTEST_SKIP() << "queue limit " << limit;
        Watch::SetUp();
    }
    // Stops the program, floods its queue, writes the screenshots, and lets
    // it go on.
    void overflow_then_write(const std::vector<std::pair<std::string, uint32_t>>& shots) {
        ASSERT_EQ(killpg(program.group_id(), SIGSTOP), 0);
        // Two names in turn: the kernel folds an event into the one before it
        // only when they are alike.
        std::string names[2] = {folder / "n0.txt", folder / "n1.txt"};
        for (long i = 0; i <= limit; ++i) {
            int fd = open(names[i % 2].c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            close(fd);
        }
        for (const auto& shot : shots) {
            ASSERT_TRUE(write_bytes(folder / shot.first, png_with_reading(shot.second)));
        }
        ASSERT_EQ(killpg(program.group_id(), SIGCONT), 0);
    }
    long limit = 0;
};

TEST_F(Overflow, IsCaughtUpWithByListing) {
    start();
    ASSERT_TRUE(write_bytes(folder / "before.png", png_with_reading(600)));
    ASSERT_TRUE(program.wait_for_lines(2));
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
    ASSERT_TRUE(write_bytes(folder / "before.png", png_with_reading(600)));
    ASSERT_TRUE(program.wait_for_lines(2));
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
    ASSERT_TRUE(write_bytes(elsewhere / "future.png", png_with_reading(300)));
    struct timespec tomorrow[2];
    clock_gettime(CLOCK_REALTIME, &tomorrow[0]);
    tomorrow[0].tv_sec += 86400;
    tomorrow[1] = tomorrow[0];
    ASSERT_EQ(utimensat(AT_FDCWD, (elsewhere / "future.png").c_str(), tomorrow, 0), 0);
    ASSERT_EQ(rename((elsewhere / "future.png").c_str(), (folder / "future.png").c_str()), 0);
    ASSERT_TRUE(program.wait_for_lines(2));
    overflow_then_write({{"next.png", 700}});
    EXPECT_EQ(lines_after(3, 1000),
              (std::vector<std::string>{WATCHING, reading_line(300, "future.png"),
                                        reading_line(700, "next.png")}));
}

// With every inotify instance of the user taken, the program looks at the
// folder every second instead.
TEST_F(Watch, WithoutInotifyItLooksEverySecond) {
    if (under_wine()) GTEST_SKIP() << "inotify belongs to the Linux program";
    start("", [] {
        while (inotify_init() >= 0) {
        }
    });
    ASSERT_TRUE(program.wait_for_lines(2));
    ASSERT_EQ(program.lines()[1], FALLBACK);
    ASSERT_TRUE(write_bytes(folder / "new.png", png_with_reading(650)));
    std::string png = png_with_reading(125);
    ASSERT_TRUE(write_bytes(folder / "slow.png", png.substr(0, png.size() / 2)));
    program.settle(1500);
    ASSERT_TRUE(write_bytes(folder / "slow.png", png.substr(png.size() / 2), "ab"));
    EXPECT_EQ(lines_after(4, 1500),
              (std::vector<std::string>{WATCHING, FALLBACK, reading_line(650, "new.png"),
                                        reading_line(125, "slow.png")}));
    EXPECT_EQ(program.stop(), 1);
    EXPECT_EQ(program.lines().back(), "Read 2 screenshots, average damage 61.3% (health left 38.7%)");
}

#endif

// ---- the clipboard ----------------------------------------------------------

namespace {

class WatchClipboard : public Watch {
  protected:
    void SetUp() override {
        Watch::SetUp();
        tool = environment("HEALTHGAUGE_WINDOWS_TOOL");
        if (tool.empty()) {
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
        if (!tool.empty()) {
            return run_command("cd '" + folder.path + "' && '" + environment("HEALTHGAUGE_RUNNER") +
                               "' '" + tool + "' clipboard 2>/dev/null");
        }
        return run_command("DISPLAY='" + display + "' xclip -selection clipboard -o 2>/dev/null");
    }
    void put_text(const char* content) {
        if (!tool.empty()) {
            run_command("cd '" + folder.path + "' && '" + environment("HEALTHGAUGE_RUNNER") +
                        "' '" + tool + "' put-text '" + content + "' >/dev/null 2>&1");
        } else {
            run_command("DISPLAY='" + display + "' xclip -selection clipboard >/dev/null 2>&1",
                        content);
        }
    }
    // The clipboard's text, read again for up to three seconds until it is
    // `expected` (xclip takes the selection a moment after it returns).
    std::string settled_text(const std::string& expected) {
        std::string current = text();
        for (int i = 0; i < 150 && current != expected; ++i) {
            pause_ms(20);
            current = text();
        }
        return current;
    }
    std::string display, tool;
};

}  // namespace

TEST_F(WatchClipboard, DamagedScreenshotEmptiesItAndTheWatchGoesOn) {
    start(display);
    // A PNG's start and end with nothing readable between them.
    ASSERT_TRUE(
        write_bytes(folder / "damaged.png", "\x89PNG\r\n\x1a\n" + std::string(64, '\x55') +
                                                std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12)));
    ASSERT_TRUE(program.wait_for_lines(2));
    EXPECT_EQ(program.lines()[1], "Error: Failed to load damaged.png");
    EXPECT_EQ(settled_text(""), "");

    ASSERT_TRUE(write_bytes(folder / "good.png", png_with_reading(537)));
    EXPECT_EQ(lines_after(3),
              (std::vector<std::string>{WATCHING, "Error: Failed to load damaged.png",
                                        reading_line(537, "good.png")}));
    EXPECT_EQ(settled_text("53.7%"), "53.7%");
    EXPECT_EQ(program.stop(), 1);
    EXPECT_EQ(program.lines().back(), "Read 1 screenshots, average damage 46.3% (health left 53.7%)");
    if (tool.empty()) {
        EXPECT_EQ(program.leftovers(), std::vector<std::string>{});
    }
}

// A clipboard helper that never ends holds up neither the watch nor its stop.
TEST_F(Watch, ClipboardHelperThatNeverEndsHoldsNothingUp) {
    if (under_wine()) GTEST_SKIP() << "the clipboard helpers belong to the POSIX program";
    TempFolder bin;
    ASSERT_TRUE(write_bytes(bin / "xclip", "#!/bin/sh\nexec sleep 60\n"));
    ASSERT_EQ(chmod((bin / "xclip").c_str(), 0755), 0);
    std::string path = bin.path + ":" + environment("PATH");
    std::string errors = bin / "stderr";
    start(":97", [&] {
        setenv("PATH", path.c_str(), 1);
        int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, STDERR_FILENO);
    });
    ASSERT_TRUE(write_bytes(folder / "a.png", png_with_reading(500)));
    ASSERT_TRUE(program.wait_for_lines(2));
    ASSERT_TRUE(write_bytes(folder / "b.png", png_with_reading(800)));
    ASSERT_TRUE(program.wait_for_lines(3));
    // b.png's helper is now being waited for: a stop ends the wait at once.
    uint64_t asked = now_ms();
    EXPECT_EQ(program.stop(SIGTERM), 1);
    EXPECT_LT(now_ms() - asked, 2000u);
    EXPECT_EQ(program.lines(),
              (std::vector<std::string>{WATCHING, reading_line(500, "a.png"),
                                        reading_line(800, "b.png"),
                                        "Read 2 screenshots, average damage 35.0% (health left 65.0%)"}));
    EXPECT_EQ(program.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(read_file(errors),
              "healthgauge: the clipboard was not set (its helper did not finish in 3 s)\n");
}
