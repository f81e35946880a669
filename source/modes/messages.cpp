// messages.cpp - what the modes tell the player about one screenshot (see messages.h).
#include "modes/messages.h"

#include "modes/damage.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cstdio>

void print_read_failure(const GaugeResult& result, const char* path) {
    if (result.status == GaugeStatus::load_failed) {
        printf("Error: Failed to load %s\n", path);
    } else if (result.status == GaugeStatus::no_layout) {
        printf("Warning: Could not find matching health bar type for screenshot %s\n", path);
    }
}

void print_listing_failure() {
    if (file_list.failed) printf("FindFirstFile failed (%d)\n", file_list.error);
}

static bool lost = false;

void flush_console() {
    if (fflush(stdout) != 0 && output_reader_gone()) lost = true;
}

bool console_lost() { return lost; }

// A stop request that ended the wait is no news: the player asked for it.
static void tell_clipboard_outcome(ClipboardOutcome outcome) {
    if (outcome != ClipboardOutcome::timed_out) return;
    fprintf(stderr, "healthgauge: the clipboard was not set (its helper did not finish in %d s)\n",
            CLIPBOARD_HELPER_WAIT_MS / 1000);
}

void show_reading(const GaugeResult& result, const char* path) {
    if (result.status != GaugeStatus::read) {
        print_read_failure(result, path);
        flush_console();
        tell_clipboard_outcome(clipboard.empty());
        return;
    }
    char text[PERCENT_TEXT_SIZE];
    format_percent(result.reading, text);
    printf("%s from %s\n", text, path);
    flush_console();
    tell_clipboard_outcome(clipboard.put_text(text));
}
