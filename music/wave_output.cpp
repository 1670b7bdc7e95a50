// The output stage's buffer rotation.
#include "music/wave_output.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {
constexpr int kCloseAttempts = 40;
}  // namespace

size_t outputBufferBytes(const StreamInfo& info) {
    return size_t{kFramesPerBuffer} * static_cast<size_t>(info.samplesPerFrame()) * 2 *
           static_cast<size_t>(info.channels);
}

bool WaveOutput::open(WaveOutDevice& device, const WaveFormat& format, size_t bufferBytes) {
    if (!device.open(format, &WaveOutput::bufferDone, this)) return false;
    device_ = &device;
    bufferBytes_ = bufferBytes;
    for (auto& buffer : buffers_) buffer = std::make_unique<uint8_t[]>(bufferBytes);
    std::fill(std::begin(inUse_), std::end(inUse_), false);
    current_ = 0;
    frameCount_ = 0;
    startupCompleted_ = 0;
    writePosition_ = 0;
    outstanding_ = 0;
    return true;
}

void WaveOutput::bufferDone(void* context, const uint8_t*) {
    static_cast<WaveOutput*>(context)->completions_.release();
}

void WaveOutput::queue(int index) {
    inUse_[index] = true;
    ++outstanding_;
    device_->write(buffers_[index].get(), bufferBytes_);
}

void WaveOutput::waitForCompletion() {
    if (!completions_.try_acquire_for(completionWait_)) ++timeouts_;
    if (outstanding_ > 0) --outstanding_;
}

void WaveOutput::writeFrame(const int16_t* samples, size_t bytes) {
    size_t room = bufferBytes_ - writePosition_;
    size_t taken = std::min(bytes, room);
    std::memcpy(buffers_[current_].get() + writePosition_, samples, taken);
    writePosition_ += taken;
}

void WaveOutput::completeFrame() {
    if (++frameCount_ < kFramesPerBuffer) return;
    frameCount_ = 0;
    if (startupCompleted_ < 2) {
        // Start-up: the first full buffer waits for the second, then both go together.
        if (++startupCompleted_ == 2) {
            queue(0);
            queue(1);
        }
        current_ = (current_ + 1) % kOutputBuffers;
    } else {
        queue(current_);
        current_ = (current_ + 1) % kOutputBuffers;
        if (inUse_[current_]) waitForCompletion();
    }
    writePosition_ = 0;
}

void WaveOutput::close() {
    if (device_ == nullptr) return;
    if (startupCompleted_ == 1) queue(0);
    if (frameCount_ > 0) {
        std::memset(buffers_[current_].get() + writePosition_, 0, bufferBytes_ - writePosition_);
        queue(current_);
        current_ = (current_ + 1) % kOutputBuffers;
    }
    // Only buffers still playing are waited for: a stream ending on a buffer boundary has
    // already taken one completion for the buffer being refilled.
    while (outstanding_ > 0) waitForCompletion();
    // A device that never finishes is reset after about ten seconds of retries, so the
    // buffers are never freed while it may still read them.
    for (int attempt = 0; !device_->close(); ++attempt) {
        if (attempt == kCloseAttempts) device_->reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(256));
    }
    for (auto& buffer : buffers_) buffer.reset();
    device_ = nullptr;
}

void playFrames(MpegDecoder& decoder, WaveOutput& output) {
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (decoder.nextFrame(&samples, &bytes)) {
        output.writeFrame(samples, bytes);
        output.completeFrame();
    }
    output.close();
}
