// report_bench - figures for the report mode's gauge pictures and corpus.
//
//     report_bench crops COUNT          encodes COUNT crops of realistic
//                                       screenshots: time and PNG bytes each
//     report_bench page FILE COUNT     what the report mode adds to a scan of
//                                       COUNT screenshots: collecting their
//                                       results and crops, then writing FILE;
//                                       then the workbook FILE.xlsx: its time
//                                       and the peak memory it adds
//     report_bench corpus FOLDER COUNT DISTINCT
//                                       writes DISTINCT screenshots of
//                                       1920 x 80 with scenery at seeded
//                                       readings, and COUNT names in all as
//                                       hard links to them
#include "modes/report/crop_png.h"
#include "modes/report/report_collect.h"
#include "modes/report/report_page.h"
#include "modes/report/report_xlsx.h"
#include "support/screenshot_maker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// 1920 x 80 RGB: every 1920 x 1080 layout fits, with rendered-looking
// scenery around the gauge.
Screenshot sample_screenshot(uint32_t seed) {
    static const int TYPES[] = {3, 4, 5};
    int type = TYPES[seed % 3];
    Screenshot shot = blank_screenshot(1920, 80, 3);
    add_scenery(shot, seed);
    const GaugeType& gauge = gauge_types[type];
    int length = gauge.bar_last - gauge.bar_first + 1;
    paint_gauge(shot, type, static_cast<int>((seed * 2654435761u >> 7) % (length + 1)));
    return shot;
}

int bench_crops(int count) {
    std::vector<GaugeCrop> crops(64);
    for (size_t i = 0; i < crops.size(); ++i) {
        Screenshot shot = sample_screenshot(static_cast<uint32_t>(i));
        GaugeResult result = read_gauge_image(image_of(shot));
        if (result.status != GaugeStatus::read) return fprintf(stderr, "unreadable sample\n"), 1;
        crop_gauge(image_of(shot), result, &crops[i]);
    }
    size_t bytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        CropPng png;
        if (!encode_crop_png(crops[static_cast<size_t>(i) % crops.size()], &png)) return 1;
        bytes += png.size;
        free_crop_png(&png);
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
    printf("crops: %d encoded in %.1f ms: %.3f ms and %zu PNG bytes each on average "
           "(%.1f MiB in all, %.1f MiB as base64)\n",
           count, ms, ms / count, bytes / static_cast<size_t>(count), bytes / 1048576.0,
           bytes * 4.0 / 3 / 1048576.0);
    return 0;
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// A figure of /proc/self/status in KiB ("VmRSS", "VmHWM"), -1 when unknown.
long status_kib(const char* field) {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    size_t length = strlen(field);
    while (fgets(line, sizeof line, status)) {
        if (strncmp(line, field, length) == 0 && line[length] == ':') kib = atol(line + length + 1);
    }
    fclose(status);
    return kib;
}

// Sets the peak resident memory (VmHWM) back to the present (Linux 4.0 on).
bool reset_peak_memory() {
    FILE* refs = fopen("/proc/self/clear_refs", "w");
    if (!refs) return false;
    bool ok = fputs("5", refs) >= 0;
    return fclose(refs) == 0 && ok;
}

// Writes the workbook of report to path: its time, the peak memory it adds
// to what the process held before, and its size.
int bench_workbook(const std::string& path, const Report& report) {
    remove(path.c_str());
    bool peak_known = reset_peak_memory();
    long before = status_kib("VmRSS");
    auto start = std::chrono::steady_clock::now();
    if (!write_report_xlsx(path.c_str(), report)) return fprintf(stderr, "cannot write %s\n", path.c_str()), 1;
    double ms = ms_since(start);
    long peak = status_kib("VmHWM");
    FILE* file = fopen(path.c_str(), "rb");
    long size = file && fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    if (file) fclose(file);
    if (!peak_known || peak < 0 || before < 0) {
        printf("workbook: %u screenshots: writing %.0f ms, %.2f MiB (peak memory unknown)\n",
               report.row_count, ms, size / 1048576.0);
    } else {
        printf("workbook: %u screenshots: writing %.0f ms, peak memory +%.1f MiB, %.2f MiB\n",
               report.row_count, ms, (peak - before) / 1024.0, size / 1048576.0);
    }
    return 0;
}

int bench_page(const char* path, int count) {
    // 64 distinct screenshots, their results and crops, taken in turn.
    constexpr size_t SAMPLES = 64;
    std::vector<GaugeCrop> crops(SAMPLES);
    std::vector<GaugeResult> results(SAMPLES);
    for (size_t i = 0; i < SAMPLES; ++i) {
        Screenshot shot = sample_screenshot(static_cast<uint32_t>(i) * 7919u + 1);
        results[i] = read_gauge_image(image_of(shot));
        if (results[i].status != GaugeStatus::read) return fprintf(stderr, "unreadable\n"), 1;
        crop_gauge(image_of(shot), results[i], &crops[i]);
    }
    FileEntry entry = {};
    char name[32];
    entry.path = name;
    auto start = std::chrono::steady_clock::now();
    Report report;
    report_start(&report);
    for (int i = 0; i < count; ++i) {
        snprintf(name, sizeof name, "shot%05d.png", i);
        entry.time = (1767225600ull + static_cast<uint64_t>(i) * 60) * 1000000000ull;
        size_t sample = static_cast<size_t>(i) % SAMPLES;
        report_add(&report, entry, results[sample], &crops[sample]);
    }
    double collect = ms_since(start);
    auto finish_start = std::chrono::steady_clock::now();
    report_finish(&report);
    double finish = ms_since(finish_start);
    auto write_start = std::chrono::steady_clock::now();
    FILE* file = fopen(path, "wb");
    if (!file) return fprintf(stderr, "cannot write %s\n", path), 1;
    write_report_page(file, report);
    long size = ftell(file);
    fclose(file);
    double write = ms_since(write_start);
    uint32_t shown = 0;
    for (uint32_t i = 0; i < report.row_count; ++i) shown += report.rows[i].crop >= 0;
    printf("page: %d screenshots: collecting %.0f ms (encoding %u first crops included), the "
           "extremes' crops %.0f ms, writing %.0f ms; %.0f ms in all; %.1f MiB with %u crops "
           "shown\n",
           count, collect, report.first_crops, finish, write, ms_since(start), size / 1048576.0,
           shown);
    int status = bench_workbook(std::string(path) + ".xlsx", report);
    report_free(&report);
    return status;
}

int make_corpus(const std::string& folder, int count, int distinct) {
    for (int i = 0; i < count; ++i) {
        char name[64];
        snprintf(name, sizeof name, "/shot%05d.png", i);
        std::string path = folder + name;
        if (i < distinct) {
            if (!write_png(sample_screenshot(static_cast<uint32_t>(i) * 7919u + 1), path)) {
                return fprintf(stderr, "cannot write %s\n", path.c_str()), 1;
            }
        } else {
            char first[64];
            snprintf(first, sizeof first, "/shot%05d.png", i % distinct);
            if (link((folder + first).c_str(), path.c_str()) != 0) {
                return fprintf(stderr, "cannot link %s\n", path.c_str()), 1;
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "crops" && argc == 3) return bench_crops(atoi(argv[2]));
    if (what == "page" && argc == 4) return bench_page(argv[2], atoi(argv[3]));
    if (what == "corpus" && argc == 5) return make_corpus(argv[2], atoi(argv[3]), atoi(argv[4]));
    fprintf(stderr, "usage: report_bench crops COUNT | page FILE COUNT | corpus FOLDER COUNT DISTINCT\n");
    return 2;
}
