// Software board benchmarks: fill rate, small-triangle set-up, and the reference scene
// (10,000 textured triangles covering about three screens), the last one also through
// OpenGL on Mesa's llvmpipe when OSMesa is available, for comparison.
//
// The `workers` argument is the board's drawing threads (boardSetDrawWorkers): 0 draws on
// the benchmark's own thread; 1 queues to one worker that draws everything (drawing
// overlaps the caller's set-up); 2 queues to two workers drawing alternate bands of rows.
// llvmpipe runs LP_NUM_THREADS threads (1 unless the environment says otherwise). Times
// are wall-clock: with workers, the benchmark's thread does only part of the work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_random.h"
#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "glide/testcard.h"

#ifdef HALCYON_HAVE_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#endif

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A 256x256 RGB565 texture with some structure, shared by every benchmark.
std::vector<uint16_t> makeTexture() {
    std::vector<uint16_t> t(256 * 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int r = (x ^ y) & 0xFF, g = (x * 3 + y) & 0xFF, b = (y * 5) & 0xFF;
            t[size_t(y) * 256 + x] = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        }
    }
    return t;
}

GrTexInfo gTextureInfo;
std::vector<uint16_t> gTexels;

// The engine's display set-up plus the state of the reference scene, with `workers`
// drawing threads.
void openBoard(bool fog, int workers) {
    boardSetDrawWorkers(workers);
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                 GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_DISABLE);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    grAlphaTestFunction(GR_CMP_ALWAYS);
    grDitherMode(GR_DITHER_4x4);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    if (gTexels.empty()) gTexels = makeTexture();
    gTextureInfo =
        GrTexInfo{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, gTexels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &gTextureInfo);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &gTextureInfo);
    if (fog) {
        GrFog_t table[GR_FOG_TABLE_SIZE];
        guFogGenerateExp(table, 0.2f);
        grFogTable(table);
        grFogColorValue(0x00808890);
        grFogMode(GR_FOG_WITH_TABLE);
    } else {
        grFogMode(GR_FOG_DISABLE);
    }
    grBufferClear(0, 0, 0xFFFF);
}

// Fill: the full screen as two triangles, bilinear 256x256 texture, W test and write,
// table fog, dither. Pixels per second from the board's own counter.
void BM_Fill(benchmark::State& state) {
    openBoard(true, int(state.range(0)));
    // w rises from 1 (bottom) to 3 (top); about one texel per pixel.
    const GrVertex quad[4] = {boardVertex(0, 0, 255, 220, 200, 0, 3, 0, 0),
                              boardVertex(640, 0, 200, 255, 220, 0, 3, 640, 0),
                              boardVertex(640, 480, 220, 200, 255, 0, 1, 640, 480),
                              boardVertex(0, 480, 255, 255, 255, 0, 1, 0, 480)};
    const uint64_t before = boardStats().pixels;
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        grDrawPolygonVertexList(4, quad);
        grBufferSwap(1);  // waits for the workers
    }
    const uint64_t pixels = boardStats().pixels - before;
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsRate);
}

// Registers a benchmark for the given numbers of drawing workers (0: the caller draws),
// timed in real time.
template <int... kWorkers>
void workers(benchmark::internal::Benchmark* b) {
    b->ArgName("workers");
    (b->Arg(kWorkers), ...);
    b->UseRealTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Fill)->Apply(workers<0, 1, 2>);

// Runs a benchmark on one build of the rasteriser (skipped where the processor lacks it).
template <void (*kBenchmark)(benchmark::State&)>
void onBuild(benchmark::State& state, BoardBuild build) {
    if (!boardUseBuild(build)) {
        state.SkipWithError("the processor does not run this build");
        return;
    }
    kBenchmark(state);
    boardUseBuild(kBoardBuildAutomatic);
}

