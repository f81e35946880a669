// program.h - the program entry, its options and the latest-screenshot mode.
//
//     healthgauge            read the newest PNG, print and copy its health
//     healthgauge -last|-l   the same
//     healthgauge -scan|-s   read every PNG, write raw.txt and output.txt
//     healthgauge -report|-r the scan, and report.html to look at (report.h)
//
// Options are compared without regard to case; the last one wins; any other
// argument is ignored. The exit status is 1 on every path.
#pragma once

#include "messages.h"

#include <cstdint>

enum class Mode { latest, scan, report };

// The mode the arguments ask for (argv[0] is the program's name).
Mode choose_mode(int argc, const char* const argv[]);

// Reads the newest PNG of the working directory, prints the remaining health
// and puts it on the clipboard; empties the clipboard when the reading fails.
void run_latest();

// Prints the banner, runs the chosen mode, returns the exit status.
int run_program(int argc, const char* const argv[]);
