// sessions.cpp - play sessions from the times of the readings (see sessions.h).
#include "figures/sessions.h"

#include <utility>

int split_sessions(const TimePoint* points, uint32_t count, TimeSession sessions[MAX_SESSIONS]) {
    if (count == 0) return 0;
    // The gaps that start a session: (length, index of the point after it).
    struct Gap {
        int64_t length;
        uint32_t at;
    };
    Gap kept[MAX_SESSIONS];  // the longest MAX_SESSIONS - 1 gaps so far
    int kept_count = 0;
    for (uint32_t i = 1; i < count; ++i) {
        int64_t length = points[i].seconds - points[i - 1].seconds;
        if (length <= SESSION_GAP_SECONDS) continue;
        if (kept_count < MAX_SESSIONS - 1) {
            kept[kept_count++] = {length, i};
            continue;
        }
        // Replace the shortest kept gap (the latest of equal ones) when this
        // one is longer: the shorter gaps are the ones merged.
        int shortest = 0;
        for (int k = 1; k < kept_count; ++k) {
            if (kept[k].length < kept[shortest].length ||
                (kept[k].length == kept[shortest].length && kept[k].at > kept[shortest].at)) {
                shortest = k;
            }
        }
        if (length > kept[shortest].length) kept[shortest] = {length, i};
    }
    for (int k = 1; k < kept_count; ++k) {  // in time order again (a few, so by insertion)
        for (int j = k; j > 0 && kept[j].at < kept[j - 1].at; --j) std::swap(kept[j], kept[j - 1]);
    }
    uint32_t first = 0;
    for (int k = 0; k < kept_count; ++k) {
        sessions[k] = {first, kept[k].at - first};
        first = kept[k].at;
    }
    sessions[kept_count] = {first, count - first};
    return kept_count + 1;
}
