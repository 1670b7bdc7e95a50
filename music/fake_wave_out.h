// A wave output device for tests: it records what is queued and completes buffers either
// at once or when the test says so.
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

// What a fake device saw; outlives the device.
struct WaveOutLog {
    bool opened = false;
    WaveFormat format;
    std::vector<const uint8_t*> pointers;
    std::vector<std::vector<uint8_t>> buffers;  // contents at queue time
    int closeCalls = 0;
};

class FakeWaveOut final : public WaveOutDevice {
  public:
    enum class Mode { CompleteAtOnce, Manual };

    explicit FakeWaveOut(WaveOutLog& log, Mode mode = Mode::CompleteAtOnce, bool opens = true)
        : log_(log), mode_(mode), opens_(opens) {}

    bool open(const WaveFormat& format, WaveDoneFunction done, void* context) override {
        if (!opens_) return false;
        log_.opened = true;
        log_.format = format;
        done_ = done;
        context_ = context;
        return true;
    }

    void write(const uint8_t* buffer, size_t bytes) override {
        {
            std::lock_guard lock(mutex_);
            log_.pointers.push_back(buffer);
            log_.buffers.emplace_back(buffer, buffer + bytes);
            if (mode_ == Mode::Manual) {
                pending_.push_back(buffer);
                return;
            }
        }
        done_(context_, buffer);
    }

    // Completes the oldest queued buffer; false when none is queued.
    bool completeOne() {
        const uint8_t* buffer;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) return false;
            buffer = pending_.front();
            pending_.pop_front();
        }
        done_(context_, buffer);
        return true;
    }

    size_t writes() {
        std::lock_guard lock(mutex_);
        return log_.pointers.size();
    }

    void reset() override {
        while (completeOne()) {
        }
    }

    bool close() override {
        std::lock_guard lock(mutex_);
        ++log_.closeCalls;
        return pending_.empty();
    }

  private:
    WaveOutLog& log_;
    Mode mode_;
    bool opens_;
    WaveDoneFunction done_ = nullptr;
    void* context_ = nullptr;
    std::mutex mutex_;
    std::deque<const uint8_t*> pending_;
};

// A device that completes every buffer the moment it is queued and records nothing: the
// output stage at full speed, for benchmarks and fuzzing.
class InstantWaveOut final : public WaveOutDevice {
  public:
    bool open(const WaveFormat&, WaveDoneFunction done, void* context) override {
        done_ = done;
        context_ = context;
        return true;
    }
    void write(const uint8_t* buffer, size_t) override { done_(context_, buffer); }
    void reset() override {}
    bool close() override { return true; }

  private:
    WaveDoneFunction done_ = nullptr;
    void* context_ = nullptr;
};
