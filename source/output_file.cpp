// output_file.cpp - the files the program writes (see output_file.h).
#include "output_file.h"

#include <cstring>

bool output_file_open(OutputFile* out, const char* name) {
    snprintf(out->target, sizeof out->target, "%s", name);
    out->temporary[0] = '\0';
    out->direct = true;
    out->file = fopen(name, "wb");
    return out->file != nullptr;
}

bool output_file_commit(OutputFile* out) {
    bool ok = !ferror(out->file);
    ok = fclose(out->file) == 0 && ok;
    out->file = nullptr;
    return ok;
}

void output_file_abort(OutputFile* out) {
    fclose(out->file);
    out->file = nullptr;
}
