// program.h - one run of the program: the banner, then the help text, the
// version line alone or the mode the options choose (options.h).
//
//     int main(int argc, char* argv[]) { return run_program(argc, argv); }
#pragma once

// Prints the banner, then the usage text, nothing more or the chosen mode as
// the arguments ask (argv[0] is the program's name); returns the exit
// status, which is 1 on every path.
int run_program(int argc, const char* const argv[]);
