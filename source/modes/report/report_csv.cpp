// report_csv.cpp - report.csv, the report's table for a spreadsheet (see report_csv.h).
#include "modes/report/report_csv.h"

#include "figures/damage.h"
#include "pages/html.h"
#include "pages/local_time.h"

#include <cstring>

std::string csv_field(const char* text) {
    std::string field;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    // A spreadsheet that trims spaces before it evaluates sees a formula in
    // " =1+1" as well: the guard looks past leading blanks and line ends.
    const unsigned char* first = s;
    while (*first == ' ' || *first == '\t' || *first == '\r' || *first == '\n') ++first;
    if (*first == '=' || *first == '+' || *first == '-' || *first == '@' || *s == '\t' ||
        *s == '\r') {
        field += '\'';
    }
    bool quote = false;
    while (*s) {
        unsigned char c = *s;
        if (c < 0x80) {
            if (c == ',' || c == '"' || c == '\r' || c == '\n') quote = true;
            if (c == '"') field += '"';
            field += static_cast<char>(c);
            ++s;
        } else if (int length = utf8_sequence_length(s)) {
            field.append(reinterpret_cast<const char*>(s), static_cast<size_t>(length));
            s += length;
        } else {
            field += "\xEF\xBF\xBD";
            ++s;
        }
    }
    return quote ? "\"" + field + "\"" : field;
}

const char* const REPORT_COLUMNS[REPORT_COLUMN_COUNT] = {
    "file", "file_time", "health", "damage", "status", "layout", "score", "position"};

const char* report_status_word(const ReportRow& row) {
    switch (row.result.status) {
    case GaugeStatus::read: return row.weak ? "weak" : "read";
    case GaugeStatus::load_failed: return "load_failed";
    case GaugeStatus::no_layout: return "no_layout";
    }
    return "";
}

bool write_report_csv(FILE* file, const Report& report) {
    std::string header = "\xEF\xBB\xBF";
    for (const char* column : REPORT_COLUMNS) header += std::string(column) + ",";
    header.back() = '\r';
    header += '\n';
    bool ok = fwrite(header.data(), 1, header.size(), file) == header.size();
    for (uint32_t i = 0; i < report.row_count; ++i) {
        const ReportRow& row = report.rows[report.order ? report.order[i] : i];
        const GaugeResult& result = row.result;
        bool read = result.status == GaugeStatus::read;
        char time[LOCAL_TIME_SIZE];
        if (!file_time_to_local(row.time, time)) time[0] = '\0';
        char health[16] = "", damage[16] = "", score[16] = "", position[32] = "";
        if (read && row.position >= 0) snprintf(position, sizeof position, "%.3f", row.position);
        if (read) {
            uint32_t reading = result.reading > FULL_READING ? FULL_READING : result.reading;
            uint32_t lost = row.damage;
            snprintf(health, sizeof health, "%u.%u", reading / 10, reading % 10);
            snprintf(damage, sizeof damage, "%u.%u", lost / 10, lost % 10);
            snprintf(score, sizeof score, "%d", result.score);
        }
        char layout[LAYOUT_TEXT_SIZE];
        layout_text(result, layout);
        std::string line = csv_field(report_row_name(report, row));
        for (const char* field : {static_cast<const char*>(time), static_cast<const char*>(health),
                                  static_cast<const char*>(damage), report_status_word(row),
                                  static_cast<const char*>(layout), static_cast<const char*>(score),
                                  static_cast<const char*>(position)}) {
            line += ',';
            line += csv_field(field);
        }
        line += "\r\n";
        ok = fwrite(line.data(), 1, line.size(), file) == line.size() && ok;
    }
    return ok;
}
