// Frame-exact offline rendering of a demo description: the engine's own run loop on a
// stepped clock, as fast as the machine allows, with no window and no sound device.
// Frames go to PNG files, to a video encoder pipe, or nowhere; the music can be written
// as a WAV file aligned with the frames (it starts when loading ends, at frame 0).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct OfflineOptions {
    double fps = 60.0;           // frames per second of the stepped clock
    double from = 0.0;           // seconds: first frame kept
    double to = -1.0;            // seconds: last frame kept (negative: to the end)
    int every = 1;               // keep every K-th frame from `from`
    std::string outDir;          // PNG frames "frame_000123.png"; empty: none
    std::FILE* video = nullptr;  // raw RGB24 frames are written here (an encoder pipe)
    bool progress = false;       // a progress line on standard error
    std::string description;     // the description file
    // Receives every kept frame (RGB565, 640x480) with its number.
    std::function<void(int frame, const uint16_t* pixels)> onFrame;
};

struct OfflineResult {
    bool opened = false;  // the description could be opened
    int framesDrawn = 0;  // every frame the run loop drew
    int framesKept = 0;   // frames written or handed to onFrame
    bool writeFailed = false;
    double seconds = 0.0;  // wall time of the run
};

// Plays the description on a stepped clock; see OfflineOptions.
OfflineResult renderOffline(const OfflineOptions& options);

// Total seconds of the scenes the description's "Demo" entry lists (the run's length,
// not counting the one extra frame per scene).
double demoLength(const char* description);

// Decodes the music file to 16-bit PCM and writes the part from `from` to `to` seconds
// (negative: to the end) as a WAV file. False when the music cannot be read or written.
bool writeMusicWav(const char* music, const char* wav, double from, double to);
