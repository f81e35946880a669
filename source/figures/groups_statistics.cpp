// groups_statistics.cpp - the statistics of several groups (see
// groups_statistics.h).
#include "figures/groups_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

// Adds to each group's rank sum by walking the sorted samples side by side,
// a run of equal values at a time (ties share the mean of their ranks);
// returns the tie term, the sum of t^3 - t over runs of t equal values.
// at[g] is where group g's walk has got to and in_run[g] how many of the
// run are its (k slots each, at zeros on entry).
static double rank_sums(const uint32_t* const* samples, const size_t* sizes, int k, size_t* at,
                        size_t* in_run, double* sums) {
    double tie_term = 0;
    size_t ranked = 0;
    for (;;) {
        bool any = false;
        uint32_t value = 0;
        for (int g = 0; g < k; ++g) {
            if (at[g] < sizes[g] && (!any || samples[g][at[g]] < value)) value = samples[g][at[g]];
            any = any || at[g] < sizes[g];
        }
        if (!any) return tie_term;
        size_t run = 0;
        for (int g = 0; g < k; ++g) {
            size_t from = at[g];
            while (at[g] < sizes[g] && samples[g][at[g]] == value) ++at[g];
            in_run[g] = at[g] - from;
            run += in_run[g];
        }
        double rank = static_cast<double>(2 * ranked + run + 1) / 2;  // of ranked+1 .. ranked+run
        for (int g = 0; g < k; ++g) sums[g] += static_cast<double>(in_run[g]) * rank;
        double t = static_cast<double>(run);
        tie_term += t * t * t - t;
        ranked += run;
    }
}

bool kruskal_wallis(const uint32_t* const* samples, const size_t* sizes, int k,
                    KruskalWallis* out) {
    *out = {0, 1, k - 1};
    if (k < 2) return true;  // one setup or none: nothing to compare
    size_t n = 0;
    for (int g = 0; g < k; ++g) n += sizes[g];
    size_t* at = static_cast<size_t*>(calloc(2 * static_cast<size_t>(k), sizeof(size_t)));
    double* sums = static_cast<double*>(calloc(static_cast<size_t>(k), sizeof(double)));
    if (!at || !sums) {
        free(at);
        free(sums);
        return false;
    }
    double tie_term = rank_sums(samples, sizes, k, at, at + k, sums);
    double total = static_cast<double>(n), squares = 0;
    for (int g = 0; g < k; ++g) squares += sums[g] * sums[g] / static_cast<double>(sizes[g]);
    free(at);
    free(sums);
    double correction = 1 - tie_term / (total * total * total - total);
    if (!(correction > 0)) return true;  // every value equal
    out->h = (12 / (total * (total + 1)) * squares - 3 * (total + 1)) / correction;
    if (out->h < 0) out->h = 0;
    out->p = upper_gamma_q(out->df / 2.0, out->h / 2);
    return true;
}

constexpr int GAMMA_ITERATIONS = 10000;
constexpr double GAMMA_EPSILON = 1e-16;
constexpr double GAMMA_TINY = 1e-300;

// P(a, x) by its series, for x < a + 1.
static double lower_series(double a, double x) {
    double term = 1 / a, sum = term;
    for (int n = 1; n < GAMMA_ITERATIONS; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * GAMMA_EPSILON) break;
    }
    return sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
}

// Q(a, x) by its continued fraction, for x >= a + 1.
static double upper_fraction(double a, double x) {
    double b = x + 1 - a, c = 1 / GAMMA_TINY, d = 1 / b, h = d;
    for (int i = 1; i < GAMMA_ITERATIONS; ++i) {
        double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < GAMMA_TINY) d = GAMMA_TINY;
        c = b + an / c;
        if (std::fabs(c) < GAMMA_TINY) c = GAMMA_TINY;
        d = 1 / d;
        double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < GAMMA_EPSILON) break;
    }
    return std::exp(-x + a * std::log(x) - std::lgamma(a)) * h;
}

double upper_gamma_q(double a, double x) {
    if (x <= 0) return 1;
    if (x < a + 1) return 1 - lower_series(a, x);
    return upper_fraction(a, x);
}

void holm_adjust(const double* p, int n, double* adjusted) {
    int* order = static_cast<int*>(malloc(static_cast<size_t>(n > 0 ? n : 1) * sizeof(int)));
    if (!order) {  // memory short: the strictest adjustment, Bonferroni's
        for (int i = 0; i < n; ++i) adjusted[i] = std::min(1.0, p[i] * n);
        return;
    }
    for (int i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order, order + n, [p](int x, int y) { return p[x] < p[y]; });
    double running = 0;
    for (int rank = 0; rank < n; ++rank) {
        double value = std::min(1.0, p[order[rank]] * (n - rank));
        running = std::max(running, value);
        adjusted[order[rank]] = running;
    }
    free(order);
}

// The sums of the resamples stand for their means (each is the sum over
// n): the same order, so the interval's ends are the sums at their
// positions, divided by n.
bool bootstrap_mean(const uint32_t* values, size_t n, uint64_t seed, Interval* out) {
    uint64_t* sums = static_cast<uint64_t*>(malloc(BOOTSTRAP_RESAMPLES * sizeof(uint64_t)));
    if (!sums) return false;
    RandomState random = random_seeded(seed);
    for (int r = 0; r < BOOTSTRAP_RESAMPLES; ++r) {
        uint64_t sum = 0;
        for (size_t i = 0; i < n; ++i) sum += values[random_below(&random, n)];
        sums[r] = sum;
    }
    uint64_t* end = sums + BOOTSTRAP_RESAMPLES;
    std::nth_element(sums, sums + BOOTSTRAP_LOW_INDEX, end);
    uint64_t low = sums[BOOTSTRAP_LOW_INDEX];
    std::nth_element(sums + BOOTSTRAP_LOW_INDEX, sums + BOOTSTRAP_HIGH_INDEX, end);
    double size = static_cast<double>(n);
    *out = {static_cast<double>(low) / size, static_cast<double>(sums[BOOTSTRAP_HIGH_INDEX]) / size};
    free(sums);
    return true;
}
