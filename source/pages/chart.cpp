// chart.cpp - the pages' charts and crops (see chart.h).
#include "pages/chart.h"

#include "pages/html.h"
#include "pages/local_time.h"
#include "platform/platform.h"

#include <cstring>

constexpr uint32_t DAMAGE_FULL = 1000;
constexpr uint32_t BIN_WIDTH = 50;  // five points

int histogram_bin(uint32_t damage) {
    if (damage == 0) return 0;
    if (damage > DAMAGE_FULL) damage = DAMAGE_FULL;
    return 1 + static_cast<int>((damage - 1) / BIN_WIDTH);
}

void histogram_bin_label(int bin, char text[BIN_LABEL_SIZE]) {
    if (bin <= 0) {
        snprintf(text, BIN_LABEL_SIZE, "0.0");
        return;
    }
    uint32_t first = (static_cast<uint32_t>(bin) - 1) * BIN_WIDTH + 1;
    uint32_t last = static_cast<uint32_t>(bin) * BIN_WIDTH;
    snprintf(text, BIN_LABEL_SIZE, "%u.%u\xE2\x80\x93%u.%u", first / 10, first % 10, last / 10,
             last % 10);
}

// A round step (1, 2 or 5 times a power of ten) that divides 0..top into at
// most five parts.
static uint32_t tick_step(uint32_t top) {
    static const uint32_t FACTORS[] = {1, 2, 5};
    uint32_t step = 1;
    for (;;) {
        for (uint32_t factor : FACTORS) {
            if (top <= step * factor * 5) return step * factor;
        }
        step *= 10;
    }
}

void write_svg_start(FILE* file, const char* id, const char* label, int width, int height) {
    fprintf(file,
            "<svg id=\"%s\" class=\"chart\" role=\"img\" aria-label=\"%s\" "
            "viewBox=\"0 0 %d %d\" width=\"%d\" "
            "height=\"%d\">\n",
            id, label, width, height, width, height);
}

void write_axes(FILE* file, int plot_height, const char* x_title, const char* y_title,
                int plot_width, int chart_height) {
    int bottom = PLOT_TOP + plot_height;
    fprintf(file, "<path class=\"axis\" d=\"M%d %dV%dH%d\"/>\n", PLOT_LEFT, PLOT_TOP, bottom,
            PLOT_LEFT + plot_width);
    fprintf(file, "<text class=\"title\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%s</text>\n",
            PLOT_LEFT + plot_width / 2, chart_height - 4, x_title);
    fprintf(file,
            "<text class=\"title\" transform=\"translate(14 %d) rotate(-90)\" "
            "text-anchor=\"middle\">%s</text>\n",
            PLOT_TOP + plot_height / 2, y_title);
}

void write_y_tick(FILE* file, double y, const char* label, int plot_width) {
    fprintf(file, "<path class=\"grid\" d=\"M%d %.1fH%d\"/>\n", PLOT_LEFT, y,
            PLOT_LEFT + plot_width);
    fprintf(file, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", PLOT_LEFT - 6,
            y + 4, label);
}

uint32_t write_y_scale(FILE* file, uint32_t most, int plot_height, int plot_width) {
    const int bottom = PLOT_TOP + plot_height;
    uint32_t step = tick_step(most > 0 ? most : 1);
    uint32_t top = (most + step - 1) / step * step;
    if (top == 0) top = step;
    for (uint32_t value = 0; value <= top; value += step) {
        char label[16];
        snprintf(label, sizeof label, "%u", value);
        write_y_tick(file, bottom - static_cast<double>(value) * plot_height / top, label,
                     plot_width);
    }
    return top;
}

void write_percent_ticks(FILE* file, int plot_height) {
    const int bottom = PLOT_TOP + plot_height;
    for (int share = 0; share <= 100; share += 20) {
        char label[12];  // any int
        snprintf(label, sizeof label, "%d", share);
        write_y_tick(file, bottom - share * plot_height / 100.0, label);
    }
}

