// report_page.cpp - report.html, the page of the report mode (see report_page.h).
#include "modes/report/report_page.h"

#include "modes/damage.h"
#include "modes/local_time.h"
#include "modes/report/report_charts.h"
#include "modes/report/report_html.h"
#include "modes/summary.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

static const char STYLE[] =
    "body{font:14px/1.4 system-ui,\"Segoe UI\",Roboto,Helvetica,Arial,sans-serif;"
    "color:#1d1f23;background:#fff;max-width:1760px;margin:24px auto;padding:0 16px}\n"
    "h1{font-size:22px;margin:0 0 4px}\n"
    "h2{font-size:17px;margin:28px 0 8px;padding-bottom:4px;border-bottom:1px solid #ddd}\n"
    ".lead,.note{color:#555}\n"
    ".none{color:#a11;font-weight:600}\n"
    "table.figures{border-collapse:collapse}\n"
    "table.figures td{padding:2px 16px 2px 0}\n"
    "table.figures td+td{font-weight:600}\n"
    ".charts{display:flex;flex-wrap:wrap;gap:8px 24px;margin-top:20px}\n"
    ".charts figure{margin:0}\n"
    ".charts figcaption{font-weight:600;margin-bottom:4px}\n"
    "svg.chart{max-width:100%;height:auto;font:11px system-ui,Helvetica,Arial,sans-serif}\n"
    "svg .axis{stroke:#333;fill:none}\n"
    "svg .grid{stroke:#e4e4e4}\n"
    "svg .bar{fill:#c8862a}\n"
    "svg .bar.miss{fill:#3f8f4f}\n"
    "svg .title{font-size:12px;font-weight:600}\n"
    "svg .points circle{fill:#b4441f;fill-opacity:.6}\n"
    "table.files{border-collapse:collapse}\n"
    "th{text-align:left}\n"
    "table.files th{border-bottom:2px solid #333;padding:4px 8px}\n"
    "table.files td{border-bottom:1px solid #e4e4e4;padding:4px 8px}\n"
    ".num{text-align:right}\n"
    "td{font-variant-numeric:tabular-nums}\n"
    "td.name{overflow-wrap:anywhere;min-width:10em;max-width:20em}\n"
    "td.time,td.layout{white-space:nowrap}\n"
    "td.status{min-width:11em}\n"
    "tr.failed td.status{color:#a11}\n"
    ".crop{position:relative;line-height:0}\n"
    ".crop img{display:block;width:100%;height:auto;image-rendering:pixelated}\n"
    ".end{position:absolute;top:0;bottom:0;width:0}\n"
    ".end::before,.end::after{content:\"\";position:absolute;left:-6px;border-style:solid;"
    "border-color:#f0f transparent}\n"
    ".end::before{top:0;border-width:9px 6px 0}\n"
    ".end::after{bottom:0;border-width:0 6px 9px}\n"
    "@page{size:A4 landscape;margin:12mm}\n"
    "@media print{body{max-width:none;margin:0;padding:0;font-size:11px}"
    "h2{break-after:avoid}tr,figure{break-inside:avoid}thead{display:table-header-group}"
    ".charts{flex-wrap:nowrap}.charts figure{flex:1 1 0}svg.chart{width:100%}"
    ".crop{zoom:.5}*{-webkit-print-color-adjust:exact;print-color-adjust:exact}}\n";

static void write_head(FILE* file) {
    fprintf(file,
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
            "<title>Health gauge report</title>\n<style>\n%s</style>\n</head>\n<body>\n"
            "<h1>Health gauge report</h1>\n",
            STYLE);
}

static void write_figures(FILE* file, const Report& report, const uint32_t* readings) {
    fprintf(file, "<h2>Summary</h2>\n");
    if (report.read_count == 0) {
        fprintf(file,
                "<p class=\"none\">Error: Didn't find any health bar gauges.</p>\n"
                "<p class=\"note\">No screenshot gave a reading; the table below says why "
                "for each.</p>\n");
        return;
    }
    char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE];
    int count = summary_lines(summarise_readings(readings, report.read_count), lines);
    fprintf(file, "<table class=\"figures\" id=\"figures\">\n");
    for (int i = 0; i < count; ++i) {
        char* value = strchr(lines[i], ':');  // every line is "Label: value"
        if (!value) continue;
        *value = '\0';
        fprintf(file, "<tr><td>%s:</td><td>%s</td></tr>\n", lines[i], value + 2);
    }
    fprintf(file, "</table>\n");
}

