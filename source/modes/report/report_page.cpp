// report_page.cpp - report.html, the page of the report mode (see report_page.h).
#include "modes/report/report_page.h"

#include "figures/damage.h"
#include "figures/order_statistics.h"
#include "figures/summary.h"
#include "pages/chart.h"
#include "pages/html.h"
#include "pages/local_time.h"
#include "platform/platform.h"

#include <algorithm>
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
    "table.figures td{padding:2px 16px 0 0;vertical-align:top}\n"
    "table.figures td+td{font-weight:600}\n"
    "table.figures tr.hint td{color:#666;font-size:12px;padding:0 0 4px 12px}\n"
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
    "svg .line{fill:none;stroke:#b4441f;stroke-opacity:.45;stroke-width:1.2}\n"
    "svg .panel{fill:#f6f4ef}\n"
    "table.files{border-collapse:collapse;width:100%}\n"
    "th{text-align:left}\n"
    "table.files th{border-bottom:2px solid #333;padding:4px 8px}\n"
    "table.files td{border-bottom:1px solid #e4e4e4;padding:4px 8px}\n"
    ".num{text-align:right}\n"
    "td{font-variant-numeric:tabular-nums}\n"
    "td.name{overflow-wrap:anywhere;min-width:8em;max-width:20em}\n"
    "td.time{white-space:nowrap}\n"
    "td.status{min-width:8em}\n"
    "td.gauge{width:36%}\n"
    "th small,td small{display:block;font-weight:400;color:#666}\n"
    "tr.failed td.status{color:#a11}\n"
    "span.weak{display:inline-block;margin-left:6px;padding:0 5px;border-radius:3px;"
    "background:#fde8c4;color:#7a4a00;font-size:12px;font-weight:600}\n"
    ".crop{position:relative;line-height:0;width:100%}\n"
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


// One figure of the summary: "Label:" and its value, and under it, when
// given, the short line that says how to read it.
// The page's rows are hits of recordings: the hints say "hit" where they
// say "screenshot" (set by write_report_page for the page it writes).
static bool page_of_hits = false;

// A hint's text, with "screenshot" read as "hit" on a page of hits.
static void write_hint_text(FILE* file, const char* hint) {
    static const char WORD[] = "creenshot";  // after an "s" or an "S"
    const char* at;
    while (page_of_hits && (at = strstr(hint, WORD)) != nullptr && at > hint) {
        fprintf(file, "%.*s%s", static_cast<int>(at - 1 - hint), hint, at[-1] == 'S' ? "Hit" : "hit");
        hint = at + sizeof WORD - 1;
    }
    fputs(hint, file);
}

static void write_figure(FILE* file, const char* label, const char* value, const char* hint) {
    fprintf(file, "<tr><td>%s:</td><td>%s</td></tr>\n", label, value);
    if (!hint) return;
    fprintf(file, "<tr class=\"hint\"><td colspan=\"2\">");
    write_hint_text(file, hint);
    fprintf(file, "</td></tr>\n");
}

// How to read the seven figures of output.txt, by label; null: plain enough.
static const char* hint_of(const char* label) {
    static const char* const HINTS[][2] = {
        {"Average damage", "The mean damage of the screenshots read, rounded up."},
        {"Most common damage", "The damage seen most often; of equal counts, the first listed."},
        {"Highest damage", "The most damage one screenshot shows."},
        {"Lowest damage", "The least damage above 0.0%: complete misses are left out."},
        {"Complete misses", "Screenshots with a full bar: 0.0% damage. A recording shows hits, "
                            "not misses: its hits count none."},
        {"Total unique health bars", "How many different damage values were seen."},
    };
    for (const auto& hint : HINTS) {
        if (strcmp(label, hint[0]) == 0) return hint[1];
    }
    return nullptr;
}

