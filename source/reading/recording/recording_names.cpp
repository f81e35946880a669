// recording_names.cpp - recordings' name endings and their demuxers (see
// recording_names.h and recording.h).
#include "reading/recording/recording_names.h"

#include "reading/recording/recording.h"

#include <cstring>

struct RecordingEnding {
    const char* ending;
    const char* demuxer;
};

static const RecordingEnding RECORDING_ENDINGS[] = {
    {".mp4", "mov"}, {".mov", "mov"}, {".mkv", "matroska"}, {".webm", "matroska"},
    {".flv", "flv"}, {".ts", "mpegts"},
};

static bool ends_with_any_case(const char* name, const char* ending) {
    size_t length = strlen(name), ending_length = strlen(ending);
    if (length < ending_length) return false;
    const char* tail = name + length - ending_length;
    for (size_t i = 0; i < ending_length; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

const char* recording_demuxer(const char* name) {
    if (!name) return nullptr;
    for (const RecordingEnding& entry : RECORDING_ENDINGS) {
        if (ends_with_any_case(name, entry.ending)) return entry.demuxer;
    }
    return nullptr;
}

bool is_recording_name(const char* name) {
    return recording_demuxer(name) != nullptr;
}
