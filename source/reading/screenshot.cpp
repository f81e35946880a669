// screenshot.cpp - reading the health gauge of one screenshot file (see screenshot.h).
#include "reading/screenshot.h"

#include "platform/platform.h"
#include "reading/decode.h"
#include "reading/png/png_format.h"

// Why a file that did not decode did not: its first bytes (its header as
// the decode read it), its picture's size and its last bytes. Only ever
// looked at after a failure, on the file still open.
static LoadProblem diagnose(const PngHeader& header, FILE* file) {
    if (header.status == PngHeaderStatus::not_png) return LoadProblem::not_png;
    if (header.status == PngHeaderStatus::cut_short) return LoadProblem::cut_short;
    if (!header.ihdr_first) return LoadProblem::damaged;
    uint64_t width = header.width, height = header.height;
    if (width > PNG_MAX_SIDE || height > PNG_MAX_SIDE || width * height * 8 > WHOLE_DECODE_MAX_BYTES) {
        return LoadProblem::too_large;
    }
    uint8_t tail[sizeof IEND_CHUNK];
    uint64_t file_size;
    if (!read_file_end(file, tail, sizeof tail, &file_size) || !ends_with_iend(tail, sizeof tail)) {
        return LoadProblem::cut_short;
    }
    return LoadProblem::damaged;
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
    PngHeader header;
    DecodeStatus status =
        decode_screenshot(file, gauge_bytes_needed, fast, &decoded, gauge_columns_needed, &header);
    if (status == DecodeStatus::failed) result.load_problem = diagnose(header, file);
    fclose(file);
    // Too big to decode within its budget, but no layout could have matched
    // its pixels whatever they are: its size is the header's.
    if (status == DecodeStatus::out_of_budget) {
        result.status = GaugeStatus::no_layout;
        result.width = static_cast<int>(header.width);
        result.height = static_cast<int>(header.height);
    }
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
