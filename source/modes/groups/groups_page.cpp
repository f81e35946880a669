// groups_page.cpp - compare.html of several setups (see groups_page.h).
#include "modes/groups/groups_page.h"

#include "figures/damage.h"
#include "figures/order_statistics.h"
#include "pages/chart.h"
#include "pages/html.h"

#include <algorithm>
#include <cstdio>
#include <string>

static const char STYLE[] =
    "body{font:14px/1.4 system-ui,\"Segoe UI\",Roboto,Helvetica,Arial,sans-serif;"
    "color:#1d1f23;background:#fff;max-width:1360px;margin:24px auto;padding:0 16px}\n"
    "h1{font-size:22px;margin:0 0 4px}\n"
    "h2{font-size:17px;margin:28px 0 8px;padding-bottom:4px;border-bottom:1px solid #ddd}\n"
    ".note{color:#555}\n"
    ".verdict{font-size:17px;font-weight:600;margin:14px 0}\n"
    "table{border-collapse:collapse}\n"
    "th{text-align:left;border-bottom:2px solid #333;padding:4px 12px}\n"
    "td{border-bottom:1px solid #e4e4e4;padding:4px 12px;font-variant-numeric:tabular-nums}\n"
    ".num{text-align:right}\n"
    "tr.out td{color:#888}\n"
    ".charts{display:flex;flex-wrap:wrap;gap:8px 24px;margin-top:12px}\n"
    ".charts figure{margin:0;width:392px}\n"
    ".charts figcaption{font-weight:600;margin-bottom:4px;overflow-wrap:anywhere}\n"
    ".charts figcaption .note{font-weight:400}\n"
    "svg.chart{max-width:100%;height:auto;font:11px system-ui,Helvetica,Arial,sans-serif}\n"
    "svg .axis{stroke:#333;fill:none}\n"
    "svg .grid{stroke:#e4e4e4}\n"
    "svg .bar{fill:#2f6db3;fill-opacity:.7}\n"
    "svg .range{stroke:#2f6db3;stroke-width:2}\n"
    "svg .dot{fill:#d0702a}\n"
    "dl.meaning dt{font-weight:600;margin-top:8px}\n"
    "dl.meaning dd{margin:2px 0 0 0;max-width:60em}\n"
    "@media print{body{max-width:none;margin:0;padding:0;font-size:11px}"
    "h2{break-after:avoid}figure{break-inside:avoid}}\n";

static void write_table(FILE* file, const GroupsComparison& c) {
    fprintf(file, "<table id=\"setups\">\n<thead><tr><th>Setup</th><th class=\"num\">Screenshots "
                  "read</th><th>Average damage (95%% interval)</th><th class=\"num\">Median</th>"
                  "<th>Complete misses (95%% interval)</th><th class=\"num\">Weak matches</th>"
                  "</tr></thead>\n<tbody>\n");
    for (int g = 0; g < c.count; ++g) {
        GroupCells cells;
        group_cells(c.groups[g], &cells);
        fprintf(file, "<tr%s><td>", c.groups[g].tested ? "" : " class=\"out\"");
        write_html_text(file, c.groups[g].name);
        fprintf(file, "</td><td class=\"num\">%s</td><td>%s</td><td class=\"num\">%s</td>"
                      "<td>%s</td><td class=\"num\">%u</td></tr>\n", cells.read, cells.average,
                cells.median, cells.misses, c.groups[g].weak);
    }
    fprintf(file, "</tbody>\n</table>\n");
    for (int g = 0; g < c.count; ++g) {
        if (c.groups[g].tested) continue;
        fprintf(file, "<p class=\"note out\">");
        write_html_text(file, c.groups[g].name);
        fprintf(file, ": fewer than %u screenshots read, left out of the tests.</p>\n",
                COMPARE_MIN_READ);
    }
}

