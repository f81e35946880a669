// progress.cpp - the scan's progress line on a terminal (see progress.h).
#include "modes/progress.h"

#include <chrono>

double progress_clock() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void progress_start(Progress* progress, int total, FILE* stream, double now) {
    progress->stream = stream;
    progress->total = total;
    progress->done = 0;
    progress->started = now;
    progress->drawn = now;
    progress->width = 0;
}

void format_duration(char* text, size_t size, long seconds) {
    if (seconds >= 3600) {
        snprintf(text, size, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        snprintf(text, size, "%ld:%02ld", seconds / 60, seconds % 60);
    }
}

// Cuts a length snprintf gave down to what the text holds.
static int fitted_length(int length, size_t size) {
    if (length < 0) return 0;
    if (static_cast<size_t>(length) >= size) return size > 0 ? static_cast<int>(size) - 1 : 0;
    return length;
}

int format_progress(char* text, size_t size, int done, int total, double seconds) {
    double rate = seconds > 0 ? done / seconds : 0;
    int length;
    if (done <= 0 || rate <= 0) {
        length = snprintf(text, size, "Reading screenshots: %d of %d", done, total);
    } else {
        char left[24];
        format_duration(left, sizeof left, static_cast<long>((total - done) / rate + 0.5));
        length = snprintf(text, size, "Reading screenshots: %d of %d, %.0f/s, %s left", done, total,
                          rate, left);
    }
    return fitted_length(length, size);
}

int format_recording_progress(char* text, size_t size, const char* name, double position,
                              double duration, uint64_t frames, double seconds) {
    char at[24], length_text[24], left[24];
    format_duration(at, sizeof at, static_cast<long>(position));
    double rate = seconds > 0 ? static_cast<double>(frames) / seconds : 0;
    double speed = seconds > 0 ? position / seconds : 0;
    int length;
    if (duration <= 0 || speed <= 0) {
        length = snprintf(text, size, "Reading %s: %s, %.0f frames/s", name, at, rate);
    } else {
        double remaining = duration > position ? (duration - position) / speed : 0;
        format_duration(length_text, sizeof length_text, static_cast<long>(duration + 0.5));
        format_duration(left, sizeof left, static_cast<long>(remaining + 0.5));
        length = snprintf(text, size, "Reading %s: %s of %s, %.0f frames/s, %.1f\xC3\x97 real time, %s left",
                          name, at, length_text, rate, speed, left);
    }
    return fitted_length(length, size);
}

void progress_offer_text(Progress* progress, const char* text, int length, double now) {
    if (!progress->stream) return;
    if (now - progress->started < PROGRESS_DELAY) return;
    if (now - progress->drawn < PROGRESS_INTERVAL) return;
    progress_show_text(progress, text, length, now);
}

void progress_show_text(Progress* progress, const char* text, int length, double now) {
    if (!progress->stream) return;
    // Spaces cover what is left of a longer line before.
    int pad = progress->width > length ? progress->width - length : 0;
    fprintf(progress->stream, "\r%s%*s", text, pad, "");
    if (pad > 0) fprintf(progress->stream, "\r%s", text);
    fflush(progress->stream);
    progress->width = length;
    progress->drawn = now;
}

static void draw(Progress* progress, double now) {
    char text[PROGRESS_TEXT_SIZE];
    int length = format_progress(text, sizeof text, progress->done, progress->total,
                                 now - progress->started);
    progress_show_text(progress, text, length, now);
}

void progress_update(Progress* progress, int done, double now) {
    progress->done = done;
    if (!progress->stream) return;
    if (now - progress->started < PROGRESS_DELAY) return;
    if (now - progress->drawn < PROGRESS_INTERVAL) return;
    draw(progress, now);
}

void progress_hide(Progress* progress, double now) {
    if (!progress->stream || progress->width == 0) return;
    fprintf(progress->stream, "\r%*s\r", progress->width, "");
    fflush(progress->stream);
    progress->width = 0;
    progress->drawn = now;
}
