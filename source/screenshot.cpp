// screenshot.cpp - reading the health gauge of one screenshot file (see screenshot.h).
#include "screenshot.h"

#include "platform.h"

static GaugeResult read_with(const char* path, GaugeCrop* crop, bool fast) {
    GaugeResult result = {GaugeStatus::load_failed, 0, -1, 0, 0};
    FILE* file = open_regular_file(path);
    if (!file) return result;
    setvbuf(file, nullptr, _IOFBF, 1 << 16);  // the top rows are a few hundred KiB
    DecodedImage decoded;
    DecodeStatus status =
        decode_screenshot(file, gauge_bytes_needed, fast, &decoded, gauge_columns_needed);
    fclose(file);
    // Too big to decode within its budget, but no layout could have matched
    // its pixels whatever they are.
    if (status == DecodeStatus::out_of_budget) result.status = GaugeStatus::no_layout;
    if (status != DecodeStatus::decoded) return result;
    result = read_gauge_image(decoded.image);
    if (crop && result.status == GaugeStatus::read) crop_gauge(decoded.image, result, crop);
    free_decoded(&decoded);
    return result;
}

GaugeResult read_gauge(const char* path, GaugeCrop* crop) { return read_with(path, crop, true); }

GaugeResult read_gauge_decoded_whole(const char* path, GaugeCrop* crop) {
    return read_with(path, crop, false);
}
