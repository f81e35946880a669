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
    double variance;      // sample variance (n - 1 in the denominator; 0 for one)
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

// "new gear does more damage than old gear (p = 0.004, rank test).", the
// same the other way, "No clear difference between old gear and new gear
// (p = 0.412, rank test)." or the too-few sentence; name_a and name_b as
// compare_folder_names gives them (compare_names.h), "A" and "B" at most.
constexpr size_t COMPARE_SENTENCE_SIZE = 512;
void compare_sentence(const Comparison& comparison, const char* name_a, const char* name_b,
                      char text[COMPARE_SENTENCE_SIZE]);

// The power of a comparison that showed no clear difference: about how many
// screenshots in each folder would show the observed difference of the
// averages, D, at the 5% level with 80% power. The two-sample normal
// formula n = 2 (z(0.975) + z(0.8))^2 s^2 / D^2 with s the pooled standard
// deviation, divided by 0.955 (the rank test's efficiency against the
// t test), rounded up and never below COMPARE_MIN_READ; 0 when D is 0.
constexpr double RANK_TEST_EFFICIENCY = 0.955;
constexpr double Z_80 = 0.8416212335729143;
uint64_t shots_to_tell(const Comparison& comparison);

// "About 212 screenshots in each folder would tell a difference of 4.9 points
// (80% power)." when there is no clear difference and D, rounded to a
// tenth of a point, is not 0; else false and an empty text.
bool compare_power_sentence(const Comparison& comparison, char text[COMPARE_SENTENCE_SIZE]);

// Tenths of a percent as text with one decimal and a sign: "+4.9%",
// "-12.1%", "0.0%" for zero; sizes past 100.0% show as 100.0%.
void format_signed_percent(int64_t tenths, char text[COMPARE_CELL_SIZE]);

// "p = 0.004", or "p < 0.001".
void format_p_value(double p, char text[COMPARE_CELL_SIZE]);
