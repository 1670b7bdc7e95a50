// The wave output device: 16-bit PCM buffers queued in order and played at the stream's
// rate, with one completion notice per finished buffer.
//
// `createSdlWaveOut` plays through SDL audio; `createNullWaveOut` plays nothing but
// completes each buffer after its playing time, so a machine without any sound device
// still keeps the music's pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct WaveFormat {
    int channels = 2;        // 1 or 2, interleaved
    int sampleRate = 44100;  // Hz
    int bytesPerSecond() const { return sampleRate * channels * 2; }
};

// Called once per finished buffer, in queue order, on the device's own thread. It may
// only signal (release a semaphore); it must not call back into the device.
using WaveDoneFunction = void (*)(void* context, const uint8_t* buffer);

class WaveOutDevice {
  public:
    virtual ~WaveOutDevice() = default;

    // Opens the device for signed 16-bit little-endian PCM in `format` and starts playing
    // (silence until a buffer is queued). False when no device can be opened.
    virtual bool open(const WaveFormat& format, WaveDoneFunction done, void* context) = 0;

    // Queues `bytes` bytes of PCM; the memory must stay untouched until its completion.
    virtual void write(const uint8_t* buffer, size_t bytes) = 0;

    // Drops every queued buffer, completing each.
    virtual void reset() = 0;

    // Closes the device. False ("still playing") while buffers are queued; the device
    // then stays open and the caller tries again later.
    virtual bool close() = 0;
};

// The system's default sound output through SDL audio. If the default driver cannot open a
// device, opening retries once with SDL's dummy audio driver (and says so on the console).
std::unique_ptr<WaveOutDevice> createSdlWaveOut();

// A device that plays nothing at real-time pace.
std::unique_ptr<WaveOutDevice> createNullWaveOut();
