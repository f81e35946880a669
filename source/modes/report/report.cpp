// report.cpp - the report mode (see report.h).
#include "modes/report/report.h"

#include "modes/report/report_collect.h"
#include "modes/report/report_page.h"
#include "modes/scan.h"
#include "platform/platform.h"
#include "reading/file_list.h"

#include <cstdio>

static void on_result(void* context, const FileEntry& entry, const GaugeResult& result,
                      const GaugeCrop* crop) {
    report_add(static_cast<Report*>(context), entry, result, crop);
}

void run_report() {
    Report report;
    report_start(&report);
    ScanHooks hooks = {true, on_result, &report};
    run_scan_with(&hooks);
    report_finish(&report);
    // A folder that cannot be listed leaves report.html alone, as raw.txt
    // and output.txt: the listing's failure has been told.
    if (file_list.failed) {
        report_free(&report);
        return;
    }

    OutputFile out;
    bool saved = false;
    if (!report.failed && output_file_open(&out, "report.html")) {
        write_report_page(out.file, report);
        saved = output_file_commit(&out);
    }
    printf(saved ? "Saved report.html\n" : "Error: Failed to write report.html.\n");
    report_free(&report);
}
