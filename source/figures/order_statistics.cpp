// order_statistics.cpp - median and percentile (see order_statistics.h).
#include "figures/order_statistics.h"

#include <cmath>

double median_of_sorted(const uint32_t* values, size_t count) {
    size_t middle = count / 2;
    if (count % 2 == 1) return values[middle];
    return (static_cast<double>(values[middle - 1]) + values[middle]) / 2;
}

uint32_t percentile_of_sorted(const uint32_t* values, size_t count, int p) {
    if (p < 1) p = 1;
    if (p > 100) p = 100;
    size_t rank = (static_cast<size_t>(p) * count + 99) / 100;  // ceil(p% of count)
    return values[rank > 0 ? rank - 1 : 0];
}

int64_t round_half_away(double value) {
    double whole = std::floor(std::fabs(value) + 0.5);
    return static_cast<int64_t>(value < 0 ? -whole : whole);
}
