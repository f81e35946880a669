// scan.cpp - the scan mode (see scan.h).
#include "modes/scan.h"

#include "modes/damage.h"
#include "modes/messages.h"
#include "modes/progress.h"
#include "modes/summary.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "reading/parallel_read.h"
#include "reading/screenshot.h"

#include <cstdlib>
#include <thread>

// What the reading of the listing's PNGs gathers, on the scan's thread.
struct ScanReading {
    const FileEntry** pngs;  // the listing's PNG entries, in listing order
    uint32_t* readings;
    uint32_t n;
    FILE* raw;
    const ScanHooks* hooks;
    Progress progress;
};

static const char* png_path(void* context, int item) {
    return static_cast<ScanReading*>(context)->pngs[item]->path;
}

// One PNG's result, in listing order: its message, the hooks, the reading
// and its raw.txt line, the progress line.
static void take_result(void* context, int item, const GaugeResult& result, const GaugeCrop* crop) {
    ScanReading* scan = static_cast<ScanReading*>(context);
    const FileEntry& entry = *scan->pngs[item];
    if (result.status != GaugeStatus::read) {
        progress_hide(&scan->progress, progress_clock());
        print_read_failure(result, entry.path);
        if (scan->progress.stream) fflush(stdout);
    }
    if (scan->hooks) scan->hooks->on_result(scan->hooks->context, entry, result, crop);
    if (result.status == GaugeStatus::read) {
        uint32_t v = result.reading;
        scan->readings[scan->n++] = v;
        if (scan->raw) {
            char damage[PERCENT_TEXT_SIZE];
            format_percent(damage_of(v), damage);
            fprintf(scan->raw, "%s\r\n", damage);
        }
    }
    progress_update(&scan->progress, item + 1, progress_clock());
}

// Reads every PNG of the listing into readings, on as many threads as
// HEALTHGAUGE_THREADS or the machine says, writing raw.txt lines as it goes
// (when raw is open) and handing each result to the hooks, all in listing
// order. Returns how many were read.
static uint32_t read_all(uint32_t* readings, FILE* raw, const ScanHooks* hooks) {
    size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
    ScanReading scan = {};
    scan.pngs = static_cast<const FileEntry**>(calloc(slots, sizeof(const FileEntry*)));
    if (!scan.pngs) return 0;
    int count = 0;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        if (entry_is_png(entry)) scan.pngs[count++] = &entry;
    }
    if (hooks && hooks->on_listing) {
        hooks->on_listing(hooks->context, scan.pngs, static_cast<uint32_t>(count));
    }
    scan.readings = readings;
    scan.raw = raw;
    scan.hooks = hooks;
    progress_start(&scan.progress, count, stderr_is_terminal() ? stderr : nullptr, progress_clock());

    ParallelRead job = {};
    job.count = count;
    job.threads = parallel_thread_count(getenv("HEALTHGAUGE_THREADS"),
                                        std::thread::hardware_concurrency());
    job.want_crop = hooks && hooks->want_crop;
    job.path_of = png_path;
    job.read = read_gauge;
    job.on_result = take_result;
    job.context = &scan;
    read_in_parallel(job);
    progress_hide(&scan.progress, progress_clock());
    free(scan.pngs);
    return scan.n;
}

void run_scan_with(const ScanHooks* hooks) {
    printf("Processing screenshots...\n");
    uint32_t* readings = nullptr;
    uint32_t n = 0;
    // A folder that cannot be listed leaves raw.txt alone, as output.txt.
    if (file_list_list_files()) {
        size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
        readings = static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t)));
    } else {
        print_listing_failure();
    }
    if (readings) {
        OutputFile raw;
        bool raw_open = output_file_open(&raw, "raw.txt");
        if (!raw_open) {
            printf("Error: Failed to open raw.txt for writing.\n");
            print_file_reason("raw.txt", raw.error);
        }
        n = read_all(readings, raw_open ? raw.file : nullptr, hooks);
        if (raw_open) {
            if (output_file_commit(&raw)) {
                printf("Saved raw.txt with %i percentages\n", static_cast<int>(n));
            } else {
                printf("Error: Failed to write raw.txt.\n");
                print_file_reason("raw.txt", raw.error);
            }
        }
    }
    file_list_release();

    if (n == 0) {
        printf("Error: Didn't find any health bar gauges.\n");
        free(readings);
        return;
    }
    ScanSummary summary = summarise_readings(readings, n);
    free(readings);

    OutputFile output;
    if (!output_file_open(&output, "output.txt")) {
        printf("Error: Failed to open output.txt for writing.\n");
        print_file_reason("output.txt", output.error);
        return;
    }
    bool written = write_summary(output.file, summary);
    if (output_file_commit(&output) && written) {
        printf("Saved output.txt with percentage average information\n");
    } else {
        printf("Error: Failed to write output.txt.\n");
        print_file_reason("output.txt", output.error);
    }
}

void run_scan() { run_scan_with(nullptr); }
