// report_data.h - what the report mode collects of a scan: one row per PNG
// and the gauge pictures kept for the page.
//
// The page, its charts and report.csv show the screenshots by file time,
// oldest first (of equal times, the one listed first). Gauge pictures are
// kept for the REPORT_FIRST_CROPS oldest screenshots (while their PNGs stay
// within REPORT_CROP_BYTES, taken as the scan reads them), and for the
// REPORT_EXTREME_CROPS highest and lowest damages of the others. When the
// rows of a very big folder would take the page past REPORT_PAGE_TARGET,
// fewer of the first pictures are shown; the extremes always are.
#pragma once

#include "modes/report/crop_png.h"
#include "reading/gauge.h"

#include <cstddef>
#include <cstdint>

constexpr uint32_t REPORT_FIRST_CROPS = 2000;
constexpr size_t REPORT_CROP_BYTES = 16u << 20;
constexpr uint32_t REPORT_EXTREME_CROPS = 50;
constexpr size_t REPORT_PAGE_TARGET = 36u << 20;
// Page bytes of a row and its chart point, beside its name and picture.
constexpr size_t REPORT_ROW_BYTES = 320;

// One PNG the scan looked at, or one hit of a recording.
struct ReportRow {
    size_t name;         // offset of the file name in Report::names
    uint64_t time;       // last-write time as the listing has it; a hit's: the
                         // recording's start plus its position
    GaugeResult result;  // a hit's: read, its health after the hit, the layout and score
    uint32_t damage;     // when read: 1000 minus the reading, or a hit's drop
    double position;     // a hit's seconds from the recording's start; -1 for a PNG
    bool weak;           // read as a weak match (a PNG's match_doubt, gauge.h; a
                         // hit's: its recording's)
    int32_t crop;        // index in Report::crops, -1 for none
};

// A kept gauge picture.
struct ReportCrop {
    CropPng png;
    uint32_t row;
    int width, height;
    int bar_end;         // x just past the filled part
};

struct HeldCrop;  // a picture the collector holds back (report_collect.cpp)

struct Report {
    ReportRow* rows;
    uint32_t row_count;
    size_t row_capacity;
    char* names;         // the rows' file names, each terminated
    size_t names_size, names_capacity;
    ReportCrop* crops;   // REPORT_FIRST_CROPS + 2 * REPORT_EXTREME_CROPS
    uint32_t crop_count;
    uint32_t first_crops;// crops of the first screenshots: crops[0..first_crops-1]
    uint32_t first_shown;// of them, those on the page
    size_t crop_bytes;   // PNG bytes of the first crops
    uint32_t read_count; // rows whose screenshot was read
    uint32_t weak_count; // of them, weak matches (match_doubt, gauge.h)
    HeldCrop* highest;   // the highest damages past the first crops
    HeldCrop* lowest;    // the lowest damages past the first crops
    uint32_t highest_count, lowest_count;
    uint32_t* time_rank; // per PNG of the listing: its place in file-time order
    uint32_t ranked;     // PNGs time_rank holds
    uint32_t* order;     // the rows in the page's order: file time, then listing order
    bool recordings;     // the rows are hits of recordings, not PNGs
    bool failed;         // memory ran short: the page cannot be written
};

// The layout of a result as the page and report.csv name it, for players:
// its screen size and a short name ("1920×1080 B"); "no match (1280×720)"
// (the screenshot's own size) for a screenshot that matched no layout;
// "not loaded" for one that did not load.
constexpr int LAYOUT_TEXT_SIZE = 64;
void layout_text(const GaugeResult& result, char text[LAYOUT_TEXT_SIZE]);

// The name of a row.
const char* report_row_name(const Report& report, const ReportRow& row);

// The name of the working directory, the report's folder; false when the
// system cannot tell it.
bool report_folder_name(char* name, size_t size);
