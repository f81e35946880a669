// platform/win32/time.cpp - clocks, and file times as calendar time, on
// Windows: the one place that knows their units and epochs.
//
// A last-write time is a FILETIME: 100-nanosecond intervals since
// 1601-01-01 00:00:00 UTC, as one 64-bit number (win32/file_time.h).
#include "platform/platform.h"
#include "platform/win32/file_time.h"

#include <ctime>

// 1601-01-01 to 1970-01-01, in seconds.
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;

uint64_t file_time_from_seconds(double seconds) {
    double units = (seconds + static_cast<double>(SECONDS_1601_TO_1970)) * 1e7;
    if (!(units > 0)) return 0;
    if (units >= 18446744073709549568.0) return UINT64_MAX;
    return static_cast<uint64_t>(units);
}

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 10000000u) - SECONDS_1601_TO_1970;
}

bool local_calendar_time(int64_t seconds, struct tm* local) {
    __time64_t t = static_cast<__time64_t>(seconds);
    return seconds >= 0 && _localtime64_s(local, &t) == 0;
}

uint64_t file_time_of(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

uint64_t clock_ms() { return GetTickCount64(); }

uint64_t file_time_now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return file_time_of(now);
}
