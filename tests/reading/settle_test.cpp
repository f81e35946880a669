// The settle rule (settle.h): which runs of readings settle and which
// settled values are hits, from tables of (time, reading) sequences.
#include "reading/recording/settle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int NO_MATCH = -1;  // a frame over MAX_MATCH_SCORE: a menu, a cutscene

struct Frame {
    int64_t ms;
    int reading;  // or NO_MATCH
};

struct Hit {
    int64_t ms;
    uint32_t reading, damage;
};

struct SettleCase {
    const char* name;
    std::vector<Frame> frames;
    std::vector<Hit> hits;
};

// Holds of a reading for `ms`, one frame every `step` ms from `*at` on.
void hold(std::vector<Frame>* frames, int64_t* at, int reading, int64_t ms, int64_t step = 16) {
    for (int64_t end = *at + ms; *at < end; *at += step) frames->push_back({*at, reading});
}

std::vector<Frame> holds(std::initializer_list<std::pair<int, int64_t>> list, int64_t step = 16) {
    std::vector<Frame> frames;
    int64_t at = 0;
    for (const auto& item : list) hold(&frames, &at, item.first, item.second, step);
    return frames;
}

std::vector<Frame> drain() {
    std::vector<Frame> frames;
    int64_t at = 0;
    hold(&frames, &at, 1000, 304);
    for (int reading = 990; reading > 800; reading -= 10) hold(&frames, &at, reading, 16);
    hold(&frames, &at, 800, 304);
    return frames;
}

std::vector<SettleCase> cases() {
    return {
        {"plain hit", holds({{1000, 304}, {800, 304}}), {{304, 800, 200}}},
        {"a wobble of two units is no hit",
         {{0, 500}, {16, 502}, {32, 498}, {48, 500}, {64, 501}, {80, 499}, {96, 502}, {112, 498},
          {128, 500}, {144, 498}, {160, 498}, {176, 498}, {192, 498}, {208, 498}, {224, 498}},
         {}},
        {"a drop of three units is a hit", holds({{500, 304}, {497, 304}}), {{304, 497, 3}}},
        {"a drain counts once, when it settles", drain(), {{304 + 19 * 16, 800, 200}}},
        {"a refill is no hit, the drop after it is",
         holds({{1000, 304}, {600, 304}, {900, 304}, {700, 304}}),
         {{304, 600, 400}, {912, 700, 200}}},
        {"a menu ends the run, the same value after it is no hit",
         holds({{800, 304}, {NO_MATCH, 208}, {800, 304}}), {}},
        {"a drop across a menu is a hit at the first frame after it",
         holds({{800, 304}, {NO_MATCH, 208}, {600, 304}}), {{512, 600, 200}}},
        {"a run shorter than 100 ms does not settle",
         holds({{1000, 304}, {700, 96}, {1000, 304}}), {}},
        {"a run of 100 ms settles", holds({{1000, 300}, {700, 100}, {1000, 300}}, 20),
         {{300, 700, 300}}},
        {"variable frame spacing: the timestamps decide",
         {{0, 1000}, {250, 1000}, {400, 600}, {530, 600}, {700, 400}, {760, 400}, {820, 400},
          {1500, 300}, {1550, 300}, {1590, 1000}},
         {{400, 600, 400}, {700, 400, 200}}},
        {"two frames 200 ms apart are a settled run",
         {{0, 900}, {200, 900}, {400, 500}, {600, 500}}, {{400, 500, 400}}},
        {"the first settled value has no previous", holds({{700, 304}}), {}},
        {"a short first run leaves no previous", holds({{1000, 48}, {700, 304}, {1000, 304}}), {}},
        {"the recording's end settles the last run", holds({{900, 304}, {400, 150}}),
         {{304, 400, 500}}},
        {"the value is the median of the run's readings",
         {{0, 1000}, {100, 1000}, {200, 600}, {220, 602}, {240, 602}, {260, 601}, {280, 602},
          {300, 600}, {320, 602}, {340, 602}},
         {{200, 602, 398}}},
    };
}

std::vector<Hit> settle_all(const std::vector<Frame>& frames) {
    Settle settle = {};
    std::vector<Hit> hits;
    auto take = [&](const SettleStep& step) {
        if (step.hit) hits.push_back({step.position_us / 1000, step.reading, step.damage});
    };
    for (const Frame& frame : frames) {
        bool matched = frame.reading != NO_MATCH;
        take(settle_frame(&settle, frame.ms * 1000, matched,
                          matched ? static_cast<uint32_t>(frame.reading) : 0));
    }
    take(settle_end(&settle));
    return hits;
}

std::string describe(const std::vector<Hit>& hits) {
    std::string text;
    for (const Hit& hit : hits) {
        text += std::to_string(hit.ms) + " ms " + std::to_string(hit.reading) + " -" +
                std::to_string(hit.damage) + "; ";
    }
    return text;
}

}  // namespace

TEST(Settle, TablesOfReadingsGiveTheirHits) {
    for (const SettleCase& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(settle_all(c.frames)), describe(c.hits));
    }
}

TEST(Settle, OnlyAMatchingFrameOutsideTheRunStartsANewRun) {
    Settle settle = {};
    EXPECT_TRUE(settle_frame(&settle, 0, true, 500).run_started);
    EXPECT_FALSE(settle_frame(&settle, 16000, true, 502).run_started);
    EXPECT_TRUE(settle_frame(&settle, 32000, true, 503).run_started);  // 3 from the first
    EXPECT_FALSE(settle_frame(&settle, 48000, false, 0).run_started);
    EXPECT_TRUE(settle_frame(&settle, 64000, true, 503).run_started);
}
