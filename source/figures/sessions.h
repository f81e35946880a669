// sessions.h - play sessions: the readings split where the player paused.
//
//     TimeSession sessions[MAX_SESSIONS];
//     int n = split_sessions(points, count, sessions);   // points in time order
//     // sessions[k].first, sessions[k].count: the points of session k
#pragma once

#include <cstdint>

// One reading: its time and its damage.
struct TimePoint {
    int64_t seconds;  // its time (the file time), seconds since 1970
    uint32_t damage;  // 0..1000
    uint16_t milliseconds = 0;  // past `seconds`: a recording's hits lie closer than a second
};

// Play sessions: a gap of more than
// SESSION_GAP_SECONDS between consecutive screenshots starts a new one; when
// that gives more than MAX_SESSIONS, the shortest gaps are merged (of equal
// gaps, the later) until MAX_SESSIONS remain.
constexpr int64_t SESSION_GAP_SECONDS = 30 * 60;
constexpr int MAX_SESSIONS = 12;

struct TimeSession {
    uint32_t first;  // index of its first point
    uint32_t count;  // its points
};

// Splits points (in time order) into sessions; returns how many (0 for no
// point).
int split_sessions(const TimePoint* points, uint32_t count, TimeSession sessions[MAX_SESSIONS]);
