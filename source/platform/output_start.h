// output_start.h - what each platform's output unit (posix/output.cpp,
// win32/output.cpp) gives output_file.cpp, the one user of it: a file the
// program writes is started, then replaced whole or dropped.
//
//     FILE* file;
//     char target[N], temporary[N];
//     switch (output_start("raw.txt", target, temporary, N, &file)) {
//     case OutputStart::temporary: write to file, then output_replace(file, temporary, target)
//                                  (or output_discard(file, temporary) to drop it)
//     case OutputStart::direct:    write to file, then fclose(file)
//     case OutputStart::refused:   the file cannot be opened
//     }
//
// While a temporary file exists, an interruption of the program (see
// interrupts_begin) removes it before the program ends.
#pragma once

#include <cstddef>
#include <cstdio>

enum class OutputStart { temporary, direct, refused };

// Starts writing the file that name leads to, following symbolic links:
// - a regular file that may be written, or nothing yet: creates an empty
//   temporary file in that file's own folder and opens *file on it; target
//   then names the file to replace (a link's target, the link staying as it
//   is) and temporary the temporary file, both in `size` bytes;
// - a device or a named pipe: opens name itself for writing, as it is;
// - a directory, a read-only file or one this user may not write, a folder
//   that takes no new file, or a name too long: refused (nothing is changed).
OutputStart output_start(const char* name, char* target, char* temporary, size_t size,
                         FILE** file);

// Flushes file, writes it through to the disk, closes it and puts temporary
// in target's place. False when any step failed (an earlier write included):
// the temporary file is then removed and target left exactly as it was.
bool output_replace(FILE* file, const char* temporary, const char* target);

// Closes file (when not null) and removes the temporary file.
void output_discard(FILE* file, const char* temporary);

// Opens a temporary file that output_start made again, after another writer
// wrote it by name, for output_replace; null when it cannot.
FILE* output_reopen(const char* temporary);
