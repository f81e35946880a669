// compare_statistics.h - the statistics of the compare mode: is B different
// from A, and by how much? Pure functions of two samples; nothing prints.
//
//     RankTest test = rank_test(a, na, b, nb);          // Mann-Whitney U, B against A
//     BootstrapIntervals boot;
//     bootstrap_differences(a, na, b, nb, BOOTSTRAP_SEED, &boot);  // B - A, mean and median
//     Interval misses = newcombe_interval(misses_b, nb, misses_a, na);  // pB - pA
//
// Samples are values in permille (damage, 0..1000), in any order; intervals
// are 95% ones, in the samples' unit (or as shares 0..1 for the misses).
//
// The rank test is the two-sided Mann-Whitney U test with the normal
// approximation, the tie correction of the variance and the continuity
// correction: the figures of SciPy's
// mannwhitneyu(B, A, alternative='two-sided', use_continuity=True,
// method='asymptotic').
//
// The bootstrap is the percentile bootstrap: BOOTSTRAP_RESAMPLES times, each
// sample is resampled with replacement to its own size and the statistic of
// the B resample minus that of the A resample is taken; the interval's ends
// are the 250th and the 9,751st of the sorted differences. The random numbers
// come from xoshiro256** (Blackman and Vigna), its state filled from the seed
// by splitmix64, both written out below: the same seed gives the same
// interval on every run, platform and compiler.
#pragma once

#include <cstddef>
#include <cstdint>

// The fixed seed of the compare mode's bootstrap: "healthga" in ASCII.
constexpr uint64_t BOOTSTRAP_SEED = 0x6865616C74686761ull;
constexpr int BOOTSTRAP_RESAMPLES = 10000;
// 0-based positions of the interval's ends among the sorted differences.
constexpr int BOOTSTRAP_LOW_INDEX = 249;
constexpr int BOOTSTRAP_HIGH_INDEX = 9750;
// The standard normal quantile of 97.5%: two-sided 95% intervals.
constexpr double Z_95 = 1.959963984540054;

// xoshiro256**, a small fast generator of 64-bit numbers.
struct RandomState {
    uint64_t s[4];
};

// The state for a seed, filled by splitmix64.
RandomState random_seeded(uint64_t seed);

inline uint64_t random_next(RandomState* state) {
    uint64_t* s = state->s;
    auto rotate_left = [](uint64_t x, int k) { return (x << k) | (x >> (64 - k)); };
    uint64_t result = rotate_left(s[1] * 5, 7) * 9;
    uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotate_left(s[3], 45);
    return result;
}

// A uniform whole number 0..n-1 (n at least 1), without modulo bias.
//
// Below 2^32: Lemire's multiply-and-shift on the upper 32 bits of a draw,
// rejecting the few low products that would bias it (those under
// 2^32 mod n, which is below n: a product at or above n is never rejected,
// so the division that finds 2^32 mod n is made only for the rare ones
// under n). Above: rejection of the draws past the last whole multiple of
// n. Both are written here, in the header, so that the bootstraps' inner
// loops inline them.
inline uint64_t random_below(RandomState* state, uint64_t n) {
    if (n <= 1) return 0;
    if (n <= UINT32_MAX) {
        uint32_t bound = static_cast<uint32_t>(n);
        uint64_t product = (random_next(state) >> 32) * bound;
        if (static_cast<uint32_t>(product) < bound) {
            uint32_t threshold = static_cast<uint32_t>(-bound) % bound;
            while (static_cast<uint32_t>(product) < threshold) {
                product = (random_next(state) >> 32) * bound;
            }
        }
        return product >> 32;
    }
    uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    for (;;) {
        uint64_t x = random_next(state);
        if (x < limit) return x % n;
    }
}

struct RankTest {
    double u_b;  // U of B: pairs (a, b) with b > a, ties counted as one half
    double p;    // two-sided p-value, 0..1 (1 when every value is equal)
};

// The rank test of B against A; na and nb at least 1.
RankTest rank_test(const uint32_t* a, size_t na, const uint32_t* b, size_t nb);

struct Interval {
    double low, high;
};

struct BootstrapIntervals {
    Interval mean;    // of mean(B) - mean(A)
    Interval median;  // of median(B) - median(A), medians as order_statistics.h
};

// The bootstrap intervals of B - A from one stream of resamples; na and nb
// at least 1. False when memory is short.
bool bootstrap_differences(const uint32_t* a, size_t na, const uint32_t* b, size_t nb,
                           uint64_t seed, BootstrapIntervals* out);

// The Wilson score interval of a share, successes of n (n at least 1), as
// shares 0..1.
Interval wilson_interval(uint64_t successes, uint64_t n);

// Newcombe's hybrid score interval of p1 - p2 (p1 = x1 / n1, p2 = x2 / n2),
// from the two Wilson intervals; n1 and n2 at least 1.
Interval newcombe_interval(uint64_t x1, uint64_t n1, uint64_t x2, uint64_t n2);
