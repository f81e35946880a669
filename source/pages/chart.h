// chart.h - the pictures of the pages, as inline SVG and HTML.
//
//     uint32_t counts[HISTOGRAM_BINS] = {};
//     ++counts[histogram_bin(damage)];                 // for every reading
//     write_histogram_svg(file, counts);
//     write_timeline_svg(file, points, point_count);   // damage by file time
//     write_crop_figure(file, figure);                 // one gauge crop, marked
//
// Damage is in tenths of a percent (0..1000). The histogram has a bar of its
// own for complete misses (0.0%) and then one per five points: 0.1-5.0%,
// 5.1-10.0%, ..., 95.1-100.0%. Every bar is an SVG rect of class "bar" with
// data-bin and data-count; its height is the count on the drawn scale.
#pragma once

#include "figures/sessions.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int HISTOGRAM_BINS = 21;
constexpr int BIN_LABEL_SIZE = 32;

// The bin of a damage 0..1000 (greater values go to the last bin).
int histogram_bin(uint32_t damage);

// The bin's damage range as text: "0.0", "0.1–5.0", ..., "95.1–100.0".
void histogram_bin_label(int bin, char text[BIN_LABEL_SIZE]);

// The frame every chart shares, for the pages' own charts: an <svg> of
// CHART_WIDTH x CHART_HEIGHT whose plot starts PLOT_LEFT from its left and
// PLOT_TOP from its top and is PLOT_WIDTH wide.
constexpr int CHART_WIDTH = 640;
constexpr int CHART_HEIGHT = 300;
constexpr int PLOT_LEFT = 60;    // room for the y labels and title
constexpr int PLOT_RIGHT = 16;
constexpr int PLOT_TOP = 14;
constexpr int PLOT_WIDTH = CHART_WIDTH - PLOT_LEFT - PLOT_RIGHT;

// Opens the <svg> of class "chart" with its id and accessible label.
void write_svg_start(FILE* file, const char* id, const char* label, int width = CHART_WIDTH,
                     int height = CHART_HEIGHT);

// Axis lines round a plot plot_height high (and plot_width wide, in a chart
// chart_height high), and the two axis titles.
void write_axes(FILE* file, int plot_height, const char* x_title, const char* y_title,
                int plot_width = PLOT_WIDTH, int chart_height = CHART_HEIGHT);

// A horizontal grid line at y across a plot plot_width wide, and its label
// left of the plot.
void write_y_tick(FILE* file, double y, const char* label, int plot_width = PLOT_WIDTH);

// The y ticks of a plot plot_height high (and plot_width wide) for values
// from 0 to at least `most`, at a round step: grid lines and labels.
// Returns the value at the plot's top.
uint32_t write_y_scale(FILE* file, uint32_t most, int plot_height, int plot_width = PLOT_WIDTH);

// The y ticks of a plot plot_height high for 0 to 100 (percent) in steps of
// 20: grid lines and labels.
void write_percent_ticks(FILE* file, int plot_height);

// The histogram as an <svg> with labelled axes.
// count_title names what the bars count ("Screenshots", "Hits").
void write_histogram_svg(FILE* file, const uint32_t counts[HISTOGRAM_BINS],
                         const char* count_title = "Screenshots");

// The damage over time as an <svg>: the sessions side by side, each a panel
// (<g class="session"> with data-first, data-count, data-start, data-end)
// with its own start and end in local time below it, its points as circles
// joined in time order by a line; damage up. points are in time order.
void write_timeline_svg(FILE* file, const TimePoint* points, uint32_t count);

// A gauge crop as the page shows it: the PNG scaled CROP_SCALE times with
// sharp pixels, and a mark above and below the bar where its filled part
// ends.
constexpr int CROP_SCALE = 2;

struct CropFigure {
    int width, height;  // of the crop, in screenshot pixels
    int bar_end;        // x just past the filled part, in the crop
    const uint8_t* png;
    size_t png_size;
};

// Writes the figure as a <div class="crop"> holding the <img> and the mark.
void write_crop_figure(FILE* file, const CropFigure& figure);
