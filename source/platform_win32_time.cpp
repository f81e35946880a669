// platform_win32_time.cpp - file times as calendar time on Windows.
//
// The directory search gives a last-write time as a FILETIME: 100-nanosecond
// intervals since 1601-01-01 00:00:00 UTC (platform_win32_dir.cpp).
#include "platform.h"

#include <cstdio>
#include <cstring>
#include <ctime>

// 1601-01-01 to 1970-01-01, in seconds.
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 10000000u) - SECONDS_1601_TO_1970;
}

bool local_time_text(int64_t seconds, char text[LOCAL_TIME_SIZE]) {
    text[0] = '\0';
    __time64_t t = static_cast<__time64_t>(seconds);
    struct tm local;
    if (seconds < 0 || _localtime64_s(&local, &t) != 0) return false;
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
