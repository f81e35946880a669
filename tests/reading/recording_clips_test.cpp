// Recordings read whole: clips of a scene of play encoded by Debian's
// ffmpeg (the fixture recording_clips, tests/reading/make-recording-clip)
// against their truth files, and damaged or wrong files.
//
// Every clip: every true hit found at its frame (within one frame's time),
// no other hit, each damage within one bar pixel (1000 / bar length + 1
// permille: compression can move the bar's end by a pixel), the clip's
// layout voted, and a gauge picture for each hit.
#include "reading/recording/recording_decode.h"
#include "support/recording_truth.h"
#include "support/screenshot_maker.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {


struct Read {
    Recording recording = {};
    bool ok = false;
    explicit Read(const std::string& path, bool want_crops = false,
                  const RecordingDecoder& decoder = DEFAULT_RECORDING_DECODER) {
        RecordingJob job = {};
        job.path = path.c_str();
        job.want_crops = want_crops;
        ok = read_recording_with(job, decoder, &recording);
    }
    ~Read() { free_recording(&recording); }
};

// Every hit found is a true hit at the same frame with its damage within
// one bar pixel; with `all`, every true hit is found.
void expect_hits(const Recording& recording, const Truth& truth, bool all) {
    ASSERT_GE(truth.layout, 0);
    uint32_t tolerance = 1000 / bar_length(gauge_types[truth.layout]) + 1;
    size_t next = 0;
    for (uint32_t i = 0; i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        while (next < truth.hits.size() && truth.hits[next].position < hit.position - 0.017) ++next;
        ASSERT_LT(next, truth.hits.size()) << "a false hit at " << hit.position;
        const TrueHit& want = truth.hits[next];
        EXPECT_NEAR(hit.position, want.position, 0.017) << "a false hit at " << hit.position;
        EXPECT_LE(std::abs(static_cast<int>(hit.damage) - static_cast<int>(want.damage)),
                  static_cast<int>(tolerance))
            << "at " << want.position << ": damage " << hit.damage << " not " << want.damage;
        ++next;
    }
    if (all) {
        EXPECT_EQ(recording.hit_count, truth.hits.size());
    }
}

