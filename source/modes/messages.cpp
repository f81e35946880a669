// messages.cpp - what the modes tell the player about one screenshot (see messages.h).
#include "modes/messages.h"

#include "figures/damage.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cstdio>

const char* load_problem_text(const GaugeResult& result, char* text, size_t size) {
    switch (result.load_problem) {
    case LoadProblem::cannot_open:
        if (result.load_error != 0) {
            char reason[256];
            snprintf(text, size, "it cannot be opened: %s",
                     system_error_text(result.load_error, reason, sizeof reason));
        } else {
            snprintf(text, size, "it cannot be opened");
        }
        break;
    case LoadProblem::not_png:
        snprintf(text, size, "it is not a PNG picture (another format, or no picture at all)");
        break;
    case LoadProblem::too_large:
        snprintf(text, size, "the picture is too large to read");
        break;
    case LoadProblem::cut_short:
        snprintf(text, size, "the file is cut short: it ends before the picture does");
        break;
    case LoadProblem::damaged:
    case LoadProblem::none:
        snprintf(text, size, "the PNG data is damaged");
        break;
    }
    return text;
}

void print_file_reason(const char* name, int error) {
    if (error == 0) return;
    char reason[256];
    fflush(stdout);
    fprintf(stderr, "healthgauge: %s: %s\n", name, system_error_text(error, reason, sizeof reason));
}

void print_read_failure(const GaugeResult& result, const char* path) {
    if (result.status == GaugeStatus::load_failed) {
        printf("Error: Failed to load %s\n", path);
        // A file the system opened but that is no regular file (a named pipe,
        // a device) comes with no error code: then there is no reason to give.
        if (result.load_problem == LoadProblem::cannot_open && result.load_error == 0) return;
        char reason[320];
        fflush(stdout);
        fprintf(stderr, "healthgauge: %s: %s\n", path, load_problem_text(result, reason, sizeof reason));
    } else if (result.status == GaugeStatus::no_layout) {
        printf("Warning: Could not find matching health bar type for screenshot %s\n", path);
    }
}

void print_listing_failure() {
    if (!file_list.failed) return;
    printf("FindFirstFile failed (%d)\n", file_list.error);
    print_file_reason("the folder cannot be listed", file_list.error);
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
