// Speed of the math library's hot operations: the depth sort of translucent polygons,
// one keyframe evaluation per brain per frame, and transforms applied per vertex.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "math/math.h"

namespace {

std::vector<KeyedEntry> randomEntries(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> depth(1.0f, 5000.0f);
    std::vector<KeyedEntry> entries(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        entries[static_cast<size_t>(i)].key = depth(rng);
        entries[static_cast<size_t>(i)].index = i;
    }
    return entries;
}

// Random depths (a fresh view) and nearly sorted depths (the same view a frame later).
void BM_SortByKeyRandom(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<KeyedEntry> source = randomEntries(n, 1);
    std::vector<KeyedEntry> work(source.size());
    for (auto _ : state) {
        work = source;
        sortByKey(work.data(), n);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortByKeyRandom)->Arg(7)->Arg(100)->Arg(2000)->Arg(30000);

// Reference: std::sort on the same input.
void BM_StdSortRandom(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<KeyedEntry> source = randomEntries(n, 1);
    std::vector<KeyedEntry> work(source.size());
    for (auto _ : state) {
        work = source;
        std::sort(work.begin(), work.end(),
                  [](const KeyedEntry& a, const KeyedEntry& b) { return a.key < b.key; });
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdSortRandom)->Arg(2000)->Arg(30000);

void BM_SortByKeyNearlySorted(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<KeyedEntry> source = randomEntries(n, 2);
    sortByKey(source.data(), n);
    std::mt19937 rng(3);
    for (int i = 0; i < n / 50; ++i) {
        std::swap(source[rng() % static_cast<unsigned>(n)],
                  source[rng() % static_cast<unsigned>(n)]);
    }
    std::vector<KeyedEntry> work(source.size());
    for (auto _ : state) {
        work = source;
        sortByKey(work.data(), n);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortByKeyNearlySorted)->Arg(2000)->Arg(30000);

void BM_KeyframeEvaluate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KeyframeMotion motion(n);
    for (int k = 1; k <= n; ++k) {
        MotionKey& key = motion.keys[static_cast<size_t>(k)];
        key.time = static_cast<float>(k);
        key.keyPosition = {static_cast<float>(k), static_cast<float>(k % 3), 0.0f};
        key.rotation = Quaternion::fromAngles(0.1f * static_cast<float>(k), 0.2f, 0.0f);
    }
    motion.endBehavior = kEndRepeat;
    motion.startTime = 1.0f;
    motion.endTime = static_cast<float>(n);
    motion.prepare();
    double t = 0.0;
    for (auto _ : state) {
        motion.evaluate(t);
        benchmark::DoNotOptimize(motion.currentRotation);
        t += 1.0 / 60.0;
    }
}
BENCHMARK(BM_KeyframeEvaluate)->Arg(4)->Arg(64);

void BM_TransformApply(benchmark::State& state) {
    Transform transform;
    transform.rotation = Matrix3::fromQuaternion(Quaternion::fromAngles(0.3f, 0.5f, 0.7f));
    transform.translation = {1.0f, 2.0f, 3.0f};
    transform.scale = 1.5f;
    std::vector<Vector3> in(4096), out(4096);
    for (size_t i = 0; i < in.size(); ++i) in[i] = {static_cast<float>(i), 1.0f, -2.0f};
    for (auto _ : state) {
        for (size_t i = 0; i < in.size(); ++i) out[i] = apply(transform, in[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_TransformApply);

}  // namespace
