// local_time.cpp - file times as the player reads them (see local_time.h).
#include "pages/local_time.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <ctime>

bool local_time_text(int64_t seconds, char text[LOCAL_TIME_SIZE]) {
    text[0] = '\0';
    struct tm local;
    if (!local_calendar_time(seconds, &local)) return false;
    int year = local.tm_year + 1900;
    if (year < 0 || year > 9999) return false;
    char full[64];  // room for any field values, though they are all two digits
    int length = snprintf(full, sizeof full, "%04d-%02d-%02d %02d:%02d:%02d", year,
                          local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec);
    if (length != LOCAL_TIME_SIZE - 1) return false;
    memcpy(text, full, LOCAL_TIME_SIZE);
    return true;
}

bool file_time_to_local(uint64_t time, char text[LOCAL_TIME_SIZE]) {
    return local_time_text(file_time_seconds(time), text);
}

void format_position(double seconds, char text[POSITION_TEXT_SIZE]) {
    // Whole milliseconds, rounded; anything not a sane number shows as 0.
    double limit = 3600.0 * 1e6;  // a million hours
    double ms = seconds > 0 && seconds < limit ? seconds * 1000.0 + 0.5 : 0;
    unsigned long long total = static_cast<unsigned long long>(ms);
    snprintf(text, POSITION_TEXT_SIZE, "%u:%02u:%02u.%03u", static_cast<unsigned>(total / 3600000),
             static_cast<unsigned>(total / 60000 % 60), static_cast<unsigned>(total / 1000 % 60),
             static_cast<unsigned>(total % 1000));
}
