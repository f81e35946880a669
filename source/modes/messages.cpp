// messages.cpp - what the modes tell the player about one screenshot (see messages.h).
#include "modes/messages.h"

#include "figures/damage.h"
#include "modes/report/report_data.h"
#include "platform/platform.h"
#include "reading/file_list.h"
#include "reading/other_pictures.h"
#include "reading/recording/recording.h"

#include <cstdio>
#include <cstring>


const char* load_problem_text(const GaugeResult& result, char* text, size_t size) {
    switch (result.load_problem) {
    case LoadProblem::cannot_open:
        if (result.load_error != 0) {
            char reason[256];
            snprintf(text, size, "it cannot be opened: %s",
                     system_error_text(result.load_error, reason, sizeof reason));
        } else {
            snprintf(text, size, "it cannot be opened");
        }
        break;
    case LoadProblem::not_png:
        snprintf(text, size, "it is not a PNG picture (another format, or no picture at all)");
        break;
    case LoadProblem::too_large:
        snprintf(text, size, "the picture is too large to read");
        break;
    case LoadProblem::cut_short:
        snprintf(text, size, "the file is cut short: it ends before the picture does");
        break;
    case LoadProblem::damaged:
    case LoadProblem::none:
        snprintf(text, size, "the PNG data is damaged");
        break;
    }
    return text;
}

void print_file_reason(const char* name, int error) {
    if (error == 0) return;
    char reason[256];
    fflush(stdout);
    fprintf(stderr, "healthgauge: %s: %s\n", name, system_error_text(error, reason, sizeof reason));
}

void print_size_mismatch(int width, int height, const char* path) {
    if (width <= 0 || height <= 0) return;
    if (size_fits_a_layout(width, height)) return;
    char sizes[64] = "";
    for (int i = 0; i < SCREEN_SIZE_COUNT; ++i) {
        size_t used = strlen(sizes);
        snprintf(sizes + used, sizeof sizes - used, "%s%d%s%d", i ? ", " : "",
                 SCREEN_SIZES[i].width, TIMES, SCREEN_SIZES[i].height);
    }
    fflush(stdout);
    fprintf(stderr, "healthgauge: %s: %d%s%d is not a screen size the gauge is read at (%s)\n",
            path, width, TIMES, height, sizes);
}

void print_read_failure(const GaugeResult& result, const char* path) {
    if (result.status == GaugeStatus::load_failed) {
        printf("Error: Failed to load %s\n", path);
        // A file the system opened but that is no regular file (a named pipe,
        // a device) comes with no error code: then there is no reason to give.
        if (result.load_problem == LoadProblem::cannot_open && result.load_error == 0) return;
        char reason[320];
        fflush(stdout);
        fprintf(stderr, "healthgauge: %s: %s\n", path, load_problem_text(result, reason, sizeof reason));
    } else if (result.status == GaugeStatus::no_layout) {
        printf("Warning: Could not find matching health bar type for screenshot %s\n", path);
        print_size_mismatch(result.width, result.height, path);
    }
}

void print_weak_match(const GaugeResult& result, const char* path) {
    MatchDoubt doubt = match_doubt(result);
    if (doubt == MatchDoubt::none) return;
    char layout[LAYOUT_TEXT_SIZE];
    layout_text(result, layout);
    fflush(stdout);
    if (doubt == MatchDoubt::one_side) {
        fprintf(stderr, "healthgauge: %s: weak match (%d%s%d read as %s): is it a game screenshot?\n",
                path, result.width, TIMES, result.height, layout);
    } else {
        fprintf(stderr, "healthgauge: %s: weak match (score %d of %d, %s): is it a game screenshot?\n",
                path, result.score, MAX_MATCH_SCORE, layout);
    }
}

// Tells of the recordings of file_list, which a folder's scan leaves alone:
//   healthgauge: 2 recordings were not read (name one to read its hits: healthgauge -scan "a b.mp4")
static void print_recordings_not_read(const char* folder) {
    uint32_t count = 0;
    const FileEntry* first = nullptr;
    for (int slot = 0; slot < file_list.file_count; ++slot) {
        const FileEntry& entry = file_list.entries[file_list.index[slot]];
        if (!entry.in_use || entry.is_directory || !is_recording_name(entry.path)) continue;
        if (!first) first = &entry;
        ++count;
    }
    if (count == 0) return;
    char path[OUTPUT_PATH_SIZE];
    if (folder) {
        snprintf(path, sizeof path, "%s%c%s", folder, PATH_SEPARATOR, first->path);
    } else {
        snprintf(path, sizeof path, "%s", first->path);
    }
    const char* quote = strchr(path, ' ') ? "\"" : "";
    fflush(stdout);
    fprintf(stderr, "healthgauge: %s%s%u %s (name one to read its hits: healthgauge -scan %s%s%s)\n",
            folder ? folder : "", folder ? ": " : "", count,
            count == 1 ? "recording was not read" : "recordings were not read", quote, path, quote);
}

void print_other_pictures(const char* folder) {
    OtherPictures others = count_other_pictures();
    bool flushed = false;
    for (int kind = 0; kind < OTHER_PICTURE_KINDS; ++kind) {
        uint32_t count = others.count[kind];
        if (count == 0) continue;
        if (!flushed) fflush(stdout);
        flushed = true;
        fprintf(stderr, "healthgauge: %s%s%u .%s %s (only PNG screenshots are read)\n",
                folder ? folder : "", folder ? ": " : "", count, OTHER_PICTURE_EXTENSIONS[kind],
                count == 1 ? "file was not read" : "files were not read");
    }
    print_recordings_not_read(folder);
}

void print_no_png_folder() {
    char path[4096];
    const char* folder = file_list.root ? file_list.root : ".";
    if (strcmp(folder, ".") == 0 && current_folder(path, sizeof path)) folder = path;
    fflush(stdout);
    fprintf(stderr, "healthgauge: no PNG file in %s\n", folder);
}

void print_listing_failure() {
    if (!file_list.failed) return;
    printf("FindFirstFile failed (%d)\n", file_list.error);
    print_file_reason("the folder cannot be listed", file_list.error);
}

static bool lost = false;

void flush_console() {
    if (fflush(stdout) != 0 && output_reader_gone()) lost = true;
}

bool console_lost() { return lost; }

// A stop request that ended the wait is no news: the player asked for it.
static void tell_clipboard_outcome(ClipboardOutcome outcome) {
    if (outcome != ClipboardOutcome::timed_out) return;
    fprintf(stderr, "healthgauge: the clipboard was not set (its helper did not finish in %d s)\n",
            CLIPBOARD_HELPER_WAIT_MS / 1000);
}

void show_reading(const GaugeResult& result, const char* path) {
    if (result.status != GaugeStatus::read) {
        print_read_failure(result, path);
        flush_console();
        tell_clipboard_outcome(clipboard.empty());
        return;
    }
    char text[PERCENT_TEXT_SIZE];
    format_percent(result.reading, text);
    printf("%s from %s\n", text, path);
    flush_console();
    print_weak_match(result, path);
    tell_clipboard_outcome(clipboard.put_text(text));
}
