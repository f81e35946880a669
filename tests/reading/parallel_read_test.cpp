// Reading on several threads: results come back in item order on the
// calling thread, each with its own crop, while no worker runs further ahead
// than the window allows; and the thread count that HEALTHGAUGE_THREADS sets.
#include "reading/parallel_read.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the stand-in reader sees; it has no context of its own, so it lives
// here, one job at a time.
struct ReaderState {
    std::atomic<int> started{0};     // reads begun
    std::atomic<int> reading_now{0};
    std::atomic<int> most_at_once{0};
    std::atomic<int> handed_back{0}; // results handed back so far
    std::atomic<int> furthest_lead{0};  // item - handed_back, most seen at a read's start
    int hold_first_until = 0;        // item 0 waits until this many reads began
    bool first_saw_too_many = false; // item 0 saw reads start past hold_first_until
    std::thread::id caller;
    std::atomic<bool> read_on_caller{false};
};
ReaderState* state;

std::vector<std::string> names_for(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(std::to_string(i));
    return names;
}

const char* path_of(void* context, int item) {
    return (*static_cast<std::vector<std::string>*>(context))[static_cast<size_t>(item)].c_str();
}

void note_most(std::atomic<int>& most, int value) {
    int seen = most.load();
    while (value > seen && !most.compare_exchange_weak(seen, value)) {
    }
}

// Holds item 0 until hold_first_until reads have begun (or 10 s), then
// watches for a while that no further read begins: the window is full.
void hold_first_item() {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (state->started.load() < state->hold_first_until &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    state->first_saw_too_many = state->started.load() != state->hold_first_until;
}

// Reads item N as a reading of N % 1001; odd items match no layout. The
// crop is marked with the item, the way a real read fills it.
GaugeResult stand_in_read(const char* path, GaugeCrop* crop) {
    int item = std::stoi(path);
    state->started.fetch_add(1);
    note_most(state->furthest_lead, item - state->handed_back.load());
    note_most(state->most_at_once, state->reading_now.fetch_add(1) + 1);
    if (std::this_thread::get_id() == state->caller) state->read_on_caller = true;
    if (item == 0 && state->hold_first_until > 0) hold_first_item();
    GaugeResult result = {GaugeStatus::read, static_cast<uint32_t>(item % 1001), 1, 0, 0};
    if (item % 2 == 1) result = {GaugeStatus::no_layout, 0, -1, 0, 0};
    if (crop) {
        crop->width = item;
        crop->pixels[sizeof crop->pixels - 1] = static_cast<uint8_t>(item);
    }
    state->reading_now.fetch_sub(1);
    return result;
}

struct Handed {
    std::vector<int> items;
    std::vector<std::string> faults;
};
Handed* handed;

void record(void*, int item, const GaugeResult& result, const GaugeCrop* crop) {
    if (std::this_thread::get_id() != state->caller) handed->faults.push_back("not the caller's thread");
    bool read = item % 2 == 0;
    if (read != (result.status == GaugeStatus::read) ||
        (read && result.reading != static_cast<uint32_t>(item % 1001))) {
        handed->faults.push_back("item " + std::to_string(item) + " got another item's result");
    }
    if (crop && !read) handed->faults.push_back("crop for unread item " + std::to_string(item));
    if (crop && (crop->width != item ||
                 crop->pixels[sizeof crop->pixels - 1] != static_cast<uint8_t>(item))) {
        handed->faults.push_back("item " + std::to_string(item) + " got another item's crop");
    }
    handed->items.push_back(item);
    state->handed_back.fetch_add(1);
}

struct JobRun {
    Handed handed;
    bool ok;
};

JobRun run_job(ReaderState& reader, int count, int threads, bool want_crop) {
    std::vector<std::string> names = names_for(count);
    JobRun run;
    state = &reader;
    handed = &run.handed;
    reader.caller = std::this_thread::get_id();
    ParallelRead job = {};
    job.count = count;
    job.threads = threads;
    job.want_crop = want_crop;
    job.path_of = path_of;
    job.read = stand_in_read;
    job.on_result = record;
    job.context = &names;
    run.ok = read_in_parallel(job);
    return run;
}

std::vector<int> zero_to(int count) {
    std::vector<int> items;
    for (int i = 0; i < count; ++i) items.push_back(i);
    return items;
}

}  // namespace

TEST(ParallelRead, HandsEveryResultBackOnceInOrderWithItsOwnCrop) {
    for (int threads : {1, 2, 3, 16, 32}) {
        for (bool want_crop : {false, true}) {
            ReaderState reader;
            JobRun run = run_job(reader, 500, threads, want_crop);
            EXPECT_TRUE(run.ok);
            EXPECT_EQ(run.handed.items, zero_to(500)) << threads << " threads";
            EXPECT_EQ(run.handed.faults, std::vector<std::string>()) << threads << " threads";
            EXPECT_LE(reader.most_at_once.load(), threads);
            EXPECT_LT(reader.furthest_lead.load(), threads * READ_WINDOW_PER_THREAD);
            EXPECT_EQ(reader.read_on_caller.load(), threads == 1) << threads << " threads";
        }
    }
}

TEST(ParallelRead, LaterItemsWaitForASlowFirstOneAndTheWindowStopsTheWorkers) {
    for (int threads : {2, 4}) {
        int window = threads * READ_WINDOW_PER_THREAD;
        ReaderState reader;
        reader.hold_first_until = window;  // items 1..window-1 finish while 0 is read
        JobRun run = run_job(reader, 200, threads, true);
        EXPECT_FALSE(reader.first_saw_too_many)
            << "reads began past the window while item 0 was still out: " << reader.started.load();
        EXPECT_EQ(reader.furthest_lead.load(), window - 1);
        EXPECT_EQ(run.handed.items, zero_to(200));
        EXPECT_EQ(run.handed.faults, std::vector<std::string>());
        EXPECT_GT(reader.most_at_once.load(), 1) << "never read two at once";
    }
}

TEST(ParallelRead, FewerItemsThanThreadsAndNoItems) {
    ReaderState reader;
    JobRun run = run_job(reader, 3, 32, true);
    EXPECT_EQ(run.handed.items, zero_to(3));
    EXPECT_LE(reader.most_at_once.load(), 3);

    ReaderState none;
    run = run_job(none, 0, 8, true);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(run.handed.items.empty());
    EXPECT_EQ(none.started.load(), 0);
}

TEST(ParallelRead, ThreadCountFromTheSettingOrTheMachine) {
    EXPECT_EQ(parallel_thread_count("1", 8), 1);
    EXPECT_EQ(parallel_thread_count("3", 8), 3);
    EXPECT_EQ(parallel_thread_count("16", 2), 16);
    EXPECT_EQ(parallel_thread_count("32", 2), 32);
    EXPECT_EQ(parallel_thread_count("07", 2), 7);
    // Anything else leaves the machine's count.
    for (const char* ignored : {"0", "33", "100", "-1", "+2", " 2", "2 ", "2x", "x", "", "1.5",
                                "99999999999999999999", "4294967298"}) {
        EXPECT_EQ(parallel_thread_count(ignored, 6), 6) << '"' << ignored << '"';
    }
    EXPECT_EQ(parallel_thread_count(nullptr, 2), 2);
    EXPECT_EQ(parallel_thread_count(nullptr, 0), 1) << "unknown hardware";
    EXPECT_EQ(parallel_thread_count(nullptr, 1), 1);
    EXPECT_EQ(parallel_thread_count(nullptr, 32), 32);
    EXPECT_EQ(parallel_thread_count(nullptr, 128), 32);
}
