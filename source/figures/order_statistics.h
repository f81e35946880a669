// order_statistics.h - the one definition of median and percentile that the
// report and the compare mode share.
//
//     std::sort(values, values + n);
//     double median = median_of_sorted(values, n);         // 445.5 for {445, 446}
//     uint32_t p90 = percentile_of_sorted(values, n, 90);  // nearest rank
//     char text[PERCENT_TEXT_SIZE];
//     format_percent(round_half_away(median), text);       // "44.6%"
//
// Values are in permille (readings or damage). The median of an even count
// is the mean of the two middle values, so it may fall half-way between two
// permille; the percentile is the nearest-rank one: the smallest value with
// at least p percent of the values at or below it.
#pragma once

#include <cstddef>
#include <cstdint>

// values[0..count-1] in ascending order, count at least 1.
double median_of_sorted(const uint32_t* values, size_t count);

// p from 1 to 100; values in ascending order, count at least 1.
uint32_t percentile_of_sorted(const uint32_t* values, size_t count, int p);

// The nearest whole number, halves rounded away from zero (2.5 -> 3,
// -2.5 -> -3), the same on every platform and C library.
int64_t round_half_away(double value);
