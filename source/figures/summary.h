// summary.h - the figures of output.txt, gathered from the readings.
//
//     ScanSummary summary = summarise_readings(readings, count);
//     write_summary(file, summary);   // one line for one reading, else seven
#pragma once

#include <cstdint>
#include <cstdio>

// Figures of the summary, gathered from the readings in listing order.
struct ScanSummary {
    uint32_t count;            // readings taken
    uint32_t sum;              // of the readings
    uint32_t most_common;      // reading seen most often (earliest on a tie)
    uint32_t most_common_count;
    bool has_lowest;
    uint32_t lowest;           // lowest reading
    bool has_highest_below_full;
    uint32_t highest_below_full;  // highest reading below 1000
    uint32_t complete_misses;  // readings of exactly 1000
    uint32_t distinct;         // different reading values
};

// Summarises readings[0..count-1] (each 0..1000).
ScanSummary summarise_readings(const uint32_t* readings, uint32_t count);

// The lines of output.txt without their line ends: one for a single reading,
// else seven. Returns how many. summary.count is at least 1.
constexpr int SUMMARY_LINES = 7;
constexpr int SUMMARY_LINE_SIZE = 64;
int summary_lines(const ScanSummary& summary, char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE]);

// Writes the summary lines of output.txt; false when a write failed.
bool write_summary(FILE* file, const ScanSummary& summary);
