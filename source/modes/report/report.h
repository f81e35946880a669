// report.h - the report mode: the scan, and report.html to look at.
//
//     healthgauge -report    (also -r)
//
// Runs the scan exactly as -scan does (same console lines, raw.txt and
// output.txt), collecting every PNG's result on the way (report_collect.h),
// then writes report.html (report_page.h) and prints "Saved report.html" or
// "Error: Failed to write report.html.".
#pragma once

void run_report();
