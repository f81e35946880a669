// frame_reader.cpp - reading each frame for every candidate layout (see
// frame_reader.h).
#include "reading/recording/frame_reader.h"

#include <cstdlib>
#include <cstring>

FrameReader* frame_reader_begin(int width, int height, bool want_crops) {
    FrameReader* reader = static_cast<FrameReader*>(calloc(1, sizeof(FrameReader)));
    if (!reader) return nullptr;
    reader->width = width;
    reader->height = height;
    reader->want_crops = want_crops;
    if (!gauge_pixels_begin(width, height, &reader->pixels)) {
        free(reader);
        return nullptr;
    }
    // The candidates as for a screenshot of the whole frame.
    const Image whole = {nullptr, static_cast<size_t>(width) * static_cast<size_t>(height) * 3,
                         width, height, 3};
    for (int layout = 0; layout < GAUGE_TYPE_COUNT; ++layout) {
        if (!is_candidate(whole, gauge_types[layout])) continue;
        reader->tracks[reader->track_count++].layout = layout;
    }
    return reader;
}

static void free_hits(RecordingHit* hits, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) free(hits[i].crop);
    free(hits);
}

void frame_reader_end(FrameReader* reader) {
    if (!reader) return;
    for (int i = 0; i < reader->track_count; ++i) {
        LayoutTrack& track = reader->tracks[i];
        free_hits(track.hits, track.hit_count);
        free(track.run_crop);
    }
    gauge_pixels_end(&reader->pixels);
    free(reader);
}

static void add_hit(FrameReader* reader, LayoutTrack* track, const SettleStep& step) {
    if (track->hit_count == RECORDING_MAX_HITS) {
        track->capped = true;
        return;
    }
    if (track->hit_count == track->hit_capacity) {
        uint32_t capacity = track->hit_capacity ? track->hit_capacity * 2 : 64;
        if (capacity > RECORDING_MAX_HITS) capacity = RECORDING_MAX_HITS;
        void* grown = realloc(track->hits, capacity * sizeof(RecordingHit));
        if (!grown) {
            reader->out_of_memory = true;
            return;
        }
        track->hits = static_cast<RecordingHit*>(grown);
        track->hit_capacity = capacity;
    }
    RecordingHit& hit = track->hits[track->hit_count++];
    hit.position = static_cast<double>(step.position_us) / 1e6;
    hit.reading = step.reading;
    hit.damage = step.damage;
    hit.score = track->run_score;
    hit.crop = nullptr;
    if (track->run_crop && track->crop_count < RECORDING_MAX_CROPS) {
        hit.crop = track->run_crop;  // the run's own picture: the next run takes a new one
        track->run_crop = nullptr;
        ++track->crop_count;
    }
}

// The gauge picture of the frame whose run starts now.
static void take_run_crop(FrameReader* reader, LayoutTrack* track, const YuvPlanes& planes,
                          const YuvConverter& to_rgb, int score, uint32_t filled) {
    if (track->crop_count >= RECORDING_MAX_CROPS) return;
    if (!track->run_crop) {
        track->run_crop = static_cast<GaugeCrop*>(malloc(sizeof(GaugeCrop)));
        if (!track->run_crop) {
            reader->out_of_memory = true;
            return;
        }
    }
    const GaugeType& type = gauge_types[track->layout];
    convert_crop_region(planes, to_rgb, type, &reader->pixels);
    GaugeResult result = {};
    result.status = GaugeStatus::read;
    result.layout = track->layout;
    result.score = score;
    result.filled = filled;
    crop_gauge(reader->pixels.image, result, track->run_crop);
}

void read_frame(FrameReader* reader, const YuvPlanes& planes, const YuvConverter& to_rgb,
                int64_t time_us) {
    if (planes.width != reader->width || planes.height != reader->height) {
        read_frame_unmatched(reader, time_us);
        return;
    }
    ++reader->frames;
    const Image& image = reader->pixels.image;
    for (int i = 0; i < reader->track_count; ++i) {
        convert_sample_points(planes, to_rgb, gauge_types[reader->tracks[i].layout],
                              &reader->pixels);
    }
    int best_score = 0;
    int best = choose_gauge_type(image, &best_score);
    vote_frame(&reader->vote, best, best_score);
    for (int i = 0; i < reader->track_count; ++i) {
        LayoutTrack& track = reader->tracks[i];
        const GaugeType& type = gauge_types[track.layout];
        int score = match_score(image, type);
        bool matched = score <= MAX_MATCH_SCORE;
        uint32_t filled = 0;
        if (matched) {
            convert_bar(planes, to_rgb, type, &reader->pixels);
            filled = count_bar_pixels_skipping(image, type, RECORDING_WALK_SKIPS);
        }
        SettleStep step = settle_frame(&track.settle, time_us, matched, bar_reading(type, filled));
        if (step.hit) add_hit(reader, &track, step);
        if (step.run_started) {
            track.run_score = score;
            if (reader->want_crops) take_run_crop(reader, &track, planes, to_rgb, score, filled);
        }
    }
}

void read_frame_unmatched(FrameReader* reader, int64_t time_us) {
    ++reader->frames;
    for (int i = 0; i < reader->track_count; ++i) {
        LayoutTrack& track = reader->tracks[i];
        SettleStep step = settle_frame(&track.settle, time_us, false, 0);
        if (step.hit) add_hit(reader, &track, step);
    }
}

void frame_reader_finish(FrameReader* reader, Recording* recording) {
    recording->layout = voted_layout(reader->vote);
    recording->median_score = median_vote_score(reader->vote);
    recording->weak = reader->vote.voting_frames > 0 && recording->median_score > WEAK_MATCH_SCORE;
    recording->frames = reader->frames;
    recording->voting_frames = reader->vote.voting_frames;
    for (int i = 0; i < reader->track_count; ++i) {
        LayoutTrack& track = reader->tracks[i];
        SettleStep step = settle_end(&track.settle);
        if (step.hit) add_hit(reader, &track, step);
        if (track.layout != recording->layout) continue;
        recording->hits = track.hits;
        recording->hit_count = track.hit_count;
        recording->hits_capped = track.capped;
        track.hits = nullptr;
        track.hit_count = 0;
    }
    if (reader->out_of_memory) recording->problem = RecordingProblem::out_of_memory;
}
