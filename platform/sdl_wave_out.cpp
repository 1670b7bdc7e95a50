// The wave output device over SDL audio.
//
// Queued buffers are played in order from SDL's audio callback; when a buffer's last byte
// has been handed to SDL the callback reports it done. An empty queue plays silence.
#include <SDL.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "app/console.h"
#include "platform/wave_out.h"

namespace {

constexpr Uint16 kDeviceSamples = 1024;  // a power of two keeps the dummy driver real-time

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// True when the machine plainly has no sound output: no driver named, no sound server
// socket and no sound devices. Opening the default driver there only prints the sound
// library's complaints before failing.
bool plainlyWithoutSound() {
    if (isSet("SDL_AUDIODRIVER") || isSet("PULSE_SERVER") || exists("/dev/snd")) return false;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && (exists(std::string(runtime) + "/pulse/native") ||
                               exists(std::string(runtime) + "/pipewire-0"))) {
        return false;
    }
    return true;
}

void useDummyAudio() {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
}

struct QueuedBuffer {
    const uint8_t* data;
    size_t bytes;
};

class SdlWaveOut final : public WaveOutDevice {
  public:
    ~SdlWaveOut() override {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
    }

    bool open(const WaveFormat& format, WaveDoneFunction done, void* context) override {
        done_ = done;
        context_ = context;
        if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && plainlyWithoutSound()) {
            consoleWrite(
                "No sound device found: the music plays silently through SDL's dummy "
                "audio driver.\n");
            useDummyAudio();
        }
        if (openDevice(format)) return true;
        const char* driver = SDL_GetCurrentAudioDriver();
        if (driver != nullptr && std::strcmp(driver, "dummy") == 0) return false;
        char line[512];
        SDL_snprintf(line, sizeof line,
                     "No sound device (%s): the music plays silently through SDL's dummy audio "
                     "driver.\n",
                     SDL_GetError());
        consoleWrite(line);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        useDummyAudio();
        return openDevice(format);
    }

    void write(const uint8_t* buffer, size_t bytes) override {
        SDL_LockAudioDevice(device_);
        queue_.push_back({buffer, bytes});
        SDL_UnlockAudioDevice(device_);
    }

    void reset() override {
        SDL_LockAudioDevice(device_);
        std::deque<QueuedBuffer> taken;
        taken.swap(queue_);
        offset_ = 0;
        SDL_UnlockAudioDevice(device_);
        for (const QueuedBuffer& buffer : taken) done_(context_, buffer.data);
    }

    bool close() override {
        SDL_LockAudioDevice(device_);
        bool playing = !queue_.empty();
        SDL_UnlockAudioDevice(device_);
        if (playing) return false;
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        return true;
    }

  private:
    bool openDevice(const WaveFormat& format) {
        if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        SDL_AudioSpec wanted{};
        wanted.freq = format.sampleRate;
        wanted.format = AUDIO_S16LSB;
        wanted.channels = static_cast<Uint8>(format.channels);
        wanted.samples = kDeviceSamples;
        wanted.callback = &SdlWaveOut::fill;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // No changes allowed: SDL converts to whatever the hardware takes.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device_ == 0) return false;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    static void fill(void* userdata, Uint8* stream, int length) {
        auto* self = static_cast<SdlWaveOut*>(userdata);
        size_t wanted = static_cast<size_t>(length);
        size_t written = 0;
        while (written < wanted && !self->queue_.empty()) {
            const QueuedBuffer& front = self->queue_.front();
            size_t take = std::min(front.bytes - self->offset_, wanted - written);
            std::memcpy(stream + written, front.data + self->offset_, take);
            written += take;
            self->offset_ += take;
            if (self->offset_ == front.bytes) {
                const uint8_t* finished = front.data;
                self->queue_.pop_front();
                self->offset_ = 0;
                self->done_(self->context_, finished);
            }
        }
        std::memset(stream + written, 0, wanted - written);
    }

    SDL_AudioDeviceID device_ = 0;
    WaveDoneFunction done_ = nullptr;
    void* context_ = nullptr;
    std::deque<QueuedBuffer> queue_;  // guarded by the device lock
    size_t offset_ = 0;               // bytes of the front buffer already played
};

}  // namespace

std::unique_ptr<WaveOutDevice> createSdlWaveOut() {
    return std::make_unique<SdlWaveOut>();
}
