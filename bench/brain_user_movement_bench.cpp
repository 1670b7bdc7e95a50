// Per-frame cost of the keyboard flight brains: one update() with keys held, on a
// renderer with a stepped clock. Reports heap allocations per update (counter
// "allocs_per_update"), which must stay 0.
#include <benchmark/benchmark.h>

#include <string>

#include "app/clock.h"
#include "app/keyboard.h"
#include "bench/allocation_counter.h"
#include "brains/brains.h"
#include "brains/user_movement.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"

namespace {

template <class T>
std::string flightEntry(const char* className) {
    std::string text = std::string("Brain \"Fly\" { Class \"") + className + "\"\n";
    for (int i = 0; i < T::kActionCount; ++i) {
        // Every other action on a held key; the rest need shift up, so they act too.
        text += std::string("  Input \"") + T::kActionNames[i] + "\" { Key [" +
                (i % 2 == 0 ? std::to_string('A' + i) + ", -16" : std::string("-16")) + "] }\n";
    }
    return text +
           "  Physics \"p\" { RotateAcceleration [1., 1., 1.] RotateFriction [0.5, 0.5, 0.5]\n"
           "    MoveAcceleration [3., 3., 3.] MoveFriction [0.5, 0.5, 0.5] } }";
}

template <class T>
void flightUpdate(benchmark::State& state, const char* className) {
    SteppedClock clock(1.0 / 60.0);
    ScopedClockSource installed(&clock);
    KeyboardSnapshot snapshot;
    FrameContext context;
    context.keyboard = &snapshot;
    context.frameDelta = 1.0 / 60.0;
    Renderer renderer(nullptr);
    renderer.frameContext = &context;
    SceneObject* object = renderer.createEmptyObject();
    renderer.rootObject = object;
    const std::string text = flightEntry<T>(className);
    ParseResult parsed = parseText(text.data(), text.size());
    createBrain(object, &renderer, parsed.tree.get());
    Brain* brain = renderer.brains.head->value;
    for (int i = 0; i < T::kActionCount; i += 2) {
        snapshot.words[keyWord('A' + i)] |= keyMask('A' + i);
    }
    brain->start();
    brain->update();  // settle anything a first frame might do

    const uint64_t before = heapAllocations();
    for (auto _ : state) {
        brain->update();
        benchmark::DoNotOptimize(object->position);
    }
    const uint64_t allocations = heapAllocations() - before;
    state.counters["allocs_per_update"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void BM_UserMovementUpdate(benchmark::State& state) {
    flightUpdate<UserMovement>(state, "UserMovement");
}
BENCHMARK(BM_UserMovementUpdate);

// MoveFish with a keyframe emitted every 120 updates (two seconds of the shared clock).
void BM_MoveFishUpdate(benchmark::State& state) {
    flightUpdate<MoveFish>(state, "MoveFish");
}
BENCHMARK(BM_MoveFishUpdate);

}  // namespace
