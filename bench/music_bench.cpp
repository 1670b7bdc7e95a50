// Speed of the music player: decoding one MPEG-1 Layer III frame of the demo's music, and
// handing one decoded frame to the output stage.
#include <benchmark/benchmark.h>

#include <vector>

#include "music/decoder.h"
#include "music/fake_wave_out.h"
#include "music/wave_output.h"

namespace {

constexpr const char* kMusic = HALCYON_SOURCE_DIR "/data/music/drift07.mp3";

void decodeFrames(benchmark::State& state) {
    int64_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MpegDecoder decoder;
        decoder.open(kMusic);
        StreamInfo info;
        decoder.readFirstHeader(info);
        state.ResumeTiming();
        const int16_t* samples = nullptr;
        size_t bytes = 0;
        while (decoder.nextFrame(&samples, &bytes)) {
            benchmark::DoNotOptimize(samples);
            ++frames;
        }
    }
    state.SetItemsProcessed(frames);  // items per second = frames decoded per second
}
BENCHMARK(decodeFrames)->Unit(benchmark::kMillisecond);

void outputFrames(benchmark::State& state) {
    StreamInfo info;
    std::vector<int16_t> frame(1152 * 2, 1000);
    InstantWaveOut device;
    WaveOutput output;
    output.open(device, {2, 44100}, outputBufferBytes(info));
    for (auto _ : state) {
        output.writeFrame(frame.data(), frame.size() * 2);
        output.completeFrame();
    }
    output.close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(outputFrames);

}  // namespace