void write_histogram_svg(FILE* file, const uint32_t counts[HISTOGRAM_BINS], const char* count_title) {
    constexpr int PLOT_HEIGHT = 206;  // the rest holds the turned bin labels
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    uint32_t most = 0;
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        if (counts[bin] > most) most = counts[bin];
    }
    write_svg_start(file, "histogram", "Histogram of the damage");
    uint32_t top = write_y_scale(file, most, PLOT_HEIGHT);
    const double slot = static_cast<double>(PLOT_WIDTH) / HISTOGRAM_BINS;
    for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
        double height = static_cast<double>(counts[bin]) * PLOT_HEIGHT / top;
        double x = PLOT_LEFT + bin * slot;
        char label[BIN_LABEL_SIZE];
        histogram_bin_label(bin, label);
        fprintf(file,
                "<rect class=\"bar%s\" data-bin=\"%d\" data-count=\"%u\" x=\"%.2f\" y=\"%.2f\" "
                "width=\"%.2f\" height=\"%.2f\"><title>%s%%: %u</title></rect>\n",
                bin == 0 ? " miss" : "", bin, counts[bin], x + 3, bottom - height, slot - 6,
                height, label, counts[bin]);
        double centre = x + slot / 2;
        fprintf(file,
                "<text class=\"bin\" transform=\"translate(%.1f %d) rotate(-50)\" "
                "text-anchor=\"end\">%s</text>\n",
                centre + 3, bottom + 12, label);
    }
    write_axes(file, PLOT_HEIGHT, "Damage (%)", count_title);
    fprintf(file, "</svg>\n");
}

// Writes the part of a "YYYY-MM-DD HH:MM:SS" local time: the date, or HH:MM.
static void date_part(const char* time, char* out) {
    memcpy(out, time, 10);
    out[10] = '\0';
}
static void minute_part(const char* time, char* out) {
    memcpy(out, time + 11, 5);
    out[5] = '\0';
}

