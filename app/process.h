// The process's shared start-up state: the loading flag between the demo and music
// threads, and the thread bodies' common steps.
#pragma once

#include <atomic>
#include <cstdint>

// 1 while the demo loads its textures and geometries; the demo thread sets it to 0 once,
// and the music thread starts playing then.
extern std::atomic<uint8_t> loadingFlag;

// Marks loading as finished (the music starts).
inline void clearLoadingFlag() {
    loadingFlag.store(0, std::memory_order_release);
}

// Blocks until `loadingFlag` is 0, re-reading it every millisecond.
void waitForLoading();

// The music thread's fixed argument vector {"maplay", "data/music/drift07.mp3"}.
inline constexpr int kMusicArgc = 2;
char** musicArguments();
