// The worker threads and their job queue (see workers.h).
//
// Positions are 64-bit job counts that never wrap in practice: the caller publishes `head`
// (jobs queued), each worker its `done` (jobs finished). Both sides spin briefly and then
// sleep (C++20 atomic wait) on a 32-bit bell; a side that moves a position rings the
// other's bell only when that one said it sleeps (the caller: for which count), so a
// running queue costs no system calls. Sleep flags, bells and positions are sequentially
// consistent, which rules out a lost wake-up: the sleeper raises its flag, reads the bell, then the
// position; the mover writes the position, then reads the flag, then rings. Either the sleeper sees
// the new position, or the mover sees the flag and the bell changes after the sleeper read it.
#include "glide/workers.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "glide/board.h"
#include "glide/board_debug.h"

namespace glide {

constinit int drawWorkers = 0;

namespace {

// A power of two; a frame of the reference scene (10,000 triangles) needs about one refill.
constexpr uint64_t kRingJobs = 8192;
constexpr int kSpins = 256;  // polls before sleeping (a few microseconds)
// Sleeping workers are woken once this many jobs wait for them (or when the caller is
// about to wait for them): the engine queues a triangle every microsecond or so, and a
// wake-up per triangle would cost more than drawing it.
constexpr uint64_t kWakeBatch = 64;

enum class JobKind : uint32_t { kTriangle, kClear, kStop };

struct alignas(64) Job {  // whole cache lines: the caller writes one while workers read another
    JobKind kind;
    int yStart, yEnd;
    BandFunction band;
    const void* context;
    alignas(32) unsigned char payload[kJobPayloadBytes];
};

struct alignas(64) Worker {
    std::atomic<uint64_t> done{0};  // jobs finished
    uint64_t pixels = 0;            // written since the last finishDrawing
    std::thread thread;
};

struct Pool {
    std::unique_ptr<Job[]> ring;
    alignas(64) std::atomic<uint64_t> head{0};
    alignas(64) std::atomic<bool> workersSleep{false};    // cleared by the one who rings
    std::atomic<uint32_t> headBell{0};                    // rung for sleeping workers
    alignas(64) std::atomic<uint64_t> callerWaitsFor{0};  // the count the caller sleeps for
    std::atomic<uint32_t> doneBell{0};                    // rung for the sleeping caller
    alignas(64) uint64_t queued = 0;                      // the caller's copy of head
    uint64_t rungAt = 0;   // queued when sleeping workers were last woken
    uint64_t allDone = 0;  // jobs every worker is known to have finished
    int workers = 0;
    Worker worker[kMaxWorkers];

