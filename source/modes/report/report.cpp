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

void run_report() {
    Report report;
    report_start(&report);
    ScanHooks hooks = {true, on_result, &report, on_listing};
    run_scan_with(&hooks);
    report_finish(&report);
    // A folder that cannot be listed leaves report.html, report.csv and
    // report.xlsx alone, as raw.txt and output.txt: the listing's failure
    // has been told.
    if (file_list.failed) {
        report_free(&report);
        return;
    }

    OutputFile out = {};
    bool saved = false;
    if (!report.failed && output_file_open(&out, "report.html")) {
        write_report_page(out.file, report);
        saved = output_file_commit(&out);
    }
    printf(saved ? "Saved report.html\n" : "Error: Failed to write report.html.\n");
    if (!saved) print_file_reason("report.html", out.error);

    out = {};
    saved = false;
    if (!report.failed && output_file_open(&out, "report.csv")) {
        bool written = write_report_csv(out.file, report);
        saved = output_file_commit(&out) && written;
    }
    printf(saved ? "Saved report.csv\n" : "Error: Failed to write report.csv.\n");
    if (!saved) print_file_reason("report.csv", out.error);

    // libxlsxwriter writes by name: the output file is handed over to it,
    // and a workbook it could not finish is dropped, never put in place.
    out = {};
    saved = false;
    if (!report.failed && output_file_open(&out, "report.xlsx")) {
        clear_system_error();
        if (output_file_hand_over(&out) && write_report_xlsx(output_file_path(&out), report)) {
            saved = output_file_commit(&out);
        } else {
            out.error = last_system_error();
            output_file_abort(&out);
        }
    }
    printf(saved ? "Saved report.xlsx\n" : "Error: Failed to write report.xlsx.\n");
    if (!saved) print_file_reason("report.xlsx", out.error);
    report_free(&report);
}