// The name of the working directory, the report's folder.
static void write_folder_name(FILE* file) {
    char name[4096];
    if (!report_folder_name(name, sizeof name)) return;
    fprintf(file, "<tr><td>Folder:</td><td id=\"folder\">");
    write_html_text(file, name);
    fprintf(file, "</td></tr>\n");
}

// Seconds as "3 h 05 min", "12 min", "40 s".
static void duration_text(int64_t seconds, char* text, size_t size) {
    if (seconds >= 3600) {
        snprintf(text, size, "%lld h %02lld min", static_cast<long long>(seconds / 3600),
                 static_cast<long long>(seconds % 3600 / 60));
    } else if (seconds >= 60) {
        snprintf(text, size, "%lld min", static_cast<long long>(seconds / 60));
    } else {
        snprintf(text, size, "%lld s", static_cast<long long>(seconds));
    }
}

// The figures beside those of output.txt: median and percentiles of the
// damage, the share that shows damage, the time span.
static void write_more_figures(FILE* file, const Report& report, const uint32_t* readings) {
    uint32_t n = report.read_count;
    uint32_t* damages = static_cast<uint32_t*>(malloc(n * sizeof(uint32_t)));
    if (!damages) return;
    uint32_t damaged = 0;
    for (uint32_t i = 0; i < n; ++i) {
        damages[i] = damage_of(readings[i]);
        if (damages[i] > 0) ++damaged;
    }
    std::sort(damages, damages + n);
    char text[96], percent[PERCENT_TEXT_SIZE];
    format_percent(static_cast<uint32_t>(round_half_away(median_of_sorted(damages, n))), percent);
    write_figure(file, "Median damage", percent,
                 "Half the screenshots show this much damage or less; complete misses count "
                 "as 0.0%.");
    format_percent(percentile_of_sorted(damages, n, 10), percent);
    write_figure(file, "10th percentile of damage", percent,
                 "One screenshot in ten shows this much damage or less.");
    format_percent(percentile_of_sorted(damages, n, 90), percent);
    write_figure(file, "90th percentile of damage", percent,
                 "Nine screenshots in ten show this much damage or less.");
    free(damages);
    format_percent(static_cast<uint32_t>(round_half_away(1000.0 * damaged / n)), percent);
    snprintf(text, sizeof text, "%s (%u of %u)", percent, damaged, n);
    write_figure(file, page_of_hits ? "Hits that show damage" : "Screenshots that show damage", text,
                 "The others are complete misses.");

    // The span of the file times of all PNGs.
    if (report.row_count > 0 && report.order) {
        const ReportRow& first = report.rows[report.order[0]];
        const ReportRow& last = report.rows[report.order[report.row_count - 1]];
        char from[LOCAL_TIME_SIZE], to[LOCAL_TIME_SIZE], length[32];
        if (file_time_to_local(first.time, from) && file_time_to_local(last.time, to)) {
            duration_text(file_time_seconds(last.time) - file_time_seconds(first.time), length,
                          sizeof length);
            snprintf(text, sizeof text, "%s \xE2\x80\x93 %s (%s)", from, to, length);
            write_figure(file, "Time span", text,
                         "From the oldest screenshot's file time to the newest's.");
        }
    }
}

static const char WEAK_HINT[] =
    "Screenshots read whose picture matches its layout poorly (a score above 300) or has only "
    "the width or only the height of its screen: check that they are game screenshots. They "
    "count in every figure, marked \"weak match\" in the table.";

static const char WEAK_HINT_HITS[] =
    "Hits of recordings whose frames match their layout poorly (a median score above 300): "
    "check that they are recordings of the game. They count in every figure, marked \"weak "
    "match\" in the table.";

