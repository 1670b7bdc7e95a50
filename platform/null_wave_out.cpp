// A wave output device that plays nothing at real-time pace: each queued buffer completes
// after its playing time, on a thread of the device's own.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/wave_out.h"

namespace {

using Clock = std::chrono::steady_clock;

struct QueuedBuffer {
    const uint8_t* data;
    size_t bytes;
};

class NullWaveOut final : public WaveOutDevice {
  public:
    ~NullWaveOut() override { stop(); }

    bool open(const WaveFormat& format, WaveDoneFunction done, void* context) override {
        format_ = format;
        done_ = done;
        context_ = context;
        stopping_ = false;
        worker_ = std::thread([this] { play(); });
        return true;
    }

    void write(const uint8_t* buffer, size_t bytes) override {
        std::lock_guard lock(mutex_);
        queue_.push_back({buffer, bytes});
        wake_.notify_all();
    }

    void reset() override {
        std::deque<QueuedBuffer> taken;
        {
            std::lock_guard lock(mutex_);
            taken.swap(queue_);
            wake_.notify_all();
        }
        for (const QueuedBuffer& buffer : taken) done_(context_, buffer.data);
    }

    bool close() override {
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty()) return false;
        }
        stop();
        return true;
    }

  private:
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wake_.notify_all();
        }
        if (worker_.joinable()) worker_.join();
    }

    // Each buffer stays at the queue's front for its playing time, then completes.
    void play() {
        Clock::time_point end = Clock::now();
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            QueuedBuffer front = queue_.front();
            auto duration = std::chrono::duration<double>(static_cast<double>(front.bytes) /
                                                          format_.bytesPerSecond());
            end =
                std::max(end, Clock::now()) + std::chrono::duration_cast<Clock::duration>(duration);
            wake_.wait_until(lock, end, [this] { return stopping_ || queue_.empty(); });
            if (stopping_) return;
            if (queue_.empty() || queue_.front().data != front.data) continue;  // reset
            queue_.pop_front();
            done_(context_, front.data);
        }
    }

    WaveFormat format_;
    WaveDoneFunction done_ = nullptr;
    void* context_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QueuedBuffer> queue_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace

std::unique_ptr<WaveOutDevice> createNullWaveOut() {
    return std::make_unique<NullWaveOut>();
}
