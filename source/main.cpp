// main.cpp - healthgauge: reads the health gauge of Varnholt screenshots.
// See program.h for the command line and README.md for the whole tool.
#include "platform.h"
#include "program.h"

int main(int argc, char* argv[]) {
    console_begin();
    int status = run_program(argc, argv);
    console_end();
    return status;
}
