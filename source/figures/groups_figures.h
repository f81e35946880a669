// groups_figures.h - the figures of a comparison of several setups, and
// their text: the table cells and the sentence that the console and
// compare.html share (the groups and sessions modes).
//
//     GroupSample samples[] = {{"sword", damage, count}, ...};
//     GroupsComparison comparison;
//     if (!compare_groups(samples, n, threads, &comparison)) ... memory ...
//     char sentence[GROUPS_SENTENCE_SIZE];
//     groups_sentence(comparison, sentence);
//     groups_release(&comparison);
//
// Setups with fewer than COMPARE_MIN_READ screenshots read are shown but
// left out of the tests. With at least two setups left, Kruskal-Wallis
// decides whether any differ; when its p is below COMPARE_SIGNIFICANCE,
// every pair of them is tested with the compare mode's rank test and the p
// values are adjusted by Holm's method: a pair differs when its adjusted p
// is below COMPARE_SIGNIFICANCE.
#pragma once

#include "figures/compare_figures.h"
#include "figures/groups_statistics.h"

#include <cstddef>
#include <cstdint>

// One setup's damage as read: permille, one per screenshot (sorted by
// compare_groups).
struct GroupSample {
    const char* name;
    uint32_t* damage;
    uint32_t count;  // at least 1
    uint32_t weak;   // of them, weak matches (shown, counted in every figure)
};

struct GroupFigures {
    const char* name;     // the sample's
    int sample;           // its index among the samples given
    uint32_t read;
    uint32_t misses;      // complete misses (0.0% damage)
    double mean, median;  // permille
    Interval mean_interval;    // bootstrap_mean, permille
    Interval misses_interval;  // Wilson, shares 0..1
    bool tested;               // at least COMPARE_MIN_READ read
    uint32_t weak;             // the sample's
};

struct PairTest {
    int higher, lower;  // indexes into GroupsComparison::groups, higher average first
    double p, adjusted;
    bool differs;
};

struct GroupsComparison {
    GroupFigures* groups;  // every setup, highest average first
    int count;
    int tested;            // setups in the tests
    bool enough;           // at least two tested
    KruskalWallis test;    // when enough
    bool differs;          // enough and test.p below COMPARE_SIGNIFICANCE
    PairTest* pairs;       // when differs: every pair of tested setups
    int pair_count;
};

// Sorts each sample and fills the comparison (free it with groups_release).
// Each setup's figures (its bootstrap above all) are worked out on up to
// `threads` threads, the caller's among them; the figures are the same on
// any number. False when memory is short.
bool compare_groups(GroupSample* samples, int count, int threads, GroupsComparison* comparison);

void groups_release(GroupsComparison* comparison);

// Whether group `index` (of comparison.groups) beats group `other`.
bool group_beats(const GroupsComparison& comparison, int index, int other);

constexpr size_t GROUPS_SENTENCE_SIZE = 4096;

// "sword does the most damage; it beats bow and axe (Holm-adjusted rank
// tests).", "No setup clearly does the most damage; sword and spear lead
// (Holm-adjusted rank tests).", "No clear difference between the 4 setups
// (p = 0.310, Kruskal–Wallis)." or the too-few sentence. Names as given.
// The leaders are the tested setups that no other setup beats.
void groups_sentence(const GroupsComparison& comparison, char text[GROUPS_SENTENCE_SIZE]);

constexpr int GROUP_CELL_SIZE = 40;

// A setup's row of the table, as text.
struct GroupCells {
    char read[GROUP_CELL_SIZE];     // "40"
    char average[GROUP_CELL_SIZE];  // "52.3% (48.1% to 56.0%)"
    char median[GROUP_CELL_SIZE];   // "51.0%"
    char misses[GROUP_CELL_SIZE];   // "2 (1.4% to 16.5%)"
};

void group_cells(const GroupFigures& figures, GroupCells* cells);

// Characters of UTF-8 text (each sequence counted as one), for aligning.
size_t text_characters(const char* text);
