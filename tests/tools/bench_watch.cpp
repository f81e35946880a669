// bench_watch - how fast and how lean the watch mode is.
//
//     bench_watch <program> <folder> [SHOTS] [MEMORY_SHOTS]    defaults: 200, 10000
//
// Starts `<program> -watch` in the (empty) folder and, once it watches:
//
// 1. Latency: writes SHOTS screenshots 50 ms apart (2560x1440 RGB, rendered-
//    looking, eight different ones in turn), every other one straight under
//    its name and the others under a temporary name renamed into place. A
//    screenshot's latency runs from the moment its writer is done (close or
//    rename returned) to the moment its console line has arrived here.
//    Prints the median and the worst.
// 2. Memory: writes MEMORY_SHOTS more, each after the previous one's line
//    (1920x1080 RGB, removed again once read, so the disk does not fill), and
//    prints the program's peak resident memory (VmHWM) after 100 and after
//    all of them.
//
// Exits with status 1 when a line is missing or wrong.
#include "support/png_writer.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double now_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Program {
    pid_t pid;
    int output;
    std::string pending;  // received, not yet a whole line
};

bool start(Program* program, const char* path, const std::string& folder) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    program->pid = fork();
    if (program->pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        unsetenv("DISPLAY");  // leave the desktop's clipboard alone
        unsetenv("WAYLAND_DISPLAY");
        execl(path, path, "-watch", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    program->output = fds[0];
    return program->pid > 0;
}

// The next line of the program's output, waiting up to timeout_ms; false
// when none came.
bool next_line(Program* program, std::string* line, double timeout_ms) {
    double until = now_ms() + timeout_ms;
    for (;;) {
        std::string::size_type end = program->pending.find('\n');
        if (end != std::string::npos) {
            *line = program->pending.substr(0, end);
            program->pending.erase(0, end + 1);
            return true;
        }
        double left = until - now_ms();
        if (left <= 0) return false;
        struct pollfd fd = {program->output, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left) + 1) <= 0) continue;
        char buffer[4096];
        ssize_t got = read(program->output, buffer, sizeof buffer);
        if (got <= 0) return false;
        program->pending.append(buffer, static_cast<size_t>(got));
    }
}

long peak_kib(pid_t pid) {
    FILE* status = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, status)) {
        if (strncmp(line, "VmHWM:", 6) == 0) kib = atol(line + 6);
    }
    fclose(status);
    return kib;
}

bool write_all(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// Screenshots with a gauge of `type` at different fills, and their lines' texts.
struct Shots {
    std::vector<std::string> png;
    std::vector<std::string> reading;
};

Shots make_shots(int width, int height, int type, int count) {
    Shots shots;
    const GaugeType& gauge = gauge_types[type];
    uint32_t length = static_cast<uint32_t>(gauge.bar_last - gauge.bar_first + 1);
    for (int i = 0; i < count; ++i) {
        Screenshot shot = blank_screenshot(width, height, 3);
        add_scenery(shot, static_cast<uint32_t>(i) + 1);
        uint32_t filled = length * static_cast<uint32_t>(i + 1) / static_cast<uint32_t>(count + 1);
        paint_gauge(shot, type, static_cast<int>(filled));
        uint32_t reading = filled * 1000 / length;
        shots.png.push_back(encode_png(shot));
        shots.reading.push_back(std::to_string(reading / 10) + "." + std::to_string(reading % 10) +
                                "%");
    }
    return shots;
}

int layout_for(int width, int height) {
    for (int type = 0; type < GAUGE_TYPE_COUNT; ++type) {
        if (gauge_types[type].screen_width == width && gauge_types[type].screen_height == height) {
            return type;
        }
    }
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        fprintf(stderr, "usage: bench_watch <program> <folder> [SHOTS] [MEMORY_SHOTS]\n");
        return 2;
    }
    std::string folder = argv[2];
    int shots_count = argc > 3 ? atoi(argv[3]) : 200;
    int memory_count = argc > 4 ? atoi(argv[4]) : 10000;

    printf("bench-watch: making the screenshots\n");
    fflush(stdout);
    Shots large = make_shots(2560, 1440, layout_for(2560, 1440), 8);
    Shots full_hd = make_shots(1920, 1080, layout_for(1920, 1080), 8);

    Program program;
    if (!start(&program, argv[1], folder)) return 1;
    std::string line;
    bool ok = true;
    while (ok && line != "Watching for new screenshots. Press Ctrl+C to stop.") {
        ok = next_line(&program, &line, 10000);
    }
    if (!ok) {
        fprintf(stderr, "bench-watch: the program did not start watching\n");
        return 1;
    }

    // 1. latency
    std::vector<double> latencies;
    double next_write = now_ms();
    for (int i = 0; i < shots_count && ok; ++i) {
        while (now_ms() < next_write) {
            usleep(static_cast<useconds_t>((next_write - now_ms()) * 1000) + 1);
        }
        next_write += 50;
        char name[32];
        snprintf(name, sizeof name, "shot%04d.png", i);
        const std::string& png = large.png[static_cast<size_t>(i) % large.png.size()];
        double done;
        if (i % 2 == 0) {
            ok = write_all(folder + "/" + name, png);
            done = now_ms();
        } else {
            ok = write_all(folder + "/" + name + ".tmp", png) &&
                 rename((folder + "/" + name + ".tmp").c_str(), (folder + "/" + name).c_str()) == 0;
            done = now_ms();
        }
        std::string expected =
            large.reading[static_cast<size_t>(i) % large.reading.size()] + " from " + name;
        if (!ok || !next_line(&program, &line, 5000) || line != expected) {
            fprintf(stderr, "bench-watch: for %s got '%s'\n", name, line.c_str());
            ok = false;
            break;
        }
        latencies.push_back(now_ms() - done);
    }
    if (ok) {
        double worst = *std::max_element(latencies.begin(), latencies.end());
        printf("latency over %d screenshots (2560x1440) written 50 ms apart: "
               "median %.2f ms, worst %.2f ms\n",
               shots_count, median(latencies), worst);
        fflush(stdout);
    }

    // 2. memory
    long after_hundred = -1;
    for (int i = 0; i < memory_count && ok; ++i) {
        char name[32];
        snprintf(name, sizeof name, "many%05d.png", i);
        size_t which = static_cast<size_t>(i) % full_hd.png.size();
        ok = write_all(folder + "/" + name, full_hd.png[which]);
        std::string expected = full_hd.reading[which] + " from " + name;
        if (!ok || !next_line(&program, &line, 5000) || line != expected) {
            fprintf(stderr, "bench-watch: for %s got '%s'\n", name, line.c_str());
            ok = false;
            break;
        }
        remove((folder + "/" + name).c_str());
        if (i + 1 == 100) after_hundred = peak_kib(program.pid);
    }
    if (ok) {
        long after_all = peak_kib(program.pid);
        printf(
            "peak resident memory (1920x1080): %.1f MiB after 100 screenshots, %.1f MiB after %d\n",
            static_cast<double>(after_hundred) / 1024, static_cast<double>(after_all) / 1024,
            memory_count);
    }

    kill(program.pid, SIGINT);
    while (next_line(&program, &line, 5000)) {
        if (line.compare(0, 5, "Read ") == 0) printf("the program's summary: %s\n", line.c_str());
    }
    int status = 0;
    waitpid(program.pid, &status, 0);
    return ok ? 0 : 1;
}
