// The rasteriser's public entry points. The per-instruction-set part (raster_build.cpp) is
// compiled up to three times: baseline x86-64 (SSE2), AVX2 and AVX-512, each in its own
// namespace. Draws run the widest build the processor supports (each measured faster than
// the narrower ones, see README.md), unless a test or tool chooses one with boardUseBuild().
#include "glide/board.h"
#include "glide/board_debug.h"

// Only GCC builds the AVX2 and AVX-512 copies (they rely on `#pragma GCC target`); with other
// compilers (clang in the fuzz build) the baseline build is used alone.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define GLIDE_HAVE_WIDE_BUILDS 1
#else
#define GLIDE_HAVE_WIDE_BUILDS 0
#endif

namespace glide {

#define GLIDE_DECLARE_BUILD(isa)                                                \
    namespace isa {                                                             \
    void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c); \
    void drawPolygon(int n, const GrVertex v[]);                                \
    bool stateIsSpecialised();                                                  \
    }
GLIDE_DECLARE_BUILD(baseline)
#if GLIDE_HAVE_WIDE_BUILDS
GLIDE_DECLARE_BUILD(avx2)
GLIDE_DECLARE_BUILD(avx512)
#endif
#undef GLIDE_DECLARE_BUILD

namespace {

struct Build {
    void (*drawTriangle)(const GrVertex&, const GrVertex&, const GrVertex&);
    void (*drawPolygon)(int, const GrVertex[]);
    bool (*stateIsSpecialised)();
};

constexpr Build kBaseline{&baseline::drawTriangle, &baseline::drawPolygon,
                          &baseline::stateIsSpecialised};
#if GLIDE_HAVE_WIDE_BUILDS
constexpr Build kAvx2{&avx2::drawTriangle, &avx2::drawPolygon, &avx2::stateIsSpecialised};
constexpr Build kAvx512{&avx512::drawTriangle, &avx512::drawPolygon, &avx512::stateIsSpecialised};
#endif

// The build used when none is chosen: the widest the processor runs. The AVX-512 build draws
// the same pixels and measured 3-10% faster than the AVX2 build here (README.md, "Speed").
constexpr BoardBuild kPreferred[] = {kBoardBuildAvx512, kBoardBuildAvx2, kBoardBuildBaseline};

const Build& buildFor(const Board& b) {
    BoardBuild chosen = b.chosenBuild;
    if (chosen == kBoardBuildAutomatic) {
        for (BoardBuild candidate : kPreferred) {
            if (boardHasBuild(candidate)) {
                chosen = candidate;
                break;
            }
        }
    }
#if GLIDE_HAVE_WIDE_BUILDS
    if (chosen == kBoardBuildAvx2) return kAvx2;
    if (chosen == kBoardBuildAvx512) return kAvx512;
#endif
    return kBaseline;
}

}  // namespace

void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    const Board& bd = board();
    if (bd.frame.color[0] == nullptr) return;
    buildFor(bd).drawTriangle(a, b, c);
}

}  // namespace glide

void grDrawPolygonVertexList(int n, const GrVertex v[]) {
    using namespace glide;
    if (n < 3 || v == nullptr) return;
    Board& bd = board();
    if (bd.frame.color[0] == nullptr) return;
    if (bd.skipRasterisation) {
        bd.trianglesProcessed += uint32_t(n - 2);
        bd.stats.triangles += uint64_t(n - 2);
        return;
    }
    buildFor(bd).drawPolygon(n, v);
}

bool boardStateIsSpecialised() {
    using namespace glide;
    const Board& bd = board();
    if (bd.frame.color[0] == nullptr) return false;
    return buildFor(bd).stateIsSpecialised();
}

bool boardHasBuild(BoardBuild build) {
    switch (build) {
        case kBoardBuildAutomatic:
        case kBoardBuildBaseline:
            return true;
#if GLIDE_HAVE_WIDE_BUILDS
        case kBoardBuildAvx2:
            return __builtin_cpu_supports("avx2") != 0;
        case kBoardBuildAvx512: {
            static const bool supported =
                __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
            return supported;
        }
#endif
        default:
            return false;
    }
}

bool boardUseBuild(BoardBuild build) {
    if (!boardHasBuild(build)) return false;
    glide::board().chosenBuild = build;
    return true;
}

void boardUseBaselinePath(bool on) {
    boardUseBuild(on ? kBoardBuildBaseline : kBoardBuildAutomatic);
}

bool boardHasAvx2Path() {
    return boardHasBuild(kBoardBuildAvx2);
}
