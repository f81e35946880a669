// recording_name.cpp - which names are recordings (see recording.h).
#include "reading/recording/recording.h"

#include "reading/names.h"

#include <cstring>

static const char* const RECORDING_ENDINGS[] = {".mp4", ".mov", ".mkv", ".webm", ".flv", ".ts"};

bool is_recording_name(const char* name) {
    size_t length = strlen(name);
    for (const char* ending : RECORDING_ENDINGS) {
        size_t size = strlen(ending);
        if (length > size && same_text_ignoring_case(name + length - size, ending)) return true;
    }
    return false;
}
