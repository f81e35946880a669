// settle.h - the settle rule: which of a recording's readings are hits.
//
//     Settle settle = {};
//     for each frame:
//         SettleStep step = settle_frame(&settle, time_us, matched, reading);
//         if (step.hit) ... step.position_us, step.reading, step.damage ...
//         if (step.run_started) ... this frame is the first of a run ...
//     SettleStep last = settle_end(&settle);
//
// A run lasts while the readings stay within RECORDING_SETTLE_BAND of its
// first reading. It covers the time from its first frame to the frame that
// ends it (the recording's last frame when the recording ends it); when that
// is at least RECORDING_SETTLE_MS it is settled, and its value is the median
// of its readings (the lower middle one of an even count). A frame without a
// match (a menu, a cutscene) ends the run and starts none. A settled value
// more than RECORDING_HIT_BAND below the previous settled value is a hit; a
// rise is a refill; the first settled value is neither. A drain through
// passing values settles once, at its end.
//
// Pure: times and readings in, steps out; nothing grows with the recording.
#pragma once

#include "reading/recording/recording.h"

#include <cstdint>

struct Settle {
    bool in_run;
    int64_t run_start;        // time of the run's first frame, microseconds
    int64_t last_time;        // time of the latest frame
    uint32_t run_first;       // the run's first reading
    uint32_t counts[2 * RECORDING_SETTLE_BAND + 1];  // readings run_first-band..run_first+band
    bool has_previous;
    uint32_t previous;        // the latest settled value
};

struct SettleStep {
    bool run_started;   // this frame is the first of a new run
    bool hit;           // a run ended here and settled as a hit:
    int64_t position_us;  // its first frame's time
    uint32_t reading;     // its value
    uint32_t damage;      // the previous settled value - reading
};

// One frame at time_us (not before the previous frame's); `matched` false
// when the frame scored over MAX_MATCH_SCORE (reading is then ignored).
SettleStep settle_frame(Settle* settle, int64_t time_us, bool matched, uint32_t reading);

// The recording's end: ends the run in progress.
SettleStep settle_end(Settle* settle);
