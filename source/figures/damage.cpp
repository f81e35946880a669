// damage.cpp - readings as the player sees them (see damage.h).
#include "figures/damage.h"

#include <cstdio>

void format_percent(uint32_t value, char text[PERCENT_TEXT_SIZE]) {
    if (value > FULL_READING) value = FULL_READING;  // readings never exceed it
    snprintf(text, PERCENT_TEXT_SIZE, "%u.%u%%", value / 10, value % 10);
}

uint32_t average_reading(uint64_t sum, uint32_t count) {
    return static_cast<uint32_t>(sum / count);
}
