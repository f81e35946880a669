// output_file.h - the files the program writes, replaced whole or not at all.
//
//     OutputFile out;
//     if (!output_file_open(&out, "raw.txt")) ... it cannot be created ...
//     fprintf(out.file, ...);
//     if (!output_file_commit(&out)) ... a write failed; the old file stands ...
//
// output_file_abort(&out) drops what was written. Every OutputFile that is
// opened ends in exactly one commit or abort.
//
// A regular file (or one that does not exist yet) is written to a temporary
// file in its folder and put in the old file's place by the commit only when
// every write and the flush to disk succeeded; otherwise, and when the program
// is interrupted, the old file stays exactly as it was and the temporary file
// goes. A symbolic link is followed: the file it leads to is replaced, the
// link stays. A device or a named pipe is written directly. A directory, a
// read-only file, or a folder that takes no new file cannot be opened.
#pragma once

#include <cstdio>

constexpr int OUTPUT_PATH_SIZE = 4096;

struct OutputFile {
    FILE* file;                        // where the content goes
    char target[OUTPUT_PATH_SIZE];     // the file that is replaced
    char temporary[OUTPUT_PATH_SIZE];  // written first, then put in target's place
    bool direct;                       // writing straight into target
};

// Starts writing the file called name; false when it cannot be opened.
bool output_file_open(OutputFile* out, const char* name);

// Finishes the file; false when any write, the flush or the replacement
// failed.
bool output_file_commit(OutputFile* out);

// Drops the file.
void output_file_abort(OutputFile* out);
