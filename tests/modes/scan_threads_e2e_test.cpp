// The scan on several threads run end to end: the same output on any number
// of threads, and the progress line on a terminal.
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

size_t occurrences_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

struct ScanOutcome {
    std::string console, raw, output, errors;
};

// A scan (or another mode) with HEALTHGAUGE_THREADS set to threads (unset
// when null), its standard error kept.
ScanOutcome scan_with_threads(const TempFolder& folder, const char* threads,
                              const char* option = "-scan") {
    ChildSetup setup;
    if (threads) setup.settings.emplace_back("HEALTHGAUGE_THREADS", threads);
    setup.keep_errors = true;
    ProgramRun run = run_program(folder.path, {option}, "", setup);
    EXPECT_EQ(run.status, 1);
    return {run.console, read_file(folder / "raw.txt"), read_file(folder / "output.txt"), run.errors};
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
    // Standard error holds a reason for each failed load, a weak match for
    // each reading (the mix's screenshots are 1920x64 and 2560x72: read by
    // their width alone), and the size of each 300x200 picture, nothing else.
    size_t weak = 0, sizes = 0, reasons = 0;
    for (size_t at = 0; at < one.errors.size(); at = one.errors.find('\n', at) + 1) {
        std::string line = one.errors.substr(at, one.errors.find('\n', at) - at);
        EXPECT_EQ(line.compare(0, 13, "healthgauge: "), 0) << line;
        if (line.find(": weak match (") != std::string::npos) {
            ++weak;
        } else if (line.find(": 300\xC3\x97" "200 is not a screen size ") != std::string::npos) {
            ++sizes;
        } else {
            ++reasons;
        }
    }
    EXPECT_EQ(weak, static_cast<size_t>(std::count(one.raw.begin(), one.raw.end(), '\n')));
    EXPECT_GT(sizes, 0u);
    EXPECT_EQ(reasons, occurrences_of(one.console, "Error: Failed to load "));

    // 0 is ignored, as is no setting: the machine's count.
    for (const char* threads : {"2", "3", "16", "0", static_cast<const char*>(nullptr)}) {
        ScanOutcome other = scan_with_threads(folder, threads);
        std::string label = threads ? threads : "unset";
        EXPECT_EQ(other.console, one.console) << label;
        EXPECT_EQ(other.raw, one.raw) << label;
        EXPECT_EQ(other.output, one.output) << label;
        if (!is_wine_run()) {
            // Not a terminal: no progress line, only the failed loads' reasons.
            EXPECT_EQ(other.errors, one.errors) << label;
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
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0 || fcntl(master, F_SETFD, FD_CLOEXEC) != 0) return "";
    ChildSetup setup;
    setup.settings.emplace_back("HEALTHGAUGE_THREADS", threads);
    setup.terminal = terminal;
    StartedProgram started = start_program(folder, {"-scan"}, "", setup);
    close(terminal);
    std::string received;
    char buffer[4096];
    ssize_t got;
    // Reading ends with EIO once the program and its terminal are gone.
    while ((got = read(master, buffer, sizeof buffer)) > 0) received.append(buffer, got);
    close(master);
    finish(started);
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
    // Each message on a line of its own (a failed load's reason from
    // standard error under it), and the progress line gone at the end.
    std::string screen = plain;
    for (size_t at = 0; (at = screen.find("Error: Failed to load ", at)) != std::string::npos;) {
        size_t end = screen.find('\n', at) + 1;
        std::string name = screen.substr(at + 22, end - 1 - (at + 22));
        std::string reason = "healthgauge: " + name +
                             ": it is not a PNG picture (another format, or no picture at all)\n";
        screen.insert(end, reason);
        at = end + reason.size();
    }
    EXPECT_EQ(screen_of(received), screen);
    if (seconds > 3 * PROGRESS_DELAY) {
        EXPECT_NE(received.find("\rReading screenshots: "), std::string::npos)
            << "no progress line in a scan of " << seconds << " s";
    }
}
