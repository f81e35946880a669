// layout_vote.h - which layout a recording shows: a vote of its frames.
//
//     LayoutVote vote = {};
//     for each frame: vote_frame(&vote, best_layout, best_score);  // choose_gauge_type's
//     int layout = voted_layout(vote);          // -1 when no frame voted
//     int median = median_vote_score(vote);
//
// A frame votes for its best layout unless that scores over
// MAX_MATCH_SCORE; the layout with the most votes wins (ties go to the
// earlier layout). The voting frames' scores are kept as a histogram, so
// their median is exact in fixed memory.
#pragma once

#include "reading/gauge.h"

#include <cstdint>

struct LayoutVote {
    uint64_t votes[GAUGE_TYPE_COUNT];
    uint64_t score_counts[MAX_MATCH_SCORE + 1];
    uint64_t voting_frames;
};

// best_layout -1 (no candidate) or a score over MAX_MATCH_SCORE: no vote.
void vote_frame(LayoutVote* vote, int best_layout, int best_score);

int voted_layout(const LayoutVote& vote);

// The lower middle score of the voting frames; 0 when none voted.
int median_vote_score(const LayoutVote& vote);
