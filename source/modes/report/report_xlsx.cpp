// report_xlsx.cpp - report.xlsx, the report's table as a workbook (see report_xlsx.h).
#include "modes/report/report_xlsx.h"

#include "figures/damage.h"
#include "figures/summary.h"
#include "modes/report/report_csv.h"
#include "pages/html.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <xlsxwriter.h>

namespace {

constexpr double NAME_WIDTH_MIN = 12, NAME_WIDTH_MAX = 80;
// Widths of the other columns, in characters, as report.csv orders them.
constexpr double COLUMN_WIDTHS[REPORT_COLUMN_COUNT] = {0, 20, 9, 9, 12, 22, 8, 10};

struct Formats {
    lxw_format* header;
    lxw_format* time;
    lxw_format* tenths;   // 51.6
    lxw_format* whole;    // 17
    lxw_format* thousandths;  // 83.450, a hit's position in seconds
};

Formats make_formats(lxw_workbook* book) {
    Formats formats = {workbook_add_format(book), workbook_add_format(book),
                       workbook_add_format(book), workbook_add_format(book),
                       workbook_add_format(book)};
    format_set_bold(formats.header);
    format_set_num_format(formats.time, "yyyy-mm-dd hh:mm:ss");
    format_set_num_format(formats.tenths, "0.0");
    format_set_num_format(formats.whole, "0");
    format_set_num_format(formats.thousandths, "0.000");
    return formats;
}

// The local calendar time of a file time; false when the system cannot tell it.
bool cell_time(uint64_t time, lxw_datetime* cell) {
    struct tm local;
    if (!local_calendar_time(file_time_seconds(time), &local)) return false;
    *cell = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour,        local.tm_min,     static_cast<double>(local.tm_sec)};
    return cell->year >= 1900 && cell->year <= 9999;
}

// Columns a name takes on screen: East Asian characters count two.
double shown_width(const std::string& text) {
    double width = 0;
    for (unsigned char c : text) {
        if (c < 0x80) width += 1;
        else if (c >= 0xE3 && c <= 0xED) width += 2;  // lead bytes of U+3000..U+DFFF
        else if (c >= 0xC0) width += 1;
    }
    return width;
}

bool write_header(lxw_worksheet* sheet, const Formats& formats) {
    bool ok = true;
    for (int column = 0; column < REPORT_COLUMN_COUNT; ++column) {
        ok = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column),
                                    REPORT_COLUMNS[column], formats.header) == LXW_NO_ERROR && ok;
    }
    return ok;
}

bool write_row(lxw_worksheet* sheet, lxw_row_t at, const Report& report, const ReportRow& row,
               const Formats& formats) {
    const GaugeResult& result = row.result;
    bool ok = worksheet_write_string(sheet, at, 0, xlsx_text(report_row_name(report, row)).c_str(),
                                     nullptr) == LXW_NO_ERROR;
    lxw_datetime time;
    if (cell_time(row.time, &time)) {
        ok = worksheet_write_datetime(sheet, at, 1, &time, formats.time) == LXW_NO_ERROR && ok;
    }
    if (result.status == GaugeStatus::read) {
        uint32_t reading = result.reading > FULL_READING ? FULL_READING : result.reading;
        ok = worksheet_write_number(sheet, at, 2, reading / 10.0, formats.tenths) == LXW_NO_ERROR && ok;
        ok = worksheet_write_number(sheet, at, 3, row.damage / 10.0, formats.tenths) ==
                 LXW_NO_ERROR && ok;
        if (row.position >= 0) {
            ok = worksheet_write_number(sheet, at, 7, row.position, formats.thousandths) ==
                     LXW_NO_ERROR && ok;
        }
        ok = worksheet_write_number(sheet, at, 6, result.score, formats.whole) == LXW_NO_ERROR && ok;
    }
    char layout[LAYOUT_TEXT_SIZE];
    layout_text(result, layout);
    ok = worksheet_write_string(sheet, at, 4, report_status_word(row), nullptr) == LXW_NO_ERROR && ok;
    return worksheet_write_string(sheet, at, 5, layout, nullptr) == LXW_NO_ERROR && ok;
}

bool write_screenshots(lxw_workbook* book, const Report& report, const Formats& formats) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, report.recordings ? "Hits" : "Screenshots");
    if (!sheet || report.row_count >= LXW_ROW_MAX) return false;
    double name_width = NAME_WIDTH_MIN;
    for (uint32_t i = 0; i < report.row_count; ++i) {
        double width = shown_width(report_row_name(report, report.rows[i])) + 2;
        if (width > name_width) name_width = width < NAME_WIDTH_MAX ? width : NAME_WIDTH_MAX;
    }
    worksheet_set_column(sheet, 0, 0, name_width, nullptr);
    for (int column = 1; column < REPORT_COLUMN_COUNT; ++column) {
        worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                             COLUMN_WIDTHS[column], nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, report.row_count, REPORT_COLUMN_COUNT - 1);
    // Printed: across the page, one page wide, the header on every page.
    worksheet_set_landscape(sheet);
    worksheet_fit_to_pages(sheet, 1, 0);
    worksheet_repeat_rows(sheet, 0, 0);
    worksheet_gridlines(sheet, LXW_SHOW_ALL_GRIDLINES);
    bool ok = write_header(sheet, formats);
    for (uint32_t i = 0; i < report.row_count; ++i) {
        const ReportRow& row = report.rows[report.order ? report.order[i] : i];
        ok = write_row(sheet, i + 1, report, row, formats) && ok;
    }
    return ok;
}

