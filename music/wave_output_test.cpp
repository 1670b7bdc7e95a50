// Tests of the output stage: buffer sizes, the held-back first buffer, rotation, padding,
// waiting for completions and draining on close.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "music/fake_wave_out.h"
#include "music/wave_output.h"

namespace {

using namespace std::chrono_literals;

StreamInfo stream(int version, int layer, int channels, int rate = 44100) {
    StreamInfo info;
    info.version = version;
    info.layer = layer;
    info.channels = channels;
    info.sampleRate = rate;
    return info;
}

// Frame k holds the sample value k + 1 throughout, so every frame is recognisable.
std::vector<int16_t> frameSamples(const StreamInfo& info, int k) {
    return std::vector<int16_t>(static_cast<size_t>(info.samplesPerFrame()) * info.channels,
                                static_cast<int16_t>(k + 1));
}

size_t frameBytes(const StreamInfo& info) {
    return static_cast<size_t>(info.samplesPerFrame()) * info.channels * 2;
}

void playFrames(WaveOutput& output, const StreamInfo& info, int first, int count,
                std::atomic<int>* progress = nullptr) {
    for (int k = first; k < first + count; ++k) {
        std::vector<int16_t> samples = frameSamples(info, k);
        output.writeFrame(samples.data(), samples.size() * 2);
        output.completeFrame();
        if (progress != nullptr) progress->store(k + 1);
    }
}

// Checks that `buffer` holds frames first.. in order, then zero bytes from frame `frames`.
void expectFrames(const std::vector<uint8_t>& buffer, const StreamInfo& info, int first,
                  int frames) {
    ASSERT_EQ(buffer.size(), outputBufferBytes(info));
    const auto* samples = reinterpret_cast<const int16_t*>(buffer.data());
    size_t perFrame = frameBytes(info) / 2;
    for (int f = 0; f < kFramesPerBuffer; ++f) {
        int16_t expected = f < frames ? static_cast<int16_t>(first + f + 1) : 0;
        for (size_t i = 0; i < perFrame; i += 97) {
            ASSERT_EQ(samples[f * perFrame + i], expected) << "frame " << f << " sample " << i;
        }
        ASSERT_EQ(samples[(f + 1) * perFrame - 1], expected) << "end of frame " << f;
    }
}

TEST(WaveOutput, BuffersHoldExactlyThirtyTwoFrames) {
    EXPECT_EQ(outputBufferBytes(stream(1, 3, 1)), 73728u);  // mono Layer III
    EXPECT_EQ(outputBufferBytes(stream(1, 3, 2)), 147456u);
    EXPECT_EQ(outputBufferBytes(stream(1, 2, 2)), 147456u);
    EXPECT_EQ(outputBufferBytes(stream(2, 3, 2)), 73728u);  // MPEG-2: half
    EXPECT_EQ(outputBufferBytes(stream(3, 3, 1)), 36864u);  // MPEG-2.5 like MPEG-2
    EXPECT_EQ(outputBufferBytes(stream(1, 1, 2)), 49152u);  // Layer I: a third
    EXPECT_EQ(outputBufferBytes(stream(1, 1, 1)), 24576u);
    // MPEG-2 Layer II frames still carry 1152 samples, Layer I frames 384.
    EXPECT_EQ(outputBufferBytes(stream(2, 2, 2)), 147456u);
    EXPECT_EQ(outputBufferBytes(stream(2, 1, 2)), 49152u);
}

TEST(WaveOutput, StartUpHoldsTheFirstBufferBack) {
    StreamInfo info = stream(1, 3, 2);
    {  // exactly 32 frames: held back, queued at close, no silence added
        WaveOutLog log;
        FakeWaveOut device(log);
        WaveOutput output;
        ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
        playFrames(output, info, 0, 32);
        EXPECT_TRUE(log.buffers.empty());
        output.close();
        ASSERT_EQ(log.buffers.size(), 1u);
        expectFrames(log.buffers[0], info, 0, 32);
        EXPECT_EQ(output.timeouts(), 0);
    }
    {  // 33 frames: two buffers at close, the second one frame and 31 frames of zeros
        WaveOutLog log;
        FakeWaveOut device(log);
        WaveOutput output;
        ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
        playFrames(output, info, 0, 33);
        EXPECT_TRUE(log.buffers.empty());
        output.close();
        ASSERT_EQ(log.buffers.size(), 2u);
        expectFrames(log.buffers[0], info, 0, 32);
        expectFrames(log.buffers[1], info, 32, 1);
        EXPECT_NE(log.pointers[0], log.pointers[1]);
    }
    {  // 64 frames: both start-up buffers go together when the second is full
        WaveOutLog log;
        FakeWaveOut device(log);
        WaveOutput output;
        ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
        playFrames(output, info, 0, 63);
        EXPECT_TRUE(log.buffers.empty());
        playFrames(output, info, 63, 1);
        ASSERT_EQ(log.buffers.size(), 2u);
        output.close();
        EXPECT_EQ(log.buffers.size(), 2u);
        expectFrames(log.buffers[1], info, 32, 32);
    }
}

TEST(WaveOutput, RotatesThroughThreeBuffersAndPadsTheLast) {
    for (StreamInfo info : {stream(1, 3, 2), stream(1, 3, 1), stream(2, 3, 2, 22050),
                            stream(1, 1, 2), stream(1, 2, 1)}) {
        WaveOutLog log;
        FakeWaveOut device(log);
        WaveOutput output(300ms);
        ASSERT_TRUE(output.open(device, {info.channels, info.sampleRate}, outputBufferBytes(info)));
        playFrames(output, info, 0, 200);
        output.close();
        ASSERT_EQ(log.buffers.size(), 7u);  // 6 full buffers and 8 frames
        for (int b = 0; b < 6; ++b) expectFrames(log.buffers[b], info, 32 * b, 32);
        expectFrames(log.buffers[6], info, 192, 8);
        for (int b = 3; b < 7; ++b) EXPECT_EQ(log.pointers[b], log.pointers[b - 3]) << b;
        EXPECT_NE(log.pointers[0], log.pointers[1]);
        EXPECT_NE(log.pointers[1], log.pointers[2]);
        EXPECT_EQ(output.timeouts(), 0);
        EXPECT_EQ(log.closeCalls, 1);
    }
}

TEST(WaveOutput, StreamEndingOnABufferBoundaryDoesNotWaitOutTheLimit) {
    StreamInfo info = stream(1, 3, 2);
    for (int frames : {96, 128, 320}) {
        WaveOutLog log;
        FakeWaveOut device(log);
        WaveOutput output(300ms);
        ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
        playFrames(output, info, 0, frames);
        output.close();
        EXPECT_EQ(log.buffers.size(), static_cast<size_t>(frames / 32));
        EXPECT_EQ(output.timeouts(), 0) << frames << " frames";
    }
}

TEST(WaveOutput, DecodingRunsAtMostThreeBuffersAhead) {
    StreamInfo info = stream(1, 3, 2);
    WaveOutLog log;
    FakeWaveOut device(log, FakeWaveOut::Mode::Manual);
    WaveOutput output;
    ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
    std::atomic<int> progress{0};
    std::thread producer([&] { playFrames(output, info, 0, 150, &progress); });

    auto settle = [&](int frames) {
        for (int i = 0; i < 500 && progress.load() < frames; ++i) std::this_thread::sleep_for(2ms);
        std::this_thread::sleep_for(50ms);  // the producer would go on if it could
    };
    // Completing frame 96 queues the third buffer and then waits to refill the first.
    settle(95);
    EXPECT_EQ(progress.load(), 95);
    EXPECT_EQ(device.writes(), 3u);
    ASSERT_TRUE(device.completeOne());
    settle(127);
    EXPECT_EQ(progress.load(), 127);
    EXPECT_EQ(device.writes(), 4u);
    ASSERT_TRUE(device.completeOne());
    producer.join();  // the last 22 frames need no wait
    EXPECT_EQ(progress.load(), 150);
    EXPECT_EQ(device.writes(), 4u);

    // Close queues the padded last buffer and drains: it waits for the three buffers still
    // playing.
    std::thread player([&] {
        std::this_thread::sleep_for(30ms);
        while (device.completeOne()) std::this_thread::sleep_for(10ms);
    });
    output.close();
    player.join();
    EXPECT_EQ(device.writes(), 5u);
    EXPECT_EQ(output.timeouts(), 0);
}

TEST(WaveOutput, MissingCompletionsEndTheWaitAndPlaybackGoesOn) {
    StreamInfo info = stream(1, 3, 2);
    WaveOutLog log;
    FakeWaveOut device(log, FakeWaveOut::Mode::Manual);
    WaveOutput output(20ms);
    ASSERT_TRUE(output.open(device, {2, 44100}, outputBufferBytes(info)));
    playFrames(output, info, 0, 160);
    EXPECT_EQ(device.writes(), 5u);
    EXPECT_EQ(output.timeouts(), 3);  // refilling buffers 0, 1 and 2
    device.reset();                   // the device catches up
    output.close();
    EXPECT_EQ(log.closeCalls, 1);
}

TEST(WaveOutput, OverlongFrameIsCutAtTheBufferEnd) {
    StreamInfo info = stream(1, 3, 1);
    WaveOutLog log;
    FakeWaveOut device(log);
    WaveOutput output;
    ASSERT_TRUE(output.open(device, {1, 44100}, outputBufferBytes(info)));
    std::vector<int16_t> huge(outputBufferBytes(info), 5);  // twice the buffer
    output.writeFrame(huge.data(), huge.size() * 2);
    output.completeFrame();
    output.close();
    ASSERT_EQ(log.buffers.size(), 1u);
    EXPECT_EQ(log.buffers[0].size(), 73728u);
}

TEST(WaveOutput, RefusedDeviceLeavesTheOutputClosed) {
    WaveOutLog log;
    FakeWaveOut device(log, FakeWaveOut::Mode::CompleteAtOnce, false);
    WaveOutput output;
    EXPECT_FALSE(output.open(device, {2, 44100}, 147456));
    output.close();
    EXPECT_FALSE(log.opened);
    EXPECT_EQ(log.closeCalls, 0);
}

}  // namespace
