// report.cpp - the report mode (see report.h).
#include "modes/report/report.h"

#include "modes/messages.h"
#include "modes/report/report_collect.h"
#include "modes/report/report_csv.h"
#include "modes/report/report_page.h"
#include "modes/report/report_xlsx.h"
#include "modes/scan.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cstdio>

static void on_result(void* context, const FileEntry& entry, const GaugeResult& result,
                      const GaugeCrop* crop) {
    report_add(static_cast<Report*>(context), entry, result, crop);
}

static void on_listing(void* context, const FileEntry* const* pngs, uint32_t count) {
    report_rank_listing(static_cast<Report*>(context), pngs, count);
}

// report.html, report.csv and report.xlsx from what was collected.
static void write_report_files(Report* report) {
    OutputFile out = {};
    bool saved = false;
    if (!report->failed && output_file_open(&out, "report.html")) {
        write_report_page(out.file, *report);
        saved = output_file_commit(&out);
    }
    printf(saved ? "Saved report.html\n" : "Error: Failed to write report.html.\n");
    if (!saved) print_file_reason("report.html", out.error);

    out = {};
    saved = false;
    if (!report->failed && output_file_open(&out, "report.csv")) {
        bool written = write_report_csv(out.file, *report);
        saved = output_file_commit(&out) && written;
    }
    printf(saved ? "Saved report.csv\n" : "Error: Failed to write report.csv.\n");
    if (!saved) print_file_reason("report.csv", out.error);

    // libxlsxwriter writes by name: the output file is handed over to it,
    // and a workbook it could not finish is dropped, never put in place.
    out = {};
    saved = false;
    if (!report->failed && output_file_open(&out, "report.xlsx")) {
        clear_system_error();
        if (output_file_hand_over(&out) && write_report_xlsx(output_file_path(&out), *report)) {
            saved = output_file_commit(&out);
        } else {
            out.error = last_system_error();
            output_file_abort(&out);
        }
    }
    printf(saved ? "Saved report.xlsx\n" : "Error: Failed to write report.xlsx.\n");
    if (!saved) print_file_reason("report.xlsx", out.error);
}

void run_report() {
    Report report;
    report_start(&report);
    ScanHooks hooks = {true, on_result, &report, on_listing};
    run_scan_with(&hooks);
    report_finish(&report);
    // A folder that cannot be listed leaves report.html, report.csv and
    // report.xlsx alone, as raw.txt and output.txt: the listing's failure
    // has been told.
    if (!file_list.failed) write_report_files(&report);
    report_free(&report);
}

// The recording's start in seconds since 1970: its creation tag, else its
// file time less its length.
static double recording_start(const NamedRecording& named, const Recording& recording) {
    if (recording.info.creation_time >= 0) return static_cast<double>(recording.info.creation_time);
    FileLook look = {};
    look_at_file(named.path, &look);
    if (look.state != FileState::ready) return 0;
    return static_cast<double>(file_time_seconds(look.time)) - recording.info.duration;
}

// The report of recordings, and the start of the one whose hits come in.
struct HitReport {
    Report* report;
    const NamedRecording* named;
    double start;
};

static void on_hit(void* context, const NamedRecording& named, const Recording& recording,
                   const RecordingHit& hit) {
    HitReport* hits = static_cast<HitReport*>(context);
    if (hits->named != &named) {
        hits->named = &named;
        hits->start = recording_start(named, recording);
    }
    report_add_hit(hits->report, named.name, file_time_from_seconds(hits->start + hit.position),
                   recording, hit);
}

void run_report_recordings(const NamedRecording* list, int count) {
    Report report;
    report_start(&report);
    HitReport hits = {&report, nullptr, 0};
    RecordingHooks hooks = {true, on_hit, &hits};
    run_scan_recordings(list, count, &hooks);
    report_finish(&report);
    write_report_files(&report);
    report_free(&report);
}
