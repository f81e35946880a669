// scan.cpp - the scan mode (see scan.h).
#include "modes/scan.h"

#include "figures/damage.h"
#include "figures/summary.h"
#include "modes/messages.h"
#include "modes/progress.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "reading/parallel_read.h"
#include "reading/screenshot.h"

#include <cstdlib>
#include <cstring>
#include <thread>

// What the reading of the listing's PNGs gathers, on the scan's thread.
struct ScanReading {
    const FileEntry** pngs;  // the listing's PNG entries, in listing order
    char** joined;           // their paths under the root, or null for the working directory
    uint32_t* readings;
    uint32_t n;
    FILE* raw;
    const ScanHooks* hooks;
    Progress progress;
};

static const char* png_path(void* context, int item) {
    const ScanReading* scan = static_cast<ScanReading*>(context);
    return scan->joined ? scan->joined[item] : scan->pngs[item]->path;
}

// The paths of the PNGs under a root other than ".", as "ROOT/NAME" (one
// block: the pointers, then the texts). Null when memory is short.
static char** join_to_root(const FileEntry* const* pngs, int count) {
    size_t root = strlen(file_list.root);
    size_t bytes = static_cast<size_t>(count) * sizeof(char*);
    for (int i = 0; i < count; ++i) bytes += root + 1 + strlen(pngs[i]->path) + 1;
    char** joined = static_cast<char**>(malloc(bytes > 0 ? bytes : 1));
    if (!joined) return nullptr;
    char* text = reinterpret_cast<char*>(joined + count);
    for (int i = 0; i < count; ++i) {
        joined[i] = text;
        text += sprintf(text, "%s%c%s", file_list.root, PATH_SEPARATOR, pngs[i]->path) + 1;
    }
    return joined;
}

// One PNG's result, in listing order: its message, the hooks, the reading
// and its raw.txt line, the progress line.
static void take_result(void* context, int item, const GaugeResult& result, const GaugeCrop* crop) {
    ScanReading* scan = static_cast<ScanReading*>(context);
    const FileEntry& entry = *scan->pngs[item];
    if (result.status != GaugeStatus::read) {
        progress_hide(&scan->progress, progress_clock());
        print_read_failure(result, png_path(context, item));
        if (scan->progress.stream) fflush(stdout);
    } else if (match_doubt(result) != MatchDoubt::none) {
        progress_hide(&scan->progress, progress_clock());
        print_weak_match(result, png_path(context, item));
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

uint32_t scan_read_listing(uint32_t* readings, FILE* raw, const ScanHooks* hooks) {
    size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
    ScanReading scan = {};
    scan.pngs = static_cast<const FileEntry**>(calloc(slots, sizeof(const FileEntry*)));
    if (!scan.pngs) return 0;
    int count = 0;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        if (entry_is_png(entry)) scan.pngs[count++] = &entry;
    }
    bool other_root = strcmp(file_list.root, ".") != 0;
    print_other_pictures(other_root ? file_list.root : nullptr);
    if (hooks && hooks->on_listing) {
        hooks->on_listing(hooks->context, scan.pngs, static_cast<uint32_t>(count));
    }
    if (other_root) {
        scan.joined = join_to_root(scan.pngs, count);
        if (!scan.joined) {
            free(scan.pngs);
            return 0;
        }
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
    free(scan.joined);
    free(scan.pngs);
    return scan.n;
}

// Opens raw.txt, or says why it cannot.
static bool open_raw(OutputFile* raw) {
    if (output_file_open(raw, "raw.txt")) return true;
    printf("Error: Failed to open raw.txt for writing.\n");
    print_file_reason("raw.txt", raw->error);
    return false;
}

static void commit_raw(OutputFile* raw, uint32_t n) {
    if (output_file_commit(raw)) {
        printf("Saved raw.txt with %i percentages\n", static_cast<int>(n));
    } else {
        printf("Error: Failed to write raw.txt.\n");
        print_file_reason("raw.txt", raw->error);
    }
}

// output.txt from the n readings, or the error line when there are none.
static void write_output(const uint32_t* readings, uint32_t n) {
    if (n == 0) {
        printf("Error: Didn't find any health bar gauges.\n");
        return;
    }
    ScanSummary summary = summarise_readings(readings, n);
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
        bool raw_open = open_raw(&raw);
        n = scan_read_listing(readings, raw_open ? raw.file : nullptr, hooks);
        if (raw_open) commit_raw(&raw, n);
    }
    file_list_release();
    write_output(readings, n);
    free(readings);
}

void run_scan_recordings(const NamedRecording* list, int count, const RecordingHooks* hooks) {
    HitReadings hits = {};
    OutputFile raw;
    bool raw_open = open_raw(&raw);
    read_named_recordings(list, count, raw_open ? raw.file : nullptr, hooks, &hits);
    if (raw_open) commit_raw(&raw, hits.count);
    write_output(hits.readings, hits.count);
    free(hits.readings);
}

void run_scan() { run_scan_with(nullptr); }
