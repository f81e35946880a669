// report.h - the report mode: the scan, and report.html to look at.
//
//     healthgauge -report    (also -r)
//
// Runs the scan exactly as -scan does (same console lines, raw.txt and
// output.txt), collecting every PNG's result on the way, then writes
// report.html: one self-contained page (inline CSS and SVG, pictures as data:
// URIs, no script, nothing fetched) with the summary figures, a histogram of
// the damage, the damage by file time and a table of every PNG with its
// reading or message, layout, match score and a picture of its gauge. Prints
// "Saved report.html" or "Error: Failed to write report.html.".
//
// Gauge pictures are kept for the first REPORT_FIRST_CROPS screenshots read
// (while their PNGs stay within REPORT_CROP_BYTES), and for the
// REPORT_EXTREME_CROPS highest and lowest damages of the others. When the
// rows of a very big folder would take the page past REPORT_PAGE_TARGET,
// fewer of the first pictures are shown; the extremes always are.
//
// The pieces, for tests:
//     Report report;
//     report_start(&report);
//     report_add(&report, entry, result, crop);   // each PNG, in listing order
//     report_finish(&report);                     // pictures of the extremes
//     write_report_page(file, report);
//     report_free(&report);
#pragma once

#include "crop_png.h"
#include "file_list.h"
#include "gauge.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint32_t REPORT_FIRST_CROPS = 2000;
constexpr size_t REPORT_CROP_BYTES = 16u << 20;
constexpr uint32_t REPORT_EXTREME_CROPS = 50;
constexpr size_t REPORT_PAGE_TARGET = 36u << 20;
// Page bytes of a row and its chart point, beside its name and picture.
constexpr size_t REPORT_ROW_BYTES = 320;

// One PNG the scan looked at.
struct ReportRow {
    size_t name;         // offset of the file name in Report::names
    uint64_t time;       // last-write time as the listing has it
    GaugeResult result;
    int32_t crop;        // index in Report::crops, -1 for none
};

// A kept gauge picture.
struct ReportCrop {
    CropPng png;
    uint32_t row;
    int width, height;
    int bar_end;         // x just past the filled part
};

// A crop held back until the scan's end decides whether it is shown.
struct HeldCrop {
    uint32_t row;
    uint32_t damage;
    GaugeCrop crop;
};

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
    HeldCrop* highest;   // the highest damages past the first crops
    HeldCrop* lowest;    // the lowest damages past the first crops
    uint32_t highest_count, lowest_count;
    bool failed;         // memory ran short: the page cannot be written
};

void report_start(Report* report);

// Records one PNG; crop is the screenshot's gauge when it was read.
void report_add(Report* report, const FileEntry& entry, const GaugeResult& result,
                const GaugeCrop* crop);

// Encodes the held pictures of the highest and lowest damages, and leaves
// out first pictures that would take the page past REPORT_PAGE_TARGET.
void report_finish(Report* report);

void report_free(Report* report);

// The name of a row.
const char* report_row_name(const Report& report, const ReportRow& row);

// Writes the whole page.
void write_report_page(FILE* file, const Report& report);

// The report mode.
void run_report();
