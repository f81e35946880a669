// groups_figures.cpp - the figures of several setups (see groups_figures.h).
#include "figures/groups_figures.h"

#include "figures/damage.h"
#include "figures/order_statistics.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

static bool group_figures(GroupSample& sample, int index, GroupFigures* out) {
    std::sort(sample.damage, sample.damage + sample.count);
    uint64_t sum = 0;
    uint32_t misses = 0;
    for (uint32_t i = 0; i < sample.count; ++i) {
        sum += sample.damage[i];
        misses += sample.damage[i] == 0;
    }
    *out = {sample.name, index, sample.count, misses, static_cast<double>(sum) / sample.count,
            median_of_sorted(sample.damage, sample.count), {0, 0},
            wilson_interval(misses, sample.count), sample.count >= COMPARE_MIN_READ, sample.weak};
    return bootstrap_mean(sample.damage, sample.count, BOOTSTRAP_SEED, &out->mean_interval);
}

// The setups' figures, shared out among threads: each takes the next setup
// not yet taken. The setups are independent (each sorts and resamples its
// own values), so the figures are those of one thread.
struct FiguresWork {
    GroupSample* samples;
    GroupFigures* out;
    int count;
    std::atomic<int> next;
    std::atomic<bool> ok;
};

static void figures_worker(FiguresWork* work) {
    for (int g = work->next++; g < work->count; g = work->next++) {
        if (!group_figures(work->samples[g], g, &work->out[g])) work->ok = false;
    }
}

// std::thread reports a thread it cannot start by throwing: then the threads
// started, or the caller alone, do the work.
static bool start_figures_worker(std::thread* thread, FiguresWork* work) {
    try {
        *thread = std::thread(figures_worker, work);
        return true;
    } catch (...) {
        return false;
    }
}

static bool all_figures(GroupSample* samples, int count, int threads, GroupFigures* out) {
    constexpr int MOST_HELPERS = 31;
    FiguresWork work = {samples, out, count, {0}, {true}};
    std::thread helpers[MOST_HELPERS];
    int wanted = std::min(std::min(threads, count) - 1, MOST_HELPERS), started = 0;
    while (started < wanted && start_figures_worker(&helpers[started], &work)) ++started;
    figures_worker(&work);
    for (int i = 0; i < started; ++i) helpers[i].join();
    return work.ok;
}

// The Kruskal-Wallis test of the tested setups.
static bool test_groups(const GroupSample* samples, GroupsComparison* c) {
    const uint32_t** values = static_cast<const uint32_t**>(malloc(c->tested * sizeof(uint32_t*)));
    size_t* sizes = static_cast<size_t*>(malloc(c->tested * sizeof(size_t)));
    bool ok = values && sizes;
    for (int g = 0, at = 0; ok && g < c->count; ++g) {
        if (!c->groups[g].tested) continue;
        values[at] = samples[c->groups[g].sample].damage;
        sizes[at++] = c->groups[g].read;
    }
    ok = ok && kruskal_wallis(values, sizes, c->tested, &c->test);
    free(values);
    free(sizes);
    return ok;
}

// Every pair of tested setups, rank-tested, Holm-adjusted.
static bool test_pairs(const GroupSample* samples, GroupsComparison* c) {
    int most = c->tested * (c->tested - 1) / 2;
    c->pairs = static_cast<PairTest*>(malloc(most * sizeof(PairTest)));
    double* p = static_cast<double*>(malloc(most * sizeof(double)));
    double* adjusted = static_cast<double*>(malloc(most * sizeof(double)));
    bool ok = c->pairs && p && adjusted;
    for (int i = 0; ok && i < c->count; ++i) {
        for (int j = i + 1; c->groups[i].tested && j < c->count; ++j) {
            if (!c->groups[j].tested) continue;
            const GroupSample& a = samples[c->groups[j].sample];
            const GroupSample& b = samples[c->groups[i].sample];
            RankTest test = rank_test(a.damage, a.count, b.damage, b.count);
            p[c->pair_count] = test.p;
            c->pairs[c->pair_count++] = {i, j, test.p, 1, false};
        }
    }
    if (ok) holm_adjust(p, c->pair_count, adjusted);
    for (int k = 0; ok && k < c->pair_count; ++k) {
        c->pairs[k].adjusted = adjusted[k];
        c->pairs[k].differs = adjusted[k] < COMPARE_SIGNIFICANCE;
    }
    free(p);
    free(adjusted);
    return ok;
}

bool compare_groups(GroupSample* samples, int count, int threads, GroupsComparison* c) {
    *c = {nullptr, count, 0, false, {0, 1, 0}, false, nullptr, 0};
    c->groups = static_cast<GroupFigures*>(malloc((count > 0 ? count : 1) * sizeof(GroupFigures)));
    if (!c->groups || !all_figures(samples, count, threads, c->groups)) return false;
    for (int g = 0; g < count; ++g) c->tested += c->groups[g].tested;
    std::stable_sort(c->groups, c->groups + count, [](const GroupFigures& x, const GroupFigures& y) {
        return x.mean > y.mean;
    });
    c->enough = c->tested >= 2;
    if (c->enough && !test_groups(samples, c)) return false;
    c->differs = c->enough && c->test.p < COMPARE_SIGNIFICANCE;
    return !c->differs || test_pairs(samples, c);
}

