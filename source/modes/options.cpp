// options.cpp - the command line: the banner, the options, the usage text (see options.h).
#include "modes/options.h"

#include "reading/names.h"

#include <cstdio>

static const char BANNER[] = "Varnholt screenshot health gauge tool v1.02 (by Tamsel)\n\n";

const char USAGE[] =
    "Usage: healthgauge [-last | -scan | -report | -watch] [-help | -version]\n"
    "\n"
    "Run it in the folder that holds your PNG screenshots.\n"
    "\n"
    "  (no option), -last, -l  read the newest screenshot, print its health and\n"
    "                          copy it to the clipboard\n"
    "  -scan, -s               read every screenshot, write the damage of each to\n"
    "                          raw.txt and a summary to output.txt\n"
    "  -report, -r             as -scan, and write report.html as well\n"
    "  -watch, -w              read every new screenshot as soon as it is written,\n"
    "                          as -last does; Ctrl+C stops\n"
    "  -help, -h, -?, /?       show this text and do nothing else\n"
    "  -version                show the version line and do nothing else\n"
    "\n"
    "Options are compared without regard to case; of several mode options the\n"
    "last one counts; other arguments are ignored. Subfolders are not read.\n"
    "Files written to the folder: raw.txt, output.txt, report.html.\n"
    "HEALTHGAUGE_THREADS (1 to 32) sets the number of threads of a scan.\n"
    "Exit status: always 1.\n";

// Each list ends with a null pointer.
static const char* const HELP_ARGUMENTS[] = {"-help", "--help", "-h", "-?", "/?", nullptr};
static const char* const VERSION_ARGUMENTS[] = {"-version", "--version", nullptr};

static bool is_one_of(const char* argument, const char* const forms[]) {
    for (int i = 0; forms[i]; ++i) {
        if (same_text_ignoring_case(argument, forms[i])) return true;
    }
    return false;
}

Request choose_request(int argc, const char* const argv[]) {
    Request request = Request::mode;
    for (int i = 1; i < argc; ++i) {
        if (is_one_of(argv[i], HELP_ARGUMENTS)) return Request::help;
        if (is_one_of(argv[i], VERSION_ARGUMENTS)) request = Request::version;
    }
    return request;
}

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
        } else if (same_text_ignoring_case(argument, "-watch") ||
                   same_text_ignoring_case(argument, "-w")) {
            mode = Mode::watch;
        } else if (same_text_ignoring_case(argument, "-report") ||
                   same_text_ignoring_case(argument, "-r")) {
            mode = Mode::report;
        }
    }
    return mode;
}

void print_banner() { printf("%s", BANNER); }