void write_timeline_svg(FILE* file, const TimePoint* points, uint32_t count) {
    constexpr int PLOT_HEIGHT = 236;
    constexpr int HEIGHT = PLOT_TOP + PLOT_HEIGHT + 66;  // two label lines, a third, the title
    constexpr int PANEL_GAP = 14;
    constexpr int MIN_PANEL = 96;  // room for "2026-12-07" and "16:25–17:40"
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    TimeSession sessions[MAX_SESSIONS];
    int session_count = split_sessions(points, count, sessions);
    int panels = session_count > 0 ? session_count : 1;
    int plot_width = 900 - PLOT_LEFT - PLOT_RIGHT;
    if (panels * (MIN_PANEL + PANEL_GAP) > plot_width) plot_width = panels * (MIN_PANEL + PANEL_GAP);
    const int width = PLOT_LEFT + plot_width + PLOT_RIGHT;
    const double panel_width = static_cast<double>(plot_width - (panels - 1) * PANEL_GAP) / panels;

    write_svg_start(file, "timeline", "Damage by file time", width, HEIGHT);
    // The panels' grounds first, so that the grid lines show on them.
    for (int k = 0; k < session_count; ++k) {
        fprintf(file, "<rect class=\"panel\" x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\"/>\n",
                PLOT_LEFT + k * (panel_width + PANEL_GAP), PLOT_TOP, panel_width, PLOT_HEIGHT);
    }
    for (uint32_t damage = 0; damage <= DAMAGE_FULL; damage += 200) {
        char label[8];
        snprintf(label, sizeof label, "%u", damage / 10);
        write_y_tick(file, bottom - static_cast<double>(damage) * PLOT_HEIGHT / DAMAGE_FULL, label,
                     plot_width);
    }
    for (int k = 0; k < session_count; ++k) {
        const TimeSession& session = sessions[k];
        const TimePoint* first = points + session.first;
        int64_t start = first[0].seconds, end = first[session.count - 1].seconds;
        auto time_of = [start](const TimePoint& point) {
            return static_cast<double>(point.seconds - start) + point.milliseconds / 1000.0;
        };
        const double span = time_of(first[session.count - 1]);
        const double left = PLOT_LEFT + k * (panel_width + PANEL_GAP);
        char start_text[LOCAL_TIME_SIZE], end_text[LOCAL_TIME_SIZE];
        bool known = local_time_text(start, start_text) && local_time_text(end, end_text);
        if (!known) start_text[0] = end_text[0] = '\0';
        fprintf(file,
                "<g class=\"session\" data-first=\"%u\" data-count=\"%u\" data-start=\"%s\" "
                "data-end=\"%s\">\n",
                session.first, session.count, start_text, end_text);
        // Where each point goes: along the panel by time (the middle when
        // the session has one time only), up by damage.
        auto x_of = [&](const TimePoint& point) {
            double along = span > 0 ? time_of(point) / span : 0.5;
            return left + 6 + along * (panel_width - 12);
        };
        auto y_of = [&](const TimePoint& point) {
            uint32_t damage = point.damage > DAMAGE_FULL ? DAMAGE_FULL : point.damage;
            return bottom - static_cast<double>(damage) * PLOT_HEIGHT / DAMAGE_FULL;
        };
        if (session.count > 1) {
            fprintf(file, "<path class=\"line\" d=\"");
            for (uint32_t i = 0; i < session.count; ++i) {
                fprintf(file, "%c%.1f %.1f", i == 0 ? 'M' : 'L', x_of(first[i]), y_of(first[i]));
            }
            fprintf(file, "\"/>\n");
        }
        fprintf(file, "<g class=\"points\">\n");
        for (uint32_t i = 0; i < session.count; ++i) {
            fprintf(file, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\"/>\n", x_of(first[i]),
                    y_of(first[i]));
        }
        fprintf(file, "</g>\n");
        if (known) {
            // The start's date, then its time and the end's; the end's date
            // when it is another day.
            char date[16], from[8], to[8], end_date[16];
            date_part(start_text, date);
            minute_part(start_text, from);
            minute_part(end_text, to);
            date_part(end_text, end_date);
            double centre = left + panel_width / 2;
            fprintf(file,
                    "<text class=\"time\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>\n"
                    "<text class=\"time\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s%s%s"
                    "</text>\n",
                    centre, bottom + 16, date, centre, bottom + 30, from,
                    span > 0 ? "\xE2\x80\x93" : "", span > 0 ? to : "");
            if (strcmp(date, end_date) != 0) {
                fprintf(file,
                        "<text class=\"time\" x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">"
                        "to %s</text>\n",
                        centre, bottom + 44, end_date);
            }
        }
        fprintf(file, "</g>\n");
    }
    write_axes(file, PLOT_HEIGHT, "File time (local), one panel per play session", "Damage (%)",
               plot_width, HEIGHT);
    fprintf(file, "</svg>\n");
}

void write_crop_figure(FILE* file, const CropFigure& figure) {
    int width = figure.width * CROP_SCALE;
    int height = figure.height * CROP_SCALE;
    // At most its scaled size, less when the window is narrow: the picture
    // keeps its shape (width and height give the ratio).
    fprintf(file,
            "<div class=\"crop\" style=\"max-width:%dpx\"><img alt=\"\" width=\"%d\" "
            "height=\"%d\" src=\"data:image/png;base64,",
            width, width, height);
    write_base64(file, figure.png, figure.png_size);
    // In percent of the picture, so that the mark stays put at any printed size.
    double left = figure.width > 0 ? 100.0 * figure.bar_end / figure.width : 0;
    fprintf(file, "\"><i class=\"end\" style=\"left:%.3f%%\"></i></div>", left);
}
