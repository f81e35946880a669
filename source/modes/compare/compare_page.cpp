// compare_page.cpp - compare.html (see compare_page.h).
#include "modes/compare/compare_page.h"

#include "figures/compare_names.h"
#include "figures/damage.h"
#include "figures/order_statistics.h"
#include "pages/chart.h"
#include "pages/html.h"

#include <cmath>

static const char STYLE[] =
    "body{font:14px/1.4 system-ui,\"Segoe UI\",Roboto,Helvetica,Arial,sans-serif;"
    "color:#1d1f23;background:#fff;max-width:1360px;margin:24px auto;padding:0 16px}\n"
    "h1{font-size:22px;margin:0 0 4px}\n"
    "h2{font-size:17px;margin:28px 0 8px;padding-bottom:4px;border-bottom:1px solid #ddd}\n"
    ".lead,.note{color:#555}\n"
    ".verdict{font-size:17px;font-weight:600;margin:14px 0}\n"
    "table{border-collapse:collapse}\n"
    "th{text-align:left}\n"
    "table.figures th{border-bottom:2px solid #333;padding:4px 12px}\n"
    "table.figures td{border-bottom:1px solid #e4e4e4;padding:4px 12px}\n"
    ".num{text-align:right}\n"
    "td{font-variant-numeric:tabular-nums}\n"
    ".key{display:inline-block;width:12px;height:12px;margin-right:6px;vertical-align:-1px}\n"
    ".key.a{background:#2f6db3}.key.b{background:#d0702a}\n"
    ".charts{display:flex;flex-wrap:wrap;gap:8px 24px;margin-top:12px}\n"
    ".charts figure{margin:0}\n"
    ".charts figcaption{font-weight:600;margin-bottom:4px}\n"
    "svg.chart{max-width:100%;height:auto;font:11px system-ui,Helvetica,Arial,sans-serif}\n"
    "svg .axis{stroke:#333;fill:none}\n"
    "svg .grid{stroke:#e4e4e4}\n"
    "svg .bar{fill-opacity:.55}\n"
    "svg .bar.a{fill:#2f6db3}svg .bar.b{fill:#d0702a}\n"
    "svg .curve{fill:none;stroke-width:2}\n"
    "svg .curve.a{stroke:#2f6db3}svg .curve.b{stroke:#d0702a}\n"
    "svg .title{font-size:12px;font-weight:600}\n"
    "dl.meaning dt{font-weight:600;margin-top:8px}\n"
    "dl.meaning dd{margin:2px 0 0 0;max-width:60em}\n"
    "@page{size:A4 landscape;margin:12mm}\n"
    "@media print{body{max-width:none;margin:0;padding:0;font-size:11px}"
    "h2{break-after:avoid}figure{break-inside:avoid}"
    "*{-webkit-print-color-adjust:exact;print-color-adjust:exact}}\n";

static void write_head(FILE* file, const FolderDamage& a, const FolderDamage& b) {
    write_page_head(file, "Health gauge comparison", STYLE);
    fprintf(file, "<p class=\"lead\" id=\"folders\"><span class=\"key a\"></span>A: <b>");
    write_html_text(file, a.name);
    fprintf(file, "</b> &nbsp; <span class=\"key b\"></span>B: <b>");
    write_html_text(file, b.name);
    fprintf(file, "</b></p>\n");
}

static void write_verdict(FILE* file, const Comparison& comparison, const FolderDamage& a,
                          const FolderDamage& b) {
    FolderNames names = compare_folder_names(a.name, b.name);
    char sentence[COMPARE_SENTENCE_SIZE];
    compare_sentence(comparison, names.a, names.b, sentence);
    fprintf(file, "<p class=\"verdict\" id=\"verdict\">");
    write_html_text(file, sentence);  // "p < 0.001", names as typed
    fprintf(file, "</p>\n");
    if (compare_power_sentence(comparison, sentence)) {
        fprintf(file, "<p class=\"note\" id=\"power\">%s</p>\n", sentence);
    }
}