// The same fill through the baseline (SSE2) build of the rasteriser, for processors
// without AVX2, and through the AVX2 build (the default build being AVX-512 where the
// processor has it).
void BM_FillBaseline(benchmark::State& state) {
    onBuild<BM_Fill>(state, kBoardBuildBaseline);
}
BENCHMARK(BM_FillBaseline)->Apply(workers<0>);
void BM_FillAvx2(benchmark::State& state) {
    onBuild<BM_Fill>(state, kBoardBuildAvx2);
}
BENCHMARK(BM_FillAvx2)->Apply(workers<0>);

// Set-up: 100,000 triangles of about 10 pixels each, drawn one call per triangle.
void BM_SmallTriangles(benchmark::State& state) {
    openBoard(false, int(state.range(0)));
    constexpr int kCount = 100000;
    std::vector<GrVertex> v;
    v.reserve(kCount * 3);
    XorShift32 rng{12345};
    for (int i = 0; i < kCount; ++i) {
        const float cx = rng.range(10, 630), cy = rng.range(10, 470);
        const float w = rng.range(1, 4), angle = rng.range(0, 6.2831853f);
        const float side = 4.8f;  // equilateral of side 4.8: about 10 pixels
        for (int k = 0; k < 3; ++k) {
            const float a = angle + float(k) * 2.0943951f;
            const float x = cx + side * 0.57735f * std::cos(a),
                        y = cy + side * 0.57735f * std::sin(a);
            v.push_back(boardVertex(x, y, 200, 180, 160, 0, w, x, y));
        }
    }
    const uint64_t before = boardStats().trianglesDrawn;
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        for (int i = 0; i < kCount; ++i) grDrawPolygonVertexList(3, &v[size_t(i) * 3]);
        grBufferSwap(1);  // waits for the workers
    }
    const uint64_t drawn = boardStats().trianglesDrawn - before;
    state.counters["Mtriangles/s"] =
        benchmark::Counter(double(drawn) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SmallTriangles)->Apply(workers<0, 1, 2>);
void BM_SmallTrianglesAvx2(benchmark::State& state) {
    onBuild<BM_SmallTriangles>(state, kBoardBuildAvx2);
}
BENCHMARK(BM_SmallTrianglesAvx2)->Apply(workers<0>);

// The reference scene: 10,000 equilateral triangles of area 3*640*480/10000, random
// centres and rotations, per-vertex w in [1, 4], one texel per pixel, random colours.
struct SceneVertex {
    float x, y, w, s, t, r, g, b;
};

std::vector<SceneVertex> referenceScene() {
    constexpr int kCount = 10000;
    const float area = 3.0f * kWidth * kHeight / kCount;
    const float side = std::sqrt(4.0f * area / std::sqrt(3.0f));
    const float radius = side / std::sqrt(3.0f);
    std::vector<SceneVertex> v;
    v.reserve(kCount * 3);
    XorShift32 rng{12345};
    for (int i = 0; i < kCount; ++i) {
        const float cx = rng.range(0, kWidth), cy = rng.range(0, kHeight);
        const float angle = rng.range(0, 6.2831853f);
        const float s0 = rng.range(0, 256), t0 = rng.range(0, 256);
        for (int k = 0; k < 3; ++k) {
            const float a = angle + float(k) * 2.0943951f;
            const float dx = radius * std::cos(a), dy = radius * std::sin(a);
            SceneVertex sv;
            sv.x = cx + dx;
            sv.y = cy + dy;
            sv.w = rng.range(1, 4);
            sv.s = s0 + dx;  // one texel of the 256 map per pixel
            sv.t = t0 + dy;
            sv.r = rng.range(0, 255);
            sv.g = rng.range(0, 255);
            sv.b = rng.range(0, 255);
            v.push_back(sv);
        }
    }
    return v;
}