static void write_charts(FILE* file, const Report& report, const uint32_t* readings,
                         TimePoint* points) {
    if (report.read_count == 0) return;
    uint32_t counts[HISTOGRAM_BINS] = {};
    uint32_t n = 0;
    for (uint32_t i = 0; i < report.row_count; ++i) {
        const ReportRow& row = report.rows[i];
        if (row.result.status != GaugeStatus::read) continue;
        points[n].seconds = file_time_seconds(row.time);
        points[n].damage = damage_of(readings[n]);
        ++counts[histogram_bin(points[n].damage)];
        ++n;
    }
    fprintf(file, "<div class=\"charts\">\n<figure>\n<figcaption>Damage histogram"
                  "</figcaption>\n");
    write_histogram_svg(file, counts);
    fprintf(file, "</figure>\n<figure>\n<figcaption>Damage over time</figcaption>\n");
    write_timeline_svg(file, points, n);
    fprintf(file, "</figure>\n</div>\n");
}

static void write_layout_cells(FILE* file, const GaugeResult& result) {
    if (result.layout < 0 || result.layout >= GAUGE_TYPE_COUNT) {
        fprintf(file, "<td>\xE2\x80\x94</td><td class=\"num\">\xE2\x80\x94</td>");
        return;
    }
    const GaugeType& type = gauge_types[result.layout];
    fprintf(file, "<td class=\"layout\">%s%d\xC3\x97%d, row %d</td><td class=\"num\">%d</td>",
            result.status == GaugeStatus::read ? "" : "closest: ", type.screen_width,
            type.screen_height, result.layout + 1, result.score);
}

static void write_row(FILE* file, const Report& report, uint32_t index) {
    const ReportRow& row = report.rows[index];
    const GaugeResult& result = row.result;
    bool read = result.status == GaugeStatus::read;
    char time[LOCAL_TIME_SIZE];
    if (!file_time_to_local(row.time, time)) snprintf(time, sizeof time, "unknown");
    fprintf(file, "<tr class=\"file%s\"><td class=\"num\">%u</td><td class=\"name\">",
            read ? "" : " failed", index + 1);
    write_html_text(file, report_row_name(report, row));
    fprintf(file, "</td><td class=\"time\">%s</td>", time);
    if (read) {
        char damage[PERCENT_TEXT_SIZE];
        format_percent(damage_of(result.reading), damage);
        fprintf(file, "<td class=\"status\">%s</td>", damage);
    } else if (result.status == GaugeStatus::load_failed) {
        fprintf(file, "<td class=\"status\">Error: Failed to load</td>");
    } else {
        fprintf(file, "<td class=\"status\">Warning: Could not find matching health bar "
                      "type</td>");
    }
    write_layout_cells(file, result);
    fprintf(file, "<td class=\"gauge\">");
    if (row.crop >= 0) {
        const ReportCrop& crop = report.crops[row.crop];
        CropFigure figure = {crop.width, crop.height, crop.bar_end, crop.png.data, crop.png.size};
        write_crop_figure(file, figure);
    } else if (read) {
        fprintf(file, "<span class=\"note\">not kept</span>");
    }
    fprintf(file, "</td></tr>\n");
}

static void write_table(FILE* file, const Report& report) {
    fprintf(file, "<h2>Screenshots</h2>\n<p class=\"lead\">%u PNG file%s in listing order, "
                  "%u read.",
            report.row_count, report.row_count == 1 ? "" : "s", report.read_count);
    if (report.read_count > report.first_shown) {
        fprintf(file, " Gauge pictures are shown for the first %u screenshots read and for the "
                      "%u highest and %u lowest damages of the others.",
                report.first_shown, REPORT_EXTREME_CROPS, REPORT_EXTREME_CROPS);
    }
    fprintf(file, " The magenta marks show where the filled part of the bar ends.</p>\n"
                  "<table class=\"files\" id=\"files\">\n<thead><tr><th>#</th><th>File</th>"
                  "<th>File time</th><th>Damage</th><th>Layout</th><th class=\"num\">Score</th>"
                  "<th>Gauge</th></tr></thead>\n<tbody>\n");
    for (uint32_t i = 0; i < report.row_count; ++i) write_row(file, report, i);
    fprintf(file, "</tbody>\n</table>\n");
}

void write_report_page(FILE* file, const Report& report) {
    // The readings in listing order, and room for the chart's points.
    size_t n = report.read_count;
    uint32_t* readings = static_cast<uint32_t*>(malloc((n ? n : 1) * sizeof(uint32_t)));
    TimePoint* points = static_cast<TimePoint*>(malloc((n ? n : 1) * sizeof(TimePoint)));
    uint32_t taken = 0;
    for (uint32_t i = 0; readings && i < report.row_count && taken < n; ++i) {
        if (report.rows[i].result.status == GaugeStatus::read) {
            readings[taken++] = report.rows[i].result.reading;
        }
    }
    write_head(file);
    if (readings && points) {
        write_figures(file, report, readings);
        write_charts(file, report, readings, points);
    } else {
        fprintf(file, "<p class=\"none\">Not enough memory for the summary.</p>\n");
    }
    write_table(file, report);
    fprintf(file, "</body>\n</html>\n");
    free(readings);
    free(points);
}
