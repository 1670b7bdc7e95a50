// The part of the rasteriser compiled once per instruction set: it includes the stages
// (raster_key.h, raster_context.h, triangle_setup.h, block_walk.h and the pixel headers),
// instantiates the pixel loop for every specialised key and the generic one, keeps the
// per-draw context, and defines this build's entry points in its own namespace (baseline,
// avx2, avx512). raster.cpp picks the build at run time. Compiled as it stands for
// baseline x86-64 (SSE2), and again by raster_avx2.cpp and raster_avx512.cpp.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include <emmintrin.h>
#include <immintrin.h>

#include "glide/board.h"
#include "glide/board_debug.h"
#include "glide/workers.h"

#ifndef GLIDE_RASTER_ISA
#define GLIDE_RASTER_ISA baseline
#endif

#include "glide/block_walk.h"
#include "glide/raster_context.h"
#include "glide/raster_key.h"
#include "glide/triangle_setup.h"

namespace glide {
namespace {

// ---- Key selection ----------------------------------------------------------------------

template <size_t... I>
constexpr auto makeTable(std::index_sequence<I...>) {
    return std::array<std::pair<uint32_t, RasterFunction>, sizeof...(I)>{
        std::pair<uint32_t, RasterFunction>{kSpecialised.first[I],
                                            &rasterise<kSpecialised.first[I]>}...};
}

const auto kTable = makeTable(std::make_index_sequence<kSpecialisedCount>{});

RasterFunction lookup(uint32_t key) {
    for (const auto& entry : kTable) {
        if (entry.first == key) return entry.second;
    }
    return nullptr;
}

// The context is rebuilt only when the state record or the drawn buffer changed. Queued
// draws keep pointing at theirs, so with workers a change moves on to the next slot of a
// ring, reused once the workers have finished every draw queued before its last use. The
// engine changes state every dozen triangles or so: the ring covers about as many changes
// as the job queue holds, and when the workers lag, a quarter of it is freed at once.
constexpr int kContextSlots = 512;
struct ContextSlot {
    BoardState state{};
    Context context{};
    uint64_t lastJob = 0;  // jobs queued when the slot was last left
};
struct ContextCache {
    uint64_t version = ~uint64_t(0);
    uint64_t textureGeneration = 0;  // the texture memory's when the context was built
    int front = -1;
    uint16_t* color = nullptr;
    bool genericOnly = false;
    int current = 0;
    ContextSlot slots[kContextSlots];
};

ContextCache& cache() {
    static ContextCache instance;
    return instance;
}

const Context& currentContext() {
    Board& bd = board();
    ContextCache& cc = cache();
    const BoardState& s = bd.state;
    const bool sameTarget = cc.front == bd.frame.front && cc.color == bd.frame.color[0] &&
                            cc.genericOnly == bd.genericOnly;
    if (sameTarget && cc.version == bd.stateVersion) return cc.slots[cc.current].context;
    // The engine sets a material's whole state before its polygons, so successive materials
    // often leave the state as it was: the context stands while the texture memory it read
    // is unchanged too.
    if (sameTarget && cc.textureGeneration == bd.texture.generation &&
        std::memcmp(&cc.slots[cc.current].state, &s, sizeof s) == 0) {
        cc.version = bd.stateVersion;
        return cc.slots[cc.current].context;
    }
    if (drawingOnWorkers()) {
        cc.slots[cc.current].lastJob = jobsQueued();
        cc.current = (cc.current + 1) % kContextSlots;
        if (!jobsFinished(cc.slots[cc.current].lastJob)) {
            waitForJobs(cc.slots[(cc.current + kContextSlots / 4) % kContextSlots].lastJob);
        }
    }
    ContextSlot& slot = cc.slots[cc.current];
    slot.state = s;
    cc.version = bd.stateVersion;
    cc.front = bd.frame.front;
    cc.color = bd.frame.color[0];
    cc.genericOnly = bd.genericOnly;
    Context& c = slot.context;
    c = Context{};
    c.board = &bd;
    c.s = &slot.state;
    const FrameBuffer& fb = bd.frame;
    c.color = fb.back();
    c.depth = fb.depth;
    c.stride = fb.stride;
    c.clipMinX = std::clamp(s.clipMinX, 0, fb.width);
    c.clipMaxX = std::clamp(s.clipMaxX, 0, fb.width);
    c.clipMinY = std::clamp(s.clipMinY, 0, fb.height);
    c.clipMaxY = std::clamp(s.clipMaxY, 0, fb.height);

    c.needTexture =
        usesTexture(s.colorOther, s.colorFactor) || usesTexture(s.alphaOther, s.alphaFactor);
    c.textureValid = s.textureValid && !bd.texture.raw.empty();
    c.tmuPass = s.texRgbFunction == GR_COMBINE_FUNCTION_LOCAL &&
                s.texAlphaFunction == GR_COMBINE_FUNCTION_LOCAL_ALPHA && !s.texRgbInvert &&
                !s.texAlphaInvert;
    if (c.textureValid) {
        c.format = s.textureFormat;
        c.texture16 = isSixteenBit(s.textureFormat);
        c.texels16 = bd.texture.expanded.data() + s.textureStart / 2;
        if (c.texture16 && prepareQuads(s)) c.quads = bd.texture.quads.data() + s.textureStart / 2;
        c.texels8 = bd.texture.raw.data() + s.textureStart;
        if (!c.texture16) c.expand8 = expansionTable8(s.textureFormat);
        c.largeLod = s.textureLargeLod;
        // Without mip-mapping only the largest level is used.
        const int smallLod =
            s.mipMapMode == GR_MIPMAP_DISABLE ? s.textureLargeLod : s.textureSmallLod;
        c.levels = smallLod - s.textureLargeLod + 1;
        uint32_t offset = 0;
        for (int i = 0; i < c.levels; ++i) {
            int w = 0, h = 0;
            levelSize(s.textureLargeLod + i, s.textureAspect, w, h);
            c.levelOffset[i] = offset;
            c.levelWidth[i] = w;
            c.widthMask[i] = w - 1;
            c.widthShift[i] = std::countr_zero(unsigned(w));
            c.heightMask[i] = h - 1;
            c.levelScale[i] = std::ldexp(1.0f, kOowBits - kTexCoordBits - (s.textureLargeLod + i));
            offset += uint32_t(w * h);
            const int32_t lanes[5] = {std::bit_cast<int32_t>(c.levelScale[i]), c.widthMask[i],
                                      c.heightMask[i], c.widthShift[i], int32_t(c.levelOffset[i])};
            for (int p = 0; p < 5; ++p) (i < 8 ? c.levelLanes[p][i] : c.ninthLevel[p]) = lanes[p];
        }
        c.wrapS = s.clampS == GR_TEXTURECLAMP_WRAP;
        c.wrapT = s.clampT == GR_TEXTURECLAMP_WRAP;
        c.bilinearMin = s.minFilter == GR_TEXTUREFILTER_BILINEAR;
        c.bilinearMag = s.magFilter == GR_TEXTUREFILTER_BILINEAR;
        c.needLod = c.levels > 1 || c.bilinearMin != c.bilinearMag;
    }

    c.depthTest = s.depthMode != GR_DEPTHBUFFER_DISABLE;
    c.depthWrite = c.depthTest && s.depthMask;
    c.fogTable = s.fogMode == GR_FOG_WITH_TABLE;
    c.blendOff = s.blendRgbSrc == GR_BLEND_ONE && s.blendRgbDst == GR_BLEND_ZERO;
    c.constA = int(s.constantColor >> 24) & 0xFF;
    c.constR = int(s.constantColor >> 16) & 0xFF;
    c.constG = int(s.constantColor >> 8) & 0xFF;
    c.constB = int(s.constantColor) & 0xFF;
    c.fogR = int(s.fogColor >> 16) & 0xFF;
    c.fogG = int(s.fogColor >> 8) & 0xFF;
    c.fogB = int(s.fogColor) & 0xFF;
    c.alphaRef = s.alphaReference;
    c.fogLookup = bd.fogLookup;
    const DitherTables& dt = ditherTables();
    const int on = s.ditherMode == GR_DITHER_DISABLE ? 0 : 1;
    c.ditherOn = on != 0;
    c.ditherRedBlue = &dt.redBlue[on][0][0];
    c.ditherGreen = &dt.green[on][0][0];

    cc.textureGeneration = bd.texture.generation;  // after prepareQuads() above
    RasterFunction fn = bd.genericOnly ? nullptr : lookup(normalise(s, c));
    c.specialised = fn != nullptr;
    c.raster = fn != nullptr ? fn : &rasterise<kGenericKey>;
    return c;
}

}  // namespace

// The entry points of this instruction set's build of the rasteriser.
namespace GLIDE_RASTER_ISA {

void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    const Context& context = currentContext();
    drawOne(context, toVertex(a), toVertex(b), toVertex(c));
}

void drawPolygon(int n, const GrVertex v[]) {
    const Context& c = currentContext();
    const Vertex first = toVertex(v[0]);
    Vertex previous = toVertex(v[1]);
    for (int i = 2; i < n; ++i) {
        const Vertex next = toVertex(v[i]);
        drawOne(c, first, previous, next);
        previous = next;
    }
}

bool stateIsSpecialised() {
    return currentContext().specialised;
}

}  // namespace GLIDE_RASTER_ISA
}  // namespace glide
