// report_csv.h - report.csv: the report's table for a spreadsheet.
//
//     write_report_csv(file, report);   // report as report_collect.h left it
//
// RFC 4180 with a UTF-8 byte-order mark: one header line
//   file,file_time,health,damage,status,layout,score,position
// then one line per PNG the scan looked at (or per hit of a recording), in
// the page's order (file time, oldest first), each ending in CR LF.
// file_time is local time ("2026-12-07 16:25:42"; a hit's: its recording's
// start plus its position); health and damage are numbers with one decimal
// ("51.6", "48.4"), empty when not read; status is read, weak (read, but a
// weak match: gauge.h's match_doubt, or a recording judged weak), load_failed
// or no_layout; layout is named as the page names it (layout_text); score is
// the layout's match score when read, else empty; position is a hit's
// seconds from its recording's start with three decimals ("83.450"), empty
// for a PNG.
#pragma once

#include "modes/report/report_data.h"

#include <cstdio>
#include <string>

// One field as report.csv holds it: bytes that are not UTF-8 become U+FFFD;
// a field beginning with = + - @, a tab or a CR gets a ' in front, so that a
// spreadsheet does not take it for a formula; a field holding a comma, a
// quote, a CR or an LF is quoted, its quotes doubled.
std::string csv_field(const char* text);

// The table's columns, as report.csv's header line and report.xlsx's header
// row name them.
constexpr int REPORT_COLUMN_COUNT = 8;
extern const char* const REPORT_COLUMNS[REPORT_COLUMN_COUNT];

// The status column of a row: read, weak, load_failed or no_layout.
const char* report_status_word(const ReportRow& row);

// Writes the whole file; false when a write failed.
bool write_report_csv(FILE* file, const Report& report);
