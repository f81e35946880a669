// groups_page.h - compare.html of the groups and sessions modes.
//
// One self-contained page (inline CSS and SVG, no script, nothing fetched):
// the table of the setups, highest average first, and the sentence of the
// console (figures/groups_figures.h); a chart of each setup's average with
// its 95% interval; each setup's damage histogram on the report's bins
// (pages/chart.h), small enough that twelve fit; the table of the pairs
// with their Holm-adjusted p when the test found a difference; and what the
// figures mean.
//
//     write_groups_page(file, comparison, samples);  // after compare_groups()
#pragma once

#include "figures/groups_figures.h"

#include <cstdio>

// samples as given to compare_groups (sorted by it). False when a write
// failed.
bool write_groups_page(FILE* file, const GroupsComparison& comparison, const GroupSample* samples);