static void write_table(FILE* file, const Comparison& comparison) {
    CompareRow rows[COMPARE_ROWS];
    compare_rows(comparison, rows);
    fprintf(file, "<table class=\"figures\" id=\"comparison\">\n<thead><tr><th></th>"
                  "<th class=\"num\">A</th><th class=\"num\">B</th>"
                  "<th class=\"num\">B \xE2\x88\x92 A</th>%s</tr></thead>\n<tbody>\n",
            comparison.enough ? "<th>95% interval of B \xE2\x88\x92 A</th>" : "");
    for (const CompareRow& row : rows) {
        fprintf(file, "<tr><td>%s</td><td class=\"num\">%s</td><td class=\"num\">%s</td>"
                      "<td class=\"num\">%s</td>",
                row.label, row.a, row.b, row.difference);
        if (comparison.enough) fprintf(file, "<td>%s</td>", row.interval);
        fprintf(file, "</tr>\n");
    }
    fprintf(file, "</tbody>\n</table>\n");
}

// The share of a folder in each histogram bin, in percent.
static void bin_shares(const FolderDamage& folder, uint32_t counts[HISTOGRAM_BINS],
                       double shares[HISTOGRAM_BINS]) {
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) counts[bin] = 0;
    for (uint32_t i = 0; i < folder.count; ++i) ++counts[histogram_bin(folder.damage[i])];
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) shares[bin] = 100.0 * counts[bin] / folder.count;
}

static void write_histogram(FILE* file, const FolderDamage& a, const FolderDamage& b) {
    constexpr int PLOT_HEIGHT = 206;  // the rest holds the turned bin labels
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    uint32_t counts[2][HISTOGRAM_BINS];
    double shares[2][HISTOGRAM_BINS];
    bin_shares(a, counts[0], shares[0]);
    bin_shares(b, counts[1], shares[1]);
    double most = 0;
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        most = shares[0][bin] > most ? shares[0][bin] : most;
        most = shares[1][bin] > most ? shares[1][bin] : most;
    }
    write_svg_start(file, "histogram", "Histograms of the damage of A and B");
    uint32_t top = write_y_scale(file, static_cast<uint32_t>(std::ceil(most)), PLOT_HEIGHT);
    const double slot = static_cast<double>(PLOT_WIDTH) / HISTOGRAM_BINS;
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        double x = PLOT_LEFT + bin * slot;
        char label[BIN_LABEL_SIZE];
        histogram_bin_label(bin, label);
        for (int folder = 0; folder < 2; ++folder) {
            double height = shares[folder][bin] * PLOT_HEIGHT / top;
            char share[PERCENT_TEXT_SIZE];
            format_percent(static_cast<uint32_t>(round_half_away(shares[folder][bin] * 10)), share);
            fprintf(file,
                    "<rect class=\"bar %c\" data-bin=\"%d\" data-count=\"%u\" x=\"%.2f\" "
                    "y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"><title>%c, %s%%: %u screenshot%s, "
                    "%s</title></rect>\n",
                    folder ? 'b' : 'a', bin, counts[folder][bin], x + 3, bottom - height,
                    slot - 6, height, folder ? 'B' : 'A', label, counts[folder][bin],
                    counts[folder][bin] == 1 ? "" : "s", share);
        }
        fprintf(file,
                "<text class=\"bin\" transform=\"translate(%.1f %d) rotate(-50)\" "
                "text-anchor=\"end\">%s</text>\n",
                x + slot / 2 + 3, bottom + 12, label);
    }
    write_axes(file, PLOT_HEIGHT, "Damage (%)", "Share of screenshots (%)");
    fprintf(file, "</svg>\n");
}

