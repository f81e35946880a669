// platform_posix_time.cpp - file times as calendar time on POSIX systems.
//
// The directory search gives a last-write time as nanoseconds since
// 1601-01-01 00:00:00 UTC (platform_posix_time.h).
#include "platform.h"
#include "platform_posix_time.h"

#include <cstdio>
#include <cstring>
#include <ctime>

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 1000000000u) - SECONDS_1601_TO_1970;
}

bool local_time_text(int64_t seconds, char text[LOCAL_TIME_SIZE]) {
    text[0] = '\0';
    time_t t = static_cast<time_t>(seconds);
    struct tm local;
    if (static_cast<int64_t>(t) != seconds || !localtime_r(&t, &local)) return false;
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
