// parallel_read.cpp - reading many screenshots on several threads (see parallel_read.h).
#include "reading/parallel_read.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// The results between the next item to hand back and the furthest item a
// worker has taken: item i lives in entry i % size.
struct Window {
    const ParallelRead* job;
    int size;
    GaugeResult* results;
    bool* done;
    GaugeCrop* crops;  // size of them when the job wants crops, else null
    std::mutex lock;
    std::condition_variable room;        // a worker waits here for the window to move
    std::condition_variable next_ready;  // the calling thread waits here for next_out
    int next_in;   // next item a worker takes
    int next_out;  // next item handed back
};

GaugeResult read_item(const ParallelRead& job, int item, GaugeCrop* crop) {
    const char* path = job.path_of(job.context, item);
    return job.read(path, job.want_crop ? crop : nullptr);
}

void hand_back(const ParallelRead& job, int item, const GaugeResult& result, const GaugeCrop* crop) {
    bool has_crop = job.want_crop && result.status == GaugeStatus::read;
    job.on_result(job.context, item, result, has_crop ? crop : nullptr);
}

// A worker: takes the next item while it lies inside the window, reads it
// into its entry without holding the lock (the entry is the worker's until
// it is marked done), and wakes the calling thread when it was the one
// awaited.
void work(Window* window) {
    const ParallelRead& job = *window->job;
    std::unique_lock<std::mutex> held(window->lock);
    for (;;) {
        window->room.wait(held, [window, &job] {
            return window->next_in >= job.count ||
                   window->next_in < window->next_out + window->size;
        });
        if (window->next_in >= job.count) return;
        int item = window->next_in++;
        // Nothing is left to take: the workers still waiting for room may go.
        if (window->next_in == job.count) window->room.notify_all();
        int entry = item % window->size;
        held.unlock();
        GaugeCrop* crop = window->crops ? &window->crops[entry] : nullptr;
        GaugeResult result = read_item(job, item, crop);
        held.lock();
        window->results[entry] = result;
        window->done[entry] = true;
        if (item == window->next_out) window->next_ready.notify_one();
    }
}

// The calling thread's part: hands the items back in order as they become
// done, and moves the window on after each.
void hand_back_in_order(Window* window) {
    const ParallelRead& job = *window->job;
    for (int item = 0; item < job.count; ++item) {
        int entry = item % window->size;
        {
            std::unique_lock<std::mutex> held(window->lock);
            window->next_ready.wait(held, [window, entry] { return window->done[entry]; });
        }
        const GaugeCrop* crop = window->crops ? &window->crops[entry] : nullptr;
        hand_back(job, item, window->results[entry], crop);
        {
            std::lock_guard<std::mutex> held(window->lock);
            window->done[entry] = false;
            window->next_out = item + 1;
        }
        window->room.notify_one();
    }
}

void read_one_by_one(const ParallelRead& job, GaugeCrop* crop) {
    for (int item = 0; item < job.count; ++item) {
        GaugeResult result = read_item(job, item, crop);
        hand_back(job, item, result, crop);
    }
}

// std::thread reports a thread it cannot start by throwing; that is the one
// failure here that must be caught.
bool start_worker(std::thread* thread, Window* window) {
    try {
        *thread = std::thread(work, window);
        return true;
    } catch (...) {
        return false;
    }
}

// Reads with `workers` threads; false when not one of them could start.
bool read_with_workers(Window* window, int workers) {
    std::thread threads[MAX_READ_THREADS];
    int started = 0;
    while (started < workers && start_worker(&threads[started], window)) ++started;
    if (started > 0) hand_back_in_order(window);
    for (int i = 0; i < started; ++i) threads[i].join();
    return started > 0;
}

// Allocates the window's entries; false when memory is short.
bool window_allocate(Window* window, const ParallelRead& job, int size) {
    window->job = &job;
    window->size = size;
    window->next_in = 0;
    window->next_out = 0;
    window->results = static_cast<GaugeResult*>(calloc(static_cast<size_t>(size), sizeof(GaugeResult)));
    window->done = static_cast<bool*>(calloc(static_cast<size_t>(size), sizeof(bool)));
    window->crops = nullptr;
    if (job.want_crop) {
        window->crops = static_cast<GaugeCrop*>(calloc(static_cast<size_t>(size), sizeof(GaugeCrop)));
    }
    return window->results && window->done && (window->crops || !job.want_crop);
}

void window_release(Window* window) {
    free(window->results);
    free(window->done);
    free(window->crops);
}

}  // namespace

bool read_in_parallel(const ParallelRead& job) {
    if (job.count <= 0) return true;
    int workers = job.threads < job.count ? job.threads : job.count;
    if (workers > MAX_READ_THREADS) workers = MAX_READ_THREADS;
    if (workers > 1) {
        Window window;
        bool read = window_allocate(&window, job, workers * READ_WINDOW_PER_THREAD) &&
                    read_with_workers(&window, workers);
        window_release(&window);
        if (read) return true;
    }
    // One thread, or no worker could be had: everything on this thread.
    GaugeCrop* crop = nullptr;
    if (job.want_crop) {
        crop = static_cast<GaugeCrop*>(calloc(1, sizeof(GaugeCrop)));
        if (!crop) return false;
    }
    read_one_by_one(job, crop);
    free(crop);
    return true;
}

int parallel_thread_count(const char* setting, unsigned hardware) {
    if (setting && *setting) {
        int value = 0;
        const char* c = setting;
        while (*c >= '0' && *c <= '9' && value <= MAX_READ_THREADS) value = value * 10 + (*c++ - '0');
        if (*c == '\0' && value >= 1 && value <= MAX_READ_THREADS) return value;
    }
    if (hardware < 1) return 1;
    return hardware > static_cast<unsigned>(MAX_READ_THREADS) ? MAX_READ_THREADS
                                                              : static_cast<int>(hardware);
}
