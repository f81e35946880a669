// recording_truth.h - the test clips of the fixture recording_clips
// (tests/reading/make-recording-clip) and the truth of their hits, as
// recording_maker writes it: the layout's row on the first line, then one
// line per hit, "POSITION READING DAMAGE".
//
//     Truth truth = read_truth("h264-1080.mp4");   // from RECORDING_CLIPS_DIR
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

const std::string CLIPS = RECORDING_CLIPS_DIR;

struct TrueHit {
    double position;
    uint32_t reading, damage;
};

struct Truth {
    int layout = -1;
    std::vector<TrueHit> hits;
};

inline Truth read_truth(const std::string& clip) {
    Truth truth;
    std::ifstream in(CLIPS + "/" + clip + ".truth");
    in >> truth.layout;
    TrueHit hit;
    while (in >> hit.position >> hit.reading >> hit.damage) truth.hits.push_back(hit);
    return truth;
}