// A chart's label of a setup: its first LABEL_CHARACTERS characters, and
// an ellipsis when there are more (the whole name is the mark's title).
constexpr size_t LABEL_CHARACTERS = 24;
constexpr double LABEL_CHARACTER_WIDTH = 6.5;  // of the charts' 11-pixel font, at most

static void write_label(FILE* file, const char* name) {
    size_t bytes = 0, characters = 0;
    while (name[bytes] && characters <= LABEL_CHARACTERS) {
        if ((static_cast<unsigned char>(name[bytes]) & 0xC0) != 0x80 && ++characters > LABEL_CHARACTERS) break;
        ++bytes;
    }
    write_html_text(file, std::string(name, bytes).c_str());
    if (name[bytes]) fprintf(file, "\xE2\x80\xA6");
}

// Each setup's average as a dot on a line from its interval's low to its
// high end; damage 0..100% up, the setups side by side, their names turned
// below, the chart as tall as the longest name needs.
static void write_averages(FILE* file, const GroupsComparison& c) {
    constexpr int PLOT_HEIGHT = 206;
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    size_t longest = 1;
    for (int g = 0; g < c.count; ++g) longest = std::max(longest, text_characters(c.groups[g].name));
    longest = std::min(longest, LABEL_CHARACTERS + 1);
    const int height = bottom + 24 + static_cast<int>(0.87 * LABEL_CHARACTER_WIDTH * longest);
    write_svg_start(file, "averages", "Average damage of each setup with its 95% interval",
                    CHART_WIDTH, height);
    write_percent_ticks(file, PLOT_HEIGHT);
    const double slot = static_cast<double>(PLOT_WIDTH) / (c.count > 0 ? c.count : 1);
    const double scale = static_cast<double>(PLOT_HEIGHT) / FULL_READING;
    for (int g = 0; g < c.count; ++g) {
        const GroupFigures& f = c.groups[g];
        double x = PLOT_LEFT + (g + 0.5) * slot;
        fprintf(file, "<g class=\"setup\" data-mean=\"%.1f\"><title>", f.mean / 10);
        write_html_text(file, f.name);
        fprintf(file, "</title><line class=\"range\" x1=\"%.2f\" x2=\"%.2f\" y1=\"%.2f\" "
                      "y2=\"%.2f\"/><circle class=\"dot\" cx=\"%.2f\" cy=\"%.2f\" r=\"4\"/>"
                      "<text transform=\"translate(%.1f %d) rotate(-60)\" text-anchor=\"end\">",
                x, x, bottom - f.mean_interval.low * scale, bottom - f.mean_interval.high * scale,
                x, bottom - f.mean * scale, x + 4, bottom + 10);
        write_label(file, f.name);
        fprintf(file, "</text></g>\n");
    }
    write_axes(file, PLOT_HEIGHT, "", "Average damage (%)", PLOT_WIDTH, height);
    fprintf(file, "</svg>\n");
}

// The small histograms of the setups: sized to show whole in a figure
// HISTOGRAM_FIGURE wide (.charts figure), three to a row of a page 1,280
// pixels wide.
constexpr int HISTOGRAM_FIGURE = 392;
constexpr int HISTOGRAM_PLOT_HEIGHT = 150;
constexpr int HISTOGRAM_PLOT_WIDTH = HISTOGRAM_FIGURE - PLOT_LEFT - PLOT_RIGHT;
constexpr int HISTOGRAM_HEIGHT = PLOT_TOP + HISTOGRAM_PLOT_HEIGHT + 52;  // two label lines, title

static void bin_counts(const GroupSample& sample, uint32_t counts[HISTOGRAM_BINS]) {
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) counts[bin] = 0;
    for (uint32_t i = 0; i < sample.count; ++i) ++counts[histogram_bin(sample.damage[i])];
}

