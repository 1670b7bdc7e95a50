// The music player: decodes an MPEG audio file and plays it on the wave output device.
#pragma once

#include <memory>

#include "platform/wave_out.h"

// Where the player's output goes: the system device, and the device used when that one
// cannot be opened (it plays nothing but keeps the music's pace).
struct MusicDevices {
    std::unique_ptr<WaveOutDevice> (*primary)() = &createSdlWaveOut;
    std::unique_ptr<WaveOutDevice> (*fallback)() = &createNullWaveOut;
};

// Plays the file argv[1] to its end and returns 0. Returns 1 when the music cannot be
// played: no file given, a missing or unreadable file, a stream without a frame header, or
// no device at all; the messages go to the console.
int playMusic(int argc, char** argv, const MusicDevices& devices = MusicDevices{});
