// main.cpp - healthgauge: reads the health gauge of Varnholt screenshots.
//
// The entry: the console and the interruptions are set up, before anything
// else is opened, around one run of the program, whose arguments (in UTF-8
// on every platform) choose the mode and the folder (cli/program.h,
// cli/options.h; on Windows a folder's escaped closing quote is taken off
// first); a console window the program opened itself waits for
// Enter at the end. See README.md for the whole tool.
#include "cli/program.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
    console_begin();
    interrupts_begin();
    char** utf8 = program_arguments(&argc, argv);
#ifdef _WIN32
    drop_trailing_quotes(argc, utf8);
#endif
    Arguments arguments = parse_arguments(argc, utf8);
    int status = run_arguments(arguments);
    console_end();
    pause_at_end(arguments);
    return status;
}
