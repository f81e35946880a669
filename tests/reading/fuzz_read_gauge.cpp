// fuzz_read_gauge - libFuzzer target for reading one screenshot file.
//
// Each input is written to a file and read twice: through read_gauge (the
// top-rows reader where it applies) and with the image decoded whole.
// Besides crashes and the sanitizers' findings, it stops on any input the
// whole decode reads that the fast path reads differently or not at all.
// The reverse (the fast path reads a file whose damage lies below the rows
// it needs and the whole decode rejects) is allowed: that is its design.
// Where the top-rows reader takes the input and stb_image decodes it whole,
// the rows and columns the reader gives must be the whole decode's bytes,
// and zeros right of those columns.
//
//     make fuzz                      runs it for FUZZ_SECONDS (default 600)
//     build-fuzz/fuzz_read_gauge CORPUS_DIR [libFuzzer options]
#include "reading/decode.h"
#include "reading/decode_budget.h"
#include "reading/png/png_rows.h"
#include "reading/screenshot.h"
#include "reading/stb_image_setup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static std::string input_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    input_path = std::string(folder) + "/healthgauge-fuzz-" + std::to_string(getpid()) + ".png";
    return 0;
}

// The top rows against stb_image's whole decode of the same bytes.
static void compare_top_rows(const uint8_t* data, size_t size) {
    FILE* file = fopen(input_path.c_str(), "rb");
    if (!file) abort();
    TopRows rows;
    bool taken = decode_top_rows(file, gauge_bytes_needed, gauge_columns_needed, &rows);
    fclose(file);
    if (!taken) return;
    // Within the whole decode's largest budget, as the program decodes.
    int width, height, channels;
    budget_begin(WHOLE_DECODE_MAX_BYTES);
    stbi_uc* whole = size > 0x7FFFFFFF ? nullptr
                                       : stbi_load_from_memory(data, static_cast<int>(size), &width,
                                                               &height, &channels, 0);
    budget_end();
    if (whole) {
        size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
        uint32_t columns = gauge_columns_needed(width, height);
        size_t length = columns == 0 || columns > static_cast<uint32_t>(width)
                            ? row_bytes
                            : columns * static_cast<size_t>(channels);
        bool same = rows.image.width == width && rows.image.height == height &&
                    rows.image.channels == channels && rows.image.size % row_bytes == 0;
        for (size_t at = 0; same && at < rows.image.size; at += row_bytes) {
            same = memcmp(rows.image.pixels + at, whole + at, length) == 0;
            for (size_t i = length; same && i < row_bytes; ++i) same = rows.image.pixels[at + i] == 0;
        }
        if (!same) {
            fprintf(stderr, "top rows differ from the whole decode's\n");
            abort();
        }
        stbi_image_free(whole);
    }
    free_top_rows(&rows);
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
    compare_top_rows(data, size);
    return 0;
}