// One folder's curve: from 0% of the screenshots at 0.0% damage, a step up
// at every damage value to the share at or below it, on to 100.0%.
static void write_curve(FILE* file, const FolderDamage& folder, char key, int plot_height) {
    const int bottom = PLOT_TOP + plot_height;
    const double across = static_cast<double>(PLOT_WIDTH) / FULL_READING;
    fprintf(file, "<path class=\"curve %c\" data-count=\"%u\" d=\"M%d %d", key, folder.count,
            PLOT_LEFT, bottom);
    for (uint32_t i = 0; i < folder.count;) {
        uint32_t value = folder.damage[i];
        while (i < folder.count && folder.damage[i] == value) ++i;
        double y = bottom - static_cast<double>(i) * plot_height / folder.count;
        fprintf(file, "H%.2fV%.2f", PLOT_LEFT + value * across, y);
    }
    fprintf(file, "H%d\"/>\n", PLOT_LEFT + PLOT_WIDTH);
}

static void write_cumulative(FILE* file, const FolderDamage& a, const FolderDamage& b) {
    constexpr int PLOT_HEIGHT = 236;
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    write_svg_start(file, "cumulative", "Share of screenshots at or below each damage, A and B");
    write_percent_ticks(file, PLOT_HEIGHT);
    for (int damage = 0; damage <= 100; damage += 20) {
        fprintf(file, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%d</text>\n",
                PLOT_LEFT + damage * PLOT_WIDTH / 100.0, bottom + 16, damage);
    }
    write_curve(file, a, 'a', PLOT_HEIGHT);
    write_curve(file, b, 'b', PLOT_HEIGHT);
    write_axes(file, PLOT_HEIGHT, "Damage (%)", "At or below (%)");
    fprintf(file, "</svg>\n");
}

static void write_charts(FILE* file, const FolderDamage& a, const FolderDamage& b) {
    fprintf(file, "<h2>Damage of the two folders</h2>\n<p class=\"note\"><span class=\"key a\">"
                  "</span>A &nbsp; <span class=\"key b\"></span>B &nbsp; Each folder's bars add "
                  "up to 100%%, so folders of different sizes compare fairly. A curve further "
                  "right means more damage.</p>\n<div class=\"charts\">\n<figure>\n"
                  "<figcaption>Damage histograms</figcaption>\n");
    write_histogram(file, a, b);
    fprintf(file, "</figure>\n<figure>\n<figcaption>Share of screenshots at or below each "
                  "damage</figcaption>\n");
    write_cumulative(file, a, b);
    fprintf(file, "</figure>\n</div>\n");
}

static void percent_text(double tenths, char text[PERCENT_TEXT_SIZE]) {
    format_percent(static_cast<uint32_t>(round_half_away(tenths)), text);
}

static void write_folder_cells(FILE* file, const char* label, const char* a, const char* b) {
    fprintf(file, "<tr><td>%s</td><td class=\"num\">%s</td><td class=\"num\">%s</td></tr>\n",
            label, a, b);
}

