// The software board's internals: the render-state record, the frame buffer record, the
// texture memory, and the rasteriser's entry points. Private to glide/.
//
// Every operation of glide.h reads or writes the one Board below. Drawing reads the state
// record as it stands at the call and texture downloads copy their data at call time, so
// state changes and draws recorded in order and replayed on another thread draw the same.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include <emmintrin.h>

#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "glide/present.h"

namespace glide {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr uint32_t kTextureMemoryBytes = 2u * 1024u * 1024u;
constexpr uint32_t kTexturePageBytes = 256;  // granularity of the expanded-texel cache tags

// The state the pixel pipeline reads; a plain record, changed only by the gr* setters.
struct BoardState {
    GrCombineFunction_t colorFunction;
    GrCombineFactor_t colorFactor;
    GrCombineLocal_t colorLocal;
    GrCombineOther_t colorOther;
    bool colorInvert;
    GrCombineFunction_t alphaFunction;
    GrCombineFactor_t alphaFactor;
    GrCombineLocal_t alphaLocal;
    GrCombineOther_t alphaOther;
    bool alphaInvert;

    GrCombineFunction_t texRgbFunction;
    GrCombineFactor_t texRgbFactor;
    GrCombineFunction_t texAlphaFunction;
    GrCombineFactor_t texAlphaFactor;
    bool texRgbInvert;
    bool texAlphaInvert;

    GrAlphaBlendFnc_t blendRgbSrc;
    GrAlphaBlendFnc_t blendRgbDst;
    GrAlphaBlendFnc_t blendAlphaSrc;
    GrAlphaBlendFnc_t blendAlphaDst;
    GrCmpFnc_t alphaTestFunction;
    uint8_t alphaReference;
    GrColor_t constantColor;  // 0xAARRGGBB

    GrDitherMode_t ditherMode;
    GrCullMode_t cullMode;
    GrDepthBufferMode_t depthMode;
    GrCmpFnc_t depthFunction;
    bool depthMask;

    GrFogMode_t fogMode;
    GrColor_t fogColor;  // 0x00RRGGBB
    uint8_t fogTable[GR_FOG_TABLE_SIZE];

    int clipMinX, clipMinY, clipMaxX, clipMaxY;  // min inclusive, max exclusive

    GrMipMapMode_t mipMapMode;
    GrTextureFilterMode_t minFilter;
    GrTextureFilterMode_t magFilter;
    GrTextureClampMode_t clampS;
    GrTextureClampMode_t clampT;

    // The texture selected by grTexSource.
    bool textureValid;
    uint32_t textureStart;  // byte address in texture memory
    GrLOD_t textureSmallLod;
    GrLOD_t textureLargeLod;
    GrAspectRatio_t textureAspect;
    GrTextureFormat_t textureFormat;
};

// The colour and depth buffers. The rasteriser takes its size from here.
struct FrameBuffer {
    int width = 0;
    int height = 0;
    int stride = 0;  // pixels between rows
    uint16_t* color[2] = {nullptr, nullptr};
    uint16_t* depth = nullptr;
    int front = 0;  // index of the front colour buffer; the other is drawn into
    std::vector<uint16_t> storage;

    uint16_t* back() const { return color[front ^ 1]; }
};

// TMU0's memory. `raw` holds the bytes as downloaded; `expanded` holds every 16-bit texel
// widened to four 16-bit lanes (a:48 r:32 g:16 b:0, each 0..255) in the format of
// `pageFormat`, so the sampler needs no per-texel decoding.
//
// `quads` serve the AVX2 pixel loop's bilinear filter: per 16-bit texel address, the texel,
// its right neighbour, the one below and the one below-right (wrapping within the level),
// each channel's byte beside its right neighbour's (b00 b10 g00 g10 r00 r10 a00 a10, then
// the lower pair), so one 16-byte load feeds the byte multiply-adds. They depend on the
// chain's layout, so they are built per page for the layout in `quadLayout` (0: stale).
struct TexelQuad {
    alignas(16) uint8_t bytes[16];
};

// The quad of expanded texels t00, its right neighbour t10, and the two below them: per row,
// the two texels' bytes interleaved lane by lane (lanes hold 0..255, so packing is exact).
// Static: each instruction-set build of the rasteriser keeps its own copy.
static inline __m128i makeQuad(uint64_t t00, uint64_t t10, uint64_t t01, uint64_t t11) {
    const __m128i left = _mm_set_epi64x(int64_t(t01), int64_t(t00));
    const __m128i right = _mm_set_epi64x(int64_t(t11), int64_t(t10));
    return _mm_unpacklo_epi8(_mm_packus_epi16(left, left), _mm_packus_epi16(right, right));
}

struct TextureMemory {
    std::vector<uint8_t> raw;
    std::vector<uint64_t> expanded;    // one per 16-bit texel address
    std::vector<int8_t> pageFormat;    // format each page is expanded in; -1 none
    std::vector<TexelQuad> quads;      // one per 16-bit texel address
    std::vector<uint64_t> quadLayout;  // layout each page's quads were built for; 0 stale
    uint64_t generation = 0;           // bumped whenever expanded texels change
    // The layout and generation the quads were last made to match, so an unchanged chain
    // is not checked page by page at every state change.
    uint64_t preparedLayout = 0, preparedGeneration = 0;
};

struct Board {
    BoardState state{};
    uint64_t stateVersion = 0;  // bumped by every change of `state` (see editState)
    FrameBuffer frame;
    TextureMemory texture;
    uint8_t fogLookup[65536]{};  // fog value per 16-bit W value, from the fog table

    uint32_t trianglesProcessed = 0;  // since grResetTriStats
    uint32_t trianglesDrawn = 0;
    BoardStats stats{};

    bool genericOnly = false;                       // debug: always run the generic pixel path
    BoardBuild chosenBuild = kBoardBuildAutomatic;  // debug: the rasteriser build draws use
    bool skipRasterisation = false;  // debug: count triangles, draw and clear nothing

    GlidePresentFunction presenter = nullptr;
    void* presenterContext = nullptr;
    std::atomic<int> pending{0};
};

extern constinit Board theBoard;  // the one board (see state.cpp)
inline Board& board() {
    return theBoard;
}

// The state record for changing: every setter goes through here, so the rasteriser can tell
// an unchanged state by its version instead of comparing the whole record.
inline BoardState& editState() {
    Board& b = board();
    ++b.stateVersion;
    return b.state;
}

// Allocates the frame buffer and texture memory (once).
void ensureAllocated();
void resetState(BoardState& s);
void rebuildFogLookup();

// Expands one 16-bit texel of the given format into lanes.
uint64_t expandTexel16(GrTextureFormat_t format, uint16_t texel);
// Expands one 8-bit texel of the given format into lanes.
uint64_t expandTexel8(GrTextureFormat_t format, uint8_t texel);
// The 256 expansions of an 8-bit format, by texel value (built once, read-only).
const uint64_t* expansionTable8(GrTextureFormat_t format);
bool isSixteenBit(GrTextureFormat_t format);
// Makes the expanded cache of [start, start + bytes) match `format`.
void refreshExpanded(uint32_t start, uint32_t bytes, GrTextureFormat_t format);
// Makes the quads of the selected chain (16-bit formats) match its layout; returns false
// when the state selects no such chain.
bool prepareQuads(const BoardState& s);
// Texel dimensions of one level (absolute LOD) for an aspect ratio.
void levelSize(GrLOD_t lod, GrAspectRatio_t aspect, int& width, int& height);

void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);

}  // namespace glide