static void write_figures(FILE* file, const Report& report, const uint32_t* readings) {
    fprintf(file, "<h2>Summary</h2>\n");
    if (report.read_count == 0) {
        fprintf(file,
                "<p class=\"none\">Error: Didn't find any health bar gauges.</p>\n"
                "<p class=\"note\">No screenshot gave a reading; the table below says why "
                "for each.</p>\n<table class=\"figures\" id=\"figures\">\n");
        write_folder_name(file);
        fprintf(file, "</table>\n");
        return;
    }
    char lines[SUMMARY_LINES][SUMMARY_LINE_SIZE];
    int count = summary_lines(summarise_readings(readings, report.read_count), lines);
    fprintf(file, "<p class=\"note\">The figures of output.txt first, then more; %s</p>\n"
                  "<table class=\"figures\" id=\"figures\">\n",
            report.recordings ? "the damage of a hit is the drop of the bar, 100% minus the health "
                                "left when the bar was full before it."
                              : "the damage is 100% minus the health left.");
    write_folder_name(file);
    for (int i = 0; i < count; ++i) {
        char* value = strchr(lines[i], ':');  // every line is "Label: value"
        if (!value) continue;
        *value = '\0';
        write_figure(file, lines[i], value + 2, hint_of(lines[i]));
    }
    write_more_figures(file, report, readings);
    char weak[16];
    snprintf(weak, sizeof weak, "%u", report.weak_count);
    write_figure(file, "Weak matches", weak, report.recordings ? WEAK_HINT_HITS : WEAK_HINT);
    fprintf(file, "</table>\n");
}

// The chart's points, in the page's order.
static uint32_t time_points(const Report& report, TimePoint* points, uint32_t counts[HISTOGRAM_BINS]) {
    uint32_t n = 0;
    for (uint32_t i = 0; i < report.row_count; ++i) {
        const ReportRow& row = report.rows[report.order ? report.order[i] : i];
        if (row.result.status != GaugeStatus::read) continue;
        points[n].seconds = file_time_seconds(row.time);
        points[n].milliseconds = 0;
        if (row.position >= 0) {
            // The fraction of a second the file time leaves out, from the position.
            double within = row.position - static_cast<double>(static_cast<int64_t>(row.position));
            points[n].milliseconds = static_cast<uint16_t>(within * 999.0 + 0.5);
        }
        points[n].damage = row.damage;
        ++counts[histogram_bin(points[n].damage)];
        ++n;
    }
    return n;
}

static void write_charts(FILE* file, const Report& report, const TimePoint* points, uint32_t n,
                         const uint32_t counts[HISTOGRAM_BINS]) {
    if (report.read_count == 0) return;
    fprintf(file, "<div class=\"charts\">\n<figure>\n<figcaption>Damage histogram"
                  "</figcaption>\n");
    write_histogram_svg(file, counts, report.recordings ? "Hits" : "Screenshots");
    fprintf(file, "</figure>\n<figure>\n<figcaption>Damage over time</figcaption>\n");
    write_timeline_svg(file, points, n);
    fprintf(file, "</figure>\n</div>\n<p class=\"note\">A gap of more than 30 minutes between "
                  "screenshots starts a new play session, shown in a panel of its own.</p>\n");
}

static void write_layout_cells(FILE* file, const GaugeResult& result) {
    char layout[LAYOUT_TEXT_SIZE];
    layout_text(result, layout);
    if (result.status == GaugeStatus::read) {
        fprintf(file, "<td class=\"layout\">%s</td><td class=\"num\">%d</td>", layout, result.score);
    } else {
        fprintf(file, "<td class=\"layout\">%s</td><td class=\"num\">\xE2\x80\x94</td>", layout);
    }
}

