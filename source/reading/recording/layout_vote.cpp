// layout_vote.cpp - the layout vote of a recording's frames (see layout_vote.h).
#include "reading/recording/layout_vote.h"

void vote_frame(LayoutVote* vote, int best_layout, int best_score) {
    if (best_layout < 0 || best_layout >= GAUGE_TYPE_COUNT) return;
    if (best_score < 0 || best_score > MAX_MATCH_SCORE) return;
    ++vote->votes[best_layout];
    ++vote->score_counts[best_score];
    ++vote->voting_frames;
}

int voted_layout(const LayoutVote& vote) {
    int best = -1;
    for (int layout = 0; layout < GAUGE_TYPE_COUNT; ++layout) {
        if (vote.votes[layout] == 0) continue;
        if (best < 0 || vote.votes[layout] > vote.votes[best]) best = layout;
    }
    return best;
}

int median_vote_score(const LayoutVote& vote) {
    uint64_t wanted = (vote.voting_frames + 1) / 2;
    uint64_t seen = 0;
    for (int score = 0; score <= MAX_MATCH_SCORE; ++score) {
        seen += vote.score_counts[score];
        if (wanted > 0 && seen >= wanted) return score;
    }
    return 0;
}
