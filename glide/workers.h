// Drawing on worker threads. Private to glide/.
//
// With workers running, the caller's thread (the engine's) still does each triangle's
// set-up, then queues it instead of drawing it. Every worker reads every queued job in
// order but draws only its own rows: the screen is cut into bands of kBandRows rows, band
// b belonging to worker b % workers. Each pixel is therefore drawn by one thread, in
// submission order, and the frame is the same, bit for bit, as one thread draws it.
//
// The queue is a ring of jobs allocated when the workers start: one producer (the caller),
// one read position per worker. Whatever reads or changes what queued jobs use (the frame
// buffer, texture memory, the fog lookup) first calls finishDrawing(). Queued jobs point
// at per-draw contexts that the rasteriser keeps in a ring of its own; it reuses a context
// only after waitForJobs() says every job queued before its last use is done.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glide {

constexpr int kBandRows = 32;
constexpr int kMaxWorkers = 8;
constexpr size_t kJobPayloadBytes = 256;  // room for a triangle's set-up record

// Draws rows [y0, y1) of a queued triangle: `context` and `setup` are what the
// rasteriser's build that queued the job handed to queueTriangle.
using BandFunction = void (*)(const void* context, const void* setup, int y0, int y1);

// Worker threads drawing now (0: draws run on the caller's thread). Caller's thread only.
extern constinit int drawWorkers;
inline bool drawingOnWorkers() {
    return drawWorkers > 0;
}

// Queues rows [yStart, yEnd) of a triangle: `bytes` of `setup` are copied into the job,
// `context` must stay valid until waitForJobs says the job is done.
void queueTriangle(const void* context, const void* setup, size_t bytes, int yStart, int yEnd,
                   BandFunction band);

// A clear of the rectangle [minX, maxX) x [minY, maxY) of a colour buffer and, when
// `depth` is not null, of the depth buffer.
struct ClearRegion {
    uint16_t* color;
    uint16_t* depth;
    int stride;
    int minX, minY, maxX, maxY;
    uint16_t pixel;
    uint16_t depthValue;
};
void clearRows(const ClearRegion& r, int y0, int y1);  // rows [y0, y1) of it, clipped
void queueClear(const ClearRegion& r);

// Jobs queued since the process started; never reset.
uint64_t jobsQueued();
// Whether every worker has finished the first `count` jobs; waitForJobs waits for it.
bool jobsFinished(uint64_t count);
void waitForJobs(uint64_t count);
// Waits until the workers have finished every queued job, and adds the pixels they wrote
// to the board's statistics. Cheap when nothing is queued.
void finishDrawing();

// Adds pixels written by a draw to the counter of the thread that drew them.
void countPixels(uint64_t pixels);

// The number of worker threads the board uses: boardSetDrawWorkers, else
// HALCYON_BOARD_THREADS (read once), the threads that draw: 1 draws on the caller's
// thread, N >= 2 (2 is the default with two or more hardware threads) queues to N workers
// splitting the rows.
int configuredWorkers();
// Starts the configured workers unless running (at board open); stops them (at shutdown,
// after finishing the queue).
void startWorkers();
void stopWorkers();

}  // namespace glide