void BM_ReferenceScene(benchmark::State& state) {
    openBoard(false, int(state.range(0)));
    const std::vector<SceneVertex> scene = referenceScene();
    std::vector<GrVertex> v;
    for (const SceneVertex& s : scene)
        v.push_back(boardVertex(s.x, s.y, s.r, s.g, s.b, 0, s.w, s.s, s.t));
    const uint64_t before = boardStats().pixels;
    int frames = 0;
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        for (size_t i = 0; i < v.size(); i += 3) grDrawPolygonVertexList(3, &v[i]);
        grBufferSwap(1);
        ++frames;
    }
    state.counters["pixels/frame"] = double(boardStats().pixels - before) / double(frames);
}
BENCHMARK(BM_ReferenceScene)->Apply(workers<0, 1, 2>);
void BM_ReferenceSceneAvx2(benchmark::State& state) {
    onBuild<BM_ReferenceScene>(state, kBoardBuildAvx2);
}
BENCHMARK(BM_ReferenceSceneAvx2)->Apply(workers<0>);

// The reference scene on a mip-mapped 256x256 chain (nine levels, mip-mapping NEAREST),
// the way the engine's textures are drawn; the level is chosen per pixel. Not one of the
// targets; for comparison with the single-level scene.
void BM_ReferenceSceneMipmapped(benchmark::State& state) {
    openBoard(false, int(state.range(0)));
    static std::vector<uint16_t> chain;
    if (chain.empty()) {
        // Each level samples the one above at even texels.
        chain = gTexels;
        size_t above = 0;
        for (int size = 128; size >= 1; size /= 2) {
            const size_t here = chain.size();
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    chain.push_back(
                        chain[above + size_t(2 * y) * size_t(2 * size) + size_t(2 * x)]);
                }
            }
            above = here;
        }
    }
    GrTexInfo info{GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, chain.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    const std::vector<SceneVertex> scene = referenceScene();
    std::vector<GrVertex> v;
    for (const SceneVertex& s : scene)
        v.push_back(boardVertex(s.x, s.y, s.r, s.g, s.b, 0, s.w, s.s, s.t));
    for (auto _ : state) {
        grBufferClear(0, 0, 0xFFFF);
        for (size_t i = 0; i < v.size(); i += 3) grDrawPolygonVertexList(3, &v[i]);
        grBufferSwap(1);
    }
}
BENCHMARK(BM_ReferenceSceneMipmapped)->Apply(workers<0, 2>);

#ifdef HALCYON_HAVE_OSMESA
// The same scene through OpenGL on Mesa (llvmpipe, LP_NUM_THREADS threads, 1 unless the
// environment sets it; Mesa reads it once per process): perspective through the
// clip-space w, 16-bit depth, bilinear repeat texture modulated by the vertex colour.
void BM_ReferenceSceneLlvmpipe(benchmark::State& state) {
    setenv("LP_NUM_THREADS", "1", 0);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (context == nullptr) {
        state.SkipWithError("OSMesa context not available");
        return;
    }
    std::vector<uint8_t> buffer(size_t(kWidth) * kHeight * 4);
    if (!OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight)) {
        state.SkipWithError("OSMesaMakeCurrent failed");
        OSMesaDestroyContext(context);
        return;
    }
    state.SetLabel(std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) +
                   ", LP_NUM_THREADS=" + std::getenv("LP_NUM_THREADS"));
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, kHeight, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_DITHER);
    glEnable(GL_TEXTURE_2D);
    if (gTexels.empty()) gTexels = makeTexture();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                 gTexels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    const std::vector<SceneVertex> scene = referenceScene();
    std::vector<float> positions, texcoords;
    std::vector<uint8_t> colours;
    for (const SceneVertex& s : scene) {
        // Clip-space position (x w, y w, z w, w): divides back to the screen point, and
        // texture coordinates are interpolated perspective-correctly in 1/w.
        const float z = (s.w - 1.0f) / 3.0f * 2.0f - 1.0f;
        positions.insert(positions.end(), {s.x * s.w, s.y * s.w, z * s.w, s.w});
        texcoords.insert(texcoords.end(), {s.s / 256.0f, s.t / 256.0f});
        colours.insert(colours.end(), {uint8_t(s.r), uint8_t(s.g), uint8_t(s.b), 255});
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texcoords.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(scene.size()));
        glFinish();
    }
    glDeleteTextures(1, &texture);
    OSMesaDestroyContext(context);
}
BENCHMARK(BM_ReferenceSceneLlvmpipe)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace
