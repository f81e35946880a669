// platform/posix/time.cpp - file times as calendar time on POSIX systems.
//
// The directory search gives a last-write time as nanoseconds since
// 1601-01-01 00:00:00 UTC (posix/file_time.h).
#include "platform/platform.h"
#include "platform/posix/file_time.h"

#include <ctime>

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 1000000000u) - SECONDS_1601_TO_1970;
}

bool local_calendar_time(int64_t seconds, struct tm* local) {
    time_t t = static_cast<time_t>(seconds);
    return static_cast<int64_t>(t) == seconds && localtime_r(&t, local) != nullptr;
}
