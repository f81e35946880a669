// main.cpp - healthgauge: reads the health gauge of Varnholt screenshots.
//
// The entry: the console and the interruptions are set up, before anything
// else is opened, around one run of the program, whose options choose the
// mode (modes/program.h, modes/options.h). See README.md for the whole tool.
#include "modes/program.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
    console_begin();
    interrupts_begin();
    int status = run_program(argc, argv);
    console_end();
    return status;
}
