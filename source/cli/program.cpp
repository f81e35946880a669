// program.cpp - one run of the program (see program.h).
#include "cli/program.h"

#include "cli/pause.h"
#include "modes/compare/compare.h"
#include "modes/groups/groups.h"
#include "modes/latest.h"
#include "modes/report/report.h"
#include "modes/scan.h"
#include "modes/watch.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// True when a path names the same file from any folder.
static bool is_absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return true;
#ifdef _WIN32
    if (!path.empty() && path[0] == '\\') return true;
    if (path.size() >= 2 && isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return true;
#endif
    return false;
}

// The recordings named, with the paths they are opened by once the run has
// moved to its folder: taken from the folder the program was started in.
struct RecordingNames {
    std::vector<std::string> paths;
    std::vector<NamedRecording> list;
};

static RecordingNames name_recordings(const Arguments& arguments) {
    RecordingNames names;
    char start[OUTPUT_PATH_SIZE];
    bool known = current_folder(start, sizeof start);
    for (const std::string& name : arguments.recordings) {
        bool relative = known && !is_absolute(name);
        names.paths.push_back(relative ? std::string(start) + PATH_SEPARATOR + name : name);
    }
    for (size_t i = 0; i < arguments.recordings.size(); ++i) {
        names.list.push_back({arguments.recordings[i].c_str(), names.paths[i].c_str()});
    }
    return names;
}

static void run_mode(const Arguments& arguments, const RecordingNames& recordings) {
    int recording_count = static_cast<int>(recordings.list.size());
    switch (arguments.mode) {
    case Mode::scan:
        if (recording_count > 0) {
            run_scan_recordings(recordings.list.data(), recording_count, nullptr);
        } else {
            run_scan();
        }
        break;
    case Mode::watch: run_watch(); break;
    case Mode::report:
        if (recording_count > 0) {
            run_report_recordings(recordings.list.data(), recording_count);
        } else {
            run_report();
        }
        break;
    case Mode::latest:
        if (arguments.screenshot.empty()) {
            run_latest();
        } else {
            run_latest_named(arguments.screenshot.c_str());
        }
        break;
    case Mode::compare:
        // A and B are named from the folder the program was started in;
        // compare.html goes into the run folder.
        run_compare(arguments.compare_a, arguments.compare_b, arguments.folder.c_str());
        break;
    case Mode::groups: run_groups(); break;
    case Mode::sessions: run_sessions(); break;
    }
}

void enter_run_folder(const char* folder) {
    if (enter_folder(folder) == 0) return;
    if (strlen(folder) < sizeof file_list.home) {
        snprintf(file_list.home, sizeof file_list.home, "%s", folder);
    }
}

int run_arguments(const Arguments& arguments) {
    print_banner();
    fflush(stdout);
    for (const std::string& message : arguments.messages) fprintf(stderr, "%s\n", message.c_str());
    if (arguments.request == Request::help) printf("%s", USAGE);
    if (arguments.request == Request::mode && !arguments.stop_run) {
        // A named screenshot is read by the name as given, in the folder the
        // program was started in; so are recordings, by their whole paths.
        RecordingNames recordings = name_recordings(arguments);
        if (!arguments.folder.empty() && arguments.screenshot.empty() &&
            arguments.mode != Mode::compare) {
            enter_run_folder(arguments.folder.c_str());
        }
        run_mode(arguments, recordings);
    }
    fflush(stdout);
    return 1;
}

int run_program(int argc, const char* const argv[]) {
    return run_arguments(parse_arguments(argc, argv));
}

void pause_at_end(const Arguments& arguments) {
    ConsoleFacts console = console_facts();
    PauseFacts facts = {};
    facts.console_processes = console.console_processes;
    facts.input_is_console = console.input_is_console;
    facts.output_is_console = console.output_is_console;
    facts.watch = arguments.request == Request::mode && arguments.mode == Mode::watch;
    facts.stop_requested = stop_requested();
    facts.session_ending = stop_ends_session();
    const char* no_pause = getenv("HEALTHGAUGE_NO_PAUSE");
    facts.no_pause_set = no_pause != nullptr;
    if (should_pause(facts)) wait_for_enter(PAUSE_TIMEOUT_MS);
}
