// compare_figures.cpp - the figures of a comparison and their text (see compare_figures.h).
#include "figures/compare_figures.h"

#include "figures/damage.h"
#include "figures/order_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

static FolderFigures folder_figures(const uint32_t* sorted, size_t n) {
    FolderFigures figures = {};
    figures.read = static_cast<uint32_t>(n);
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += sorted[i];
        if (sorted[i] == 0) ++figures.misses;
    }
    figures.mean = static_cast<double>(sum) / static_cast<double>(n);
    double squares = 0;
    for (size_t i = 0; i < n; ++i) squares += (sorted[i] - figures.mean) * (sorted[i] - figures.mean);
    figures.variance = n > 1 ? squares / static_cast<double>(n - 1) : 0;
    figures.median = median_of_sorted(sorted, n);
    figures.lowest = sorted[0];
    figures.highest = sorted[n - 1];
    figures.quartile_low = percentile_of_sorted(sorted, n, 25);
    figures.quartile_high = percentile_of_sorted(sorted, n, 75);
    return figures;
}

bool compare_damage(uint32_t* damage_a, size_t na, uint32_t* damage_b, size_t nb,
                    Comparison* comparison) {
    *comparison = {};
    std::sort(damage_a, damage_a + na);
    std::sort(damage_b, damage_b + nb);
    comparison->a = folder_figures(damage_a, na);
    comparison->b = folder_figures(damage_b, nb);
    comparison->enough = na >= COMPARE_MIN_READ && nb >= COMPARE_MIN_READ;
    if (!comparison->enough) return true;
    comparison->test = rank_test(damage_a, na, damage_b, nb);
    comparison->misses = newcombe_interval(comparison->b.misses, nb, comparison->a.misses, na);
    return bootstrap_differences(damage_a, na, damage_b, nb, BOOTSTRAP_SEED, &comparison->boot);
}

void format_signed_percent(int64_t tenths, char text[COMPARE_CELL_SIZE]) {
    const char* sign = tenths > 0 ? "+" : tenths < 0 ? "-" : "";
    // A difference of two percentages lies within 100.0% either way.
    unsigned size = static_cast<unsigned>(std::min<int64_t>(tenths < 0 ? -tenths : tenths, 1000));
    snprintf(text, COMPARE_CELL_SIZE, "%s%u.%u%%", sign, size / 10, size % 10);
}

void format_p_value(double p, char text[COMPARE_CELL_SIZE]) {
    if (p < 0.001) {
        snprintf(text, COMPARE_CELL_SIZE, "p < 0.001");
        return;
    }
    int64_t thousandths = round_half_away(p * 1000);
    snprintf(text, COMPARE_CELL_SIZE, "p = %d.%03d", static_cast<int>(thousandths / 1000),
             static_cast<int>(thousandths % 1000));
}

// A share x of n in tenths of a percent.
static double share_tenths(uint32_t x, uint32_t n) { return 1000.0 * x / n; }

static void unsigned_cell(double tenths, char text[COMPARE_CELL_SIZE]) {
    char percent[PERCENT_TEXT_SIZE];
    format_percent(static_cast<uint32_t>(round_half_away(tenths)), percent);
    snprintf(text, COMPARE_CELL_SIZE, "%s", percent);
}

static void signed_cell(double tenths, char text[COMPARE_CELL_SIZE]) {
    format_signed_percent(round_half_away(tenths), text);
}

static void interval_cell(bool enough, double low, double high, char text[COMPARE_INTERVAL_SIZE]) {
    text[0] = '\0';
    if (!enough) return;
    char from[COMPARE_CELL_SIZE], to[COMPARE_CELL_SIZE];
    signed_cell(low, from);
    signed_cell(high, to);
    snprintf(text, COMPARE_INTERVAL_SIZE, "%s to %s", from, to);
}

