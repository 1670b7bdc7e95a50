// The process's shared start-up state.
#include "app/process.h"

#include <chrono>
#include <thread>

std::atomic<uint8_t> loadingFlag{1};

void waitForLoading() {
    // The loader and the player share two cores with the window, so the wait sleeps
    // between reads instead of spinning.
    while (loadingFlag.load(std::memory_order_acquire) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

char** musicArguments() {
    static char program[] = "maplay";
    static char file[] = "data/music/drift07.mp3";
    static char* argv[] = {program, file, nullptr};
    return argv;
}
