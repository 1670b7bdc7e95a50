// Per-frame cost of the text scrollers with a full line of 1000 letters: one letter is
// emitted and one leaves every frame (60 frames per second), so the frames measured
// include the emission, the move of every letter and the release of the oldest.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/allocation_counter.h"
#include "brains/brains.h"
#include "brains/scrollers.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"

namespace {

constexpr double kFrame = 1.0 / 60.0;  // seconds
constexpr int kWarmUpFrames = 1200;    // long enough for the line to fill

// One scroller brain on one object, with a letter geometry "Box" for the space character
// (the text is spaces only, so every frame emits a letter).
struct ScrollerScene {
    explicit ScrollerScene(const std::string& brainText) {
        renderer.frameContext = &context;
        auto* box = new SceneObject("Box");
        renderer.geometries.insert(box->name.get(), box);
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
        const std::string text = "Brain \"Bench\" { " + brainText + " }";
        ParseResult parsed = parseText(text.data(), text.size());
        createBrain(object, &renderer, parsed.tree.get());
        brain = renderer.brains.head->value;
        for (int i = 0; i < kWarmUpFrames; ++i) frame();
    }
    void frame() {
        context.frameDelta = kFrame;
        context.currentTime += kFrame;
        brain->update();
    }
    int liveLetters() const {
        int count = 0;
        for (const SceneObject* o = object->firstChild; o != nullptr; o = o->nextSibling) ++count;
        return count;
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
    Brain* brain = nullptr;
};

void run(benchmark::State& state, const std::string& brainText) {
    ScrollerScene scene(brainText);
    const uint64_t before = heapAllocations();
    int64_t frames = 0;
    for (auto _ : state) {
        scene.frame();
        benchmark::DoNotOptimize(scene.object->firstChild);
        ++frames;
    }
    state.counters["allocs_per_frame"] =
        static_cast<double>(heapAllocations() - before) / static_cast<double>(frames);
    state.counters["live_letters"] = scene.liveLetters();
}

// Speed 60 moves a letter one unit a frame; on a line 999 long a letter lives 999 frames,
// so 999 letters stand on it when the next one is emitted.
void BM_SineScroller1000Letters(benchmark::State& state) {
    run(state,
        "Class \"SineScroller\" Scroller \"s\" { Lenght 999. Speed 60. Text \" \" "
        "Char \" \" { Geometry \"Box\" Width 0. } }");
}
BENCHMARK(BM_SineScroller1000Letters)->Unit(benchmark::kMicrosecond);

// A four-key curved, turning path of 16.64 s: about 998 frames per letter.
void BM_SplineScroller1000Letters(benchmark::State& state) {
    run(state,
        "Class \"SplineScroller\" Scroller \"s\" { Speed 60. Text \" \" "
        "Char \" \" { Geometry \"Box\" Width 0. } } Motion \"m\" { EndTime 16.64\n"
        "Keyframe \"1\" { Position [-10., 0., 0.] Rotation [0., -1., 0.] Time 0. }\n"
        "Keyframe \"2\" { Position [-3., 4., 2.] Rotation [0.5, 0., 0.] Tension 0.3 Time 5. }\n"
        "Keyframe \"3\" { Position [3., 4., -2.] Rotation [0., 0.5, 0.2] Bias 0.4 Time 11. }\n"
        "Keyframe \"4\" { Position [10., 0., 0.] Rotation [0., 1., 0.] Time 16.64 } }");
}
BENCHMARK(BM_SplineScroller1000Letters)->Unit(benchmark::kMicrosecond);

}  // namespace
