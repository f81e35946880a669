// recording.h - every hit in a video recording of play.
//
//     RecordingJob job = {};
//     job.path = "session.mp4";
//     job.want_crops = true;           // a gauge picture for each hit (the report)
//     job.on_open = on_open;           // the recording's size, length, rate: once, before any frame
//     job.on_progress = on_progress;   // now and then while frames are read
//     job.context = &state;
//     Recording recording = {};
//     read_recording(job, &recording);
//     ... recording.problem, recording.hits[0..hit_count-1] ...
//     free_recording(&recording);
//
// A recording is opened with the demuxer its name's ending names (mov for
// .mp4 and .mov, matroska for .mkv and .webm, flv, mpegts for .ts: nothing is
// probed, so a PNG is never taken for a video); its first video stream is
// decoded frame by frame (H.264, HEVC, VP9, AV1; 8 and 10 bit 4:2:0) and the
// gauge is read from each frame's own pixels, converted from YUV by the
// stream's matrix and range (untagged: BT.709, limited).
//
// The rules, which differ from a screenshot's because compression moves
// pixels:
// - Layout: in every frame each candidate layout is scored as for a
//   screenshot (gauge.h); the frame's best one gets its vote unless it scores
//   over MAX_MATCH_SCORE. The layout with the most votes is the recording's.
// - The walk along the bar row steps over up to RECORDING_WALK_SKIPS pixels
//   that are not bar-coloured; it ends at the next one in a row after them
//   (or at the bar's end). The filled share counts up to the last bar pixel.
// - A run lasts while the readings stay within RECORDING_SETTLE_BAND of its
//   first reading; once it has lasted RECORDING_SETTLE_MS by the frames'
//   timestamps it is settled, and its value is the median of its readings. A
//   frame over MAX_MATCH_SCORE ends the run. A settled value more than
//   RECORDING_HIT_BAND below the previous settled value is a hit whose damage
//   is the drop; a settled rise is a refill.
// - Weak: the voting frames' median score is above WEAK_MATCH_SCORE.
//
// Nothing here prints: the modes tell the player what the record means.
#pragma once

#include "reading/gauge.h"

#include <cstdint>

constexpr int RECORDING_WALK_SKIPS = 2;     // mismatching pixels the walk steps over
constexpr uint32_t RECORDING_SETTLE_BAND = 2;  // permille a run may stray from its first reading
constexpr uint32_t RECORDING_HIT_BAND = 2;     // a drop of more than this is a hit
constexpr int RECORDING_SETTLE_MS = 100;    // how long a run lasts before it is settled
constexpr uint32_t RECORDING_MAX_HITS = 100000;  // hits kept (about 14 hours at one every half second)
constexpr uint32_t RECORDING_MAX_CROPS = 1000;   // of them, with a gauge picture (31 KB each)

// True when the name ends in .mp4, .mov, .mkv, .webm, .flv or .ts, in any case.
bool is_recording_name(const char* name);

// What the recording's headers say, before any frame is decoded.
struct RecordingInfo {
    int width, height;        // of the video stream
    double duration;          // seconds; 0 when unknown
    double frame_rate;        // frames a second (the stream's average); 0 when unknown
    int64_t creation_time;    // the container's creation tag, seconds since 1970 UTC; -1 when none
};

// One hit: a settled drop of the bar.
struct RecordingHit {
    double position;          // seconds from the recording's start: the first frame of the settled run
    uint32_t reading;         // the settled value after the hit, 0..1000
    uint32_t damage;          // the drop: previous settled value - reading
    int score;                // the layout's score in that run's first frame
    GaugeCrop* crop;          // that frame's gauge picture when job.want_crops, else null
};

enum class RecordingProblem : uint8_t {
    none,
    cannot_open,      // the file could not be opened (error: the system's code, 0 unknown)
    not_a_recording,  // the demuxer does not take it: not a video of its kind
    no_video,         // no video stream (audio only, say)
    unsupported,      // a codec or pixel format this program does not decode
    no_layout,        // the picture's size fits no layout (gauge.h size_fits_a_layout): nothing decoded
    no_frames,        // the video stream holds no frame
    no_match,         // frames were read but no layout got a vote
    damaged,          // reading stopped at stopped_at: the file is cut short or damaged; the hits before it are kept
    out_of_memory,
};

struct Recording {
    RecordingInfo info;
    RecordingProblem problem;
    int error;                // cannot_open: the system's error code, or 0
    double stopped_at;        // damaged: the position where reading stopped, seconds
    int layout;               // the voted layout (row of gauge_types), -1 when none
    int median_score;         // of the voting frames
    bool weak;                // median_score above WEAK_MATCH_SCORE
    uint64_t frames;          // frames decoded
    uint64_t voting_frames;   // of them, frames whose best layout scored at most MAX_MATCH_SCORE
    RecordingHit* hits;       // in time order
    uint32_t hit_count;
    bool hits_capped;         // more hits than RECORDING_MAX_HITS: the later ones were dropped
};

struct RecordingJob {
    const char* path;
    bool want_crops;
    // Called once after the headers are read and before the first frame
    // (not called when reading stops before any frame: the file cannot be
    // opened, holds no video, or its codec or size cannot be read). May be null.
    void (*on_open)(void* context, const RecordingInfo& info);
    // Called now and then (at most every 100 ms of wall time) with the
    // position reached and the frames decoded so far. May be null.
    void (*on_progress)(void* context, double position, uint64_t frames);
    void* context;
};

// Reads the recording into *recording (which the caller zeroes first). False
// when recording->problem is anything but none or damaged.
bool read_recording(const RecordingJob& job, Recording* recording);

// Frees what read_recording allocated; *recording is zeroed.
void free_recording(Recording* recording);