static void write_folders(FILE* file, const Comparison& c, const FolderDamage& a,
                          const FolderDamage& b) {
    const FolderFigures* figures[2] = {&c.a, &c.b};
    const FolderDamage* folders[2] = {&a, &b};
    char cells[7][2][48];
    for (int i = 0; i < 2; ++i) {
        const FolderFigures& f = *figures[i];
        char share[PERCENT_TEXT_SIZE], median[PERCENT_TEXT_SIZE], low[PERCENT_TEXT_SIZE],
            high[PERCENT_TEXT_SIZE], lowest[PERCENT_TEXT_SIZE], highest[PERCENT_TEXT_SIZE];
        percent_text(1000.0 * f.misses / f.read, share);
        percent_text(f.median, median);
        format_percent(f.quartile_low, low);
        format_percent(f.quartile_high, high);
        format_percent(f.lowest, lowest);
        format_percent(f.highest, highest);
        snprintf(cells[0][i], sizeof cells[0][i], "%u", f.read);
        snprintf(cells[1][i], sizeof cells[1][i], "%u", folders[i]->pngs - f.read);
        snprintf(cells[2][i], sizeof cells[2][i], "%u (%s)", f.misses, share);
        snprintf(cells[3][i], sizeof cells[3][i], "%s", median);
        snprintf(cells[4][i], sizeof cells[4][i], "%s to %s", low, high);
        snprintf(cells[5][i], sizeof cells[5][i], "%s to %s", lowest, highest);
        snprintf(cells[6][i], sizeof cells[6][i], "%u", folders[i]->weak);
    }
    static const char* const LABELS[7] = {
        "Screenshots read", "PNG files that could not be read", "Complete misses (0.0% damage)",
        "Median damage", "Middle half of the damages", "Lowest to highest damage",
        "Weak matches (read, but are they game screenshots?)"};
    fprintf(file, "<h2>Each folder</h2>\n<table class=\"figures\" id=\"each\">\n<thead><tr>"
                  "<th></th><th class=\"num\">A</th><th class=\"num\">B</th></tr></thead>\n"
                  "<tbody>\n");
    for (int row = 0; row < 7; ++row) write_folder_cells(file, LABELS[row], cells[row][0], cells[row][1]);
    fprintf(file, "</tbody>\n</table>\n");
}

static const char MEANING[] =
    "<h2>What the figures mean</h2>\n<dl class=\"meaning\">\n"
    "<dt>Damage</dt><dd>Of each screenshot read, as a scan gives it: 100% minus the health "
    "left. A complete miss is 0.0%.</dd>\n"
    "<dt>B \xE2\x88\x92 A</dt><dd>The figure of B minus that of A: plus means B is higher.</dd>\n"
    "<dt>95% interval</dt><dd>The range the true difference most likely lies in, given how "
    "much the damage varies from shot to shot. For the average and the median it comes from "
    "resampling each folder 10,000 times (with a fixed seed, so every run shows the same "
    "figures); for the complete misses from Newcombe's method. An interval that does not "
    "include 0.0% means the difference is unlikely to be luck.</dd>\n"
    "<dt>p (rank test)</dt><dd>How often two setups that are really equal would give folders "
    "at least this different by luck alone (the Mann-Whitney rank test). Below 0.05 the page "
    "says which setup does more damage. Above it, the folders do not show a clear difference: "
    "that is no proof that the setups are equal; more screenshots may show one.</dd>\n"
    "<dt>Screenshots that would tell</dt><dd>When there is no clear difference, about how many "
    "screenshots in each folder would show the difference of the averages seen here, if it is "
    "real, in 4 comparisons out of 5 (80% power: the two-sample normal formula with the folders' "
    "pooled spread, allowing for the rank test's efficiency of 0.955).</dd>\n"
    "<dt>Weak matches</dt><dd>Screenshots read whose picture matches its gauge layout poorly "
    "(a match score above 300 of 600) or has only the width or only the height of its screen. "
    "They count in every figure; standard error names each, so that a picture that is not a game "
    "screenshot can be taken out of the folder.</dd>\n"
    "<dt>Middle half</dt><dd>Half of the folder's screenshots have a damage in this range; a "
    "quarter lie below it and a quarter above.</dd>\n"
    "<dt>Too few screenshots</dt><dd>With fewer than 10 screenshots read in either folder there "
    "is no interval and no test: luck would decide too much.</dd>\n</dl>\n";

bool write_compare_page(FILE* file, const Comparison& comparison, const FolderDamage& a,
                        const FolderDamage& b) {
    write_head(file, a, b);
    write_table(file, comparison);
    write_verdict(file, comparison, a, b);
    write_charts(file, a, b);
    write_folders(file, comparison, a, b);
    fprintf(file, "%s", MEANING);
    return fprintf(file, "</body>\n</html>\n") > 0 && !ferror(file);
}
