// settle.cpp - the settle rule (see settle.h).
#include "reading/recording/settle.h"

static uint32_t run_median(const Settle& settle) {
    uint64_t total = 0;
    for (uint32_t count : settle.counts) total += count;
    uint64_t wanted = (total + 1) / 2;  // the lower middle one
    uint64_t seen = 0;
    for (uint32_t i = 0; i < 2 * RECORDING_SETTLE_BAND + 1; ++i) {
        seen += settle.counts[i];
        if (seen >= wanted) return settle.run_first + i - RECORDING_SETTLE_BAND;
    }
    return settle.run_first;
}

// Ends the run in progress at end_us; fills in the hit when it settles as one.
static void end_run(Settle* settle, int64_t end_us, SettleStep* step) {
    if (!settle->in_run) return;
    settle->in_run = false;
    if (end_us - settle->run_start < static_cast<int64_t>(RECORDING_SETTLE_MS) * 1000) return;
    uint32_t value = run_median(*settle);
    if (settle->has_previous && value + RECORDING_HIT_BAND < settle->previous) {
        step->hit = true;
        step->position_us = settle->run_start;
        step->reading = value;
        step->damage = settle->previous - value;
    }
    settle->has_previous = true;
    settle->previous = value;
}

static bool within_band(const Settle& settle, uint32_t reading) {
    uint32_t first = settle.run_first;
    return reading + RECORDING_SETTLE_BAND >= first && reading <= first + RECORDING_SETTLE_BAND;
}

SettleStep settle_frame(Settle* settle, int64_t time_us, bool matched, uint32_t reading) {
    SettleStep step = {};
    settle->last_time = time_us;
    if (settle->in_run && matched && within_band(*settle, reading)) {
        ++settle->counts[reading + RECORDING_SETTLE_BAND - settle->run_first];
        return step;
    }
    end_run(settle, time_us, &step);
    if (!matched) return step;
    settle->in_run = true;
    settle->run_start = time_us;
    settle->run_first = reading;
    for (uint32_t& count : settle->counts) count = 0;
    settle->counts[RECORDING_SETTLE_BAND] = 1;
    step.run_started = true;
    return step;
}

SettleStep settle_end(Settle* settle) {
    SettleStep step = {};
    end_run(settle, settle->last_time, &step);
    return step;
}
