// report_collect.h - collecting the scan's results for the report.
//
//     Report report;
//     report_start(&report);
//     report_rank_listing(&report, pngs, count);  // the listing's PNGs, before the scan reads
//     report_add(&report, entry, result, crop);   // each PNG, in listing order
//     report_finish(&report);                     // pictures of the extremes
//     ... write_report_page(file, report) (report_page.h) ...
//     report_free(&report);
#pragma once

#include "modes/report/report_data.h"
#include "reading/file_list.h"
#include "reading/recording/recording.h"

// A crop held back until the scan's end decides whether it is shown.
struct HeldCrop {
    uint32_t row;
    uint32_t damage;
    GaugeCrop crop;
};

void report_start(Report* report);

// Tells the collector the listing's PNGs (in listing order, the order in
// which report_add will get them), so that it keeps the pictures of the
// oldest. Without it, the first ones listed are kept.
void report_rank_listing(Report* report, const FileEntry* const* pngs, uint32_t count);

// Records one PNG; crop is the screenshot's gauge when it was read.
void report_add(Report* report, const FileEntry& entry, const GaugeResult& result,
                const GaugeCrop* crop);

// Records one hit of a recording (recording.h); time is the recording's
// start plus the hit's position, as a file time.
void report_add_hit(Report* report, const char* name, uint64_t time, const Recording& recording,
                    const RecordingHit& hit);

// Encodes the held pictures of the highest and lowest damages, leaves out
// first pictures that would take the page past REPORT_PAGE_TARGET, and puts
// the rows in the page's order (Report::order).
void report_finish(Report* report);

void report_free(Report* report);
