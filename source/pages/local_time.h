// local_time.h - file times as the player reads them.
//
//     char text[LOCAL_TIME_SIZE];
//     if (file_time_to_local(entry.time, text)) ... "2026-12-07 14:05:09" ...
//
// The machine's local time; the platform layer knows each platform's epoch
// (file_time_seconds) and its calendar (local_calendar_time).
#pragma once

#include <cstdint>

constexpr int LOCAL_TIME_SIZE = 20;  // "YYYY-MM-DD HH:MM:SS" and the terminator

// Seconds since 1970 as "YYYY-MM-DD HH:MM:SS" in the machine's local time;
// false, with text empty, when the time cannot be shown.
bool local_time_text(int64_t seconds, char text[LOCAL_TIME_SIZE]);

// local_time_text(file_time_seconds(time), text).
bool file_time_to_local(uint64_t time, char text[LOCAL_TIME_SIZE]);

// A position in a recording, seconds from its start, as "0:01:23.450"
// (hours, minutes, seconds and milliseconds; negative positions as 0).
constexpr int POSITION_TEXT_SIZE = 32;
void format_position(double seconds, char text[POSITION_TEXT_SIZE]);
