// Feeds arbitrary bytes to the player as a stream file: decoding and the output stage must
// neither crash nor read or write outside their buffers, whatever the file holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "music/decoder.h"
#include "music/fake_wave_out.h"
#include "music/wave_output.h"

namespace {

const std::string& scratchFile() {
    static const std::string path = "/tmp/halcyon_music_fuzz_" + std::to_string(getpid()) + ".mp3";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = scratchFile();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    MpegDecoder decoder;
    decoder.open(path.c_str());
    StreamInfo info;
    if (!decoder.readFirstHeader(info)) return 0;
    InstantWaveOut device;
    WaveOutput output;
    if (!output.open(device, {info.channels, info.sampleRate}, outputBufferBytes(info))) return 0;
    playFrames(decoder, output);
    return 0;
}
