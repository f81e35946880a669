// scan.h - the scan mode: the damage of every screenshot in the folder.
//
// Reads every PNG of the working directory in listing order and writes
//   raw.txt     one line per screenshot read: its damage, e.g. "46.3%"
//   output.txt  the summary: one line for a single screenshot, else seven
// Damage is 1000 minus the reading, shown as a percentage with one decimal.
// Lines end in CR LF.
#pragma once

#include "modes/recordings.h"
#include "reading/gauge.h"

#include <cstdint>
#include <cstdio>

// The scan mode.
void run_scan();

struct FileEntry;

// What another mode built on the scan (the report) is given of each PNG, in
// listing order, after the scan has printed that file's message if it had
// one. crop is null unless want_crop is set and the screenshot was read.
struct ScanHooks {
    bool want_crop;
    void (*on_result)(void* context, const FileEntry& entry, const GaugeResult& result,
                      const GaugeCrop* crop);
    void* context;
    // When not null: the listing's PNGs in listing order, before any is read.
    void (*on_listing)(void* context, const FileEntry* const* pngs, uint32_t count);
};

// The scan of recordings named on the command line in place of the
// folder's screenshots: every hit of each (recordings.h), raw.txt and
// output.txt as for screenshots, one line per hit. hooks may be null.
void run_scan_recordings(const NamedRecording* list, int count, const RecordingHooks* hooks);

// The scan mode, telling the hooks (when not null) about every PNG.
void run_scan_with(const ScanHooks* hooks);

// The scan's reading of a folder, for the modes built on it: reads every PNG
// of file_list (listed already; readings has a slot for each of its files)
// on as many threads as HEALTHGAUGE_THREADS or the machine says, in listing
// order printing each failing screenshot's message and each weak match's
// line (messages.h), writing its raw.txt line
// (when raw is not null) and telling the hooks (when not null), with the
// progress line on a terminal. First it tells of the pictures that are not
// PNG (print_other_pictures, naming the root when it is not "."). A PNG's path, in messages too, is its name
// for the working directory's listing and "ROOT/NAME" for another root.
// Returns how many were read.
uint32_t scan_read_listing(uint32_t* readings, FILE* raw, const ScanHooks* hooks);
