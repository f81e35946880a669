// fuzz_read_gauge - libFuzzer target for reading one screenshot file.
//
// Each input is written to a file and read twice: through read_gauge (the
// fast decode of the top rows where it applies) and with the image decoded
// whole. Besides crashes and the sanitizers' findings, it stops on any input
// the whole decode reads that the fast path reads differently or not at all.
// The reverse (the fast path reads a file whose damage lies below the rows
// it needs and the whole decode rejects) is allowed: that is its design.
//
//     make fuzz                      runs it for FUZZ_SECONDS (default 600)
//     build-fuzz/fuzz_read_gauge CORPUS_DIR [libFuzzer options]
#include "reading/screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static std::string input_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    input_path = std::string(folder) + "/healthgauge-fuzz-" + std::to_string(getpid()) + ".png";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = fopen(input_path.c_str(), "wb");
    if (!file) abort();
    if (size > 0 && fwrite(data, 1, size, file) != size) abort();
    if (fclose(file) != 0) abort();

    GaugeResult fast_result = read_gauge(input_path.c_str());
    GaugeResult whole_result = read_gauge_decoded_whole(input_path.c_str());
    bool fast_ok = fast_result.status == GaugeStatus::read;
    bool whole_ok = whole_result.status == GaugeStatus::read;
    uint32_t fast = fast_result.reading, whole = whole_result.reading;
    if (whole_ok && (!fast_ok || fast != whole)) {
        fprintf(stderr, "fast path disagrees: fast %d/%u, whole %d/%u\n", fast_ok, fast, whole_ok,
                whole);
        abort();
    }
    return 0;
}
