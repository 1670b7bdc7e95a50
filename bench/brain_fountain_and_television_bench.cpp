// The particle fountain's per-frame cost: ShadeBobs::update() over its 1500 balls at
// 60 frames per second, from a fountain that has run long enough for every ball to be in
// flight (so the frames mix moving and recycled balls as a demo does), and the worst case,
// a frame so long that every ball is recycled in it (argument 1). Reports heap
// allocations per update, which must be 0.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/allocation_counter.h"
#include "brains/fountain_and_television.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

void BM_ShadeBobsUpdate(benchmark::State& state) {
    FrameContext context;
    Renderer renderer(nullptr);
    renderer.frameContext = &context;
    SceneObject* object = renderer.createEmptyObject();
    renderer.rootObject = object;
    auto* ball = new Texture();
    ball->name = "WhiteBall64";
    renderer.textures.insert(ball->name.c_str(), ball);

    ShadeBobs bobs(object, &renderer, "Fountain");
    bobs.load(nullptr);
    bobs.start();
    std::srand(1);
    context.frameDelta = 1.0 / 60.0;
    for (int i = 0; i < 600; ++i) bobs.update();  // ten seconds: every ball has risen once

    // Argument 1: 100-second frames, so every ball passes the top and is recycled.
    if (state.range(0) == 1) context.frameDelta = 100.0;

    const uint64_t allocationsBefore = heapAllocations();
    int64_t updates = 0;
    for (auto _ : state) {
        bobs.update();
        ++updates;
    }
    const uint64_t allocations = heapAllocations() - allocationsBefore;
    benchmark::DoNotOptimize(object->vertices[0].position.y);
    state.counters["balls"] = kShadeBobCount;
    state.counters["allocs/update"] =
        updates > 0 ? static_cast<double>(allocations) / static_cast<double>(updates) : 0.0;
}
BENCHMARK(BM_ShadeBobsUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
