// watch.h - the watch mode: every new screenshot read as soon as it is written.
//
//     healthgauge -watch      (or -w)
//
// Waits in the working directory and reads each PNG that is written, renamed
// or moved into it (listing rules: extension png in any case, a name not
// beginning with a dot, a regular file, not in a subdirectory) once its
// writer is done, and shows the result as the latest mode does: "51.6% from
// NAME" and 51.6% on the clipboard, or the failure's message and an emptied
// clipboard. Files already there when the watch starts are not read.
//
// A screenshot is complete when the system says its writer is done (see
// platform.h) and the file ends with PNG's IEND chunk. One that does not yet
// end with it is looked at again on its next change, or after short waits for
// up to COMPLETION_WAIT_MS after its last change, and then read as it is.
// Repeated news of one write gives one reading; a file written again is read
// again. When the system drops news, the folder is listed and every PNG
// written since the last reading is read. When the folder cannot be watched,
// it is listed every second instead.
//
// Ctrl+C ends the watch with one line, "Read N screenshots, average damage
// D% (health left H%)" (N counts the screenshots that gave a reading; H is
// their truncated average reading, D its damage), as does the folder going away, after
// "Error: Stopped watching: the folder can no longer be read.".
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int COMPLETION_WAIT_MS = 3000;

// The watch mode; returns when it is stopped.
void run_watch();

// On a terminal, standard error shows a status line, redrawn in place every
// second and taken away before any line is printed (progress.h):
//   Watching: 12 read, average damage 43.1%, last reading 51.6% 0:42 ago
// A redirected standard error never gets it.
constexpr int STATUS_INTERVAL_MS = 1000;

// The status line into text: "Watching: no screenshot read yet" before the
// first reading, else as above with N the readings, D the damage of their
// truncated average, the last reading and the time since it. Returns its
// length.
int format_watch_status(char* text, size_t size, uint32_t count, uint64_t sum,
                        uint32_t last_reading, long seconds_ago);

// The session's closing line into text: "Read N screenshots, average damage
// D% (health left H%)" or "Read 0 screenshots".
void format_watch_summary(uint32_t count, uint64_t sum, char* text, int text_size);
