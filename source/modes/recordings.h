// recordings.h - the modes' reading of the recordings named on the command
// line: every hit of each, one recording after the other.
//
//     NamedRecording list[] = {{"session.mp4", "/home/p/session.mp4"}};
//     HitReadings hits = {};
//     read_named_recordings(list, 1, raw_file, &hooks, &hits);
//     ... hits.readings[0..hits.count-1], as screenshots' readings ...
//     free(hits.readings);
//
// For each recording it prints, on standard output,
//   Reading session.mp4 (10:02, 1920×1080, 60 frames/s)
//   Found 124 hits in session.mp4
// with a progress line on a terminal between them (never in redirected
// output), or what went wrong:
//   Error: Failed to load session.mp4              (the reason on standard error)
//   Warning: Could not find matching health bar type for recording session.mp4
// and on standard error, a recording that broke off part way (its hits up to
// there are kept) and a weak match (judged once for the whole recording):
//   healthgauge: session.mp4: reading stopped at 0:04:12.300: the file is damaged or cut short
//   healthgauge: session.mp4: weak match (median score 368 of 600, 1920×1080 B): is it a recording of the game?
// A hit's damage is the drop of the bar (recording.h); for the summary it
// counts as a screenshot reading of FULL_READING minus that drop, and raw.txt
// gets its damage as for a screenshot.
#pragma once

#include "reading/recording/recording.h"

#include <cstdint>
#include <cstdio>

// A recording as the player named it, and the path it is opened by (the
// run may have moved to another folder since).
struct NamedRecording {
    const char* name;
    const char* path;
};

// What another mode (the report) is given of each hit, in time order,
// after the whole recording is read (the layout is chosen by a vote over
// all its frames). hit.crop is set when want_crops is.
struct RecordingHooks {
    bool want_crops;
    void (*on_hit)(void* context, const NamedRecording& named, const Recording& recording,
                   const RecordingHit& hit);
    void* context;
};

struct HitReadings {
    uint32_t* readings;  // malloc'd: FULL_READING minus each hit's damage, in order
    uint32_t count;
    uint32_t capacity;
    uint32_t weak;       // hits from recordings judged weak matches
    bool short_of_memory;
};

// Reads each recording of list[0..count-1] in turn, printing as above,
// writing each hit's raw.txt line to raw (when not null) and telling the
// hooks (when not null). Returns the number of hits gathered in *hits.
uint32_t read_named_recordings(const NamedRecording* list, int count, FILE* raw,
                               const RecordingHooks* hooks, HitReadings* hits);
