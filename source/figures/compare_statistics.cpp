// compare_statistics.cpp - the compare mode's statistics (see compare_statistics.h).
#include "figures/compare_statistics.h"

#include "figures/order_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// ---- random numbers --------------------------------------------------------

static uint64_t splitmix64(uint64_t* x) {
    uint64_t z = (*x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

RandomState random_seeded(uint64_t seed) {
    RandomState state;
    for (uint64_t& word : state.s) word = splitmix64(&seed);
    return state;
}

// ---- the rank test ---------------------------------------------------------

struct Ranked {
    uint32_t value;
    bool in_b;
};

RankTest rank_test(const uint32_t* a, size_t na, const uint32_t* b, size_t nb) {
    RankTest test = {0, 1};
    size_t n = na + nb;
    Ranked* all = static_cast<Ranked*>(malloc(n * sizeof(Ranked)));
    if (!all) return test;
    for (size_t i = 0; i < na; ++i) all[i] = {a[i], false};
    for (size_t i = 0; i < nb; ++i) all[na + i] = {b[i], true};
    std::sort(all, all + n, [](const Ranked& x, const Ranked& y) { return x.value < y.value; });

    // Each run of equal values shares the mean of its ranks (i+1 .. j).
    double rank_sum_b = 0, tie_term = 0;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        size_t in_b = 0;
        while (j < n && all[j].value == all[i].value) in_b += all[j++].in_b;
        double t = static_cast<double>(j - i);
        rank_sum_b += in_b * (static_cast<double>(i + 1 + j) / 2);
        tie_term += t * t * t - t;
        i = j;
    }
    free(all);

    double n1 = static_cast<double>(nb), n2 = static_cast<double>(na), total = n1 + n2;
    test.u_b = rank_sum_b - n1 * (n1 + 1) / 2;
    double u = std::max(test.u_b, n1 * n2 - test.u_b);
    double mu = n1 * n2 / 2;
    double s = std::sqrt(n1 * n2 / 12 * ((total + 1) - tie_term / (total * (total - 1))));
    if (!(s > 0)) return test;  // every value equal: nothing to tell them apart
    double z = (u - mu - 0.5) / s;
    test.p = std::min(1.0, std::erfc(z / std::sqrt(2.0)));
    return test;
}

// ---- the bootstrap ---------------------------------------------------------

// One resample of sorted[0..n-1]: draws n positions, counting each in
// counts (n slots), then lays the resample out in order in values (n slots);
// its mean and its median (order_statistics.h).
static void resample(RandomState* random, const uint32_t* sorted, size_t n, uint32_t* counts,
                     uint32_t* values, double* mean, double* median) {
    memset(counts, 0, n * sizeof(uint32_t));
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t at = static_cast<size_t>(random_below(random, n));
        ++counts[at];
        sum += sorted[at];
    }
    size_t taken = 0;
    for (size_t at = 0; at < n; ++at) {
        for (uint32_t k = 0; k < counts[at]; ++k) values[taken++] = sorted[at];
    }
    *mean = static_cast<double>(sum) / static_cast<double>(n);
    *median = median_of_sorted(values, n);
}

static uint32_t* sorted_copy(const uint32_t* values, size_t n) {
    uint32_t* copy = static_cast<uint32_t*>(malloc(n * sizeof(uint32_t)));
    if (!copy) return nullptr;
    memcpy(copy, values, n * sizeof(uint32_t));
    std::sort(copy, copy + n);
    return copy;
}

static Interval percentile_interval(double* differences) {
    std::sort(differences, differences + BOOTSTRAP_RESAMPLES);
    return {differences[BOOTSTRAP_LOW_INDEX], differences[BOOTSTRAP_HIGH_INDEX]};
}

// Each resample draws A's positions first, then B's.
bool bootstrap_differences(const uint32_t* a, size_t na, const uint32_t* b, size_t nb,
                           uint64_t seed, BootstrapIntervals* out) {
    uint32_t* sorted_a = sorted_copy(a, na);
    uint32_t* sorted_b = sorted_copy(b, nb);
    size_t most = std::max(na, nb);
    uint32_t* counts = static_cast<uint32_t*>(malloc(2 * most * sizeof(uint32_t)));
    double* means = static_cast<double*>(malloc(2 * BOOTSTRAP_RESAMPLES * sizeof(double)));
    bool ok = sorted_a && sorted_b && counts && means;
    if (ok) {
        double* medians = means + BOOTSTRAP_RESAMPLES;
        RandomState random = random_seeded(seed);
        for (int r = 0; r < BOOTSTRAP_RESAMPLES; ++r) {
            double mean_a, median_a, mean_b, median_b;
            resample(&random, sorted_a, na, counts, counts + most, &mean_a, &median_a);
            resample(&random, sorted_b, nb, counts, counts + most, &mean_b, &median_b);
            means[r] = mean_b - mean_a;
            medians[r] = median_b - median_a;
        }
        out->mean = percentile_interval(means);
        out->median = percentile_interval(medians);
    }
    free(sorted_a);
    free(sorted_b);
    free(counts);
    free(means);
    return ok;
}

// ---- shares ----------------------------------------------------------------

Interval wilson_interval(uint64_t successes, uint64_t n) {
    double size = static_cast<double>(n);
    double p = static_cast<double>(successes) / size;
    double z2 = Z_95 * Z_95;
    double denominator = 1 + z2 / size;
    double centre = (p + z2 / (2 * size)) / denominator;
    double half = Z_95 * std::sqrt(p * (1 - p) / size + z2 / (4 * size * size)) / denominator;
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

Interval newcombe_interval(uint64_t x1, uint64_t n1, uint64_t x2, uint64_t n2) {
    double p1 = static_cast<double>(x1) / static_cast<double>(n1);
    double p2 = static_cast<double>(x2) / static_cast<double>(n2);
    Interval w1 = wilson_interval(x1, n1), w2 = wilson_interval(x2, n2);
    double d = p1 - p2;
    return {d - std::sqrt((p1 - w1.low) * (p1 - w1.low) + (w2.high - p2) * (w2.high - p2)),
            d + std::sqrt((w1.high - p1) * (w1.high - p1) + (p2 - w2.low) * (p2 - w2.low))};
}
