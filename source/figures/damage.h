// damage.h - readings as the player sees them: damage, percent text, average.
//
//     char text[PERCENT_TEXT_SIZE];
//     format_percent(damage_of(537), text);       // "46.3%"
//     uint32_t average = average_reading(sum, n); // truncated
//
// A reading is the filled share of the health bar in permille (0 to 1000);
// the damage of a screenshot is 1000 minus its reading, so a full bar is a
// complete miss with 0.0% damage.
#pragma once

#include <cstdint>

constexpr uint32_t FULL_READING = 1000;

constexpr int PERCENT_TEXT_SIZE = 8;  // "100.0%" and its terminator fit

// 1000 minus the reading (a reading above 1000 counts as 1000).
inline uint32_t damage_of(uint32_t reading) {
    return reading >= FULL_READING ? 0 : FULL_READING - reading;
}

// Writes value / 10 "." value % 10 "%" into text, e.g. 537 -> "53.7%".
void format_percent(uint32_t value, char text[PERCENT_TEXT_SIZE]);

// The average of count readings whose sum is sum, truncated: its damage is
// therefore rounded up. count is at least 1.
uint32_t average_reading(uint64_t sum, uint32_t count);