// The largest share of any setup's screenshots in one bin, in whole percent
// rounded up: the top of every setup's scale.
static uint32_t largest_share(const GroupsComparison& c, const GroupSample* samples) {
    uint32_t most = 1;
    for (int g = 0; g < c.count; ++g) {
        const GroupSample& sample = samples[c.groups[g].sample];
        uint32_t counts[HISTOGRAM_BINS];
        bin_counts(sample, counts);
        for (uint32_t count : counts) {
            uint32_t share = static_cast<uint32_t>((100ull * count + sample.count - 1) / sample.count);
            most = share > most ? share : most;
        }
    }
    return most;
}

// One setup's bars as shares of its screenshots read, on the scale 0..most
// percent that every setup shares; each bar keeps its count.
static void write_setup_histogram(FILE* file, int g, const GroupSample& sample, uint32_t most) {
    const int bottom = PLOT_TOP + HISTOGRAM_PLOT_HEIGHT;
    uint32_t counts[HISTOGRAM_BINS];
    bin_counts(sample, counts);
    char id[32];
    snprintf(id, sizeof id, "histogram-%d", g + 1);
    write_svg_start(file, id, "Histogram of the damage of one setup", HISTOGRAM_FIGURE, HISTOGRAM_HEIGHT);
    uint32_t top = write_y_scale(file, most, HISTOGRAM_PLOT_HEIGHT, HISTOGRAM_PLOT_WIDTH);
    const double slot = static_cast<double>(HISTOGRAM_PLOT_WIDTH) / HISTOGRAM_BINS;
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        double share = 100.0 * counts[bin] / sample.count;
        double height = share * HISTOGRAM_PLOT_HEIGHT / top, x = PLOT_LEFT + bin * slot;
        char label[BIN_LABEL_SIZE], shown[PERCENT_TEXT_SIZE];
        histogram_bin_label(bin, label);
        format_percent(static_cast<uint32_t>(round_half_away(share * 10)), shown);
        fprintf(file, "<rect class=\"bar\" data-bin=\"%d\" data-count=\"%u\" x=\"%.2f\" "
                      "y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"><title>%s%%: %u screenshot%s, "
                      "%s</title></rect>\n",
                bin, counts[bin], x + 2, bottom - height, slot - 4, height, label, counts[bin],
                counts[bin] == 1 ? "" : "s", shown);
    }
    // The misses' bar apart, then the bins' edges every 20 points.
    fprintf(file, "<text class=\"bin\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">miss</text>\n",
            PLOT_LEFT + slot / 2, bottom + 28);
    for (int damage = 0; damage <= 100; damage += 20) {
        fprintf(file, "<text class=\"bin\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%d</text>\n",
                PLOT_LEFT + slot * (1 + damage / 5), bottom + 14, damage);
    }
    write_axes(file, HISTOGRAM_PLOT_HEIGHT, "Damage (%)", "Share of screenshots (%)",
               HISTOGRAM_PLOT_WIDTH, HISTOGRAM_HEIGHT);
    fprintf(file, "</svg>\n");
}

static void write_histograms(FILE* file, const GroupsComparison& c, const GroupSample* samples) {
    fprintf(file, "<h2>Damage of each setup</h2>\n<p class=\"note\">Each setup's bars add up to "
                  "100%% of its screenshots read, all on one scale, so setups of different sizes "
                  "compare fairly; a bar's count shows when the pointer rests on it.</p>\n"
                  "<div class=\"charts\" id=\"histograms\">\n");
    uint32_t most = largest_share(c, samples);
    for (int g = 0; g < c.count; ++g) {
        const GroupSample& sample = samples[c.groups[g].sample];
        fprintf(file, "<figure>\n<figcaption>");
        write_html_text(file, sample.name);
        fprintf(file, " <span class=\"note\">(%u read)</span></figcaption>\n", sample.count);
        write_setup_histogram(file, g, sample, most);
        fprintf(file, "</figure>\n");
    }
    fprintf(file, "</div>\n");
}

// "0.004" or "< 0.001": format_p_value without its "p ".
static const char* p_cell(const char* text) { return text[2] == '=' ? text + 4 : text + 2; }

