// program.h - one run of the program: the banner, then the help text, the
// version line alone or the mode the options choose (options.h), in the
// folder the arguments name; at the end, on Windows, the pause of a console
// window that the program opened itself (pause.h).
//
//     int main(int argc, char* argv[]) {
//         console_begin();
//         Arguments arguments = parse_arguments(argc, argv);
//         int status = run_arguments(arguments);
//         console_end();
//         pause_at_end(arguments);
//         return status;
//     }
#pragma once

#include "cli/options.h"

// Prints the banner and the messages about arguments not taken (on standard
// error), then the usage text, nothing more or the chosen mode, in the
// arguments' folder when they name one; no mode when an argument named a
// path that does not exist (stop_run). Returns the exit status, which is 1
// on every path.
int run_arguments(const Arguments& arguments);

// parse_arguments, then run_arguments (argv[0] is the program's name).
int run_program(int argc, const char* const argv[]);

// Makes folder the working directory of the run: the one place that does.
// When it cannot be entered, the listing is pointed at it instead, so that
// the listing fails with the system's reason and nothing is written.
void enter_run_folder(const char* folder);

// Waits for Enter when the program had a console window of its own
// (should_pause in pause.h, with this run's facts).
void pause_at_end(const Arguments& arguments);
