// groups_statistics.h - the statistics of the groups and sessions modes:
// does any of several setups differ, and which pairs do? Pure functions of
// samples in permille; nothing prints.
//
//     const uint32_t* samples[] = {a, b, c};       // each sorted
//     size_t sizes[] = {na, nb, nc};
//     KruskalWallis test;
//     kruskal_wallis(samples, sizes, 3, &test);     // H and its p
//     double adjusted[3];
//     holm_adjust(p_values, 3, adjusted);           // pairs' p values
//     Interval mean;
//     bootstrap_mean(a, na, BOOTSTRAP_SEED, &mean); // 95% interval of the average
//
// Kruskal-Wallis H has the tie correction; its p is the chi-square
// distribution's upper tail with k - 1 degrees of freedom, the regularized
// upper incomplete gamma Q(df / 2, H / 2): the figures of SciPy's kruskal.
// The bootstrap of one sample's average is that of the compare mode
// (compare_statistics.h): the same generator, seed, resample count and ends.
#pragma once

#include "figures/compare_statistics.h"

#include <cstddef>
#include <cstdint>

struct KruskalWallis {
    double h;  // tie-corrected; 0 when every value is equal
    double p;  // 1 when every value is equal
    int df;    // groups - 1
};

// The test of k groups (k at least 2, each with at least one value, each
// sorted ascending: the ranks come from walking them side by side, without
// a copy of all the values). False when memory is short.
bool kruskal_wallis(const uint32_t* const* samples, const size_t* sizes, int k,
                    KruskalWallis* out);

// The regularized upper incomplete gamma function Q(a, x), a > 0, x >= 0:
// the series for x < a + 1, else the continued fraction (modified Lentz).
double upper_gamma_q(double a, double x);

// Holm's step-down adjustment of n p values (any order): the i-th smallest
// times (n - i + 1), never below the one before it, at most 1.
void holm_adjust(const double* p, int n, double* adjusted);

// The 95% percentile bootstrap interval of a sample's average; n at least
// 1. False when memory is short.
bool bootstrap_mean(const uint32_t* values, size_t n, uint64_t seed, Interval* out);
