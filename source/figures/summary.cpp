// summary.cpp - the figures of output.txt (see summary.h).
#include "figures/summary.h"

#include "figures/damage.h"

ScanSummary summarise_readings(const uint32_t* readings, uint32_t count) {
    ScanSummary summary = {};
    summary.count = count;
    if (count == 0) return summary;

    // Readings are 0..1000, so one table of counts gives the most common
    // value and the number of distinct ones in a single pass.
    uint32_t seen[FULL_READING + 1] = {};
    summary.most_common = readings[0];
    summary.most_common_count = 1;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v = readings[i];
        summary.sum += v;
        if (v == FULL_READING) ++summary.complete_misses;
        if (!summary.has_lowest || v < summary.lowest) {
            summary.has_lowest = true;
            summary.lowest = v;
        }
        if (v != FULL_READING && (!summary.has_highest_below_full || v > summary.highest_below_full)) {
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
    char highest[PERCENT_TEXT_SIZE];
    format_percent(damage_of(s.lowest), highest);
    if (s.count == 1) {
        snprintf(lines[0], SUMMARY_LINE_SIZE, "Health bar: %s", highest);
        return 1;
    }
    char average[PERCENT_TEXT_SIZE], common[PERCENT_TEXT_SIZE], lowest[PERCENT_TEXT_SIZE];
    format_percent(damage_of(average_reading(s.sum, s.count)), average);
    format_percent(damage_of(s.most_common), common);
    // With no reading below 1000 there is no damage to show: 0.0%.
    format_percent(s.has_highest_below_full ? damage_of(s.highest_below_full) : 0, lowest);
    snprintf(lines[0], SUMMARY_LINE_SIZE, "Health bars detected: %u", s.count);
    snprintf(lines[1], SUMMARY_LINE_SIZE, "Average damage: %s", average);
    snprintf(lines[2], SUMMARY_LINE_SIZE, "Most common damage: %s (%i occurances)", common,
             static_cast<int>(s.most_common_count));
    snprintf(lines[3], SUMMARY_LINE_SIZE, "Highest damage: %s", highest);
    snprintf(lines[4], SUMMARY_LINE_SIZE, "Lowest damage: %s", lowest);
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

