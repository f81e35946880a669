// main.cpp - healthgauge: reads the health gauge of Varnholt screenshots.
// See program.h for the command line and README.md for the whole tool.
#include "program.h"

int main(int argc, char* argv[]) { return run_program(argc, argv); }
