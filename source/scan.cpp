// scan.cpp - the scan mode (see scan.h).
#include "scan.h"

#include "file_list.h"
#include "messages.h"
#include "output_file.h"
#include "screenshot.h"

#include <cstdlib>

constexpr uint32_t FULL = 1000;

ScanSummary summarise_readings(const uint32_t* readings, uint32_t count) {
    ScanSummary summary = {};
    summary.count = count;
    if (count == 0) return summary;

    // Readings are 0..1000, so one table of counts gives the most common
    // value and the number of distinct ones in a single pass.
    uint32_t seen[FULL + 1] = {};
    summary.most_common = readings[0];
    summary.most_common_count = 1;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = readings[i];
        summary.sum += v;
        if (v == FULL) ++summary.complete_misses;
        if (!summary.has_lowest || v < summary.lowest) {
            summary.has_lowest = true;
            summary.lowest = v;
        }
        if (v != FULL && (!summary.has_highest_below_full || v > summary.highest_below_full)) {
            summary.has_highest_below_full = true;
            summary.highest_below_full = v;
        }
        if (seen[v]++ == 0) ++summary.distinct;
    }
    // The earliest reading whose value has the strictly greatest count wins.
    for (uint32_t i = 0; i < count; ++i) {
        if (seen[readings[i]] > summary.most_common_count) {
            summary.most_common = readings[i];
            summary.most_common_count = seen[readings[i]];
        }
    }
    return summary;
}

int summary_lines(const ScanSummary& summary, char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE]) {
    const ScanSummary& s = summary;
    if (s.count == 1) {
        uint32_t d = FULL - s.lowest;
        snprintf(lines[0], SUMMARY_LINE_SIZE, "Health bar: %u.%u%%", d / 10, d % 10);
        return 1;
    }
    uint32_t average = FULL - s.sum / s.count;
    uint32_t common = FULL - s.most_common;
    uint32_t highest = FULL - s.lowest;
    // With no reading below 1000 there is no damage to show: 0.0%.
    uint32_t lowest = s.has_highest_below_full ? FULL - s.highest_below_full : 0;
    snprintf(lines[0], SUMMARY_LINE_SIZE, "Health bars detected: %u", s.count);
    snprintf(lines[1], SUMMARY_LINE_SIZE, "Average damage: %u.%u%%", average / 10, average % 10);
    snprintf(lines[2], SUMMARY_LINE_SIZE, "Most common damage: %u.%u%% (%i occurances)",
             common / 10, common % 10, static_cast<int>(s.most_common_count));
    snprintf(lines[3], SUMMARY_LINE_SIZE, "Highest damage: %u.%u%%", highest / 10, highest % 10);
    snprintf(lines[4], SUMMARY_LINE_SIZE, "Lowest damage: %u.%u%%", lowest / 10, lowest % 10);
    snprintf(lines[5], SUMMARY_LINE_SIZE, "Complete misses: %u", s.complete_misses);
    snprintf(lines[6], SUMMARY_LINE_SIZE, "Total unique health bars: %u", s.distinct);
    return SUMMARY_LINES;
}

bool write_summary(FILE* file, const ScanSummary& summary) {
    char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE];
    int count = summary_lines(summary, lines);
    bool ok = true;
    for (int i = 0; i < count; ++i) ok = fprintf(file, "%s\r\n", lines[i]) > 0 && ok;
    return ok;
}

// Reads every PNG of the listing into readings, writing raw.txt lines as it
// goes (when raw is open) and handing each result to the hooks. Returns how
// many were read.
static uint32_t read_all(uint32_t* readings, FILE* raw, const ScanHooks* hooks) {
    static GaugeCrop crop;
    GaugeCrop* wanted_crop = hooks && hooks->want_crop ? &crop : nullptr;
    uint32_t n = 0;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        if (!entry_is_png(entry)) continue;
        GaugeResult result = read_gauge(entry.path, wanted_crop);
        if (result.status != GaugeStatus::read) print_read_failure(result, entry.path);
        if (hooks) {
            bool has_crop = wanted_crop && result.status == GaugeStatus::read;
            hooks->on_result(hooks->context, entry, result, has_crop ? wanted_crop : nullptr);
        }
        if (result.status != GaugeStatus::read) continue;
        uint32_t v = result.reading;
        readings[n++] = v;
        if (raw) {
            uint32_t d = FULL - v;
            fprintf(raw, "%u.%u%%\r\n", d / 10, d % 10);
        }
    }
    return n;
}

void run_scan_with(const ScanHooks* hooks) {
    printf("Processing screenshots...\n");
    uint32_t* readings = nullptr;
    uint32_t n = 0;
    // A folder that cannot be listed leaves raw.txt alone, as output.txt.
    if (file_list_list_files()) {
        size_t slots = file_list.file_count > 0 ? static_cast<size_t>(file_list.file_count) : 1;
        readings = static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t)));
    }
    if (readings) {
        OutputFile raw;
        bool raw_open = output_file_open(&raw, "raw.txt");
        if (!raw_open) printf("Error: Failed to open raw.txt for writing.\n");
        n = read_all(readings, raw_open ? raw.file : nullptr, hooks);
        if (raw_open) {
            if (output_file_commit(&raw)) {
                printf("Saved raw.txt with %i percentages\n", static_cast<int>(n));
            } else {
                printf("Error: Failed to write raw.txt.\n");
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
        return;
    }
    bool written = write_summary(output.file, summary);
    if (output_file_commit(&output) && written) {
        printf("Saved output.txt with percentage average information\n");
    } else {
        printf("Error: Failed to write output.txt.\n");
    }
}

void run_scan() { run_scan_with(nullptr); }