void groups_release(GroupsComparison* comparison) {
    free(comparison->groups);
    free(comparison->pairs);
    comparison->groups = nullptr;
    comparison->pairs = nullptr;
}

bool group_beats(const GroupsComparison& c, int index, int other) {
    for (int k = 0; k < c.pair_count; ++k) {
        const PairTest& pair = c.pairs[k];
        if (pair.higher == index && pair.lower == other) return pair.differs;
    }
    return false;
}

// Appends text, cut short where it would not fit.
static void append(char* text, const char* more) {
    size_t used = strlen(text);
    snprintf(text + used, GROUPS_SENTENCE_SIZE - used, "%s", more);
}

// Appends the names of the chosen groups: "a", "a and b", "a, b and c".
static void append_names(char* text, const GroupsComparison& c, const int* chosen, int n) {
    for (int k = 0; k < n; ++k) {
        if (k > 0) append(text, k == n - 1 ? " and " : ", ");
        append(text, c.groups[chosen[k]].name);
    }
}

// Whether a setup with a higher average beats group g.
static bool beaten_by_any(const GroupsComparison& c, int g) {
    for (int other = 0; other < g; ++other) {
        if (group_beats(c, other, g)) return true;
    }
    return false;
}

static void difference_sentence(const GroupsComparison& c, char* text, int* chosen) {
    int top = 0, beaten = 0, leaders = 0;
    while (!c.groups[top].tested) ++top;
    for (int g = 0; g < c.count; ++g) {
        if (g != top && c.groups[g].tested && group_beats(c, top, g)) chosen[beaten++] = g;
    }
    if (beaten > 0) {
        snprintf(text, GROUPS_SENTENCE_SIZE, "%s does the most damage; it beats ",
                 c.groups[top].name);
        append_names(text, c, chosen, beaten);
    } else {
        for (int g = 0; g < c.count; ++g) {
            if (c.groups[g].tested && !beaten_by_any(c, g)) chosen[leaders++] = g;
        }
        snprintf(text, GROUPS_SENTENCE_SIZE, "No setup clearly does the most damage; ");
        append_names(text, c, chosen, leaders);
        append(text, leaders == 1 ? " leads" : " lead");
    }
    append(text, " (Holm-adjusted rank tests).");
}

void groups_sentence(const GroupsComparison& c, char text[GROUPS_SENTENCE_SIZE]) {
    if (!c.enough) {
        snprintf(text, GROUPS_SENTENCE_SIZE, "Too few setups to compare: at least two with %u "
                 "screenshots read each are needed.", COMPARE_MIN_READ);
        return;
    }
    if (!c.differs) {
        char p[COMPARE_CELL_SIZE];
        format_p_value(c.test.p, p);
        snprintf(text, GROUPS_SENTENCE_SIZE,
                 "No clear difference between the %d setups (%s, Kruskal\xE2\x80\x93Wallis).",
                 c.tested, p);
        return;
    }
    int* chosen = static_cast<int*>(calloc(static_cast<size_t>(c.count), sizeof(int)));
    if (!chosen) {
        snprintf(text, GROUPS_SENTENCE_SIZE, "The setups differ (Holm-adjusted rank tests).");
        return;
    }
    difference_sentence(c, text, chosen);
    free(chosen);
}

static void percent(double permille, char text[PERCENT_TEXT_SIZE]) {
    int64_t rounded = round_half_away(permille);
    format_percent(static_cast<uint32_t>(rounded < 0 ? 0 : rounded), text);
}

void group_cells(const GroupFigures& f, GroupCells* cells) {
    char mean[PERCENT_TEXT_SIZE], low[PERCENT_TEXT_SIZE], high[PERCENT_TEXT_SIZE];
    percent(f.mean, mean);
    percent(f.mean_interval.low, low);
    percent(f.mean_interval.high, high);
    snprintf(cells->read, GROUP_CELL_SIZE, "%u", f.read);
    snprintf(cells->average, GROUP_CELL_SIZE, "%s (%s to %s)", mean, low, high);
    percent(f.median, mean);
    snprintf(cells->median, GROUP_CELL_SIZE, "%s", mean);
    percent(f.misses_interval.low * 1000, low);
    percent(f.misses_interval.high * 1000, high);
    snprintf(cells->misses, GROUP_CELL_SIZE, "%u (%s to %s)", f.misses, low, high);
}

size_t text_characters(const char* text) {
    size_t n = 0;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; ++s) {
        n += (*s & 0xC0) != 0x80;
    }
    return n;
}
