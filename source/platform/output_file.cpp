// output_file.cpp - the files the program writes (see platform.h).
//
// The platform layer decides how a name is written: through a temporary file
// that replaces the old file only when complete and flushed (a regular file,
// or nothing yet), or directly (a device or a named pipe).
#include "platform/output_start.h"
#include "platform/platform.h"


bool output_file_open(OutputFile* out, const char* name) {
    snprintf(out->target, sizeof out->target, "%s", name);
    out->temporary[0] = '\0';
    out->error = 0;
    clear_system_error();
    OutputStart start =
        output_start(name, out->target, out->temporary, OUTPUT_PATH_SIZE, &out->file);
    out->direct = start == OutputStart::direct;
    if (start == OutputStart::refused) out->error = last_system_error();
    return start != OutputStart::refused;
}

bool output_file_hand_over(OutputFile* out) {
    if (out->direct) return true;
    bool ok = fclose(out->file) == 0;
    out->file = nullptr;
    return ok;
}

const char* output_file_path(const OutputFile* out) {
    return out->direct ? out->target : out->temporary;
}

bool output_file_commit(OutputFile* out) {
    if (!out->file) {  // handed over: finish the file as its writer left it
        clear_system_error();
        out->file = output_reopen(out->temporary);
        if (!out->file) {
            out->error = last_system_error();
            output_discard(nullptr, out->temporary);
            return false;
        }
    }
    bool ok;
    // A failed write before the commit left its error behind; a later
    // successful call may have cleared it, so the commit's own steps tell.
    int earlier = ferror(out->file) ? last_system_error() : 0;
    clear_system_error();
    if (out->direct) {
        ok = !ferror(out->file);
        ok = fclose(out->file) == 0 && ok;
    } else {
        ok = output_replace(out->file, out->temporary, out->target);
    }
    out->file = nullptr;
    if (!ok) out->error = last_system_error() ? last_system_error() : earlier;
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
