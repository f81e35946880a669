// options.cpp - the command line: the banner, the options, the usage text (see options.h).
#include "cli/options.h"

#include "reading/names.h"
#include "reading/recording/recording.h"

#include <cctype>
#include <cstdio>
#include <cstring>

static const char BANNER[] = "Varnholt screenshot health gauge tool v" HEALTHGAUGE_VERSION " (by Tamsel)\n\n";

const char USAGE[] =
    "Usage: healthgauge [-last | -scan | -report | -watch] [-help | -version]\n"
    "                   [FOLDER | SCREENSHOT.png]\n"
    "       healthgauge -scan | -report RECORDING... [FOLDER]\n"
    "       healthgauge -compare A B [FOLDER]\n"
    "       healthgauge -groups | -sessions [FOLDER]\n"
    "\n"
    "Run it in the folder that holds your PNG screenshots, or name that folder.\n"
    "\n"
    "  (no option), -last, -l  read the newest screenshot, print its health and\n"
    "                          copy it to the clipboard\n"
    "  -scan, -s               read every screenshot, write the damage of each to\n"
    "                          raw.txt and a summary to output.txt\n"
    "  -report, -r             as -scan, and write report.html, report.csv and\n"
    "                          report.xlsx (a workbook)\n"
    "  -watch, -w              read every new screenshot as soon as it is written,\n"
    "                          as -last does; Ctrl+C stops\n"
    "  -compare A B, -c A B    read the screenshots of the folders A and B (or the\n"
    "                          hits of recordings) and\n"
    "                          tell whether B does more damage than A, by the\n"
    "                          folders' names, or how many screenshots would\n"
    "                          tell; writes compare.html\n"
    "  -groups, -g             compare every subfolder of the folder (one setup\n"
    "                          each): which does the most damage; writes\n"
    "                          compare.html\n"
    "  -sessions, -e           the same for the folder's play sessions (a pause\n"
    "                          of over 30 minutes starts a new one)\n"
    "  -help, -h, -?, /?       show this text and do nothing else\n"
    "  -version                show the version line and do nothing else\n"
    "  FOLDER                  work in that folder: read its screenshots and write\n"
    "                          the files there\n"
    "  SCREENSHOT.png          (with -last) read that screenshot, not the newest\n"
    "  RECORDING               (with -scan, -report) read every hit of a video of\n"
    "                          play (.mp4, .mov, .mkv, .webm, .flv, .ts) instead\n"
    "                          of the screenshots; several are read in turn\n"
    "\n"
    "Options are compared without regard to case; of several mode options or\n"
    "folders the last one counts; any other argument is ignored with a message\n"
    "on standard error, but a path (with a / in it) that names nothing stops the\n"
    "run. Subfolders are not read.\n"
    "Only PNG screenshots are read. Standard error says why a file was not read,\n"
    "and names a weak match: a picture read that may not be a game screenshot.\n"
    "Files written to the folder: raw.txt, output.txt, report.html, report.csv,\n"
    "report.xlsx, compare.html (nothing is written into the folders compared).\n"
    "-groups reads only the subfolders' own screenshots and skips hidden ones.\n"
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

// Each mode option in its two forms: the one home of the mode options'
// names. -compare also takes the two arguments after it (see mode_option).
struct ModeOption {
    const char* long_form;
    const char* short_form;
    Mode mode;
};

static const ModeOption MODE_OPTIONS[] = {
    {"-scan", "-s", Mode::scan},         {"-last", "-l", Mode::latest},
    {"-watch", "-w", Mode::watch},       {"-report", "-r", Mode::report},
    {"-compare", "-c", Mode::compare},   {"-groups", "-g", Mode::groups},
    {"-sessions", "-e", Mode::sessions},
};

// The mode option that argument is, or null.
static const ModeOption* find_mode_option(const char* argument) {
    for (const ModeOption& option : MODE_OPTIONS) {
        if (same_text_ignoring_case(argument, option.long_form) ||
            same_text_ignoring_case(argument, option.short_form)) {
            return &option;
        }
    }
    return nullptr;
}

