// fuzz_read_recording - libFuzzer target for reading a recording: the
// demuxer of the name's ending, the decoder and the frame reader.
//
// Each input is written to a file named for one of the demuxers (its first
// byte chooses which; the rest is the file) and read with read_recording,
// gauge pictures wanted. Besides crashes, leaks and the sanitizers'
// findings, it stops on a record that breaks read_recording's promises.
//
//     scripts/test/fuzz-recording [SECONDS]
//     build-fuzz/fuzz_read_recording CORPUS_DIR [libFuzzer options]
#include "reading/recording/recording.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static const char* const ENDINGS[] = {".mp4", ".mkv", ".flv", ".ts"};
static std::string input_base;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    input_base = std::string(folder) + "/healthgauge-fuzz-recording-" + std::to_string(getpid());
    return 0;
}

static void check(bool promise, const char* what) {
    if (promise) return;
    fprintf(stderr, "read_recording broke a promise: %s\n", what);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string path = input_base + ENDINGS[data[0] % 4];
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    if (size > 1 && fwrite(data + 1, 1, size - 1, file) != size - 1) abort();
    if (fclose(file) != 0) abort();

    RecordingJob job = {};
    job.path = path.c_str();
    job.want_crops = true;
    Recording recording = {};
    bool ok = read_recording(job, &recording);
    remove(path.c_str());
    check(ok == (recording.problem == RecordingProblem::none ||
                 recording.problem == RecordingProblem::damaged), "the result matches the problem");
    check(recording.hit_count <= RECORDING_MAX_HITS, "hits within the cap");
    check(recording.voting_frames <= recording.frames, "voting frames among the frames");
    check(!ok || recording.layout >= 0 || recording.frames > 0 ||
              recording.problem == RecordingProblem::damaged, "a read recording has a layout");
    for (uint32_t i = 0; i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        check(hit.reading <= 1000 && hit.damage > RECORDING_HIT_BAND && hit.damage <= 1000,
              "readings and damage in permille");
        check(i == 0 || hit.position >= recording.hits[i - 1].position, "hits in time order");
        check(!hit.crop || (hit.crop->width <= CROP_MAX_WIDTH && hit.crop->height == CROP_HEIGHT),
              "gauge pictures of the crop's size");
    }
    free_recording(&recording);
    return 0;
}
