// The default demo's music, synthesised from nothing: a calm, wintry piece in D minor of
// exactly 150 seconds (40 bars at 64 beats per minute, in six sections that follow the
// demo's six scenes), rendered as 44100 Hz 16-bit stereo and packed into a RIFF/WAVE file.
// `halcyon-music-content` writes it; `make content` encodes it to data/music/drift07.mp3.
//
// The rendering uses fixed seeds, no clock and a fixed order of floating-point operations,
// so the same build writes the same bytes on every run.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kMusicSampleRate = 44100;  // frames per second
constexpr int kMusicChannels = 2;
constexpr int kMusicBars = 40;                                        // 4/4 bars of 3.75 s
constexpr int kMusicFrames = kMusicBars * kMusicSampleRate * 15 / 4;  // exactly 150.0 seconds

// The whole piece as interleaved left/right 16-bit samples (kMusicFrames * 2 values).
std::vector<int16_t> synthesiseMusic();

// A canonical 44-byte RIFF/WAVE header (PCM, 16-bit, kMusicSampleRate, stereo) followed by
// the samples in little-endian byte order.
std::vector<unsigned char> encodeWav(const std::vector<int16_t>& interleaved);
