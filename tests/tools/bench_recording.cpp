// bench_recording - reads one recording with read_recording and prints what
// it found, for the benchmark (scripts/bench/recording) and for a look at a
// clip by hand.
//
//     bench_recording FILE [loop] [nonref] [threads=N] [quiet]
//
// loop skips H.264's loop filter, nonref the frames no other refers to
// (RecordingDecoder); quiet prints only the summary line.
#include "reading/recording/recording_decode.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_recording FILE [loop] [nonref] [threads=N] [quiet]\n");
        return 2;
    }
    RecordingDecoder decoder = DEFAULT_RECORDING_DECODER;
    bool quiet = false;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "loop") == 0) decoder.skip_loop_filter = true;
        else if (strcmp(argv[i], "nonref") == 0) decoder.skip_nonref = true;
        else if (strcmp(argv[i], "quiet") == 0) quiet = true;
        else if (strncmp(argv[i], "threads=", 8) == 0) decoder.threads = atoi(argv[i] + 8);
    }
    RecordingJob job = {};
    job.path = argv[1];
    Recording recording = {};
    auto start = std::chrono::steady_clock::now();
    read_recording_with(job, decoder, &recording);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("problem %d layout %d median_score %d frames %llu voting %llu hits %u seconds %.3f "
           "frames/s %.1f\n",
           static_cast<int>(recording.problem), recording.layout, recording.median_score,
           static_cast<unsigned long long>(recording.frames),
           static_cast<unsigned long long>(recording.voting_frames), recording.hit_count, seconds,
           static_cast<double>(recording.frames) / seconds);
    for (uint32_t i = 0; !quiet && i < recording.hit_count; ++i) {
        const RecordingHit& hit = recording.hits[i];
        printf("%.6f %u %u score %d\n", hit.position, hit.reading, hit.damage, hit.score);
    }
    free_recording(&recording);
    return 0;
}
