// report_xlsx.h - report.xlsx: the report's table as a workbook, typed cells
// that open right in a spreadsheet whatever its language.
//
//     bool written = write_report_xlsx(path, report);  // report as report_collect.h left it
//
// Written with libxlsxwriter (constant-memory mode: rows go to disk as they
// are written). Sheet "Screenshots" holds report.csv's columns under the
// same header row, one row per PNG in the same order: the name a text cell
// (never a formula), the file time a date-time cell ("yyyy-mm-dd hh:mm:ss",
// local time), health and damage numbers in percent shown with one decimal
// (51.6), the score a whole number, and an empty cell where report.csv has
// an empty field; the header row is frozen and filtered (and printed on
// every page, the sheet one page wide across). Sheet "Summary"
// holds the folder, the figures of output.txt (label and value), the counts
// and the time span.
#pragma once

#include "modes/report/report_data.h"

#include <string>

// Text as a cell may hold it: bytes that are not UTF-8 and control
// characters other than tab, CR and LF (which XML cannot carry) become
// U+FFFD.
std::string xlsx_text(const char* text);

// Writes the workbook to the file called path; false when it failed.
bool write_report_xlsx(const char* path, const Report& report);