static void write_pairs(FILE* file, const GroupsComparison& c) {
    if (!c.differs) return;
    fprintf(file, "<h2>Pairs of setups</h2>\n<table id=\"pairs\">\n<thead><tr><th>Higher "
                  "average</th><th>Lower average</th><th class=\"num\">p (rank test)</th>"
                  "<th class=\"num\">Holm-adjusted p</th><th>Differs</th></tr></thead>\n<tbody>\n");
    for (int k = 0; k < c.pair_count; ++k) {
        const PairTest& pair = c.pairs[k];
        char p[COMPARE_CELL_SIZE], adjusted[COMPARE_CELL_SIZE];
        format_p_value(pair.p, p);
        format_p_value(pair.adjusted, adjusted);
        fprintf(file, "<tr%s><td>", pair.differs ? " class=\"differs\"" : "");
        write_html_text(file, c.groups[pair.higher].name);
        fprintf(file, "</td><td>");
        write_html_text(file, c.groups[pair.lower].name);
        fprintf(file, "</td><td class=\"num\">%s</td><td class=\"num\">%s</td><td>%s</td></tr>\n",
                p_cell(p), p_cell(adjusted), pair.differs ? "yes" : "no");
    }
    fprintf(file, "</tbody>\n</table>\n");
}

static const char MEANING[] =
    "<h2>What the figures mean</h2>\n<dl class=\"meaning\">\n"
    "<dt>Damage</dt><dd>Of each screenshot read, as a scan gives it: 100% minus the health "
    "left. A complete miss is 0.0%.</dd>\n"
    "<dt>95% interval</dt><dd>The range a setup's true average most likely lies in, from "
    "resampling its screenshots 10,000 times (with a fixed seed, so every run shows the same "
    "figures); for the complete misses, Wilson's interval of the share.</dd>\n"
    "<dt>Is there any difference?</dt><dd>First one test looks at all the setups at once "
    "(Kruskal\xE2\x80\x93Wallis). Its p is how often setups that are really equal would look "
    "at least this different by luck alone. Above 0.05 the page says there is no clear "
    "difference: that is no proof that the setups are equal; more screenshots may show "
    "one.</dd>\n"
    "<dt>Which setups differ?</dt><dd>Only when that first test finds a difference, every "
    "pair of setups is compared with the rank test of the compare mode. With many pairs some "
    "would look different by luck, so each p is raised by Holm's method; a pair differs when "
    "its adjusted p is below 0.05.</dd>\n"
    "<dt>Weak matches</dt><dd>Screenshots read whose picture matches its gauge layout poorly "
    "(a match score above 300 of 600) or has only the width or only the height of its screen. "
    "They count in every figure; standard error names each, so that a picture that is not a game "
    "screenshot can be taken out of its setup's folder.</dd>\n"
    "<dt>Too few screenshots</dt><dd>A setup with fewer than 10 screenshots read is shown but "
    "left out of the tests: luck would decide too much.</dd>\n</dl>\n";

bool write_groups_page(FILE* file, const GroupsComparison& c, const GroupSample* samples) {
    write_page_head(file, "Health gauge comparison of setups", STYLE);
    char sentence[GROUPS_SENTENCE_SIZE];
    groups_sentence(c, sentence);
    fprintf(file, "<p class=\"verdict\" id=\"verdict\">");
    write_html_text(file, sentence);
    fprintf(file, "</p>\n");
    write_table(file, c);
    fprintf(file, "<h2>Average damage</h2>\n<div class=\"charts\"><figure style=\"width:auto\">\n");
    write_averages(file, c);
    fprintf(file, "</figure></div>\n");
    write_histograms(file, c, samples);
    write_pairs(file, c);
    fprintf(file, "%s", MEANING);
    return fprintf(file, "</body>\n</html>\n") > 0 && !ferror(file);
}
