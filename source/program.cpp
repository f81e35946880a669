// program.cpp - the program entry, its options and the latest-screenshot mode.
#include "program.h"

#include "file_list.h"
#include "report.h"
#include "scan.h"
#include "screenshot.h"

#include <cstdio>

static const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";

Mode choose_mode(int argc, const char* const argv[]) {
    Mode mode = Mode::latest;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') continue;
        if (same_text_ignoring_case(argument, "-scan") || same_text_ignoring_case(argument, "-s")) {
            mode = Mode::scan;
        } else if (same_text_ignoring_case(argument, "-last") ||
                   same_text_ignoring_case(argument, "-l")) {
            mode = Mode::latest;
        } else if (same_text_ignoring_case(argument, "-report") ||
                   same_text_ignoring_case(argument, "-r")) {
            mode = Mode::report;
        }
    }
    return mode;
}

// Index of the PNG entry with the greatest time (the first listed of equal
// times), or -1 when the listing holds none.
static int newest_png() {
    int newest = -1;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        int index = file_list.index[slot];
        const FileEntry& entry = file_list.entries[index];
        if (!entry_is_png(entry)) continue;
        if (newest < 0 || entry.time > file_list.entries[newest].time) newest = index;
    }
    return newest;
}

void run_latest() {
    int newest = -1;
    if (file_list_list_files()) {
        newest = newest_png();
    }
    if (newest < 0) {
        printf("Error: Could not find any PNG file.\n");
        return;
    }
    const char* path = file_list.entries[newest].path;
    show_reading(read_gauge(path), path);
}

int run_program(int argc, const char* const argv[]) {
    printf("%s", BANNER);
    Mode mode = choose_mode(argc, argv);
    if (mode == Mode::scan) {
        run_scan();
    } else if (mode == Mode::report) {
        run_report();
    } else {
        run_latest();
    }
    fflush(stdout);
    return 1;
}
