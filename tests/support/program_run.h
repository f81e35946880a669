// program_run.h - running the built program in a temporary folder, for the
// end-to-end tests: console output, files and exit status, compared exactly.
//
// HEALTHGAUGE_PROGRAM names the program to run (default: the one built here)
// and HEALTHGAUGE_RUNNER a program to run it with (for example wine), so the
// same cases serve every build. With HEALTHGAUGE_CONSOLE_CRLF set, carriage
// returns before line feeds in the console output are dropped first.
// HEALTHGAUGE_WINDOWS_TOOL names tests/windows/platform_tool.exe when the
// program is the Windows one: it tells the listing order and reads and sets
// the clipboard as Windows programs see them.
#pragma once

#include "support/png_writer.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <ctime>
#include <functional>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

const char BANNER[] = "Varnholt screenshot health gauge tool v" HEALTHGAUGE_VERSION " (by Tamsel)\n\n";
const char PROCESSING[] = "Processing screenshots...\n";
const char SAVED_OUTPUT[] = "Saved output.txt with percentage average information\n";

inline std::string environment(const char* name, const char* fallback = "") {
    const char* value = getenv(name);
    return value ? value : fallback;
}

inline bool is_wine_run() { return !environment("HEALTHGAUGE_RUNNER").empty(); }

inline std::string windows_tool() { return environment("HEALTHGAUGE_WINDOWS_TOOL"); }

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
    // Environment variables taken away.
    std::vector<std::string> unset;
    // Standard error is kept (ProgramRun::errors) instead of going to the
    // test's.
    bool keep_errors = false;
    // Descriptors the program is started without (0, 1, 2: its standard
    // streams closed, as `healthgauge >&-` does).
    std::vector<int> closed;
    // Standard output is a pipe whose reader has already closed it.
    bool output_unread = false;
    // Standard output and error go to this terminal instead, when not -1.
    int terminal = -1;
    // The program leads a process group of its own (so that the whole group
    // can be stopped, continued or looked at).
    bool own_group = false;
    // Runs in the child last, just before the program starts.
    std::function<void()> last_step;
};

constexpr int SETUP_FAILED = 125;

inline void set_up_child(const ChildSetup& setup) {
    if (setup.own_group) setpgid(0, 0);
    for (const auto& setting : setup.settings) setenv(setting.first.c_str(), setting.second.c_str(), 1);
    for (const std::string& name : setup.unset) unsetenv(name.c_str());
    if (setup.output_unread) {
        int fds[2];
        if (pipe(fds) != 0 || dup2(fds[1], STDOUT_FILENO) < 0) _exit(SETUP_FAILED);
        close(fds[0]);
        close(fds[1]);
    }
    if (setup.terminal >= 0) {
        dup2(setup.terminal, STDOUT_FILENO);
        dup2(setup.terminal, STDERR_FILENO);
    }
    for (int fd : setup.closed) close(fd);
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
    if (setup.last_step) setup.last_step();
}

