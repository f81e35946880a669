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

void show_reading(const GaugeResult& result, const char* path) {
    if (result.status != GaugeStatus::read) {
        print_read_failure(result, path);
        fflush(stdout);
        clipboard.empty();
        return;
    }
    char text[PERCENT_TEXT_SIZE];
    format_percent(result.reading, text);
    printf("%s from %s\n", text, path);
    fflush(stdout);
    clipboard.put_text(text);
}
