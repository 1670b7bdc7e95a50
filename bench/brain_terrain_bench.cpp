// Per-frame cost of the fractal terrain: a full 64 x 64 window rebuild every frame (the camera
// crosses a sample square each time), and the frame in which the camera stays in its square.
#include <benchmark/benchmark.h>

#include "bench/allocation_counter.h"
#include "brains/terrain.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

struct TerrainScene {
    TerrainScene() {
        renderer.frameContext = &context;
        land = renderer.createEmptyObject();
        renderer.rootObject = land;
        camera = new SceneObject("Camera");
        renderer.objects.insert(nullptr, camera);
        auto* texture = new Texture();
        texture->name = "MountainTexture";
        renderer.textures.insert(texture->name.c_str(), texture);
        land->nextSibling = camera;
        camera->prevSibling = land;
        brain = new Mountain(land, &renderer, "Hills");
        renderer.brains.insert(brain->name.get(), brain);
        brain->start();
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* land = nullptr;
    SceneObject* camera = nullptr;
    Mountain* brain = nullptr;
};

void BM_MountainRebuildWindow(benchmark::State& state) {
    TerrainScene scene;
    scene.brain->update();
    float x = 0.0f;
    const uint64_t before = heapAllocations();
    int64_t frames = 0;
    for (auto _ : state) {
        x += 2000.0f;  // one sample square further each frame: a full rebuild
        scene.camera->position.x = x;
        scene.brain->update();
        benchmark::DoNotOptimize(scene.land->vertices[0].position.y);
        ++frames;
    }
    state.counters["allocs_per_frame"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(frames);
}
BENCHMARK(BM_MountainRebuildWindow)->Unit(benchmark::kMicrosecond);

void BM_MountainSameSquare(benchmark::State& state) {
    TerrainScene scene;
    scene.camera->position.x = 1000.0f;
    scene.brain->update();
    const uint64_t before = heapAllocations();
    int64_t frames = 0;
    for (auto _ : state) {
        scene.camera->position.x = frames % 2 == 0 ? 1500.0f : 1000.0f;
        scene.brain->update();
        ++frames;
    }
    state.counters["allocs_per_frame"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(frames);
}
BENCHMARK(BM_MountainSameSquare);

// Generation in the constructor, once per brain (not per frame).
void BM_MountainGenerateField(benchmark::State& state) {
    for (auto _ : state) {
        Mountain brain(nullptr, nullptr, "Field");
        benchmark::DoNotOptimize(brain.heightField.get());
    }
}
BENCHMARK(BM_MountainGenerateField)->Unit(benchmark::kMillisecond);

}  // namespace
