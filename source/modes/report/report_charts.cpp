// report_charts.cpp - the report page's charts and crops (see report_charts.h).
#include "modes/report/report_charts.h"

#include "modes/local_time.h"
#include "modes/report/report_html.h"
#include "platform/platform.h"

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

void write_svg_start(FILE* file, const char* id, const char* label) {
    fprintf(file,
            "<svg id=\"%s\" class=\"chart\" role=\"img\" aria-label=\"%s\" "
            "viewBox=\"0 0 %d %d\" width=\"%d\" "
            "height=\"%d\">\n",
            id, label, CHART_WIDTH, CHART_HEIGHT, CHART_WIDTH, CHART_HEIGHT);
}

void write_axes(FILE* file, int plot_height, const char* x_title, const char* y_title) {
    int bottom = PLOT_TOP + plot_height;
    fprintf(file, "<path class=\"axis\" d=\"M%d %dV%dH%d\"/>\n", PLOT_LEFT, PLOT_TOP, bottom,
            PLOT_LEFT + PLOT_WIDTH);
    fprintf(file, "<text class=\"title\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%s</text>\n",
            PLOT_LEFT + PLOT_WIDTH / 2, CHART_HEIGHT - 4, x_title);
    fprintf(file,
            "<text class=\"title\" transform=\"translate(14 %d) rotate(-90)\" "
            "text-anchor=\"middle\">%s</text>\n",
            PLOT_TOP + plot_height / 2, y_title);
}

void write_y_tick(FILE* file, double y, const char* label) {
    fprintf(file, "<path class=\"grid\" d=\"M%d %.1fH%d\"/>\n", PLOT_LEFT, y,
            PLOT_LEFT + PLOT_WIDTH);
    fprintf(file, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n", PLOT_LEFT - 6,
            y + 4, label);
}

uint32_t write_y_scale(FILE* file, uint32_t most, int plot_height) {
    const int bottom = PLOT_TOP + plot_height;
    uint32_t step = tick_step(most > 0 ? most : 1);
    uint32_t top = (most + step - 1) / step * step;
    if (top == 0) top = step;
    for (uint32_t value = 0; value <= top; value += step) {
        char label[16];
        snprintf(label, sizeof label, "%u", value);
        write_y_tick(file, bottom - static_cast<double>(value) * plot_height / top, label);
    }
    return top;
}

void write_histogram_svg(FILE* file, const uint32_t counts[HISTOGRAM_BINS]) {
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
    write_axes(file, PLOT_HEIGHT, "Damage (%)", "Screenshots");
    fprintf(file, "</svg>\n");
}

void write_timeline_svg(FILE* file, const TimePoint* points, uint32_t count) {
    constexpr int PLOT_HEIGHT = 236;
    const int bottom = PLOT_TOP + PLOT_HEIGHT;
    int64_t first = 0, last = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (i == 0 || points[i].seconds < first) first = points[i].seconds;
        if (i == 0 || points[i].seconds > last) last = points[i].seconds;
    }
    const double span = static_cast<double>(last - first);

    write_svg_start(file, "timeline", "Damage by file time");
    for (uint32_t damage = 0; damage <= DAMAGE_FULL; damage += 200) {
        char label[8];
        snprintf(label, sizeof label, "%u", damage / 10);
        write_y_tick(file, bottom - static_cast<double>(damage) * PLOT_HEIGHT / DAMAGE_FULL, label);
    }
    // The ends of the time axis (one label when every file has the same time).
    char text[LOCAL_TIME_SIZE];
    if (count > 0 && local_time_text(first, text)) {
        fprintf(file, "<text class=\"time\" x=\"%d\" y=\"%d\" text-anchor=\"%s\">%s</text>\n",
                span > 0 ? PLOT_LEFT : PLOT_LEFT + PLOT_WIDTH / 2, bottom + 16,
                span > 0 ? "start" : "middle", text);
    }
    if (span > 0 && local_time_text(last, text)) {
        fprintf(file, "<text class=\"time\" x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n",
                PLOT_LEFT + PLOT_WIDTH, bottom + 16, text);
    }
    fprintf(file, "<g class=\"points\">\n");
    for (uint32_t i = 0; i < count; ++i) {
        double along = span > 0 ? static_cast<double>(points[i].seconds - first) / span : 0.5;
        double x = PLOT_LEFT + 6 + along * (PLOT_WIDTH - 12);
        uint32_t damage = points[i].damage > DAMAGE_FULL ? DAMAGE_FULL : points[i].damage;
        double y = bottom - static_cast<double>(damage) * PLOT_HEIGHT / DAMAGE_FULL;
        fprintf(file, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\"/>\n", x, y);
    }
    fprintf(file, "</g>\n");
    write_axes(file, PLOT_HEIGHT, "File time (local)", "Damage (%)");
    fprintf(file, "</svg>\n");
}

void write_crop_figure(FILE* file, const CropFigure& figure) {
    int width = figure.width * CROP_SCALE;
    int height = figure.height * CROP_SCALE;
    fprintf(file,
            "<div class=\"crop\" style=\"width:%dpx;height:%dpx\"><img alt=\"\" width=\"%d\" "
            "height=\"%d\" src=\"data:image/png;base64,",
            width, height, width, height);
    write_base64(file, figure.png, figure.png_size);
    // In percent of the picture, so that the mark stays put at any printed size.
    double left = figure.width > 0 ? 100.0 * figure.bar_end / figure.width : 0;
    fprintf(file, "\"><i class=\"end\" style=\"left:%.3f%%\"></i></div>", left);
}
