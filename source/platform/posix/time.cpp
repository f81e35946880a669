// platform/posix/time.cpp - clocks, and file times as calendar time, on POSIX
// systems: the one place that knows their units and epochs.
//
// The directory search gives a last-write time as nanoseconds since
// 1601-01-01 00:00:00 UTC (posix/file_time.h).
#include "platform/platform.h"
#include "platform/posix/file_time.h"

#include <ctime>

uint64_t file_time_from_seconds(double seconds) {
    double units = (seconds + static_cast<double>(SECONDS_1601_TO_1970)) * 1e9;
    if (!(units > 0)) return 0;
    if (units >= 18446744073709549568.0) return UINT64_MAX;
    return static_cast<uint64_t>(units);
}

int64_t file_time_seconds(uint64_t time) {
    return static_cast<int64_t>(time / 1000000000u) - SECONDS_1601_TO_1970;
}

bool local_calendar_time(int64_t seconds, struct tm* local) {
    time_t t = static_cast<time_t>(seconds);
    return static_cast<int64_t>(t) == seconds && localtime_r(&t, local) != nullptr;
}

uint64_t clock_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

uint64_t file_time_now() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return file_time_of(now);
}