    ~Pool() { stop(); }
    void stop();
};

// Constructed at the first board open, so it is destroyed before the board it draws on.
Pool& pool() {
    static Pool instance;
    return instance;
}

int requestedWorkers = -1;  // boardSetDrawWorkers; -1: from the environment
constinit thread_local uint64_t* threadPixels = nullptr;

void pause() {
    _mm_pause();
}

// Runs one job's share for worker `index` of `count`: the bands b with b % count == index.
void run(const Job& job, int index, int count) {
    const int firstBand = job.yStart / kBandRows;
    int band = firstBand + ((index - firstBand % count) + count) % count;
    if (job.kind == JobKind::kTriangle) {
        if (count == 1) {
            job.band(job.context, job.payload, job.yStart, job.yEnd);
            return;
        }
        for (; band * kBandRows < job.yEnd; band += count) {
            job.band(job.context, job.payload, std::max(job.yStart, band * kBandRows),
                     std::min(job.yEnd, (band + 1) * kBandRows));
        }
    } else {
        ClearRegion r;
        std::memcpy(&r, job.payload, sizeof r);
        for (; band * kBandRows < job.yEnd; band += count) {
            clearRows(r, band * kBandRows, (band + 1) * kBandRows);
        }
    }
}

void workerMain(Pool& p, int index, int count) {
    Worker& me = p.worker[index];
    threadPixels = &me.pixels;
    uint64_t next = me.done.load(std::memory_order_relaxed);
    for (;;) {
        uint64_t available = p.head.load(std::memory_order_acquire);
        for (int spin = 0; available == next && spin < kSpins; ++spin) {
            pause();
            available = p.head.load(std::memory_order_acquire);
        }
        while (available == next) {
            p.workersSleep.store(true, std::memory_order_seq_cst);
            const uint32_t bell = p.headBell.load(std::memory_order_seq_cst);
            if (p.head.load(std::memory_order_seq_cst) == next) p.headBell.wait(bell);
            available = p.head.load(std::memory_order_acquire);
        }
        for (; next != available; ++next) {
            const Job& job = p.ring[next & (kRingJobs - 1)];
            const bool stop = job.kind == JobKind::kStop;
            if (!stop) run(job, index, count);
            me.done.store(next + 1, std::memory_order_seq_cst);
            if (p.callerWaitsFor.load(std::memory_order_seq_cst) == next + 1) {
                p.doneBell.fetch_add(1, std::memory_order_seq_cst);
                p.doneBell.notify_all();
                // With both cores drawing, the caller would otherwise wait for a time slice
                // while the queue runs dry.
                std::this_thread::yield();
            }
            if (stop) return;
        }
    }
}

// Wakes sleeping workers (caller's thread).
void wake(Pool& p) {
    p.rungAt = p.queued;
    // One ring wakes every sleeper; until one sleeps again, publishing costs no system call.
    if (p.workersSleep.load(std::memory_order_seq_cst) &&
        p.workersSleep.exchange(false, std::memory_order_seq_cst)) {
        p.headBell.fetch_add(1, std::memory_order_seq_cst);
        p.headBell.notify_all();
    }
}

// Waits until every worker has finished `count` jobs (caller's thread).
void waitAll(Pool& p, uint64_t count, int spins = kSpins) {
    if (p.allDone >= count) return;
    wake(p);
    for (int i = 0; i < p.workers; ++i) {
        std::atomic<uint64_t>& done = p.worker[i].done;
        uint64_t value = done.load(std::memory_order_acquire);
        for (int spin = 0; value < count && spin < spins; ++spin) {
            pause();
            value = done.load(std::memory_order_acquire);
        }
        while (value < count) {
            p.callerWaitsFor.store(count, std::memory_order_seq_cst);
            const uint32_t bell = p.doneBell.load(std::memory_order_seq_cst);
            value = done.load(std::memory_order_seq_cst);
            if (value < count) p.doneBell.wait(bell);
            p.callerWaitsFor.store(0, std::memory_order_relaxed);
            value = done.load(std::memory_order_acquire);
        }
    }
    p.allDone = count;
}

// The next free job of the ring (waiting while it is full), to be published by publish().
Job& reserve(Pool& p) {
    if (p.queued - p.allDone >= kRingJobs) {
        // Wait for a quarter of the ring at once rather than for every single job, asleep
        // (that takes a while, and the core is better left to the workers).
        waitAll(p, p.queued - kRingJobs * 3 / 4, 0);
    }
    return p.ring[p.queued & (kRingJobs - 1)];
}

void publish(Pool& p) {
    ++p.queued;
    p.head.store(p.queued, std::memory_order_seq_cst);
    if (p.queued - p.rungAt >= kWakeBatch) wake(p);
}

void Pool::stop() {
    if (workers == 0) return;
    Job& job = reserve(*this);
    job.kind = JobKind::kStop;
    publish(*this);
    wake(*this);
    for (int i = 0; i < workers; ++i) worker[i].thread.join();
    allDone = queued;
    BoardStats& stats = board().stats;
    for (int i = 0; i < workers; ++i) {
        stats.pixels += worker[i].pixels;
        worker[i].pixels = 0;
    }
    workers = 0;
    drawWorkers = 0;
}

}  // namespace

void queueTriangle(const void* context, const void* setup, size_t bytes, int yStart, int yEnd,
                   BandFunction band) {
    Pool& p = pool();
    Job& job = reserve(p);
    job.kind = JobKind::kTriangle;
    job.yStart = yStart;
    job.yEnd = yEnd;
    job.band = band;
    job.context = context;
    std::memcpy(job.payload, setup, std::min(bytes, kJobPayloadBytes));
    publish(p);
}

void clearRows(const ClearRegion& r, int y0, int y1) {
    if (r.maxX <= r.minX) return;
    for (int y = std::max(y0, r.minY); y < std::min(y1, r.maxY); ++y) {
        const size_t row = size_t(y) * size_t(r.stride);
        std::fill(r.color + row + r.minX, r.color + row + r.maxX, r.pixel);
        if (r.depth != nullptr) {
            std::fill(r.depth + row + r.minX, r.depth + row + r.maxX, r.depthValue);
        }
    }
}

void queueClear(const ClearRegion& r) {
    if (r.maxX <= r.minX || r.maxY <= r.minY) return;
    Pool& p = pool();
    Job& job = reserve(p);
    job.kind = JobKind::kClear;
    job.yStart = r.minY;
    job.yEnd = r.maxY;
    job.band = nullptr;
    job.context = nullptr;
    static_assert(sizeof(ClearRegion) <= kJobPayloadBytes);
    std::memcpy(job.payload, &r, sizeof r);
    publish(p);
}

uint64_t jobsQueued() {
    return pool().queued;
}

bool jobsFinished(uint64_t count) {
    Pool& p = pool();
    if (p.workers == 0 || p.allDone >= count) return true;
    uint64_t least = p.queued;
    for (int i = 0; i < p.workers; ++i) {
        least = std::min(least, p.worker[i].done.load(std::memory_order_acquire));
    }
    p.allDone = least;
    return least >= count;
}

void waitForJobs(uint64_t count) {
    Pool& p = pool();
    if (p.workers > 0) waitAll(p, std::min(count, p.queued));
}

void finishDrawing() {
    if (drawWorkers == 0) return;
    Pool& p = pool();
    waitAll(p, p.queued);
    BoardStats& stats = board().stats;
    for (int i = 0; i < p.workers; ++i) {
        stats.pixels += p.worker[i].pixels;
        p.worker[i].pixels = 0;
    }
}

void countPixels(uint64_t pixels) {
    if (threadPixels != nullptr) {
        *threadPixels += pixels;
    } else {
        board().stats.pixels += pixels;
    }
}

int configuredWorkers() {
    if (requestedWorkers >= 0) return requestedWorkers;
    static const int fromEnvironment = [] {
        const char* text = std::getenv("HALCYON_BOARD_THREADS");
        int threads = 0;
        if (text != nullptr) threads = std::atoi(text);
        if (threads <= 0) threads = std::min(2, int(std::thread::hardware_concurrency()));
        // One drawing thread is the caller's own; more are workers splitting the rows. Two
        // workers beat one worker drawing everything beside the engine on the default demo
        // (fill-bound) and the reference scene, and lose only on the engine-heavy busy scene.
        return threads <= 1 ? 0 : std::min(threads, kMaxWorkers);
    }();
    return fromEnvironment;
}

void startWorkers() {
    Pool& p = pool();
    const int count = configuredWorkers();
    if (p.workers == count) return;
    p.stop();
    if (count == 0) return;
    if (!p.ring) p.ring = std::make_unique<Job[]>(kRingJobs);
    for (int i = 0; i < count; ++i) {
        p.worker[i].done.store(p.queued, std::memory_order_relaxed);
        p.worker[i].pixels = 0;
    }
    p.allDone = p.queued;
    p.workers = count;
    for (int i = 0; i < count; ++i) {
        p.worker[i].thread = std::thread(workerMain, std::ref(p), i, count);
    }
    drawWorkers = count;
}

void stopWorkers() {
    if (drawWorkers == 0) return;
    pool().stop();
}

}  // namespace glide

using namespace glide;

void boardSetDrawWorkers(int workers) {
    requestedWorkers = workers < 0 ? -1 : std::min(workers, kMaxWorkers);
    if (board().frame.color[0] != nullptr) startWorkers();
}

int boardDrawWorkers() {
    return drawWorkers;
}