class RecordingClip : public testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(RecordingClip, EveryHitFoundNoneFalseTheLayoutVoted) {
    Truth truth = read_truth(GetParam());
    Read read(CLIPS + "/" + GetParam(), true);
    const Recording& recording = read.recording;
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(recording.problem, RecordingProblem::none);
    EXPECT_EQ(recording.layout, truth.layout);
    EXPECT_FALSE(recording.weak);
    EXPECT_EQ(recording.frames, 126u);
    EXPECT_LT(recording.voting_frames, recording.frames);  // the menu's frames do not vote
    EXPECT_NEAR(recording.info.frame_rate, 60.0, 0.01);
    EXPECT_NEAR(recording.info.duration, 2.1, 0.05);
    expect_hits(recording, truth, true);
    const GaugeType& type = gauge_types[truth.layout];
    for (uint32_t i = 0; i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        ASSERT_NE(hit.crop, nullptr);
        EXPECT_EQ(hit.crop->width, static_cast<int>(bar_length(type)) + 2 * CROP_MARGIN);
        // The picture's bar ends where the reading does, within a pixel.
        int filled = hit.crop->bar_end - hit.crop->bar_start;
        EXPECT_LE(std::abs(static_cast<int>(bar_reading(type, static_cast<uint32_t>(filled))) -
                           static_cast<int>(hit.reading)),
                  static_cast<int>(1000 / bar_length(type) + 1));
        // Its scan line at the bar's start is bar-coloured.
        const uint8_t* start =
            hit.crop->pixels + 3 * (hit.crop->bar_row * hit.crop->width + hit.crop->bar_start + 2);
        EXPECT_LE(colour_distance(start, type.bar_colour), MAX_BAR_DISTANCE);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, RecordingClip,
                         testing::Values("h264-1080.mp4", "h264-601.mkv", "h264-1440.mp4",
                                         "h264-untagged.ts", "hevc-10bit.mkv", "vp9-full.webm",
                                         "av1.mkv"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c; ++c) {
                                 name += isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

TEST(RecordingDamaged, CutAtHalfKeepsTheHitsBeforeTheCut) {
    TempFolder folder;
    for (const char* clip : {"h264-1080.mp4", "av1.mkv"}) {
        SCOPED_TRACE(clip);
        std::string bytes = read_file(CLIPS + "/" + clip);
        std::string path = folder / (std::string("cut-") + clip);
        ASSERT_TRUE(write_file(path, bytes.substr(0, bytes.size() / 2)));
        Read read(path);
        EXPECT_TRUE(read.ok);
        EXPECT_EQ(read.recording.problem, RecordingProblem::damaged);
        EXPECT_GT(read.recording.stopped_at, 0.5);
        EXPECT_LT(read.recording.stopped_at, 1.8);
        EXPECT_GE(read.recording.hit_count, 2u);
        expect_hits(read.recording, read_truth(clip), false);
    }
}

TEST(RecordingDamaged, OverwrittenBytesStopTheReadingOrReadTrue) {
    TempFolder folder;
    // dav1d reports the damage: reading stops there. H.264's decoder
    // conceals some damage without a word under frame threads: what it
    // reads must still hold no false hit.
    for (const char* clip : {"av1.mkv", "h264-1080.mp4", "vp9-full.webm"}) {
        SCOPED_TRACE(clip);
        std::string bytes = read_file(CLIPS + "/" + clip);
        for (size_t i = bytes.size() * 6 / 10; i < bytes.size() * 6 / 10 + 4096; ++i) {
            bytes[i] = static_cast<char>(i * 2654435761u >> 24);
        }
        std::string path = folder / (std::string("over-") + clip);
        ASSERT_TRUE(write_file(path, bytes));
        Read read(path);
        EXPECT_TRUE(read.ok);
        if (std::string(clip) == "av1.mkv") {
            EXPECT_EQ(read.recording.problem, RecordingProblem::damaged);
        }
        expect_hits(read.recording, read_truth(clip), false);
    }
}

TEST(RecordingDamaged, FilesThatAreNoRecordingOfTheirKind) {
    TempFolder folder;
    Screenshot shot = blank_screenshot(1920, 1080, 3);
    paint_gauge(shot, 3, 100);
    ASSERT_TRUE(write_png(shot, folder / "picture.mp4"));
    std::string mkv = read_file(CLIPS + "/h264-601.mkv");
    ASSERT_TRUE(write_file(folder / "matroska.mp4", mkv));  // named for another demuxer
    // Its headers and one empty cluster: a video stream without a frame.
    size_t cluster = mkv.find("\x1f\x43\xb6\x75");
    ASSERT_NE(cluster, std::string::npos);
    const std::string empty_cluster("\x1f\x43\xb6\x75\x83\xe7\x81\x00", 8);
    ASSERT_TRUE(write_file(folder / "no-frames.mkv", mkv.substr(0, cluster) + empty_cluster));
    // The same headers claiming 16384x16384 pictures.
    std::string huge = mkv.substr(0, cluster);
    size_t width = huge.find(std::string("\xb0\x82\x07\x80", 4));
    size_t height = huge.find(std::string("\xba\x82\x04\x38", 4));
    ASSERT_NE(width, std::string::npos);
    ASSERT_NE(height, std::string::npos);
    huge.replace(width, 4, std::string("\xb0\x82\x40\x00", 4));
    huge.replace(height, 4, std::string("\xba\x82\x40\x00", 4));
    ASSERT_TRUE(write_file(folder / "huge.mkv", huge + mkv.substr(cluster)));
    ASSERT_TRUE(write_file(folder / "empty.webm", ""));

    struct Case {
        std::string path;
        RecordingProblem problem;
    };
    const Case cases[] = {
        {folder / "picture.mp4", RecordingProblem::not_a_recording},
        {folder / "matroska.mp4", RecordingProblem::not_a_recording},
        {folder / "empty.webm", RecordingProblem::not_a_recording},
        {folder / "missing.mkv", RecordingProblem::cannot_open},
        {folder / "picture.png", RecordingProblem::not_a_recording},  // not a recording's name
        {CLIPS + "/audio.mp4", RecordingProblem::no_video},
        {folder / "no-frames.mkv", RecordingProblem::no_frames},
        {folder / "huge.mkv", RecordingProblem::no_layout},
    };
    for (const Case& c : cases) {
        Read read(c.path);
        EXPECT_FALSE(read.ok) << c.path;
        EXPECT_EQ(static_cast<int>(read.recording.problem), static_cast<int>(c.problem)) << c.path;
        EXPECT_EQ(read.recording.hit_count, 0u) << c.path;
        if (c.problem == RecordingProblem::no_layout) {
            EXPECT_EQ(read.recording.frames, 0u);  // nothing decoded
            EXPECT_EQ(read.recording.info.width, 16384);
        }
    }
}

TEST(RecordingDecoderOptions, SkippingTheLoopFilterReadsAsTheWholeDecode) {
    // The measurement behind DEFAULT_RECORDING_DECODER, kept: every H.264
    // clip reads the same hits with H.264's loop filter as without it.
    for (const char* clip : {"h264-601.mkv", "h264-1440.mp4"}) {
        SCOPED_TRACE(clip);
        RecordingDecoder whole = {2, false, false}, skipping = {2, true, false};
        Read a(CLIPS + "/" + clip, false, whole), b(CLIPS + "/" + clip, false, skipping);
        ASSERT_EQ(a.recording.hit_count, b.recording.hit_count);
        for (uint32_t i = 0; i < a.recording.hit_count; ++i) {
            EXPECT_EQ(a.recording.hits[i].position, b.recording.hits[i].position);
            EXPECT_EQ(a.recording.hits[i].damage, b.recording.hits[i].damage);
        }
    }
}
