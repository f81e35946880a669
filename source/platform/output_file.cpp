// output_file.cpp - the files the program writes (see platform.h).
//
// The platform layer decides how a name is written: through a temporary file
// that replaces the old file only when complete and flushed (a regular file,
// or nothing yet), or directly (a device or a named pipe).
#include "platform/platform.h"


bool output_file_open(OutputFile* out, const char* name) {
    snprintf(out->target, sizeof out->target, "%s", name);
    out->temporary[0] = '\0';
    OutputStart start =
        output_start(name, out->target, out->temporary, OUTPUT_PATH_SIZE, &out->file);
    out->direct = start == OutputStart::direct;
    return start != OutputStart::refused;
}

bool output_file_commit(OutputFile* out) {
    bool ok;
    if (out->direct) {
        ok = !ferror(out->file);
        ok = fclose(out->file) == 0 && ok;
    } else {
        ok = output_replace(out->file, out->temporary, out->target);
    }
    out->file = nullptr;
    return ok;
}

void output_file_abort(OutputFile* out) {
    if (out->direct) {
        fclose(out->file);
    } else {
        output_discard(out->file, out->temporary);
    }
    out->file = nullptr;
}