void compare_rows(const Comparison& c, CompareRow rows[COMPARE_ROWS]) {
    const double share_a = share_tenths(c.a.misses, c.a.read);
    const double share_b = share_tenths(c.b.misses, c.b.read);
    struct Figures {
        const char* label;
        double a, b, low, high;
    };
    const Figures figures[COMPARE_ROWS] = {
        {"Average damage", c.a.mean, c.b.mean, c.boot.mean.low, c.boot.mean.high},
        {"Median damage", c.a.median, c.b.median, c.boot.median.low, c.boot.median.high},
        {"Complete misses", share_a, share_b, 1000 * c.misses.low, 1000 * c.misses.high},
    };
    for (int i = 0; i < COMPARE_ROWS; ++i) {
        const Figures& f = figures[i];
        CompareRow& row = rows[i];
        row.label = f.label;
        unsigned_cell(f.a, row.a);
        unsigned_cell(f.b, row.b);
        signed_cell(f.b - f.a, row.difference);
        interval_cell(c.enough, f.low, f.high, row.interval);
    }
}

void compare_table_text(const Comparison& comparison, char text[COMPARE_TABLE_SIZE]) {
    CompareRow rows[COMPARE_ROWS];
    compare_rows(comparison, rows);
    int length = snprintf(text, COMPARE_TABLE_SIZE, "                   A        B     B - A%s\n",
                          comparison.enough ? "   95% interval" : "");
    for (const CompareRow& row : rows) {
        if (length < 0 || static_cast<size_t>(length) >= COMPARE_TABLE_SIZE) return;
        length += snprintf(text + length, COMPARE_TABLE_SIZE - length, "%-15s%7s%9s%9s%s%s\n",
                           row.label, row.a, row.b, row.difference, comparison.enough ? "  " : "",
                           row.interval);
    }
}

static bool clear_difference(const Comparison& comparison) {
    return comparison.enough && comparison.test.p < COMPARE_SIGNIFICANCE;
}

void compare_sentence(const Comparison& comparison, const char* name_a, const char* name_b,
                      char text[COMPARE_SENTENCE_SIZE]) {
    if (!comparison.enough) {
        snprintf(text, COMPARE_SENTENCE_SIZE,
                 "Too few screenshots to tell: at least %u in each folder are needed.",
                 COMPARE_MIN_READ);
        return;
    }
    char p[COMPARE_CELL_SIZE];
    format_p_value(comparison.test.p, p);
    if (!clear_difference(comparison)) {
        snprintf(text, COMPARE_SENTENCE_SIZE, "No clear difference between %s and %s (%s, rank test).",
                 name_a, name_b, p);
        return;
    }
    double even = static_cast<double>(comparison.a.read) * comparison.b.read / 2;
    bool b_more = comparison.test.u_b > even;
    snprintf(text, COMPARE_SENTENCE_SIZE, "%s does more damage than %s (%s, rank test).",
             b_more ? name_b : name_a, b_more ? name_a : name_b, p);
}

// The observed difference of the averages in tenths of a point, rounded.
static int64_t mean_difference_tenths(const Comparison& comparison) {
    int64_t tenths = round_half_away(comparison.b.mean - comparison.a.mean);
    return tenths < 0 ? -tenths : tenths;
}

uint64_t shots_to_tell(const Comparison& c) {
    double difference = c.b.mean - c.a.mean;
    if (difference == 0) return 0;  // no number of screenshots tells nothing
    double pooled = ((c.a.read - 1.0) * c.a.variance + (c.b.read - 1.0) * c.b.variance) /
                    (c.a.read + c.b.read - 2.0);
    double z = Z_95 + Z_80;
    double n = 2 * z * z * pooled / (difference * difference) / RANK_TEST_EFFICIENCY;
    double least = COMPARE_MIN_READ;
    return static_cast<uint64_t>(std::ceil(std::max(n, least)));
}

bool compare_power_sentence(const Comparison& comparison, char text[COMPARE_SENTENCE_SIZE]) {
    text[0] = '\0';
    int64_t tenths = mean_difference_tenths(comparison);
    if (!comparison.enough || clear_difference(comparison) || tenths == 0) return false;
    snprintf(text, COMPARE_SENTENCE_SIZE,
             "About %llu screenshots in each folder would tell a difference of %lld.%lld points "
             "(80%% power).",
             static_cast<unsigned long long>(shots_to_tell(comparison)),
             static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10));
    return true;
}
