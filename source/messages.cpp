// messages.cpp - what the modes tell the player about one screenshot (see messages.h).
#include "messages.h"

#include "platform.h"

#include <cstdio>

void format_percent(uint32_t value, char text[PERCENT_TEXT_SIZE]) {
    if (value > 1000) value = 1000;  // readings never exceed it
    snprintf(text, PERCENT_TEXT_SIZE, "%u.%u%%", value / 10, value % 10);
}

void print_read_failure(const GaugeResult& result, const char* path) {
    if (result.status == GaugeStatus::load_failed) {
        printf("Error: Failed to load %s\n", path);
    } else if (result.status == GaugeStatus::no_layout) {
        printf("Warning: Could not find matching health bar type for screenshot %s\n", path);
    }
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
