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
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";
const char PROCESSING[] = "Processing screenshots...\n";
const char SAVED_OUTPUT[] = "Saved output.txt with percentage average information\n";

struct ProgramRun {
    std::string console;
    int status;
};

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
    // Standard error goes here instead of the test's, when not -1.
    int error_fd = -1;
    // Descriptors the program is started without (0, 1, 2: its standard
    // streams closed, as `healthgauge >&-` does).
    std::vector<int> closed;
    // Standard output is a pipe whose reader has already closed it.
    bool output_unread = false;
};

constexpr int SETUP_FAILED = 125;

inline void set_up_child(const ChildSetup& setup) {
    for (const auto& setting : setup.settings) setenv(setting.first.c_str(), setting.second.c_str(), 1);
    for (const std::string& name : setup.unset) unsetenv(name.c_str());
    if (setup.error_fd >= 0) dup2(setup.error_fd, STDERR_FILENO);
    if (setup.output_unread) {
        int fds[2];
        if (pipe(fds) != 0 || dup2(fds[1], STDOUT_FILENO) < 0) _exit(SETUP_FAILED);
        close(fds[0]);
        close(fds[1]);
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

// A program started with its standard output on a pipe.
struct StartedProgram {
    pid_t pid;
    int output;
};

// Starts a command in folder, through HEALTHGAUGE_RUNNER when that is set.
// Without a display (the default) it leaves the desktop's clipboard alone.
inline StartedProgram start_in_folder(const std::string& folder, std::vector<std::string> arguments,
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
inline ProgramRun finish(StartedProgram started) {
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
inline ProgramRun run_in_folder(const std::string& folder, std::vector<std::string> arguments,
                         const std::string& display = "", const ChildSetup& setup = {}) {
    return finish(start_in_folder(folder, std::move(arguments), display, setup));
}

inline std::string program_path() {
    return environment("HEALTHGAUGE_PROGRAM", HEALTHGAUGE_DEFAULT_PROGRAM);
}

// Runs the program in folder with the given arguments.
inline ProgramRun run_program(const std::string& folder, std::vector<std::string> arguments,
                       const std::string& display = "", const ChildSetup& setup = {}) {
    arguments.insert(arguments.begin(), program_path());
    ProgramRun run = run_in_folder(folder, std::move(arguments), display, setup);
    if (!environment("HEALTHGAUGE_CONSOLE_CRLF").empty()) {
        std::string::size_type at;
        while ((at = run.console.find("\r\n")) != std::string::npos) run.console.erase(at, 1);
    }
    return run;
}

// A run of the program in `where`, its standard error kept.
struct FullRun {
    std::string console, errors;
};

inline FullRun run_with_errors(const std::string& where, std::vector<std::string> arguments,
                               ChildSetup setup = {}) {
    TempFolder errors;
    std::string error_path = errors / "stderr";
    int error_fd = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(error_fd, 0);
    setup.error_fd = error_fd;
    ProgramRun run = run_program(where, std::move(arguments), "", setup);
    close(error_fd);
    EXPECT_EQ(run.status, 1);
    std::string text = read_file(error_path);
    if (is_wine_run()) {  // CR LF from the Windows program
        std::string plain;
        for (size_t i = 0; i < text.size(); ++i) {
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
        }
        text = plain;
    }
    return {run.console, text};
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

inline std::string damage_lines(const std::vector<int>& readings) {
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
