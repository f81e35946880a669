// compare_page.h - compare.html, the page of the compare mode.
//
// One self-contained page (inline CSS and SVG, no script, nothing fetched):
// the table, the sentence and the power line of the console
// (compare_figures.h), the two
// damage histograms overlaid on the report's bins (pages/chart.h: a bar of
// its own for 0.0%, then five-point bins) as shares of each folder, the two
// cumulative curves (the share of screenshots at or below each damage), each
// folder's count, weak matches, misses, median and spread, and what the
// figures mean.
//
//     write_compare_page(file, comparison, a, b);  // after compare_damage()
#pragma once

#include "figures/compare_figures.h"

#include <cstdint>
#include <cstdio>

// One folder of the comparison.
struct FolderDamage {
    const char* name;   // as the player typed it
    uint32_t* damage;   // permille, one per screenshot read (sorted by compare_damage)
    uint32_t count;     // screenshots read
    uint32_t pngs;      // PNG files listed, read or not
    uint32_t weak;      // screenshots read that are weak matches (match_doubt, gauge.h)
};

// False when a write failed.
bool write_compare_page(FILE* file, const Comparison& comparison, const FolderDamage& a,
                        const FolderDamage& b);
