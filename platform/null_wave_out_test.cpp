// Tests of the silent wave output device: order, pace, reset and close.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wave_out.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Completions {
    std::mutex mutex;
    std::vector<const uint8_t*> buffers;
    std::vector<Clock::time_point> times;
    static void done(void* context, const uint8_t* buffer) {
        auto* self = static_cast<Completions*>(context);
        std::lock_guard lock(self->mutex);
        self->buffers.push_back(buffer);
        self->times.push_back(Clock::now());
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return buffers.size();
    }
};

TEST(NullWaveOut, CompletesInOrderAfterEachBuffersPlayingTime) {
    std::unique_ptr<WaveOutDevice> device = createNullWaveOut();
    Completions completions;
    WaveFormat format;
    format.channels = 2;
    format.sampleRate = 8000;  // 32000 bytes per second
    ASSERT_TRUE(device->open(format, &Completions::done, &completions));
    static uint8_t first[3200], second[1600];  // 100 ms, then 50 ms
    Clock::time_point start = Clock::now();
    device->write(first, sizeof first);
    device->write(second, sizeof second);
    EXPECT_FALSE(device->close());  // still playing
    while (completions.count() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(completions.buffers, (std::vector<const uint8_t*>{first, second}));
    EXPECT_GE(completions.times[0] - start, std::chrono::milliseconds(100));
    EXPECT_GE(completions.times[1] - start, std::chrono::milliseconds(150));
    EXPECT_TRUE(device->close());
}

TEST(NullWaveOut, ResetCompletesEveryQueuedBuffer) {
    std::unique_ptr<WaveOutDevice> device = createNullWaveOut();
    Completions completions;
    WaveFormat format;
    format.channels = 1;
    format.sampleRate = 1000;  // 2000 bytes per second: each buffer lasts 10 s
    ASSERT_TRUE(device->open(format, &Completions::done, &completions));
    static uint8_t a[20000], b[20000];
    device->write(a, sizeof a);
    device->write(b, sizeof b);
    device->reset();
    EXPECT_EQ(completions.count(), 2u);
    EXPECT_TRUE(device->close());
    EXPECT_EQ(completions.count(), 2u);  // nothing completes twice
}

}  // namespace
