// recording_names.h - the demuxer a recording's name calls for.
//
//     const char* demuxer = recording_demuxer("session.MKV");  // "matroska"
//
// One table, read by is_recording_name (recording.h) too: nothing is
// probed, so the name's ending alone says how the file is opened.
#pragma once

// FFmpeg's name of the demuxer for the name's ending (any case), or null.
const char* recording_demuxer(const char* name);