// The row at place `index` of the page's order.
static void write_row(FILE* file, const Report& report, uint32_t index) {
    const ReportRow& row = report.rows[report.order ? report.order[index] : index];
    const GaugeResult& result = row.result;
    bool read = result.status == GaugeStatus::read;
    char time[LOCAL_TIME_SIZE];
    if (!file_time_to_local(row.time, time)) snprintf(time, sizeof time, "unknown");
    bool weak = row.weak;
    fprintf(file, "<tr class=\"file%s\"><td class=\"num\">%u</td><td class=\"name\">",
            read ? (weak ? " weak" : "") : " failed", index + 1);
    write_html_text(file, report_row_name(report, row));
    if (row.position >= 0) {
        char at[POSITION_TEXT_SIZE];
        format_position(row.position, at);
        fprintf(file, "<small class=\"position\">at %s</small>", at);
    }
    fprintf(file, "</td><td class=\"time\">%s</td>", time);
    if (read) {
        char damage[PERCENT_TEXT_SIZE];
        format_percent(row.damage, damage);
        fprintf(file, "<td class=\"status\">%s", damage);
        if (row.position >= 0) {
            char health[PERCENT_TEXT_SIZE];
            format_percent(result.reading, health);
            fprintf(file, "<small>%s health after</small>", health);
        }
        fprintf(file, "%s</td>",
                weak ? "<span class=\"weak\" title=\"It may not be a game screenshot: see Weak "
                       "matches above\">weak match</span>"
                     : "");
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
    if (report.recordings) {
        fprintf(file, "<h2>Hits</h2>\n<p class=\"lead\">%u hit%s in the recordings, each a settled "
                      "drop of the bar, in time order; its damage is the drop, and its time is the "
                      "recording's start plus its position in it.",
                report.row_count, report.row_count == 1 ? "" : "s");
    } else {
        fprintf(file, "<h2>Screenshots</h2>\n<p class=\"lead\">%u PNG file%s by file time, oldest "
                      "first, %u read.",
                report.row_count, report.row_count == 1 ? "" : "s", report.read_count);
    }
    if (report.read_count > report.first_shown) {
        fprintf(file, " Gauge pictures are shown for the %u oldest screenshots read and for the "
                      "%u highest and %u lowest damages of the others.",
                report.first_shown, REPORT_EXTREME_CROPS, REPORT_EXTREME_CROPS);
    }
    fprintf(file, " The magenta marks show where the filled part of the bar ends. The same "
                  "table for a spreadsheet: <a href=\"report.xlsx\">report.xlsx</a> (a workbook) "
                  "and <a href=\"report.csv\">report.csv</a>.</p>\n"
                  "<table class=\"files\" id=\"files\">\n<thead><tr><th>#</th><th>File</th>"
                  "<th>File time</th><th>Damage</th><th>Layout<small>screen size and "
                  "name</small></th><th class=\"num\" title=\"How closely the screenshot "
                  "matches its layout's colours: 0 is a perfect match, above %d is no "
                  "match\">Match score<small>0 is perfect</small></th>"
                  "<th>Gauge</th></tr></thead>\n<tbody>\n",
            MAX_MATCH_SCORE);
    for (uint32_t i = 0; i < report.row_count; ++i) write_row(file, report, i);
    fprintf(file, "</tbody>\n</table>\n");
}

void write_report_page(FILE* file, const Report& report) {
    // The readings in listing order (the figures of output.txt depend on
    // it), and the chart's points in the page's order.
    size_t n = report.read_count;
    uint32_t* readings = static_cast<uint32_t*>(malloc((n ? n : 1) * sizeof(uint32_t)));
    TimePoint* points = static_cast<TimePoint*>(malloc((n ? n : 1) * sizeof(TimePoint)));
    uint32_t taken = 0;
    for (uint32_t i = 0; readings && i < report.row_count && taken < n; ++i) {
        if (report.rows[i].result.status == GaugeStatus::read) {
            readings[taken++] = FULL_READING - report.rows[i].damage;
        }
    }
    page_of_hits = report.recordings;
    write_page_head(file, "Health gauge report", STYLE);
    if (readings && points) {
        uint32_t counts[HISTOGRAM_BINS] = {};
        uint32_t point_count = time_points(report, points, counts);
        write_figures(file, report, readings);
        write_charts(file, report, points, point_count, counts);
    } else {
        fprintf(file, "<p class=\"none\">Not enough memory for the summary.</p>\n");
    }
    write_table(file, report);
    fprintf(file, "</body>\n</html>\n");
    free(readings);
    free(points);
}
