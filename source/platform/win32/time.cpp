// platform/win32/time.cpp - file times as calendar time on Windows.
//
// The directory search gives a last-write time as a FILETIME: 100-nanosecond
// intervals since 1601-01-01 00:00:00 UTC (win32/dir.cpp).
#include "platform/platform.h"

#include <ctime>

// 1601-01-01 to 1970-01-01, in seconds.
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 10000000u) - SECONDS_1601_TO_1970;
}

bool local_calendar_time(int64_t seconds, struct tm* local) {
    __time64_t t = static_cast<__time64_t>(seconds);
    return seconds >= 0 && _localtime64_s(local, &t) == 0;
}
