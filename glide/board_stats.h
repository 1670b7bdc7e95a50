// Always-on counters of the software board, for benchmarks and the frame-rate display.
// They only grow (wrap-around aside); take differences between two readings.
#pragma once

#include <cstdint>

struct BoardStats {
    uint64_t triangles;         // fan triangles handed to the rasteriser (incl. dropped ones)
    uint64_t trianglesDrawn;    // triangles with non-zero area that reached set-up
    uint64_t pixels;            // pixels written to the colour buffer
    uint64_t textureDownloads;  // grTexDownloadMipMap calls that copied data
    uint64_t textureBytes;      // bytes those downloads copied
    uint64_t swaps;             // grBufferSwap calls
};

// A copy of the counters as they stand. Call from the engine's thread (it waits for the
// board's drawing workers, whose pixel counts are added then).
BoardStats boardStats();
