// messages.h - what the modes tell the player about one screenshot.
//
//     GaugeResult result = read_gauge(path);
//     if (result.status != GaugeStatus::read) print_read_failure(result, path);
//
// The texts are the program's own and fixed: scripts and players rely on
// them.
#pragma once

#include "reading/gauge.h"

#include <cstddef>

// The multiplication sign of "1920×1080", in UTF-8.
constexpr char TIMES[] = "\xC3\x97";

// Prints why a screenshot gave no reading:
//   Error: Failed to load NAME
//   Warning: Could not find matching health bar type for screenshot NAME
// and, on standard error, for a picture whose width and height both differ
// from every layout's (SCREEN_SIZES, gauge.h, are the sizes the game has):
//   healthgauge: NAME: 3840×2160 is not a screen size the gauge is read at (1920×1080, 2560×1440)
void print_read_failure(const GaugeResult& result, const char* path);

// The standard error line of print_read_failure for a picture (or a
// recording) of width x height that no layout has; nothing for a size that
// fits one, or an unknown one.
void print_size_mismatch(int width, int height, const char* path);

// Tells, on standard error, of a screenshot read whose match is weak
// (match_doubt, gauge.h), nothing for any other:
//   healthgauge: NAME: weak match (score 368 of 600, 1920×1080 B): is it a game screenshot?
//   healthgauge: NAME: weak match (1920×1200 read as 1920×1080 B): is it a game screenshot?
// The reading itself is shown and counted as any other.
void print_weak_match(const GaugeResult& result, const char* path);

// Tells, on standard error, of the pictures of file_list that are not PNG,
// one line per extension (lower case) that has some, after the listing:
//   healthgauge: 12 .jpg files were not read (only PNG screenshots are read)
//   healthgauge: 1 .bmp file was not read (only PNG screenshots are read)
// With a folder (compare's A and B), "healthgauge: FOLDER: 12 .jpg ...".
// Then the recordings there, which only a recording named on the command
// line is read from:
//   healthgauge: 2 recordings were not read (name one to read its hits: healthgauge -scan "a b.mp4")
void print_other_pictures(const char* folder);

// After "Error: Could not find any PNG file.", the folder it looked in, on
// standard error: "healthgauge: no PNG file in /home/p/shots" (the working
// directory's whole path, or the folder as it was typed).
void print_no_png_folder();

// Prints why the folder could not be listed, when the listing says so:
//   FindFirstFile failed (CODE)
// with the system's error code.
void print_listing_failure();

// The reasons, on standard error only, in a line of their own after the
// line on standard output that gives none:
//   healthgauge: NAME: it is not a PNG picture        (print_read_failure)
//   healthgauge: the folder cannot be listed: REASON  (print_listing_failure)
//   healthgauge: raw.txt: Permission denied           (print_file_reason)
// REASON is the system's message for the error code; nothing is printed
// when the code is 0 (unknown), nor for a screenshot that could not be opened
// without one.
void print_file_reason(const char* name, int error);

// The reason a screenshot did not load, in words (without the name).
const char* load_problem_text(const GaugeResult& result, char* text, size_t size);

// Shows a result as the latest-screenshot mode does: "51.6% from NAME" and
// the text 51.6% on the clipboard, or the failure's message and an emptied
// clipboard. A clipboard helper that did not finish is told on standard
// error:
//   healthgauge: the clipboard was not set (its helper did not finish in 3 s)
void show_reading(const GaugeResult& result, const char* path);

// Flushes standard output, and remembers when that failed because nobody
// reads it any more (a pipe closed by its reader).
void flush_console();

// True once flush_console found that nobody reads standard output.
bool console_lost();
