// Per-frame cost of the frame-rate display: update() on a renderer with a fixed frame time.
// BM_DisplayInfoUpdate runs frames in sequence, so one in 31 rewrites the line and its 22
// glyphs (the average over a refresh period); BM_DisplayInfoRefresh times only refresh
// frames. Both report heap allocations per update (counter "allocs_per_update"), which
// must stay 0.
#include <benchmark/benchmark.h>

#include "bench/allocation_counter.h"
#include "brains/frame_rate_display.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

struct Display {
    Display() {
        context.frameDelta = 1.0 / 60.0;
        renderer.frameContext = &context;
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
        auto* font = new Texture();
        font->name = "Topaz.font";
        renderer.textures.insert(font->name.c_str(), font);
        brain = new DisplayInfo(object, &renderer, "Info");
        renderer.brains.insert(brain->name.get(), brain);
        DisplayInfo::resetStatistics();
        brain->start();
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
    DisplayInfo* brain = nullptr;
};

void BM_DisplayInfoUpdate(benchmark::State& state) {
    Display display;
    const uint64_t before = heapAllocations();
    for (auto _ : state) {
        display.brain->update();
        benchmark::DoNotOptimize(display.object->vertices[0].u);
    }
    state.counters["allocs_per_update"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DisplayInfoUpdate);

void BM_DisplayInfoRefresh(benchmark::State& state) {
    Display display;
    const uint64_t before = heapAllocations();
    for (auto _ : state) {
        state.PauseTiming();
        DisplayInfo::frameCount = 30;  // the next update is a refresh
        state.ResumeTiming();
        display.brain->update();
        benchmark::DoNotOptimize(display.object->vertices[0].u);
    }
    state.counters["allocs_per_update"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DisplayInfoRefresh);

}  // namespace
