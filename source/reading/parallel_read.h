// parallel_read.h - reading many screenshots on several threads, with the
// results handed back one by one in their order.
//
//     ParallelRead job = {};
//     job.count = count;             // items 0..count-1
//     job.threads = parallel_thread_count(getenv("HEALTHGAUGE_THREADS"),
//                                         std::thread::hardware_concurrency());
//     job.want_crop = false;
//     job.path_of = path_of;         // item -> path; called on any thread
//     job.read = read_gauge;         // reads one path (screenshot.h)
//     job.on_result = on_result;     // called on this thread, items in order
//     job.context = &state;
//     if (!read_in_parallel(job)) ... not even one item could be read ...
//
// Worker threads read the items; the calling thread waits for item 0, hands
// it to on_result, then item 1, and so on: each result goes out as soon as
// it and every earlier one are read, so what on_result does (print, write a
// file) happens exactly as if the items were read one after another. With
// one thread no thread is started and every item is read right here.
//
// Memory is bounded whatever the count: each worker decodes one screenshot
// at a time, and a worker never takes an item more than READ_WINDOW_PER_THREAD
// x threads ahead of the next one to be handed back, so at most that many
// results (and crops) wait at once.
//
// Nothing here prints. path_of, read and on_result must not touch shared
// state without their own care: path_of and read run on the workers, at the
// same time as each other and as on_result.
#pragma once

#include "reading/gauge.h"

constexpr int MAX_READ_THREADS = 32;
constexpr int READ_WINDOW_PER_THREAD = 4;

struct ParallelRead {
    int count;       // items 0..count-1
    int threads;     // 1..MAX_READ_THREADS; never more workers than items
    bool want_crop;  // give read a crop, and hand it back with each item read
    const char* (*path_of)(void* context, int item);
    GaugeResult (*read)(const char* path, GaugeCrop* crop);
    // crop is null unless want_crop is set and the item's status is read.
    void (*on_result)(void* context, int item, const GaugeResult& result, const GaugeCrop* crop);
    void* context;
};

// Reads every item and hands each result to on_result in item order. False
// only when not even the memory for one result could be had; then nothing is
// read. When some worker threads cannot be started, the others (or this
// thread alone) do all the reading.
bool read_in_parallel(const ParallelRead& job);

// The number of reading threads: `setting` (the text of HEALTHGAUGE_THREADS,
// null when unset) when it is a whole number from 1 to MAX_READ_THREADS,
// otherwise `hardware` (the machine's hardware threads, 0 when unknown)
// brought into 1..MAX_READ_THREADS.
int parallel_thread_count(const char* setting, unsigned hardware);
