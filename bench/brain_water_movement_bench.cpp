// Per-frame cost of the water flow: update() on a 64 x 64 grid of vertices (4096, a large
// water surface) with a fixed frame time. Reports heap allocations per update (counter
// "allocs_per_update"), which must stay 0.
#include <benchmark/benchmark.h>

#include "bench/allocation_counter.h"
#include "brains/water_movement.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"

namespace {

void BM_WaterMovementUpdate(benchmark::State& state) {
    const int vertexCount = static_cast<int>(state.range(0));
    FrameContext context;
    context.frameDelta = 1.0 / 60.0;
    Renderer renderer(nullptr);
    renderer.frameContext = &context;
    SceneObject* object = renderer.createEmptyObject();
    renderer.rootObject = object;
    object->vertexCount = vertexCount;
    object->vertices = new MeshVertex[static_cast<size_t>(vertexCount)]();  // the object's own
    WaterMovement brain(object, &renderer, "Flow");

    const uint64_t before = heapAllocations();
    for (auto _ : state) {
        brain.update();
        benchmark::DoNotOptimize(object->vertices[vertexCount - 1].v);
    }
    state.counters["allocs_per_update"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(state.iterations());
    state.counters["vertices"] = vertexCount;
}
BENCHMARK(BM_WaterMovementUpdate)->Arg(64 * 64)->Arg(256 * 256);

}  // namespace
