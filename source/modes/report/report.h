// report.h - the report mode: the scan, and report.html to look at.
//
//     healthgauge -report    (also -r)
//
// Runs the scan exactly as -scan does (same console lines, raw.txt and
// output.txt), collecting every PNG's result on the way (report_collect.h),
// then writes report.html (report_page.h) and prints "Saved report.html" or
// "Error: Failed to write report.html.".
//
// With recordings named (recordings.h), their hits take the screenshots'
// place: a row each, with the recording's name and the hit's position.
#pragma once

#include "modes/recordings.h"

void run_report();
void run_report_recordings(const NamedRecording* list, int count);
