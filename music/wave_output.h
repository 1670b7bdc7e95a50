// The output stage between the decoder and the wave device: three buffers of exactly 32
// frames each, queued in rotation, with the first full buffer held back until the second
// is full, and a counting semaphore released once per finished buffer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <semaphore>

#include "music/decoder.h"
#include "platform/wave_out.h"

inline constexpr int kFramesPerBuffer = 32;
inline constexpr int kOutputBuffers = 3;
inline constexpr std::chrono::milliseconds kCompletionWait{10000};

// Bytes of one output buffer: 32 frames of the stream's 16-bit samples, all channels
// (73728 per channel for 1152-sample frames, half for 576, a third for 384).
size_t outputBufferBytes(const StreamInfo& info);

class WaveOutput {
  public:
    explicit WaveOutput(std::chrono::milliseconds completionWait = kCompletionWait)
        : completionWait_(completionWait) {}
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    // Opens `device` (which must outlive this output) for `format`. False when the device
    // cannot be opened; the output then stays closed and must not be used.
    bool open(WaveOutDevice& device, const WaveFormat& format, size_t bufferBytes);

    // Appends one frame's interleaved samples to the current buffer (cut at its end).
    void writeFrame(const int16_t* samples, size_t bytes);

    // Counts the frame; a full buffer is queued as the rotation says.
    void completeFrame();

    // Queues what is left (the held-back buffer, a partial buffer padded with zeros), waits
    // for every queued buffer to finish, then closes the device.
    void close();

    // Waits that ended at the time limit instead of at a completion.
    int timeouts() const { return timeouts_; }

  private:
    static void bufferDone(void* context, const uint8_t* buffer);
    void queue(int index);
    void waitForCompletion();

    std::chrono::milliseconds completionWait_;
    WaveOutDevice* device_ = nullptr;
    size_t bufferBytes_ = 0;
    std::unique_ptr<uint8_t[]> buffers_[kOutputBuffers];
    bool inUse_[kOutputBuffers] = {};  // ever queued
    int current_ = 0;
    int frameCount_ = 0;        // frames in the current buffer, 0-31
    int startupCompleted_ = 0;  // full buffers during start-up, 0-2
    size_t writePosition_ = 0;  // bytes into the current buffer
    int outstanding_ = 0;       // queued buffers whose completion has not been waited for
    int timeouts_ = 0;
    std::counting_semaphore<1024> completions_{0};
};

// Decodes every remaining frame of `decoder` into `output`, then closes the output.
void playFrames(MpegDecoder& decoder, WaveOutput& output);
