// screenshot.cpp - reading the health gauge of one screenshot file (see screenshot.h).
#include "reading/screenshot.h"

#include "platform/platform.h"
#include "reading/decode.h"
#include "reading/png_format.h"

#include <cstring>

// Why a file that did not decode did not: its first bytes, its picture's
// size and its last bytes. Only ever looked at after a failure.
static LoadProblem diagnose(const char* path) {
    FILE* file = open_regular_file(path);
    if (!file) return LoadProblem::damaged;
    uint8_t head[24];
    size_t got = fread(head, 1, sizeof head, file);
    LoadProblem problem = LoadProblem::damaged;
    if (got < sizeof PNG_SIGNATURE || memcmp(head, PNG_SIGNATURE, sizeof PNG_SIGNATURE) != 0) {
        problem = LoadProblem::not_png;
    } else if (got < sizeof head || memcmp(head + 12, "IHDR", 4) != 0) {
        problem = got < sizeof head ? LoadProblem::cut_short : LoadProblem::damaged;
    } else {
        uint64_t width = big_endian_32(head + 16), height = big_endian_32(head + 20);
        uint8_t tail[sizeof IEND_CHUNK];
        bool has_tail = fseek(file, -static_cast<long>(sizeof tail), SEEK_END) == 0 &&
                        fread(tail, 1, sizeof tail, file) == sizeof tail;
        if (width > PNG_MAX_SIDE || height > PNG_MAX_SIDE ||
            width * height * 8 > WHOLE_DECODE_MAX_BYTES) {
            problem = LoadProblem::too_large;
        } else if (!has_tail || !ends_with_iend(tail, sizeof tail)) {
            problem = LoadProblem::cut_short;
        }
    }
    fclose(file);
    return problem;
}

static GaugeResult read_with(const char* path, GaugeCrop* crop, bool fast) {
    GaugeResult result = {GaugeStatus::load_failed, 0, -1, 0, 0, 0, 0, LoadProblem::none, 0};
    clear_system_error();
    FILE* file = open_regular_file(path);
    if (!file) {
        result.load_problem = LoadProblem::cannot_open;
        result.load_error = last_system_error();
        return result;
    }
    setvbuf(file, nullptr, _IOFBF, 1 << 16);  // the top rows are a few hundred KiB
    DecodedImage decoded;
    DecodeStatus status =
        decode_screenshot(file, gauge_bytes_needed, fast, &decoded, gauge_columns_needed);
    fclose(file);
    // Too big to decode within its budget, but no layout could have matched
    // its pixels whatever they are.
    if (status == DecodeStatus::out_of_budget) result.status = GaugeStatus::no_layout;
    if (status == DecodeStatus::failed) result.load_problem = diagnose(path);
    if (status != DecodeStatus::decoded) return result;
    result = read_gauge_image(decoded.image);
    result.width = decoded.image.width;
    result.height = decoded.image.height;
    if (crop && result.status == GaugeStatus::read) crop_gauge(decoded.image, result, crop);
    free_decoded(&decoded);
    return result;
}

GaugeResult read_gauge(const char* path, GaugeCrop* crop) { return read_with(path, crop, true); }

GaugeResult read_gauge_decoded_whole(const char* path, GaugeCrop* crop) {
    return read_with(path, crop, false);
}
