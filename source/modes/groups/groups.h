// groups.h - the groups and sessions modes: which of several setups does
// the most damage?
//
//     healthgauge -groups [FOLDER]    (also -g)
//     healthgauge -sessions [FOLDER]  (also -e)
//
// -groups: every subfolder of the run folder that holds a PNG is a setup,
// named by the subfolder (its own subfolders are not read; hidden ones, a
// leading dot or on Windows the hidden attribute, are passed over).
// -sessions: the run folder's own screenshots split into play sessions as
// the report splits them (figures/sessions.h), each named by its local date
// and time span, "2026-11-21 20:10–21:45".
//
// Both read as the scan reads (scan_read_listing: every core, each failing
// screenshot's message), write nothing into the subfolders, print the table
// of the setups, highest average first, a line for each setup left out of
// the tests, and the sentence (figures/groups_figures.h), and write
// compare.html into the run folder (groups_page.h) through the atomic
// output file: "Saved compare.html" or "Error: Failed to write
// compare.html.". With fewer than two setups of 10 screenshots read:
//   Too few setups to compare: at least two with 10 screenshots read each are needed.
// and no page. A subfolder that cannot be listed gets compare's line,
//   Error: Cannot read the folder NAME.     (the reason on standard error)
// and is left out.
#pragma once

void run_groups();
void run_sessions();
