// recording_decode.h - read_recording with chosen decoder options, for the
// benchmark and the accuracy tests that choose them.
//
//     RecordingDecoder decoder = DEFAULT_RECORDING_DECODER;
//     decoder.skip_nonref = true;
//     read_recording_with(job, decoder, &recording);
#pragma once

#include "reading/recording/recording.h"

struct RecordingDecoder {
    int threads;           // frame threads
    bool skip_loop_filter; // H.264 only: no deblocking
    bool skip_nonref;      // frames no other frame refers to are not decoded
};

// What read_recording uses. Skipping H.264's loop filter read every test
// clip exactly as the whole decode does, in less time; skipping the frames
// no other refers to moved hits a frame later on HEVC (the run's first
// frame was one of them) and shortens what a run is seen to last, so it
// stays off (tests/reading/recording_clips_test.cpp, scripts/bench/recording).
constexpr RecordingDecoder DEFAULT_RECORDING_DECODER = {2, true, false};

bool read_recording_with(const RecordingJob& job, const RecordingDecoder& decoder,
                         Recording* recording);