// The mode option's argument, or -1 for another argument. The two arguments
// after -compare are its folders, never options: *next skips them.
static int mode_option(int argc, const char* const argv[], int i, int* next) {
    const ModeOption* option = find_mode_option(argv[i]);
    *next = i + 1;
    if (!option) return -1;
    if (option->mode == Mode::compare) *next = i + 3 < argc ? i + 3 : argc;
    return static_cast<int>(option->mode);
}

Mode choose_mode(int argc, const char* const argv[]) {
    Mode mode = Mode::latest;
    for (int i = 1, next; i < argc; i = next) {
        int option = mode_option(argc, argv, i, &next);
        if (option >= 0) mode = static_cast<Mode>(option);
    }
    return mode;
}

bool is_known_option(const char* argument) {
    return is_one_of(argument, HELP_ARGUMENTS) || is_one_of(argument, VERSION_ARGUMENTS) ||
           find_mode_option(argument) != nullptr;
}

bool looks_like_option(const char* argument) {
#ifdef _WIN32
    if (argument[0] == '/') return true;
#endif
    return argument[0] == '-';
}

// True when the name ends in ".png" in any case.
static bool names_png(const char* name) {
    size_t length = strlen(name);
    return length > 4 && same_text_ignoring_case(name + length - 4, ".png");
}

Arguments parse_arguments(int argc, const char* const argv[], PathKind (*kind_of)(const char*)) {
    Arguments arguments;
    arguments.request = choose_request(argc, argv);
    arguments.mode = choose_mode(argc, argv);
    CompareFolders folders = choose_compare_folders(argc, argv);
    arguments.compare_a = folders.a;
    arguments.compare_b = folders.b;
    for (int i = 1, next; i < argc; i = next) {
        const char* argument = argv[i];
        mode_option(argc, argv, i, &next);  // passes over the folders of -compare
        if (is_known_option(argument)) continue;
        PathKind kind = kind_of(argument);
        if (kind == PathKind::folder) {
            arguments.folder = argument;
        } else if (kind == PathKind::file && arguments.mode == Mode::latest && names_png(argument)) {
            arguments.screenshot = argument;
        } else if (kind == PathKind::file && is_recording_name(argument)) {
            if (arguments.mode == Mode::scan || arguments.mode == Mode::report) {
                arguments.recordings.push_back(argument);
            } else {
                arguments.messages.push_back(std::string("healthgauge: unknown argument '") + argument +
                                             "' (recordings are read by -scan, -report and -compare)");
            }
        } else if (looks_like_option(argument)) {
            arguments.messages.push_back(std::string("healthgauge: unknown option '") + argument +
                                         "' (see --help)");
        } else {
            arguments.messages.push_back(std::string("healthgauge: no such folder or screenshot: '") +
                                         argument + "'");
            if (kind == PathKind::missing && holds_path_separator(argument)) arguments.stop_run = true;
        }
    }
    return arguments;
}

bool holds_path_separator(const char* argument) {
#ifdef _WIN32
    if (strchr(argument, '\\')) return true;
    if (isalpha(static_cast<unsigned char>(argument[0])) && argument[1] == ':') return true;
#endif
    return strchr(argument, '/') != nullptr;
}

void drop_trailing_quotes(int argc, char* argv[], PathKind (*kind_of)(const char*)) {
    for (int i = 1; i < argc; ++i) {
        size_t length = strlen(argv[i]);
        if (length < 2 || argv[i][length - 1] != '"' || kind_of(argv[i]) != PathKind::missing) continue;
        argv[i][length - 1] = '\0';
        if (kind_of(argv[i]) != PathKind::folder) argv[i][length - 1] = '"';
    }
}

CompareFolders choose_compare_folders(int argc, const char* const argv[]) {
    CompareFolders folders = {nullptr, nullptr};
    for (int i = 1, next; i < argc; i = next) {
        if (mode_option(argc, argv, i, &next) != static_cast<int>(Mode::compare)) continue;
        folders.a = i + 1 < argc ? argv[i + 1] : nullptr;
        folders.b = i + 2 < argc ? argv[i + 2] : nullptr;
    }
    return folders;
}

void print_banner() { printf("%s", BANNER); }