// One line of the summary: a label and a value, the value a number where
// the text is one ("48.4%" is 48.4 shown with one decimal, "12" is 12).
bool write_figure(lxw_worksheet* sheet, lxw_row_t at, const char* label, const char* value,
                  const Formats& formats) {
    bool ok = worksheet_write_string(sheet, at, 0, label, nullptr) == LXW_NO_ERROR;
    char* end = nullptr;
    double number = strtod(value, &end);
    bool numeric = end != value && (*end == '\0' || (end[0] == '%' && end[1] == '\0'));
    if (numeric) {
        lxw_format* format = strchr(value, '.') ? formats.tenths : formats.whole;
        return worksheet_write_number(sheet, at, 1, number, format) == LXW_NO_ERROR && ok;
    }
    return worksheet_write_string(sheet, at, 1, xlsx_text(value).c_str(), nullptr) == LXW_NO_ERROR && ok;
}

bool write_time_figure(lxw_worksheet* sheet, lxw_row_t at, const char* label, uint64_t time,
                       const Formats& formats) {
    lxw_datetime cell;
    bool ok = worksheet_write_string(sheet, at, 0, label, nullptr) == LXW_NO_ERROR;
    if (!cell_time(time, &cell)) return ok;
    return worksheet_write_datetime(sheet, at, 1, &cell, formats.time) == LXW_NO_ERROR && ok;
}

bool write_summary_sheet(lxw_workbook* book, const Report& report, const Formats& formats) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Summary");
    if (!sheet) return false;
    worksheet_set_column(sheet, 0, 0, 28, nullptr);
    worksheet_set_column(sheet, 1, 1, 24, nullptr);
    lxw_row_t at = 0;
    char folder[4096], count[16];
    bool ok = write_figure(sheet, at++, "Folder", report_folder_name(folder, sizeof folder) ? folder : "",
                           formats);
    snprintf(count, sizeof count, "%u", report.row_count);
    bool hits = report.recordings;
    ok = write_figure(sheet, at++, hits ? "Hits" : "Screenshots", count, formats) && ok;
    if (!hits) {
        snprintf(count, sizeof count, "%u", report.read_count);
        ok = write_figure(sheet, at++, "Screenshots read", count, formats) && ok;
    }
    snprintf(count, sizeof count, "%u", report.weak_count);
    ok = write_figure(sheet, at++, "Weak matches", count, formats) && ok;
    if (report.row_count > 0 && report.order) {
        ok = write_time_figure(sheet, at++, hits ? "First hit" : "Oldest screenshot",
                               report.rows[report.order[0]].time, formats) && ok;
        ok = write_time_figure(sheet, at++, hits ? "Last hit" : "Newest screenshot",
                               report.rows[report.order[report.row_count - 1]].time, formats) && ok;
    }
    if (report.read_count == 0) return ok;
    // The figures of output.txt, from the readings in listing order.
    uint32_t* readings = static_cast<uint32_t*>(malloc(report.read_count * sizeof(uint32_t)));
    if (!readings) return false;
    uint32_t taken = 0;
    for (uint32_t i = 0; i < report.row_count && taken < report.read_count; ++i) {
        if (report.rows[i].result.status == GaugeStatus::read) readings[taken++] = FULL_READING - report.rows[i].damage;
    }
    char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE];
    int lines_count = summary_lines(summarise_readings(readings, taken), lines);
    free(readings);
    for (int i = 0; i < lines_count; ++i) {
        char* value = strchr(lines[i], ':');  // every line is "Label: value"
        if (!value) continue;
        *value = '\0';
        ok = write_figure(sheet, at++, lines[i], value + 2, formats) && ok;
    }
    return ok;
}

}  // namespace

std::string xlsx_text(const char* text) {
    std::string cell;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        int length = *s < 0x80 ? 1 : utf8_sequence_length(s);
        bool control = *s < 0x20 && *s != '\t' && *s != '\n' && *s != '\r';
        if (length == 0 || control) {
            cell += "\xEF\xBF\xBD";
            ++s;
        } else {
            cell.append(reinterpret_cast<const char*>(s), static_cast<size_t>(length));
            s += length;
        }
    }
    return cell;
}

bool write_report_xlsx(const char* path, const Report& report) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path, &options);
    if (!book) return false;
    Formats formats = make_formats(book);
    bool ok = write_screenshots(book, report, formats);
    ok = write_summary_sheet(book, report, formats) && ok;
    return workbook_close(book) == LXW_NO_ERROR && ok;
}
