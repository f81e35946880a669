// screenshot.h - reading the health gauge of one screenshot file.
//
//     GaugeResult result = read_gauge("shot0042.png");
//     if (result.status == GaugeStatus::read) ... result.reading ...
//
// The file is opened once (only a regular file is taken, see platform.h),
// decoded from that open file (decode.h: the top rows alone where the build
// and the file allow it, within a memory budget) and read (gauge.h). A file
// too large to decode within its budget whose size matches no layout gets
// the no_layout status, as its pixels could not have matched either. Nothing is printed: the modes say what a result
// means (messages.h). Pass a crop to have the gauge's picture copied out of
// the pixels as well, for a screenshot that was read.
#pragma once

#include "reading/gauge.h"

GaugeResult read_gauge(const char* path, GaugeCrop* crop = nullptr);

// The same, always decoding the image whole.
GaugeResult read_gauge_decoded_whole(const char* path, GaugeCrop* crop = nullptr);
