// options.h - the command line: the banner, the options, the usage text.
//
//     healthgauge            read the newest PNG, print and copy its health
//     healthgauge -last|-l   the same
//     healthgauge -scan|-s   read every PNG, write raw.txt and output.txt
//     healthgauge --help     the banner and the usage text, nothing else
//     healthgauge --version  the banner alone
//     healthgauge -watch|-w  read every new PNG as soon as it is written (watch.h)
//     healthgauge -report|-r the scan, and report.html, report.csv, report.xlsx (report.h)
//     healthgauge FOLDER     work in FOLDER as if started there
//     healthgauge SHOT.png   (latest mode) read SHOT.png instead of the newest
//     healthgauge -compare|-c A B  the screenshots of two folders compared
//                            (compare/compare.h)
//     healthgauge -groups|-g  the run folder's subfolders compared, one setup
//                            each (groups/groups.h)
//     healthgauge -sessions|-e  the run folder's play sessions compared
//
// Options are compared without regard to case; the last mode option wins.
// The two arguments after -compare are its folders, whatever they are (never
// options, run folders or screenshots). A
// help argument (-help, --help, -h, -? or /?) anywhere wins over everything,
// then a version argument (-version or --version). Every other argument is
// taken, in this order, as an existing folder (the last one counts), in
// latest mode as an existing file whose name ends in .png (the last one
// counts), in scan and report mode as an existing file whose name is a
// recording's (read in the order given), or else is ignored with one
// message for standard error. The exit
// status is 1 on every path. An ignored argument that holds a path separator
// ('/'; on Windows also '\\' or a drive such as C:) and names nothing at all
// is a mistyped folder: the run stops after the messages (stop_run), so that
// nothing is read or written in the wrong folder.
//
//     Arguments arguments = parse_arguments(argc, argv);
//     for (const std::string& message : arguments.messages) ... standard error ...
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>


enum class Mode { latest, scan, watch, report, compare, groups, sessions };

// What the run does: a mode, or only the help or version text.
enum class Request { mode, help, version };

// The command line as one record (argv[0] is the program's name).
struct Arguments {
    Mode mode = Mode::latest;
    Request request = Request::mode;
    std::string folder;      // the folder to work in; empty: the working directory
    std::string screenshot;  // latest mode: the PNG to read instead of the newest; or empty
    // scan and report: the recordings named (recording.h is_recording_name),
    // as typed, in their order; read instead of the folder's screenshots.
    std::vector<std::string> recordings;
    const char* compare_a = nullptr;  // compare mode: the folders as typed; null when missing
    const char* compare_b = nullptr;
    // One line each (without its line end) for standard error, about the
    // arguments that were not taken, in their order:
    //   healthgauge: unknown option '-scna' (see --help)
    //   healthgauge: no such folder or screenshot: 'C:\Shots'
    //   healthgauge: unknown argument 'a.mp4' (recordings are read by -scan, -report and -compare)
    std::vector<std::string> messages;
    // An argument names a path that does not exist: no mode is run.
    bool stop_run = false;
};

// Reads the arguments. kind_of tells what a name is (path_kind, or a table
// in the tests); it is asked about relative names in the folder the program
// was started in, before anything changes the working directory.
Arguments parse_arguments(int argc, const char* const argv[],
                          PathKind (*kind_of)(const char*) = path_kind);

// True when argument is an option of this program (a mode, help, version).
bool is_known_option(const char* argument);

// True when an argument that is nothing else is reported as an unknown
// option: it begins with '-' (or, on Windows, '/').
bool looks_like_option(const char* argument);

// True when argument holds a path separator: '/' anywhere, on Windows also
// '\\' or a drive letter and a colon at its start.
bool holds_path_separator(const char* argument);

// Windows passes "C:\Shots\" (a folder typed with its closing backslash and
// quoted) as C:\Shots" : the backslash escapes the quote. Takes such a
// trailing quote off each argument where what remains names a folder
// (main calls it on Windows, before parse_arguments).
void drop_trailing_quotes(int argc, char* argv[], PathKind (*kind_of)(const char*) = path_kind);

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

// Prints "Varnholt screenshot health gauge tool v1.02 (by Tamsel)" (the
// version from CMake's project()) and an
// empty line: the first thing every run prints.
void print_banner();
