// program.cpp - one run of the program (see program.h).
#include "modes/program.h"

#include "modes/compare/compare.h"
#include "modes/latest.h"
#include "modes/options.h"
#include "modes/report/report.h"
#include "modes/scan.h"
#include "modes/watch.h"

#include <cstdio>

static void run_mode(Mode mode, int argc, const char* const argv[]) {
    switch (mode) {
    case Mode::scan: run_scan(); break;
    case Mode::watch: run_watch(); break;
    case Mode::report: run_report(); break;
    case Mode::latest: run_latest(); break;
    case Mode::compare: {
        CompareFolders folders = choose_compare_folders(argc, argv);
        run_compare(folders.a, folders.b);
        break;
    }
    }
}

int run_program(int argc, const char* const argv[]) {
    print_banner();
    Request request = choose_request(argc, argv);
    if (request == Request::help) printf("%s", USAGE);
    if (request == Request::mode) run_mode(choose_mode(argc, argv), argc, argv);
    fflush(stdout);
    return 1;
}
