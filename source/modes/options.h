// options.h - the command line: the banner, the options, the usage text.
//
//     healthgauge            read the newest PNG, print and copy its health
//     healthgauge -last|-l   the same
//     healthgauge -scan|-s   read every PNG, write raw.txt and output.txt
//     healthgauge --help     the banner and the usage text, nothing else
//     healthgauge --version  the banner alone
//     healthgauge -watch|-w  read every new PNG as soon as it is written (watch.h)
//     healthgauge -report|-r the scan, and report.html to look at (report.h)
//     healthgauge -compare|-c A B  the screenshots of two folders compared
//                            (compare/compare.h)
//
// Options are compared without regard to case; the last mode option wins; any
// other argument is ignored. The two arguments after -compare are its
// folders, whatever they are (never options). A help argument (-help,
// --help, -h, -? or /?) anywhere wins over everything, then a version
// argument (-version or --version). The exit status is 1 on every path.
#pragma once


enum class Mode { latest, scan, watch, report, compare };

// What the run does: a mode, or only the help or version text.
enum class Request { mode, help, version };

// The mode the arguments ask for (argv[0] is the program's name).
Mode choose_mode(int argc, const char* const argv[]);

// The folders of the compare mode: the two arguments after the last -compare
// (or -c); null where the arguments end first (and both null without one).
struct CompareFolders {
    const char* a;
    const char* b;
};

CompareFolders choose_compare_folders(int argc, const char* const argv[]);

// The request of the arguments: help when any argument asks for it, else
// version when any asks for that, else mode.
Request choose_request(int argc, const char* const argv[]);

// The text that help prints after the banner.
extern const char USAGE[];

// Prints "Varnholt screenshot health gauge tool v1.02 (by Tamsel)" and an
// empty line: the first thing every run prints.
void print_banner();