// True when a child can be set up so (the superuser giving up its override
// of permissions needs CAP_SETPCAP).
inline bool child_setup_works(const ChildSetup& setup) {
    pid_t pid = fork();
    if (pid == 0) {
        set_up_child(setup);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline uint64_t now_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// A started program: its standard output read so far, from a pipe.
struct StartedProgram {
    pid_t pid = -1;
    int output = -1;
    // An unlinked file that holds standard error, when it is kept.
    int errors = -1;
    // The program's own group, when it has one.
    pid_t group = -1;
    // Carriage returns before line feeds stand for nothing (the Windows
    // program's console under HEALTHGAUGE_CONSOLE_CRLF).
    bool crlf = false;
    std::string console;
};

// What a program printed and how it ended.
struct ProgramRun {
    std::string console;
    // Its exit status, 128 plus the signal that ended it, or -1 when it did
    // not end in time (it was killed then).
    int status = -1;
    std::string errors;  // with ChildSetup::keep_errors
};

// Starts a command in folder, through HEALTHGAUGE_RUNNER when that is set.
// Without a display (the default) it leaves the desktop's clipboard alone.
inline StartedProgram start_in_folder(const std::string& folder, std::vector<std::string> arguments,
                                      const std::string& display = "",
                                      const ChildSetup& setup = {}) {
    std::string runner = environment("HEALTHGAUGE_RUNNER");
    if (!runner.empty()) arguments.insert(arguments.begin(), runner);

    StartedProgram started;
    if (setup.keep_errors) {
        std::string pattern = environment("TMPDIR", "/tmp") + "/healthgauge-errors-XXXXXX";
        started.errors = mkostemp(&pattern[0], O_CLOEXEC);
        if (started.errors < 0) return started;
        unlink(pattern.c_str());
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return started;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (started.errors >= 0) dup2(started.errors, STDERR_FILENO);
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
    if (pid < 0) {
        close(fds[0]);
        return started;
    }
    // Set from both sides: either may run first.
    if (setup.own_group) {
        setpgid(pid, pid);
        started.group = pid;
    }
    started.pid = pid;
    started.output = fds[0];
    return started;
}

// Reads what the program prints within timeout_ms (one read at the most);
// false once its output has ended.
inline bool read_output(StartedProgram& started, int timeout_ms) {
    if (started.output < 0) return false;
    struct pollfd ready = {started.output, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) <= 0) return true;
    char buffer[4096];
    ssize_t got = read(started.output, buffer, sizeof buffer);
    if (got <= 0) {
        close(started.output);
        started.output = -1;
        return false;
    }
    started.console.append(buffer, static_cast<size_t>(got));
    return true;
}

// The text with every carriage return before a line feed dropped.
inline std::string without_crlf(std::string text) {
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

// What the program has printed so far.
inline std::string printed(const StartedProgram& started) {
    return started.crlf ? without_crlf(started.console) : started.console;
}

// Kills the program at once (it never ends otherwise) and lets it go.
inline void kill_program(StartedProgram& started) {
    if (started.pid > 0) {
        kill(started.pid, SIGKILL);
        waitpid(started.pid, nullptr, 0);
        started.pid = -1;
    }
    if (started.output >= 0) close(started.output);
    if (started.errors >= 0) close(started.errors);
    started.output = started.errors = -1;
}

constexpr int NO_TIME_LIMIT = -1;

// Collects the program's output until it ends, for at most timeout_ms (then
// it is killed and the status is -1).
inline ProgramRun finish(StartedProgram& started, int timeout_ms = NO_TIME_LIMIT) {
    ProgramRun run;
    if (started.pid < 0) {
        run.console = "<the program did not start>";
        kill_program(started);
        return run;
    }
    uint64_t until = now_ms() + static_cast<uint64_t>(timeout_ms < 0 ? 0 : timeout_ms);
    auto time_left = [&]() -> int {
        if (timeout_ms < 0) return -1;
        uint64_t now = now_ms();
        return now >= until ? 0 : static_cast<int>(until - now);
    };
    while (started.output >= 0 && time_left() != 0) read_output(started, time_left());
    int status = 0;
    for (;;) {
        pid_t done = waitpid(started.pid, &status, timeout_ms < 0 ? 0 : WNOHANG);
        if (done == started.pid) break;
        if (time_left() == 0) {
            run.console = printed(started);
            kill_program(started);
            return run;
        }
        usleep(10000);
    }
    started.pid = -1;
    run.console = printed(started);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (started.errors >= 0) {
        char buffer[4096];
        ssize_t got;
        for (off_t at = 0; (got = pread(started.errors, buffer, sizeof buffer, at)) > 0; at += got) {
            run.errors.append(buffer, static_cast<size_t>(got));
        }
        if (started.crlf) run.errors = without_crlf(run.errors);
    }
    kill_program(started);
    return run;
}

// Runs a command in folder and collects its standard output.
inline ProgramRun run_in_folder(const std::string& folder, std::vector<std::string> arguments,
                                const std::string& display = "", const ChildSetup& setup = {}) {
    StartedProgram started = start_in_folder(folder, std::move(arguments), display, setup);
    return finish(started);
}

inline std::string program_path() {
    return environment("HEALTHGAUGE_PROGRAM", HEALTHGAUGE_DEFAULT_PROGRAM);
}

// Starts the program in folder with the given arguments.
inline StartedProgram start_program(const std::string& folder, std::vector<std::string> arguments,
                                    const std::string& display = "", const ChildSetup& setup = {}) {
    arguments.insert(arguments.begin(), program_path());
    StartedProgram started = start_in_folder(folder, std::move(arguments), display, setup);
    started.crlf = !environment("HEALTHGAUGE_CONSOLE_CRLF").empty();
    return started;
}

// Runs the program in folder with the given arguments, for at most
// timeout_ms.
inline ProgramRun run_program(const std::string& folder, std::vector<std::string> arguments,
                              const std::string& display = "", const ChildSetup& setup = {},
                              int timeout_ms = NO_TIME_LIMIT) {
    StartedProgram started = start_program(folder, std::move(arguments), display, setup);
    return finish(started, timeout_ms);
}

// A run of the program in `where`, its standard error kept.
inline ProgramRun run_with_errors(const std::string& where, std::vector<std::string> arguments,
                                  ChildSetup setup = {}, int timeout_ms = NO_TIME_LIMIT) {
    setup.keep_errors = true;
    ProgramRun run = run_program(where, std::move(arguments), "", setup, timeout_ms);
    EXPECT_EQ(run.status, 1);
    return run;
}

// Layout 5 has a 240-pixel bar: every reading used below is exact with it.
constexpr int TYPE = 5;

inline Screenshot screenshot_with_reading(uint32_t reading) {
    Screenshot shot = blank_screenshot(1920, 64, 3);
    int filled = filled_for_reading(TYPE, reading);
    paint_gauge(shot, TYPE, filled);
    EXPECT_EQ(static_cast<uint32_t>(filled) * 1000 / 240, reading) << "not exact: " << reading;
    return shot;
}

// A whole 1920x1080 screenshot with `reading` (layout TYPE), as PNG bytes,
// for the cases that look at standard error: the 1920x64 ones above are read
// by their width alone, a weak match that standard error names. Each reading
// is encoded once (about 30 ms) and kept.
inline std::string game_png_with_reading(uint32_t reading) {
    static std::map<uint32_t, std::string> made;
    std::string& png = made[reading];
    if (png.empty()) {
        Screenshot shot = blank_screenshot(1920, 1080, 3);
        paint_gauge(shot, TYPE, filled_for_reading(TYPE, reading));
        PngOptions fast;
        fast.level = 1;
        fast.filter = 0;
        png = encode_png(shot, fast);
    }
    return png;
}

// Runs the Windows tool in folder; its output.
inline std::string run_windows_tool(const std::string& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), windows_tool());
    return run_in_folder(folder, std::move(arguments)).console;
}

// The entries of a directory search by the Windows program, by name: kind,
// time and size as the tool prints them ("f\t<time>\t<size>").
inline std::vector<std::pair<std::string, std::string>> windows_listing(const std::string& folder,
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

// The clipboard the program sets: an X display's, read and set with xclip,
// or, with HEALTHGAUGE_WINDOWS_TOOL set, Wine's, read and set through that
// tool (run in folder).
struct ClipboardProbe {
    std::string display;
    std::string folder;
};

inline std::string clipboard_text(const ClipboardProbe& probe) {
    if (!windows_tool().empty()) return run_windows_tool(probe.folder, {"clipboard"});
    return run_command("DISPLAY='" + probe.display + "' xclip -selection clipboard -o 2>/dev/null");
}

inline void put_clipboard_text(const ClipboardProbe& probe, const char* text) {
    if (!windows_tool().empty()) {
        run_windows_tool(probe.folder, {"put-text", text});
    } else {
        run_command("DISPLAY='" + probe.display + "' xclip -selection clipboard >/dev/null 2>&1", text);
    }
}

// The clipboard's text, read again for up to three seconds until it is
// `expected`: xclip goes to the background before it takes the selection,
// so a read right after it returns may still see the old text.
inline std::string settled_clipboard_text(const ClipboardProbe& probe, const std::string& expected) {
    std::string current = clipboard_text(probe);
    for (int i = 0; i < 150 && current != expected; ++i) {
        usleep(20000);
        current = clipboard_text(probe);
    }
    return current;
}

// Sets the probe up for a test in folder, with "sentinel" on the clipboard.
// HEALTHGAUGE_TEST_DISPLAY names the X display (scripts/test/run-tests starts
// Xvfb for it); without one the test is skipped, or, with
// HEALTHGAUGE_REQUIRE_CLIPBOARD set, fails.
inline void open_clipboard(ClipboardProbe* probe, const std::string& folder) {
    probe->folder = folder;
    if (windows_tool().empty()) {
        probe->display = environment("HEALTHGAUGE_TEST_DISPLAY");
        if (probe->display.empty()) {
            if (!environment("HEALTHGAUGE_REQUIRE_CLIPBOARD").empty()) {
                FAIL() << "HEALTHGAUGE_TEST_DISPLAY is not set";
            }
            GTEST_SKIP() << "no test display";
        }
    }
    put_clipboard_text(*probe, "sentinel");
    ASSERT_EQ(settled_clipboard_text(*probe, "sentinel"), "sentinel");
}

// Names of the folder's entries in the order the platform lists them (Wine
// sorts them, unlike readdir).
inline std::vector<std::string> listing_order(const std::string& folder) {
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
inline std::vector<std::string> make_screenshots(const TempFolder& folder, const std::vector<int>& readings) {
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

// A named file of the report's tables: a whole game screenshot of the
// reading, or (-1) a file that is not a picture, or (-2) a picture of no
// layout's size; its file time set to `time` (seconds since 1970).
inline void write_report_shot(const std::string& path, int reading, long time) {
    if (reading == -1) {
        ASSERT_TRUE(write_file(path, "this is not a picture"));
    } else if (reading == -2) {
        ASSERT_TRUE(write_png(blank_screenshot(1280, 720, 3), path));
    } else {
        ASSERT_TRUE(write_file(path, game_png_with_reading(static_cast<uint32_t>(reading))));
    }
    ASSERT_TRUE(set_time(path, time));
}

// Tenths of a percent (0 or more) as the program prints them: "53.7%".
inline std::string percent(int64_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

// raw.txt for the readings (-1: not an image, no line).
inline std::string damage_lines(const std::vector<int>& readings) {
    std::string text;
    for (int reading : readings) {
        if (reading >= 0) text += percent(1000 - reading) + "\r\n";
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
    // Why the program cannot be run here as a user whom permissions bind
    // (see run_with_folder_mode), or "" when it can.
    static std::string why_permissions_cannot_bind() {
        if (is_wine_run()) return "POSIX permissions";
        ChildSetup obey;
        obey.obey_permissions = true;
        return child_setup_works(obey) ? "" : "cannot give up the superuser's override";
    }
    // Runs the program, as a user whom permissions bind, with the folder's
    // permissions set to mode (0333: files can be made, not listed; 0555:
    // listed, no file made).
    ProgramRun run_with_folder_mode(mode_t mode, std::vector<std::string> arguments) {
        ChildSetup obey;
        obey.obey_permissions = true;
        EXPECT_EQ(chmod(folder.path.c_str(), mode), 0);
        ProgramRun result = run(std::move(arguments), obey);
        EXPECT_EQ(chmod(folder.path.c_str(), 0755), 0);
        return result;
    }
    TempFolder folder;
};
