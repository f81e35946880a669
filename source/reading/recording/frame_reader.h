// frame_reader.h - a recording's frames in, its hits out: the reading of
// each decoded frame for every candidate layout, apart from the decoding.
//
//     FrameReader* reader = frame_reader_begin(width, height, want_crops);
//     for each decoded frame:
//         read_frame(reader, planes, to_rgb, time_us);     // or read_frame_unmatched
//     frame_reader_finish(reader, &recording);   // layout, score, hits
//     frame_reader_end(reader);
//
// One pass: every candidate layout of the frame size is walked and settled
// (settle.h) in every frame, with its own hits, while the frames vote for
// the layout (layout_vote.h); the end keeps the voted layout's hits. Per
// frame only the candidates' sample points and bar lines are converted
// from YUV (frame_pixels.h), and the gauge picture around a bar only when a
// run starts and crops are wanted; a run's picture is kept only when the run
// becomes a hit. Memory is fixed but for the hits, at most
// RECORDING_MAX_HITS a layout (RECORDING_MAX_CROPS of them with a picture).
#pragma once

#include "reading/recording/frame_pixels.h"
#include "reading/recording/layout_vote.h"
#include "reading/recording/recording.h"
#include "reading/recording/settle.h"

struct LayoutTrack {
    int layout;
    Settle settle;
    int run_score;          // the score in the current run's first frame
    GaugeCrop* run_crop;    // that frame's gauge picture, when crops are wanted
    RecordingHit* hits;
    uint32_t hit_count, hit_capacity;
    uint32_t crop_count;
    bool capped;            // hits were dropped at RECORDING_MAX_HITS
};

struct FrameReader {
    int width, height;
    bool want_crops;
    bool out_of_memory;
    GaugePixels pixels;
    int track_count;
    LayoutTrack tracks[GAUGE_TYPE_COUNT];
    LayoutVote vote;
    uint64_t frames;
};

// Null when memory runs out; the size must fit a layout (size_fits_a_layout).
FrameReader* frame_reader_begin(int width, int height, bool want_crops);

// A frame of the reader's size at time_us from the recording's start.
void read_frame(FrameReader* reader, const YuvPlanes& planes, const YuvConverter& to_rgb,
                int64_t time_us);

// A frame that cannot be read (another size): it ends every run and votes not.
void read_frame_unmatched(FrameReader* reader, int64_t time_us);

// Ends every run and fills in recording's layout, median_score, weak,
// frames, voting_frames and hits (moved out of the reader; problem
// out_of_memory when memory ran out).
void frame_reader_finish(FrameReader* reader, Recording* recording);

void frame_reader_end(FrameReader* reader);
