// pause.cpp - whether the program waits for Enter at its end (see pause.h).
#include "cli/pause.h"

bool should_pause(const PauseFacts& facts) {
    bool own_console = facts.console_processes == 1 && facts.input_is_console &&
                       facts.output_is_console;
    if (!own_console || facts.no_pause_set || facts.session_ending) return false;
    return facts.watch || !facts.stop_requested;
}
