// The music player: first header, wave output, frame after frame, drain.
#include "music/player.h"

#include "app/console.h"
#include "music/decoder.h"
#include "music/wave_output.h"

int playMusic(int argc, char** argv, const MusicDevices& devices) {
    if (argc < 2 || argv[1] == nullptr) return 1;
    MpegDecoder decoder;
    decoder.open(argv[1]);
    StreamInfo info;
    if (!decoder.readFirstHeader(info)) {
        consoleWrite("\nError : no header found!");
        return 1;
    }

    WaveFormat format;
    format.channels = info.channels;
    format.sampleRate = info.sampleRate;
    WaveOutput output;
    std::unique_ptr<WaveOutDevice> device = devices.primary();
    if (!output.open(*device, format, outputBufferBytes(info))) {
        consoleWrite("\nCould not open wave device.\n");
        // Decoding goes on at the music's pace without sound, so the demo keeps its length.
        device = devices.fallback();
        if (device == nullptr || !output.open(*device, format, outputBufferBytes(info))) {
            return 1;
        }
    }

    playFrames(decoder, output);
    return 0;
}
