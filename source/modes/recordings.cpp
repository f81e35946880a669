// recordings.cpp - the modes' reading of named recordings (see recordings.h).
#include "modes/recordings.h"

#include "figures/damage.h"
#include "modes/messages.h"
#include "modes/progress.h"
#include "modes/report/report_data.h"
#include "pages/local_time.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

// One recording as it is read: its name and the progress line.
struct RecordingRun {
    const char* name;
    double duration;
    double started;
    Progress progress;
};

// "Reading NAME (10:02, 1920×1080, 60 frames/s)", the length and rate where
// the headers give them.
static void on_open(void* context, const RecordingInfo& info) {
    RecordingRun* run = static_cast<RecordingRun*>(context);
    run->duration = info.duration;
    char length[32] = "", rate[32] = "";
    if (info.duration > 0) {
        format_duration(length, sizeof length, static_cast<long>(info.duration + 0.5));
        strcat(length, ", ");
    }
    if (info.frame_rate > 0) {
        // 60, 59.94, 29.97: no more decimals than the rate has.
        snprintf(rate, sizeof rate, ", %.2f", info.frame_rate);
        char* end = rate + strlen(rate) - 1;
        while (*end == '0') *end-- = '\0';
        if (*end == '.') *end = '\0';
        strcat(rate, " frames/s");
    }
    printf("Reading %s (%s%d%s%d%s)\n", run->name, length, info.width, TIMES, info.height, rate);
    fflush(stdout);
}

static void on_progress(void* context, double position, uint64_t frames) {
    RecordingRun* run = static_cast<RecordingRun*>(context);
    if (!run->progress.stream) return;
    double now = progress_clock();
    char text[320];
    int length = format_recording_progress(text, sizeof text, run->name, position < 0 ? 0 : position,
                                           run->duration, frames, now - run->started);
    progress_offer_text(&run->progress, text, length, now);
}

// The reason on standard error for a recording that gave no hits to read.
static const char* problem_text(RecordingProblem problem) {
    switch (problem) {
    case RecordingProblem::not_a_recording:
        return "it is not a video file of the kind its name says (MP4 or MOV, MKV or WebM, FLV, "
               "MPEG-TS)";
    case RecordingProblem::no_video: return "it holds no video, only other streams (sound?)";
    case RecordingProblem::unsupported:
        return "its video is not H.264, HEVC, VP9 or AV1 in 8 or 10 bit 4:2:0, which are read";
    case RecordingProblem::no_frames: return "its video holds no frame";
    default: return "";
    }
}

// Tells what went wrong, when something did; false when there are no hits to
// take at all.
static bool tell_problem(const Recording& recording, const NamedRecording& named) {
    switch (recording.problem) {
    case RecordingProblem::none: return true;
    case RecordingProblem::damaged: {
        char at[POSITION_TEXT_SIZE];
        format_position(recording.stopped_at, at);
        fflush(stdout);
        fprintf(stderr, "healthgauge: %s: reading stopped at %s: the file is damaged or cut short\n",
                named.name, at);
        return true;
    }
    case RecordingProblem::cannot_open:
        printf("Error: Failed to load %s\n", named.name);
        print_file_reason(named.name, recording.error);
        return false;
    case RecordingProblem::no_layout:
    case RecordingProblem::no_match:
        printf("Warning: Could not find matching health bar type for recording %s\n", named.name);
        print_size_mismatch(recording.info.width, recording.info.height, named.name);
        return false;
    case RecordingProblem::out_of_memory:
        printf("Error: Not enough memory to read %s\n", named.name);
        return false;
    default:
        printf("Error: Failed to load %s\n", named.name);
        fflush(stdout);
        fprintf(stderr, "healthgauge: %s: %s\n", named.name, problem_text(recording.problem));
        return false;
    }
}

static void tell_weak(const Recording& recording, const NamedRecording& named) {
    GaugeResult result = {};
    result.status = GaugeStatus::read;
    result.layout = recording.layout;
    char layout[LAYOUT_TEXT_SIZE];
    layout_text(result, layout);
    fflush(stdout);
    fprintf(stderr,
            "healthgauge: %s: weak match (median score %d of %d, %s): is it a recording of the "
            "game?\n",
            named.name, recording.median_score, MAX_MATCH_SCORE, layout);
}

// Adds a hit's reading; false when memory ran short.
static bool keep_reading(HitReadings* hits, uint32_t reading) {
    if (hits->count == hits->capacity) {
        uint32_t wanted = hits->capacity ? hits->capacity * 2 : 256;
        void* grown = realloc(hits->readings, wanted * sizeof(uint32_t));
        if (!grown) return false;
        hits->readings = static_cast<uint32_t*>(grown);
        hits->capacity = wanted;
    }
    hits->readings[hits->count++] = reading;
    return true;
}

static void take_hits(const Recording& recording, const NamedRecording& named, FILE* raw,
                      const RecordingHooks* hooks, HitReadings* hits) {
    for (uint32_t i = 0; i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        uint32_t damage = hit.damage > FULL_READING ? FULL_READING : hit.damage;
        if (!keep_reading(hits, FULL_READING - damage)) {
            hits->short_of_memory = true;
            return;
        }
        if (recording.weak) ++hits->weak;
        if (raw) {
            char text[PERCENT_TEXT_SIZE];
            format_percent(damage, text);
            fprintf(raw, "%s\r\n", text);
        }
        if (hooks && hooks->on_hit) hooks->on_hit(hooks->context, named, recording, hit);
    }
}

static void read_one(const NamedRecording& named, FILE* raw, const RecordingHooks* hooks,
                     HitReadings* hits) {
    RecordingRun run = {};
    run.name = named.name;
    run.started = progress_clock();
    progress_start(&run.progress, 0, stderr_is_terminal() ? stderr : nullptr, run.started);
    RecordingJob job = {};
    job.path = named.path;
    job.want_crops = hooks && hooks->want_crops;
    job.on_open = on_open;
    job.on_progress = on_progress;
    job.context = &run;
    Recording recording = {};
    read_recording(job, &recording);
    progress_hide(&run.progress, progress_clock());
    if (tell_problem(recording, named)) {
        printf("Found %u hit%s in %s\n", recording.hit_count, recording.hit_count == 1 ? "" : "s",
               named.name);
        if (recording.weak) tell_weak(recording, named);
        take_hits(recording, named, raw, hooks, hits);
    }
    fflush(stdout);
    free_recording(&recording);
}

uint32_t read_named_recordings(const NamedRecording* list, int count, FILE* raw,
                               const RecordingHooks* hooks, HitReadings* hits) {
    for (int i = 0; i < count && !hits->short_of_memory; ++i) read_one(list[i], raw, hooks, hits);
    if (hits->short_of_memory) printf("Error: Not enough memory to keep every hit.\n");
    return hits->count;
}
