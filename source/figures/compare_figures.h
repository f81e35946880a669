// compare_figures.h - the figures of a comparison of two folders, and their
// text: the table and the sentence that the console and compare.html share.
//
//     Comparison comparison;
//     if (!compare_damage(damage_a, na, damage_b, nb, &comparison)) ... memory ...
//     CompareRow rows[COMPARE_ROWS];
//     compare_rows(comparison, rows);
//     char sentence[COMPARE_SENTENCE_SIZE];
//     compare_sentence(comparison, sentence);
//
// Damage is in permille (tenths of a percent), one value per screenshot read,
// as the scan computes it. Every percentage is rounded to a tenth by
// round_half_away (order_statistics.h), so the texts are the same on every
// platform. With fewer than COMPARE_MIN_READ screenshots read in either
// folder there are no intervals and no test.
#pragma once

#include "figures/compare_statistics.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t COMPARE_MIN_READ = 10;
constexpr double COMPARE_SIGNIFICANCE = 0.05;

// One folder's damage, in permille.
struct FolderFigures {
    uint32_t read;        // screenshots read (at least 1)
    uint32_t misses;      // of them complete misses (0.0% damage)
    double mean;
    double median;        // order_statistics.h
    uint32_t lowest, highest;
    uint32_t quartile_low, quartile_high;  // 25th and 75th percentile: the middle half
};

struct Comparison {
    FolderFigures a, b;
    bool enough;                // both folders have COMPARE_MIN_READ read
    RankTest test;              // when enough
    BootstrapIntervals boot;    // when enough
    Interval misses;            // share of B minus share of A (0..1 units), when enough
};

// Sorts both arrays (na and nb at least 1) and fills the comparison. False
// when memory is short.
bool compare_damage(uint32_t* damage_a, size_t na, uint32_t* damage_b, size_t nb,
                    Comparison* comparison);

constexpr int COMPARE_ROWS = 3;
constexpr int COMPARE_CELL_SIZE = 16;
constexpr int COMPARE_INTERVAL_SIZE = 40;

// A row of the table: "Average damage", "Median damage", "Complete misses".
struct CompareRow {
    const char* label;
    char a[COMPARE_CELL_SIZE];                // "46.3%"
    char b[COMPARE_CELL_SIZE];
    char difference[COMPARE_CELL_SIZE];       // B - A, signed: "+4.9%"
    char interval[COMPARE_INTERVAL_SIZE];     // "+1.2% to +8.6%", empty without enough
};

void compare_rows(const Comparison& comparison, CompareRow rows[COMPARE_ROWS]);

// The table as the console shows it, lines ending in '\n'.
constexpr size_t COMPARE_TABLE_SIZE = 512;
void compare_table_text(const Comparison& comparison, char text[COMPARE_TABLE_SIZE]);

// "B does more damage than A (p = 0.004, rank test).", the same for A, "No
// clear difference between A and B (p = 0.412, rank test)." or the too-few
// sentence.
constexpr size_t COMPARE_SENTENCE_SIZE = 96;
void compare_sentence(const Comparison& comparison, char text[COMPARE_SENTENCE_SIZE]);

// Tenths of a percent as text with one decimal and a sign: "+4.9%",
// "-12.1%", "0.0%" for zero; sizes past 100.0% show as 100.0%.
void format_signed_percent(int64_t tenths, char text[COMPARE_CELL_SIZE]);

// "p = 0.004", or "p < 0.001".
void format_p_value(double p, char text[COMPARE_CELL_SIZE]);
