// platform/posix/file_time.h - file times on POSIX systems, as the program counts
// them everywhere: nanoseconds since 1601 (the year Windows counts file times
// from), so that a time before 1970 still sorts in its place. Shared by the
// POSIX platform units only.
#pragma once

#include <cstdint>
#include <ctime>

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600;

// Nanoseconds since 1601; a time before 1601 counts as 1601 and one after
// the year 2185 (where 64 bits end) as that end.
inline uint64_t file_time_of(const struct timespec& t) {
    constexpr uint64_t BILLION = 1000000000u;
    int64_t seconds = static_cast<int64_t>(t.tv_sec);
    uint64_t nanoseconds = static_cast<uint64_t>(t.tv_nsec) % BILLION;
    if (seconds < -SECONDS_1601_TO_1970) return 0;
    if (seconds > INT64_MAX - SECONDS_1601_TO_1970) return UINT64_MAX;
    uint64_t since_1601 = static_cast<uint64_t>(seconds + SECONDS_1601_TO_1970);
    if (since_1601 > (UINT64_MAX - nanoseconds) / BILLION) return UINT64_MAX;
    return since_1601 * BILLION + nanoseconds;
}
