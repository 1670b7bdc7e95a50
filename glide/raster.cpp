// The rasteriser: polygon fans, triangle set-up and the pixel pipeline.
//
// The pixel loop is one template over a normalised state key. Each key field is either a
// fixed choice (the loop is compiled for it) or kRuntime (the loop reads the state record).
// The key with every field kRuntime is the generic loop and serves any state; the keys the
// engine draws with get their own instantiation from the same source, listed in
// kSpecialised. Both must produce identical pixels (tested on the test card).
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include <emmintrin.h>

#include "glide/board.h"
#include "glide/board_debug.h"
#include "glide/workers.h"

// This file is also compiled a second time, for AVX2, by raster_avx2.cpp; each build keeps
// its pixel loops in its own namespace and the baseline build's entry points choose one.
#ifndef GLIDE_RASTER_ISA
#define GLIDE_RASTER_ISA baseline
#endif
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define GLIDE_HAVE_AVX2_BUILD 1
#else
#define GLIDE_HAVE_AVX2_BUILD 0
#endif

namespace glide {
namespace {

// ---- Normalised state key ---------------------------------------------------------------

constexpr uint8_t kRuntime = 15;

enum TexturePath : uint8_t { kTexNone = 0, kTex16 = 1 };
enum Filter : uint8_t { kPoint = 0, kBilinear = 1 };
enum ColourOp : uint8_t {
    kColourIter = 0,     // LOCAL, local ITERATED
    kColourLit = 1,      // SCALE_OTHER_ADD_LOCAL_ALPHA, LOCAL, ITERATED, ITERATED
    kColourDecal = 2,    // SCALE_OTHER, ONE, *, TEXTURE
    kColourLitTex = 3,   // SCALE_OTHER_ADD_LOCAL_ALPHA, LOCAL, ITERATED, TEXTURE
    kColourModulate = 4  // SCALE_OTHER, LOCAL, ITERATED, TEXTURE
};
enum AlphaOp : uint8_t {
    kAlphaUnused = 0,    // nothing reads the combined alpha
    kAlphaTexture = 1,   // SCALE_OTHER, ONE, *, TEXTURE
    kAlphaModulate = 2,  // SCALE_OTHER, LOCAL, ITERATED, TEXTURE
    kAlphaIter = 3       // LOCAL with local ITERATED
};
enum AlphaTest : uint8_t { kTestNone = 0, kTestGreater = 1 };
enum Blend : uint8_t { kBlendNone = 0, kBlendSrcAlpha = 1 };
enum Depth : uint8_t { kDepthNone = 0, kDepthLessWrite = 1, kDepthLessNoWrite = 2 };

struct Key {
    uint8_t texture, filter, colour, alpha, test, fog, blend, depth;
};

constexpr uint32_t pack(Key k) {
    return uint32_t(k.texture) | uint32_t(k.filter) << 4 | uint32_t(k.colour) << 8 |
           uint32_t(k.alpha) << 12 | uint32_t(k.test) << 16 | uint32_t(k.fog) << 20 |
           uint32_t(k.blend) << 24 | uint32_t(k.depth) << 28;
}

constexpr Key unpack(uint32_t p) {
    return Key{uint8_t(p & 15),         uint8_t((p >> 4) & 15),  uint8_t((p >> 8) & 15),
               uint8_t((p >> 12) & 15), uint8_t((p >> 16) & 15), uint8_t((p >> 20) & 15),
               uint8_t((p >> 24) & 15), uint8_t((p >> 28) & 15)};
}

constexpr uint32_t kGenericKey =
    pack(Key{kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime});

// The states the engine draws with (see README.md).
constexpr auto makeSpecialisedKeys() {
    std::array<uint32_t, 96> keys{};
    size_t n = 0;
    for (uint8_t filter : {kPoint, kBilinear}) {
        for (uint8_t fog : {0, 1}) {
            // Opaque textured: decal, lit textured, modulated; plain or alpha-tested; with
            // W-buffer writes or with depth off (sky box).
            for (uint8_t colour : {kColourDecal, kColourLitTex, kColourModulate}) {
                for (uint8_t depth : {kDepthLessWrite, kDepthNone}) {
                    keys[n++] = pack(Key{kTex16, filter, colour, kAlphaUnused, kTestNone, fog,
                                         kBlendNone, depth});
                    keys[n++] = pack(Key{kTex16, filter, colour, kAlphaTexture, kTestGreater, fog,
                                         kBlendNone, depth});
                }
            }
            // Translucent textured and sprites; translucent untextured (its alpha still
            // comes from the texture unit).
            for (uint8_t colour : {kColourModulate, kColourIter}) {
                for (uint8_t test : {kTestNone, kTestGreater}) {
                    keys[n++] = pack(Key{kTex16, filter, colour, kAlphaModulate, test, fog,
                                         kBlendSrcAlpha, kDepthLessNoWrite});
                }
            }
        }
    }
    for (uint8_t fog : {0, 1}) {
        for (uint8_t depth : {kDepthLessWrite, kDepthNone}) {
            keys[n++] = pack(
                Key{kTexNone, kPoint, kColourLit, kAlphaUnused, kTestNone, fog, kBlendNone, depth});
            keys[n++] = pack(Key{kTexNone, kPoint, kColourIter, kAlphaUnused, kTestNone, fog,
                                 kBlendNone, depth});
        }
    }
    return std::pair{keys, n};
}

constexpr auto kSpecialised = makeSpecialisedKeys();
constexpr size_t kSpecialisedCount = kSpecialised.second;

// ---- Per-draw context -------------------------------------------------------------------

struct DitherTables {
    // [dither on][matrix position (y & 3) * 4 + (x & 3)][channel] -> 5-bit red/blue, 6-bit green
    uint8_t redBlue[2][16][256];
    uint8_t green[2][16][256];
    DitherTables() {
        static const int kMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        for (int i = 0; i < 16; ++i) {
            const int d = kMatrix[i];
            for (int c = 0; c < 256; ++c) {
                redBlue[1][i][c] = uint8_t((2 * c - (c >> 4) + (c >> 7) + d) >> 4);
                green[1][i][c] = uint8_t((4 * c - (c >> 4) + (c >> 6) + d) >> 4);
                redBlue[0][i][c] = uint8_t(c >> 3);
                green[0][i][c] = uint8_t(c >> 2);
            }
        }
    }
};

const DitherTables& ditherTables() {
    static const DitherTables tables;
    return tables;
}

struct Context;
struct Setup;
using RasterFunction = void (*)(const Context&, const Setup&);

struct Context {
    Board* board;  // the board drawn on (kept here to spare a look-up per triangle)
    const BoardState* s;
    uint16_t* color;
    uint16_t* depth;
    int stride;
    int clipMinX, clipMinY, clipMaxX, clipMaxY;

    // Texture.
    bool needTexture;
    bool textureValid;
    bool texture16;
    GrTextureFormat_t format;
    const uint64_t* texels16;  // expanded texels at the source address
    const TexelQuad* quads;    // bilinear quads at the source address (16-bit formats)
    const uint8_t* texels8;    // raw bytes at the source address
    int levels;                // levels in the chain
    int largeLod;
    uint32_t levelOffset[9];  // texels from the chain start
    int levelWidth[9];
    int widthMask[9];   // width - 1
    int widthShift[9];  // log2(width)
    int heightMask[9];
    float levelScale[9];  // 2^-lod
    bool wrapS, wrapT;
    bool bilinearMin, bilinearMag;
    bool needLod;  // more than one level, or different filters for min and mag
    bool tmuPass;  // texture combine passes the texel through

    // Runtime pieces of the generic path.
    bool depthTest, depthWrite;
    bool fogTable;
    bool blendOff;
    int constR, constG, constB, constA;
    int fogR, fogG, fogB;
    int alphaRef;
    const uint8_t* fogLookup;
    const uint8_t* ditherRedBlue;  // 16 rows of 256, see DitherTables
    const uint8_t* ditherGreen;
    bool ditherOn;

    RasterFunction raster;
    bool specialised;
};

// ---- Triangle set-up --------------------------------------------------------------------

struct Plane {
    float at0, dx, dy;  // value at the first vertex and its gradients
};

struct Edge {
    float x0, y0, slope;  // x = x0 + (y - y0) * slope
    float at(float y) const { return x0 + (y - y0) * slope; }
};

// The interpolated attributes, in the order of Vertex's fields from `r` on.
enum PlaneIndex { kPlaneR, kPlaneG, kPlaneB, kPlaneA, kPlaneW, kPlaneS, kPlaneT, kPlanes };

struct Setup {
    int yStart, yEnd;  // rows [yStart, yEnd)
    float yMid;
    Edge longEdge, upper, lower;
    bool longOnLeft;
    float x0, y0;  // the plane origin
    // Attribute planes by PlaneIndex (set up eight lanes at once; the last is spare).
    alignas(32) float at0[8], dx[8], dy[8];
    float lodThreshold[9];  // w at or above threshold[k] selects level k; w <= [0] magnifies
    Plane plane(int i) const { return Plane{at0[i], dx[i], dy[i]}; }
};

struct Vertex {
    float x, y;
    float r, g, b, a, oow, sow, tow, spare;  // the planes' values, see PlaneIndex
};

inline int ceilToInt(float v) {
#ifdef GLIDE_RASTER_AVX2
    return _mm_cvttss_si32(_mm_ceil_ss(_mm_setzero_ps(), _mm_set_ss(v)));  // the same result
#else
    int i = int(v);
    return i + (v > float(i) ? 1 : 0);
#endif
}

inline int floorToInt(float v) {
    // Out-of-range and NaN values land on the limits; wrap/clamp then keep them inside.
    constexpr float kLimit = 1073741824.0f;
    v = std::min(v, kLimit);
    v = v > -kLimit ? v : -kLimit;
    const int i = int(v);
    return i - int(v < float(i));
}

inline Edge makeEdge(const Vertex& top, const Vertex& bottom) {
    const float dy = bottom.y - top.y;
    return Edge{top.x, top.y, dy > 0.0f ? (bottom.x - top.x) / dy : 0.0f};
}

// ---- Pixel helpers ----------------------------------------------------------------------

// The 16-bit floating W value of BOARD.md: 4-bit exponent (leading zeros of 1/w's binary
// fraction) over the inverted 12-bit mantissa, plus one. Read straight from the float's
// bits: value = 520192 - (bits >> 11), limited to 0..0xFFFF, gives the same numbers.
inline uint32_t encodeW(float oow) {
    int32_t bits;
    std::memcpy(&bits, &oow, sizeof bits);
    const int32_t v = 520192 - (bits >> 11);
    return uint32_t(std::clamp(v, 0, 0xFFFF));
}

inline int channel(float v) {
    v = v < 255.0f ? v : 255.0f;
    v = v > 0.0f ? v : 0.0f;
    return int(v);
}

inline int clampByte(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline bool compare(GrCmpFnc_t function, int value, int reference) {
    switch (function) {
        case GR_CMP_NEVER:
            return false;
        case GR_CMP_LESS:
            return value < reference;
        case GR_CMP_EQUAL:
            return value == reference;
        case GR_CMP_LEQUAL:
            return value <= reference;
        case GR_CMP_GREATER:
            return value > reference;
        case GR_CMP_NOTEQUAL:
            return value != reference;
        case GR_CMP_GEQUAL:
            return value >= reference;
        default:
            return true;
    }
}

// The combine unit for one channel: clamp(((A - S) * (f + 1)) >> 8 + D), then invert.
inline int combine(GrCombineFunction_t function, int other, int local, int localAlpha, int f,
                   bool invert) {
    int a = 0, s = 0, d = 0;
    switch (function) {
        case GR_COMBINE_FUNCTION_ZERO:
            break;
        case GR_COMBINE_FUNCTION_LOCAL:
            d = local;
            break;
        case GR_COMBINE_FUNCTION_LOCAL_ALPHA:
            d = localAlpha;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER:
            a = other;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL:
            a = other;
            d = local;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA:
            a = other;
            d = localAlpha;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL:
            a = other;
            s = local;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL:
            a = other;
            s = local;
            d = local;
            break;
        case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA:
            a = other;
            s = local;
            d = localAlpha;
            break;
        case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL:
            s = local;
            d = local;
            break;
        case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA:
            s = local;
            d = localAlpha;
            break;
        default:
            break;
    }
    const int out = clampByte((((a - s) * (f + 1)) >> 8) + d);
    return invert ? 255 - out : out;
}

// Combine factor: low 3 bits pick the source, bit 0x8 takes 255 minus it.
inline int factor(GrCombineFactor_t f, int local, int otherAlpha, int localAlpha,
                  int textureAlpha) {
    int v = 0;
    switch (f & 7) {
        case GR_COMBINE_FACTOR_LOCAL:
            v = local;
            break;
        case GR_COMBINE_FACTOR_OTHER_ALPHA:
            v = otherAlpha;
            break;
        case GR_COMBINE_FACTOR_LOCAL_ALPHA:
            v = localAlpha;
            break;
        case GR_COMBINE_FACTOR_TEXTURE_ALPHA:
            v = textureAlpha;
            break;
        default:
            v = 0;
            break;
    }
    return (f & 8) ? 255 - v : v;
}

// Blend multiplier (0..256) for a colour channel.
inline int blendFactor(GrAlphaBlendFnc_t f, int srcAlpha, int colour) {
    switch (f) {
        case GR_BLEND_ZERO:
            return 0;
        case GR_BLEND_SRC_ALPHA:
            return srcAlpha + 1;
        case GR_BLEND_SRC_COLOR:
            return colour + 1;  // DST_COLOR as a source factor
        case GR_BLEND_DST_ALPHA:
            return 256;  // no destination alpha: taken as 255
        case GR_BLEND_ONE:
            return 256;
        case GR_BLEND_ONE_MINUS_SRC_ALPHA:
            return 256 - srcAlpha;
        case GR_BLEND_ONE_MINUS_SRC_COLOR:
            return 256 - colour;
        case GR_BLEND_ONE_MINUS_DST_ALPHA:
            return 0;
        default:
            return 0;
    }
}

inline void expand565(uint16_t p, int& r, int& g, int& b) {
    const int r5 = (p >> 11) & 31, g6 = (p >> 5) & 63, b5 = p & 31;
    r = (r5 << 3) | (r5 >> 2);
    g = (g6 << 2) | (g6 >> 4);
    b = (b5 << 3) | (b5 >> 2);
}

inline int wrapOrClamp(int i, int mask, bool wrap) {
    return wrap ? (i & mask) : std::clamp(i, 0, mask);
}

template <bool kIs16>
inline uint64_t fetch(const Context& c, int level, int x, int y) {
    const uint32_t index =
        c.levelOffset[level] + uint32_t(y) * uint32_t(c.levelWidth[level]) + uint32_t(x);
    if constexpr (kIs16) {
        return c.texels16[index];
    } else {
        return c.texture16 ? c.texels16[index] : expandTexel8(c.format, c.texels8[index]);
    }
}

// One texture sample at a level: lanes a:48 r:32 g:16 b:0.
template <bool kIs16>
[[gnu::always_inline]] inline uint64_t sample(const Context& c, int level, bool bilinear, float s,
                                              float t) {
    const float scale = c.levelScale[level];
    const int wm = c.widthMask[level], hm = c.heightMask[level];
    if (!bilinear) {
        const int i = wrapOrClamp(floorToInt(s * scale), wm, c.wrapS);
        const int j = wrapOrClamp(floorToInt(t * scale), hm, c.wrapT);
        return fetch<kIs16>(c, level, i, j);
    }
    // Bilinear with 4 fraction bits (BOARD.md).
    const int si = floorToInt((s * scale - 0.5f) * 16.0f);
    const int ti = floorToInt((t * scale - 0.5f) * 16.0f);
    const int fs = si & 15, ft = ti & 15;
    const int i0 = wrapOrClamp(si >> 4, wm, c.wrapS), i1 = wrapOrClamp((si >> 4) + 1, wm, c.wrapS);
    const int j0 = wrapOrClamp(ti >> 4, hm, c.wrapT), j1 = wrapOrClamp((ti >> 4) + 1, hm, c.wrapT);
    const uint64_t w00 = uint64_t((16 - fs) * (16 - ft)), w10 = uint64_t(fs * (16 - ft));
    const uint64_t w01 = uint64_t((16 - fs) * ft), w11 = uint64_t(fs * ft);
    // Each lane holds at most 255 * 256, so the four products never carry between lanes.
    const uint64_t sum =
        fetch<kIs16>(c, level, i0, j0) * w00 + fetch<kIs16>(c, level, i1, j0) * w10 +
        fetch<kIs16>(c, level, i0, j1) * w01 + fetch<kIs16>(c, level, i1, j1) * w11;
    return (sum >> 8) & 0x00FF00FF00FF00FFull;
}

// ---- The pixel loop ---------------------------------------------------------------------

// The AVX2 build queues a whole small triangle at once: each run of the pixel loop sets up
// its constants anew.
#ifdef GLIDE_RASTER_AVX2
constexpr int kChunk = 256;
#else
constexpr int kChunk = 64;
#endif

// Per-pixel values of up to kChunk pixels of a span, computed ahead of the pipeline.
struct SpanValues {
    alignas(32) int32_t x[kChunk + 8];  // the queued pixels (and room for whole groups of eight)
    alignas(32) int32_t y[kChunk + 8];
    alignas(16) float fx[kChunk];  // pixel centre relative to the plane origin
    alignas(16) float fy[kChunk];
    alignas(16) int32_t wf[kChunk];  // 16-bit W value
    alignas(16) int32_t r[kChunk];   // iterated channels, 0..255
    alignas(16) int32_t g[kChunk];
    alignas(16) int32_t b[kChunk];
    alignas(16) int32_t a[kChunk];
    alignas(16) float w[kChunk];  // 1/oow, 0 behind the eye
    alignas(16) float s[kChunk];  // texture coordinates, 0..256 across the map
    alignas(16) float t[kChunk];
    // With a single texture level: texel indices of the (up to) four texels and their
    // 4-bit bilinear fractions.
    alignas(16) int32_t index[4][kChunk];
    alignas(16) int32_t fraction[2][kChunk];  // 4-bit s and t fractions
};

inline int clampTo(int v, int lo, int hi) {
    return std::min(std::max(v, lo), hi);
}

// Texel indices and bilinear weights for a chunk sampled from level 0 only; the same
// arithmetic as sample(), arranged so the compiler can work on several pixels at once.
[[gnu::always_inline]] inline void addressSingleLevel(const Context& c, bool bilinear,
                                                      SpanValues& span, int n) {
    if ((n & 3) != 0) __builtin_unreachable();  // whole groups of four
    const float scale = c.levelScale[0];
    const int wm = c.widthMask[0], hm = c.heightMask[0], shift = c.widthShift[0];
    // Wrap is "& mask"; clamp is "min/max"; applying both is exact for either mode.
    const int andS = c.wrapS ? wm : -1, andT = c.wrapT ? hm : -1;
    if (!bilinear) {
        for (int i = 0; i < n; ++i) {
            const int x = clampTo(floorToInt(span.s[i] * scale) & andS, 0, wm);
            const int y = clampTo(floorToInt(span.t[i] * scale) & andT, 0, hm);
            span.index[0][i] = (y << shift) + x;
        }
        return;
    }
    if (c.wrapS && c.wrapT) {
        // The common case, without the clamps.
        for (int i = 0; i < n; ++i) {
            const int si = floorToInt((span.s[i] * scale - 0.5f) * 16.0f);
            const int ti = floorToInt((span.t[i] * scale - 0.5f) * 16.0f);
            const int fs = si & 15, ft = ti & 15;
            const int x0 = (si >> 4) & wm, x1 = ((si >> 4) + 1) & wm;
            const int y0 = ((ti >> 4) & hm) << shift, y1 = (((ti >> 4) + 1) & hm) << shift;
            span.index[0][i] = y0 + x0;
            span.index[1][i] = y0 + x1;
            span.index[2][i] = y1 + x0;
            span.index[3][i] = y1 + x1;
            span.fraction[0][i] = fs;
            span.fraction[1][i] = ft;
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        const int si = floorToInt((span.s[i] * scale - 0.5f) * 16.0f);
        const int ti = floorToInt((span.t[i] * scale - 0.5f) * 16.0f);
        const int fs = si & 15, ft = ti & 15;
        const int x0 = clampTo((si >> 4) & andS, 0, wm);
        const int x1 = clampTo(((si >> 4) + 1) & andS, 0, wm);
        const int y0 = clampTo((ti >> 4) & andT, 0, hm) << shift;
        const int y1 = clampTo(((ti >> 4) + 1) & andT, 0, hm) << shift;
        span.index[0][i] = y0 + x0;
        span.index[1][i] = y0 + x1;
        span.index[2][i] = y1 + x0;
        span.index[3][i] = y1 + x1;
        span.fraction[0][i] = fs;
        span.fraction[1][i] = ft;
    }
}

template <bool kIs16>
inline uint64_t fetchIndex(const Context& c, int32_t index) {
    if constexpr (kIs16) {
        return c.texels16[index];
    } else {
        return c.texture16 ? c.texels16[index] : expandTexel8(c.format, c.texels8[index]);
    }
}

template <bool kIs16>
[[gnu::always_inline]] inline uint64_t fetchAddressed(const Context& c, bool bilinear,
                                                      const SpanValues& span, int i) {
    if (!bilinear) return fetchIndex<kIs16>(c, span.index[0][i]);
    // The same sum as sample()'s, weighing along s first: lanes stay below 2^16 throughout.
    const uint64_t fs = uint64_t(span.fraction[0][i]), ft = uint64_t(span.fraction[1][i]);
    const uint64_t top = fetchIndex<kIs16>(c, span.index[0][i]) * (16 - fs) +
                         fetchIndex<kIs16>(c, span.index[1][i]) * fs;
    const uint64_t bottom = fetchIndex<kIs16>(c, span.index[2][i]) * (16 - fs) +
                            fetchIndex<kIs16>(c, span.index[3][i]) * fs;
    const uint64_t sum = top * (16 - ft) + bottom * ft;
    return (sum >> 8) & 0x00FF00FF00FF00FFull;
}

// ---- The vector pixel pipeline ----------------------------------------------------------
//
// The specialised loops run the pipeline on four pixels at a time in SSE2 registers. Each
// pixel is four 16-bit lanes (b, g, r, a), two pixels to a register; every step is the
// scalar arithmetic rearranged so that no intermediate leaves 0..65535:
//   bilinear   sum of texel * weight over the four texels (weights sum to 256), >> 8
//   modulate   (texel * (iterated + 1)) >> 8
//   fog        out + ((fog - out) * f >> 8) == (out * (256 - f) + fog * f) >> 8, f = 1..256
//   blend      ((out * (a + 1)) >> 8) + ((dst * (256 - a)) >> 8), at most 255 after a min
//   dither     (2c - (c >> 4) + (c >> 7) + d) >> 4 for red and blue, with 2c for green

struct VectorTables {
    alignas(16) uint64_t dither[16];    // (y & 3) * 4 + (x & 3) -> d in the b, g, r lanes
    alignas(16) uint64_t fog[256];      // fog lookup value v -> v + 1 in the b, g, r lanes
    alignas(16) uint64_t laneMask[16];  // 4-bit pixel mask -> 16-bit lanes of ones
    // Four neighbours on a row: (y & 3) * 4 + (x & 3) -> d of pixels x, x+1 and x+2, x+3.
    alignas(16) uint64_t ditherRow[16][4];
    // Bilinear weights by fs * 16 + ft: (16-fs)(16-ft) x4, fs(16-ft) x4 for the top texel
    // pair and (16-fs)ft x4, fs ft x4 for the bottom pair.
    alignas(16) uint16_t weights[256][2][8];
    VectorTables() {
        static const int kMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        auto lanes = [](uint64_t v) { return v | v << 16 | v << 32; };
        for (int i = 0; i < 16; ++i) dither[i] = lanes(uint64_t(kMatrix[i]));
        for (int v = 0; v < 256; ++v) fog[v] = lanes(uint64_t(v + 1));
        for (int i = 0; i < 16; ++i) {
            for (int j = 0; j < 4; ++j) ditherRow[i][j] = dither[(i & ~3) | ((i + j) & 3)];
        }
        for (int fs = 0; fs < 16; ++fs) {
            for (int ft = 0; ft < 16; ++ft) {
                const int w[4] = {(16 - fs) * (16 - ft), fs * (16 - ft), (16 - fs) * ft, fs * ft};
                for (int l = 0; l < 8; ++l) {
                    weights[fs * 16 + ft][0][l] = uint16_t(w[l / 4]);
                    weights[fs * 16 + ft][1][l] = uint16_t(w[2 + l / 4]);
                }
            }
        }
        for (int m = 0; m < 16; ++m) {
            laneMask[m] = 0;
            for (int j = 0; j < 4; ++j) laneMask[m] |= (m >> j & 1) ? 0xFFFFull << (16 * j) : 0;
        }
    }
};

const VectorTables& vectorTables() {
    static const VectorTables tables;
    return tables;
}

inline __m128i loadPair(const uint64_t* a, const uint64_t* b) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo), reinterpret_cast<const double*>(b)));
}

// The bilinear texel of pixel J of a group of four: lanes b, g, r, a in the low half.
template <int J>
[[gnu::always_inline]] inline __m128i bilinearTexel(const uint64_t* texels,
                                                    const uint32_t (&index)[5][8], int base,
                                                    const uint16_t (&weights)[256][2][8]) {
    const int j = base + J;
    const __m128i top = loadPair(texels + index[0][j], texels + index[1][j]);
    const __m128i bottom = loadPair(texels + index[2][j], texels + index[3][j]);
    const uint16_t(&w)[2][8] = weights[index[4][j]];
    const __m128i sum = _mm_add_epi16(
        _mm_mullo_epi16(top, _mm_load_si128(reinterpret_cast<const __m128i*>(w[0]))),
        _mm_mullo_epi16(bottom, _mm_load_si128(reinterpret_cast<const __m128i*>(w[1]))));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_srli_si128(sum, 8)), 8);
}

// Four 16-bit pixels at the given offsets, in the low half.
inline __m128i gatherPixels(const uint16_t* buffer, const uint32_t (&offset)[4]) {
    __m128i v = _mm_cvtsi32_si128(buffer[offset[0]]);
    v = _mm_insert_epi16(v, buffer[offset[1]], 1);
    v = _mm_insert_epi16(v, buffer[offset[2]], 2);
    return _mm_insert_epi16(v, buffer[offset[3]], 3);
}

inline __m128i broadcastAlpha(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF);
}

// ---- Lane steps shared by the two vector pipelines --------------------------------------
//
// A pixel is four 16-bit lanes (b, g, r, a): two pixels to a 128-bit register in the
// baseline pipeline, four to a 256-bit register in the AVX2 one. The steps are written once,
// over these overloads.

inline __m128i add16(__m128i a, __m128i b) {
    return _mm_add_epi16(a, b);
}
inline __m128i sub16(__m128i a, __m128i b) {
    return _mm_sub_epi16(a, b);
}
inline __m128i mul16(__m128i a, __m128i b) {
    return _mm_mullo_epi16(a, b);
}
inline __m128i mulHigh16(__m128i a, __m128i b) {
    return _mm_mulhi_epu16(a, b);
}
inline __m128i min16(__m128i a, __m128i b) {
    return _mm_min_epi16(a, b);
}
inline __m128i and16(__m128i a, __m128i b) {
    return _mm_and_si128(a, b);
}
inline __m128i or16(__m128i a, __m128i b) {
    return _mm_or_si128(a, b);
}
inline __m128i andNot16(__m128i a, __m128i b) {  // ~a & b
    return _mm_andnot_si128(a, b);
}
inline __m128i madd16(__m128i a, __m128i b) {
    return _mm_madd_epi16(a, b);
}
template <int N>
inline __m128i shr16(__m128i a) {
    return _mm_srli_epi16(a, N);
}
inline __m128i alpha16(__m128i v) {  // each pixel's alpha in its four lanes
    return broadcastAlpha(v);
}
inline void splat(__m128i& v, uint64_t lanes) {
    v = _mm_set1_epi64x(int64_t(lanes));
}

#ifdef GLIDE_RASTER_AVX2
inline __m256i add16(__m256i a, __m256i b) {
    return _mm256_add_epi16(a, b);
}
inline __m256i sub16(__m256i a, __m256i b) {
    return _mm256_sub_epi16(a, b);
}
inline __m256i mul16(__m256i a, __m256i b) {
    return _mm256_mullo_epi16(a, b);
}
inline __m256i mulHigh16(__m256i a, __m256i b) {
    return _mm256_mulhi_epu16(a, b);
}
inline __m256i min16(__m256i a, __m256i b) {
    return _mm256_min_epi16(a, b);
}
inline __m256i and16(__m256i a, __m256i b) {
    return _mm256_and_si256(a, b);
}
inline __m256i or16(__m256i a, __m256i b) {
    return _mm256_or_si256(a, b);
}
inline __m256i andNot16(__m256i a, __m256i b) {
    return _mm256_andnot_si256(a, b);
}
inline __m256i madd16(__m256i a, __m256i b) {
    return _mm256_madd_epi16(a, b);
}
template <int N>
inline __m256i shr16(__m256i a) {
    return _mm256_srli_epi16(a, N);
}
inline __m256i alpha16(__m256i v) {
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF);
}
inline void splat(__m256i& v, uint64_t lanes) {
    v = _mm256_set1_epi64x(int64_t(lanes));
}
#endif

// The register of a width (named by a trait: the register types' attributes do not pass
// through template arguments).
template <int kBits>
struct LaneRegister;
template <>
struct LaneRegister<128> {
    using type = __m128i;
};
#ifdef GLIDE_RASTER_AVX2
template <>
struct LaneRegister<256> {
    using type = __m256i;
};
#endif

// The constants of the lane steps, each pixel's four lanes (b, g, r, a) from the lowest.
template <int kBits>
struct LaneConstants {
    using V = typename LaneRegister<kBits>::type;
    V zero{}, one, byteMax, full, rgbMask, greenMask, pack565, expandMul, expandMask, expandLow;
    V fogColour;
    explicit LaneConstants(const Context& c) {
        splat(one, 0x0001000100010001ull);
        splat(byteMax, 0x00FF00FF00FF00FFull);
        splat(full, 0x0100010001000100ull);
        splat(rgbMask, 0x0000FFFFFFFFFFFFull);
        splat(greenMask, 0x00000000FFFF0000ull);
        splat(pack565, 0x0000080000200001ull);  // b x1, g x32, r x2048
        splat(expandMul, 0x0000000100200800ull);
        splat(expandMask, 0x0000F800FC00F800ull);
        splat(expandLow, 0x0000080004000800ull);
        splat(fogColour, uint64_t(c.fogR) << 32 | uint64_t(c.fogG) << 16 | uint64_t(c.fogB));
    }
};

// Colour and alpha combine of a specialised state, from the texel and the iterated colour.
template <uint32_t kPacked, int kBits, typename V = typename LaneRegister<kBits>::type>
[[gnu::always_inline]] inline V combineLanes(V tx, V it, const LaneConstants<kBits>& lc) {
    constexpr Key k = unpack(kPacked);
    V colour = lc.zero, alpha = lc.zero;
    [[maybe_unused]] const V scaled = shr16<8>(mul16(tx, add16(it, lc.one)));
    if constexpr (k.colour == kColourIter) {
        colour = it;
    } else if constexpr (k.colour == kColourLit) {
        const V lit = shr16<8>(mul16(it, add16(it, lc.one)));
        colour = min16(add16(lit, alpha16(it)), lc.byteMax);
    } else if constexpr (k.colour == kColourDecal) {
        colour = tx;
    } else if constexpr (k.colour == kColourLitTex) {
        colour = min16(add16(scaled, alpha16(it)), lc.byteMax);
    } else if constexpr (k.colour == kColourModulate) {
        colour = scaled;
    }
    if constexpr (k.alpha == kAlphaTexture) {
        alpha = tx;
    } else if constexpr (k.alpha == kAlphaModulate) {
        alpha = scaled;
    } else if constexpr (k.alpha == kAlphaIter) {
        alpha = it;
    }
    return or16(and16(colour, lc.rgbMask), andNot16(lc.rgbMask, alpha));
}

// Fog towards the fog colour; f holds the fog value + 1 in the b, g, r lanes, 0 in alpha.
template <int kBits, typename V = typename LaneRegister<kBits>::type>
[[gnu::always_inline]] inline V fogLanes(V out, V f, const LaneConstants<kBits>& lc) {
    return shr16<8>(add16(mul16(out, sub16(lc.full, f)), mul16(lc.fogColour, f)));
}

// Source-alpha blending over the destination's 5-6-5 pixel (repeated in its four lanes).
template <int kBits, typename V = typename LaneRegister<kBits>::type>
[[gnu::always_inline]] inline V blendLanes(V out, V d565, const LaneConstants<kBits>& lc) {
    const V x = shr16<8>(and16(mul16(d565, lc.expandMul), lc.expandMask));
    const V dst = or16(x, mulHigh16(x, lc.expandLow));
    const V a = alpha16(out);
    const V src = shr16<8>(mul16(out, add16(a, lc.one)));
    const V des = shr16<8>(mul16(dst, sub16(lc.full, a)));
    return min16(add16(src, des), lc.byteMax);
}

// Dither (d in the b, g, r lanes) and 5-6-5: each pixel as two 32-bit halves, b + 32 g and
// 2048 r, whose sum is the pixel.
template <int kBits, typename V = typename LaneRegister<kBits>::type>
[[gnu::always_inline]] inline V ditherLanes(V v, V d, bool ditherOn,
                                            const LaneConstants<kBits>& lc) {
    const V vm = add16(v, and16(v, lc.greenMask));
    const V q = ditherOn
                    ? shr16<4>(add16(sub16(add16(vm, vm), shr16<4>(v)), add16(shr16<7>(vm), d)))
                    : shr16<3>(vm);
    return madd16(q, lc.pack565);
}

// Stage one's lanes: eight in the AVX2 build, four (one SSE2 register) in the baseline one,
// where the compiler would split wider vectors clumsily.
#ifdef GLIDE_RASTER_AVX2
constexpr int kStageLanes = 8;
#else
constexpr int kStageLanes = 4;
#endif
using Floats8 = float __attribute__((vector_size(kStageLanes * 4)));
using Ints8 = int32_t __attribute__((vector_size(kStageLanes * 4)));

// Stage one values of eight queued pixels.
struct EightPixels {
    alignas(32) uint32_t wf[8];
    alignas(32) int32_t r[8], g[8], b[8], a[8];
    alignas(32) uint32_t index[5][8];  // texel indices; [4]: fs * 16 + ft
};

// (Vectors are passed by reference: their size would otherwise change the calling
// convention between the two builds.)
[[gnu::always_inline]] inline void planeAt8(const Plane& p, const Floats8& fx, const Floats8& fy,
                                            Floats8& out) {
    out = (p.at0 + fx * p.dx) + fy * p.dy;
}

// floorToInt() on eight lanes, the same comparisons in the same order.
[[gnu::always_inline]] inline void floor8(Floats8 v, Ints8& out) {
    constexpr float kLimit = 1073741824.0f;
    const Floats8 zero{}, high = zero + kLimit, low = zero - kLimit;
    v = high < v ? high : v;
    v = v > low ? v : low;
    const Ints8 i = __builtin_convertvector(v, Ints8);
    out = i + (v < __builtin_convertvector(i, Floats8));
}

// std::min(std::max(v, 0), hi) on eight lanes.
[[gnu::always_inline]] inline void clamp8(Ints8& v, const Ints8& hi) {
    const Ints8 zero{};
    v = v < zero ? zero : v;
    v = hi < v ? hi : v;
}

// channel() on eight lanes, stored.
[[gnu::always_inline]] inline void channel8(const Plane& p, const Floats8& fx, const Floats8& fy,
                                            int32_t* out) {
    Floats8 v;
    planeAt8(p, fx, fy, v);
    const Floats8 zero{}, top = zero + 255.0f;
    v = v < top ? v : top;
    v = v > zero ? v : zero;
    const Ints8 i = __builtin_convertvector(v, Ints8);
    std::memcpy(out, &i, sizeof i);
}

// The rest of stage one for eight pixels: texel indices and bilinear fractions (single
// level), iterated channels.
template <bool kTexture, bool kIterRgb, bool kIterAlpha>
[[gnu::always_inline]] inline void stageOneLate(const Context& c, const Setup& t, const Floats8& fx,
                                                const Floats8& fy, const Floats8& oow,
                                                bool bilinear, EightPixels& e) {
    if constexpr (kTexture) {
        const Floats8 zero{};
        const Floats8 w = 1.0f / oow;
        const Ints8 ahead = oow > zero;
        Floats8 sp, tp;
        planeAt8(t.plane(kPlaneS), fx, fy, sp);
        planeAt8(t.plane(kPlaneT), fx, fy, tp);
        Floats8 sc = sp * w, tc = tp * w;
        Ints8 bits;
        std::memcpy(&bits, &sc, sizeof bits);
        bits &= ahead;
        std::memcpy(&sc, &bits, sizeof bits);
        std::memcpy(&bits, &tc, sizeof bits);
        bits &= ahead;
        std::memcpy(&tc, &bits, sizeof bits);
        const float scale = c.levelScale[0];
        const int wm = c.widthMask[0], hm = c.heightMask[0], shift = c.widthShift[0];
        const Ints8 none{}, widthMask = none + wm, heightMask = none + hm;
        const int andS = c.wrapS ? wm : -1, andT = c.wrapT ? hm : -1;
        const bool clampAny = !c.wrapS || !c.wrapT;
        if (bilinear) {
            Ints8 si, ti;
            floor8((sc * scale - 0.5f) * 16.0f, si);
            floor8((tc * scale - 0.5f) * 16.0f, ti);
            const Ints8 weights = ((si & 15) << 4) | (ti & 15);
            const Ints8 sx = si >> 4, ty = ti >> 4;
            Ints8 x0 = sx & andS, x1 = (sx + 1) & andS;
            Ints8 y0 = ty & andT, y1 = (ty + 1) & andT;
            if (clampAny) {
                clamp8(x0, widthMask);
                clamp8(x1, widthMask);
                clamp8(y0, heightMask);
                clamp8(y1, heightMask);
            }
            y0 = y0 << shift;
            y1 = y1 << shift;
            const Ints8 i0 = y0 + x0, i1 = y0 + x1, i2 = y1 + x0, i3 = y1 + x1;
            std::memcpy(e.index[0], &i0, sizeof i0);
            std::memcpy(e.index[1], &i1, sizeof i1);
            std::memcpy(e.index[2], &i2, sizeof i2);
            std::memcpy(e.index[3], &i3, sizeof i3);
            std::memcpy(e.index[4], &weights, sizeof weights);
        } else {
            Ints8 x, y;
            floor8(sc * scale, x);
            floor8(tc * scale, y);
            x &= andS;
            y &= andT;
            if (clampAny) {
                clamp8(x, widthMask);
                clamp8(y, heightMask);
            }
            const Ints8 i0 = (y << shift) + x;
            std::memcpy(e.index[0], &i0, sizeof i0);
        }
    }
    if constexpr (kIterRgb) {
        channel8(t.plane(kPlaneR), fx, fy, e.r);
        channel8(t.plane(kPlaneG), fx, fy, e.g);
        channel8(t.plane(kPlaneB), fx, fy, e.b);
    }
    if constexpr (kIterAlpha) channel8(t.plane(kPlaneA), fx, fy, e.a);
}

// Runs the pipeline of a specialised key over the n queued pixels of `span` (baseline build),
// stage one included, kStageLanes pixels at a time. Returns the pixels written.
template <uint32_t kPacked>
[[gnu::always_inline]] inline uint64_t runVector(const Context& c, const Setup& t,
                                                 const SpanValues& span, int n, bool bilinear) {
    constexpr Key k = unpack(kPacked);
    constexpr bool kTexture = k.texture == kTex16;
    constexpr bool kIterRgb = k.colour != kColourDecal;
    constexpr bool kIterAlpha = k.colour == kColourLit || k.colour == kColourLitTex ||
                                k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    constexpr bool kDepthTest = k.depth != kDepthNone;
    const VectorTables& vt = vectorTables();
    const LaneConstants<128> lc(c);
    const __m128i zero = lc.zero;
    const uint64_t* texels = c.texels16;
    const bool ditherOn = c.ditherOn;
    uint64_t written = 0;

    constexpr bool kNeedW = k.depth != kDepthNone || k.fog != 0;
    const int stride = c.stride;

    for (int i8 = 0; i8 < n; i8 += kStageLanes) {
        // Stage one for kStageLanes pixels: the scalar stage one's arithmetic, lane by
        // lane, in the compiler's generic vectors (one SSE2 or AVX operation each). The
        // texture coordinates and iterated colours wait until a group of four passes the W
        // test.
        EightPixels e;
        Ints8 xi, yi;
        std::memcpy(&xi, &span.x[i8], sizeof xi);
        std::memcpy(&yi, &span.y[i8], sizeof yi);
        const Floats8 fx = (__builtin_convertvector(xi, Floats8) + 0.5f) - t.x0;
        const Floats8 fy = (__builtin_convertvector(yi, Floats8) + 0.5f) - t.y0;
        Floats8 oow{};
        if constexpr (kNeedW || kTexture) planeAt8(t.plane(kPlaneW), fx, fy, oow);
        if constexpr (kNeedW) {
            Ints8 bits;
            std::memcpy(&bits, &oow, sizeof bits);
            Ints8 v = 520192 - (bits >> 11);
            const Ints8 zeroI{}, maxI = zeroI + 0xFFFF;
            v = v < zeroI ? zeroI : v;
            v = maxI < v ? maxI : v;
            std::memcpy(e.wf, &v, sizeof v);
        } else {
            std::memset(e.wf, 0, sizeof e.wf);
        }
        bool lateDone = false;
        const int end8 = std::min(n, i8 + kStageLanes);
        for (int i = i8; i < end8; i += 4) {
            const int base = i - i8;
            const uint32_t* wf = e.wf + base;
            const __m128i wfv = _mm_load_si128(reinterpret_cast<const __m128i*>(wf));
            // Four neighbours on one row (the usual case) read and write the buffers 64 bits
            // at a time; otherwise each pixel is addressed on its own. Spare entries of the last
            // group repeat the first pixel and are never written.
            const bool oneRow = i + 3 < n && span.y[i + 3] == span.y[i];
            const int valid = std::min(4, n - i);
            uint32_t offset[4];
            __m128i stored = zero, old = zero;  // four 16-bit values in the low half
            int mask = 0;
            if (oneRow) {
                offset[0] = uint32_t(span.y[i] * stride + span.x[i]);
                if constexpr (kDepthTest) {
                    stored = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c.depth + offset[0]));
                    mask = _mm_movemask_ps(
                        _mm_castsi128_ps(_mm_cmplt_epi32(wfv, _mm_unpacklo_epi16(stored, zero))));
                } else {
                    mask = 15;
                }
            } else {
                // Spare entries address the chunk's first pixel, so every read is inside
                // the buffer; only the valid lanes pass and are written.
                for (int j = 0; j < 4; ++j) {
                    offset[j] = uint32_t(span.y[i + j] * stride + span.x[i + j]);
                }
                mask = (1 << valid) - 1;
                if constexpr (kDepthTest) {
                    stored = gatherPixels(c.depth, offset);
                    mask &= _mm_movemask_ps(
                        _mm_castsi128_ps(_mm_cmplt_epi32(wfv, _mm_unpacklo_epi16(stored, zero))));
                }
            }
            if (mask == 0) continue;

            if (!lateDone) {
                lateDone = true;
                stageOneLate<kTexture, kIterRgb, kIterAlpha>(c, t, fx, fy, oow, bilinear, e);
            }

            // Texels.
            __m128i tex01 = zero, tex23 = zero;
            if constexpr (kTexture) {
                if (bilinear) {
                    tex01 = _mm_unpacklo_epi64(bilinearTexel<0>(texels, e.index, base, vt.weights),
                                               bilinearTexel<1>(texels, e.index, base, vt.weights));
                    tex23 = _mm_unpacklo_epi64(bilinearTexel<2>(texels, e.index, base, vt.weights),
                                               bilinearTexel<3>(texels, e.index, base, vt.weights));
                } else {
                    tex01 = loadPair(texels + e.index[0][base], texels + e.index[0][base + 1]);
                    tex23 = loadPair(texels + e.index[0][base + 2], texels + e.index[0][base + 3]);
                }
            }

            // Iterated colour, interleaved to b, g, r, a per pixel.
            __m128i it01 = zero, it23 = zero;
            if constexpr (kIterRgb || kIterAlpha) {
                __m128i bg = zero, ra = zero;
                if constexpr (kIterRgb) {
                    const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(e.r + base));
                    const __m128i g = _mm_load_si128(reinterpret_cast<const __m128i*>(e.g + base));
                    const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(e.b + base));
                    bg = _mm_or_si128(b, _mm_slli_epi32(g, 16));
                    ra = r;
                }
                if constexpr (kIterAlpha) {
                    const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(e.a + base));
                    ra = _mm_or_si128(ra, _mm_slli_epi32(a, 16));
                }
                it01 = _mm_unpacklo_epi32(bg, ra);
                it23 = _mm_unpackhi_epi32(bg, ra);
            }

            __m128i out[2] = {combineLanes<kPacked>(tex01, it01, lc),
                              combineLanes<kPacked>(tex23, it23, lc)};

            if constexpr (k.test == kTestGreater) {
                const int ref = c.alphaRef;
                mask &= (_mm_extract_epi16(out[0], 3) > ref ? 1 : 0) |
                        (_mm_extract_epi16(out[0], 7) > ref ? 2 : 0) |
                        (_mm_extract_epi16(out[1], 3) > ref ? 4 : 0) |
                        (_mm_extract_epi16(out[1], 7) > ref ? 8 : 0);
            }

            if constexpr (k.fog == 1) {
                for (int h = 0; h < 2; ++h) {
                    const __m128i f = loadPair(&vt.fog[c.fogLookup[wf[2 * h]]],
                                               &vt.fog[c.fogLookup[wf[2 * h + 1]]]);
                    out[h] = fogLanes(out[h], f, lc);
                }
            }

            if (oneRow) {
                old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c.color + offset[0]));
            } else {
                old = gatherPixels(c.color, offset);
            }

            if constexpr (k.blend == kBlendSrcAlpha) {
                const __m128i twice = _mm_unpacklo_epi16(old, old);
                const __m128i spread[2] = {_mm_unpacklo_epi32(twice, twice),
                                           _mm_unpackhi_epi32(twice, twice)};
                for (int h = 0; h < 2; ++h) out[h] = blendLanes(out[h], spread[h], lc);
            }

            // Dither to 5-6-5 and write.
            const uint64_t* ditherRow = vt.ditherRow[(span.y[i] & 3) << 2 | (span.x[i] & 3)];
            __m128i packed[2];
            for (int h = 0; h < 2; ++h) {
                __m128i d = zero;
                if (ditherOn) {
                    const int j0 = 2 * h, j1 = 2 * h + 1;
                    d = oneRow ? _mm_load_si128(reinterpret_cast<const __m128i*>(&ditherRow[2 * h]))
                               : loadPair(
                                     &vt.dither[(span.y[i + j0] & 3) << 2 | (span.x[i + j0] & 3)],
                                     &vt.dither[(span.y[i + j1] & 3) << 2 | (span.x[i + j1] & 3)]);
                }
                const __m128i m = ditherLanes(out[h], d, ditherOn, lc);
                packed[h] = _mm_add_epi32(m, _mm_srli_epi64(m, 32));  // pixels in lanes 0 and 2
            }
            // The four 16-bit pixels, in order, in the low half.
            const __m128i pixels32 = _mm_unpacklo_epi64(_mm_shuffle_epi32(packed[0], 0x08),
                                                        _mm_shuffle_epi32(packed[1], 0x08));
            const __m128i pixels =
                _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(pixels32, 16), 16), zero);
            const __m128i keep =
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&vt.laneMask[mask]));
            const __m128i colour =
                _mm_or_si128(_mm_and_si128(keep, pixels), _mm_andnot_si128(keep, old));
            [[maybe_unused]] __m128i depth = zero;
            if constexpr (k.depth == kDepthLessWrite) {
                const __m128i w16 =
                    _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(wfv, 16), 16), zero);
                depth = _mm_or_si128(_mm_and_si128(keep, w16), _mm_andnot_si128(keep, stored));
            }
            if (oneRow) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(c.color + offset[0]), colour);
                if constexpr (k.depth == kDepthLessWrite) {
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(c.depth + offset[0]), depth);
                }
            } else {
                alignas(16) uint16_t colourLanes[8], depthLanes[8];
                _mm_store_si128(reinterpret_cast<__m128i*>(colourLanes), colour);
                if constexpr (k.depth == kDepthLessWrite) {
                    _mm_store_si128(reinterpret_cast<__m128i*>(depthLanes), depth);
                }
                for (int j = 0; j < valid; ++j) {
                    c.color[offset[j]] = colourLanes[j];
                    if constexpr (k.depth == kDepthLessWrite) c.depth[offset[j]] = depthLanes[j];
                }
            }
            written += uint64_t((0x4332322132212110ull >> (4 * mask)) & 15);  // bits set in mask
        }
    }
    return written;
}

#ifdef GLIDE_RASTER_AVX2
// ---- The wide pixel pipeline (AVX2 build) -----------------------------------------------
//
// Eight queued pixels at a time, every step in 256-bit registers. Per-pixel values (W,
// iterated channels, texel addresses, fog) are 32-bit lanes in queue order. The colour
// pipeline then holds four pixels per register as 16-bit lanes (b, g, r, a): `lo` has
// pixels 0, 1, 4, 5 and `hi` pixels 2, 3, 6, 7, the order the 256-bit unpack instructions
// give; the final pack puts them back in order. The arithmetic is runVector's, lane for
// lane. A bilinear sample is one 16-byte load of the texel's quad (see TextureMemory),
// weighed along s by byte multiply-adds, then the two rows along t: the scalar path's
// integer sums. Loads by per-pixel address are scalar (the processor's gathers are slower
// here). Eight neighbours on one row read and write the buffers 128 bits at a time; other
// groups load and store their pixels one by one.

using Wide = __m256i;

struct WidePair {
    Wide lo, hi;  // pixels 0, 1, 4, 5 and 2, 3, 6, 7; four 16-bit lanes each
};

// A per-pixel value below 65536 (32-bit lanes) repeated into the four lanes of its pixel.
[[gnu::always_inline]] inline WidePair spreadWide(Wide v32) {
    const Wide v = _mm256_or_si256(v32, _mm256_slli_epi32(v32, 16));
    return {_mm256_unpacklo_epi32(v, v), _mm256_unpackhi_epi32(v, v)};
}

// Per-pixel channels (32-bit lanes, 0..255) interleaved to b, g, r, a.
[[gnu::always_inline]] inline WidePair interleaveWide(Wide r, Wide g, Wide b, Wide a) {
    const Wide bg = _mm256_or_si256(b, _mm256_slli_epi32(g, 16));
    const Wide ra = _mm256_or_si256(r, _mm256_slli_epi32(a, 16));
    return {_mm256_unpacklo_epi32(bg, ra), _mm256_unpackhi_epi32(bg, ra)};
}

// Eight 32-bit lanes narrowed to 16 bits in pixel order: unsigned (values 0..65535) or
// signed (masks).
[[gnu::always_inline]] inline __m128i narrowWide(Wide v) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08));
}
[[gnu::always_inline]] inline __m128i narrowMaskWide(Wide v) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packs_epi32(v, v), 0x08));
}

// Per-pixel addresses are stored and read back as scalar loads, which run beside the vector
// pipes; left alone, the compiler extracts them from the register, which occupies the pipes.
// The empty statement makes it assume the stored lanes changed.
template <typename T>
[[gnu::always_inline]] inline void readBack(T& lanes) {
    asm("" : "+m"(lanes));
}

// A plane's coefficients in every lane, set up once per run of groups.
struct WidePlane {
    __m256 at0, dx, dy;
    explicit WidePlane(const Plane& p)
        : at0(_mm256_set1_ps(p.at0)), dx(_mm256_set1_ps(p.dx)), dy(_mm256_set1_ps(p.dy)) {}
};

[[gnu::always_inline]] inline __m256 planeWide(const WidePlane& p, __m256 fx, __m256 fy) {
    return _mm256_add_ps(_mm256_add_ps(p.at0, _mm256_mul_ps(fx, p.dx)), _mm256_mul_ps(fy, p.dy));
}

// The spans [start, end) of the eight rows from y, as the scalar row walk computes them.
[[gnu::always_inline]] inline void rowSpansWide(const Context& c, const Setup& t, int y,
                                                int32_t (&start)[8], int32_t (&end)[8]) {
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 yc =
        _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(
                          _mm256_set1_epi32(y), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
                      half);
    auto at = [&](const Edge& e) {
        return _mm256_add_ps(
            _mm256_set1_ps(e.x0),
            _mm256_mul_ps(_mm256_sub_ps(yc, _mm256_set1_ps(e.y0)), _mm256_set1_ps(e.slope)));
    };
    const __m256 upperHalf = _mm256_cmp_ps(yc, _mm256_set1_ps(t.yMid), _CMP_LT_OQ);
    const __m256 xa = at(t.longEdge);
    const __m256 xb = _mm256_blendv_ps(at(t.lower), at(t.upper), upperHalf);
    const __m256 xl = t.longOnLeft ? xa : xb, xr = t.longOnLeft ? xb : xa;
    const __m256i s = _mm256_cvttps_epi32(_mm256_ceil_ps(_mm256_sub_ps(xl, half)));
    const __m256i e = _mm256_cvttps_epi32(_mm256_ceil_ps(_mm256_sub_ps(xr, half)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(start),
                       _mm256_max_epi32(s, _mm256_set1_epi32(c.clipMinX)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(end),
                       _mm256_min_epi32(e, _mm256_set1_epi32(c.clipMaxX)));
}

// floorToInt() on eight lanes: the same limits (NaN lands on the low one), then floor.
[[gnu::always_inline]] inline Wide floorWide(__m256 v) {
    v = _mm256_min_ps(_mm256_set1_ps(1073741824.0f), v);
    v = _mm256_max_ps(v, _mm256_set1_ps(-1073741824.0f));
    return _mm256_cvttps_epi32(_mm256_floor_ps(v));
}

// channel() on eight lanes.
[[gnu::always_inline]] inline Wide channelWide(const WidePlane& p, __m256 fx, __m256 fy) {
    __m256 v = planeWide(p, fx, fy);
    v = _mm256_min_ps(v, _mm256_set1_ps(255.0f));
    v = _mm256_max_ps(v, _mm256_setzero_ps());
    return _mm256_cvttps_epi32(v);
}

// std::min(std::max(v, 0), hi) on eight lanes.
[[gnu::always_inline]] inline Wide clampWide(Wide v, Wide hi) {
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), hi);
}

// Eight 64-bit table entries (16-bit lanes b, g, r, a) by index, in lo/hi pixel order.
[[gnu::always_inline]] inline WidePair loadLanesWide(const uint64_t* table,
                                                     const int32_t (&at)[8]) {
    return {_mm256_inserti128_si256(_mm256_castsi128_si256(loadPair(table + at[0], table + at[1])),
                                    loadPair(table + at[4], table + at[5]), 1),
            _mm256_inserti128_si256(_mm256_castsi128_si256(loadPair(table + at[2], table + at[3])),
                                    loadPair(table + at[6], table + at[7]), 1)};
}

// Eight 16-bit buffer pixels by offset, in order.
[[gnu::always_inline]] inline __m128i loadPixelsWide(const uint16_t* buffer,
                                                     const int32_t (&at)[8]) {
    __m128i v = _mm_cvtsi32_si128(buffer[at[0]]);
    v = _mm_insert_epi16(v, buffer[at[1]], 1);
    v = _mm_insert_epi16(v, buffer[at[2]], 2);
    v = _mm_insert_epi16(v, buffer[at[3]], 3);
    v = _mm_insert_epi16(v, buffer[at[4]], 4);
    v = _mm_insert_epi16(v, buffer[at[5]], 5);
    v = _mm_insert_epi16(v, buffer[at[6]], 6);
    return _mm_insert_epi16(v, buffer[at[7]], 7);
}

struct WideTables {
    // Dither values of eight neighbours on one row, by the first one's matrix position
    // (y & 3) * 4 + (x & 3): d in the b, g, r lanes, in lo/hi pixel order.
    alignas(32) uint16_t ditherRow[16][2][16];
    alignas(16) uint8_t matrix[16];  // the 4x4 matrix by (y & 3) * 4 + (x & 3)
    WideTables() {
        static const int kMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        static const int kPixel[2][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}};
        for (int i = 0; i < 16; ++i) {
            matrix[i] = uint8_t(kMatrix[i]);
            for (int h = 0; h < 2; ++h) {
                for (int p = 0; p < 4; ++p) {
                    const int d = kMatrix[(i & ~3) | ((i + kPixel[h][p]) & 3)];
                    for (int l = 0; l < 4; ++l)
                        ditherRow[i][h][p * 4 + l] = uint16_t(l < 3 ? d : 0);
                }
            }
        }
    }
};

const WideTables kWideTables;

// The parameters of a chain's levels, one lane per level (the ninth apart), for choosing
// the level per pixel.
struct WideLevels {
    Wide scale, widthMask, heightMask, shift, offset;  // scale holds float bits
    int32_t last[5];                                   // the ninth level's, same order
    bool nine = false;                                 // the chain has nine levels
    __m256 threshold[9];                               // Setup::lodThreshold in every lane

    // Left unset unless the texture is mip-mapped (set up per run of groups).
    void setUp(const Context& c, const Setup& t) {
        alignas(32) int32_t v[5][8] = {};
        std::fill(std::begin(last), std::end(last), 0);
        for (int k = 0; k < c.levels; ++k) {
            const int32_t values[5] = {std::bit_cast<int32_t>(c.levelScale[k]), c.widthMask[k],
                                       c.heightMask[k], c.widthShift[k], int32_t(c.levelOffset[k])};
            for (int p = 0; p < 5; ++p) (k < 8 ? v[p][k] : last[p]) = values[p];
        }
        scale = _mm256_load_si256(reinterpret_cast<const Wide*>(v[0]));
        widthMask = _mm256_load_si256(reinterpret_cast<const Wide*>(v[1]));
        heightMask = _mm256_load_si256(reinterpret_cast<const Wide*>(v[2]));
        shift = _mm256_load_si256(reinterpret_cast<const Wide*>(v[3]));
        offset = _mm256_load_si256(reinterpret_cast<const Wide*>(v[4]));
        nine = c.levels > 8;
        for (int k = 0; k < 9; ++k) threshold[k] = _mm256_set1_ps(t.lodThreshold[k]);
    }
};

template <uint32_t kPacked, bool kMipmapped>
[[gnu::always_inline]] inline uint64_t runWide(const Context& c, const Setup& t,
                                               const SpanValues& span, int n, bool bilinear) {
    constexpr Key k = unpack(kPacked);
    constexpr bool kTexture = k.texture == kTex16;
    constexpr bool kIterRgb = k.colour != kColourDecal;
    constexpr bool kIterAlpha = k.colour == kColourLit || k.colour == kColourLitTex ||
                                k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    constexpr bool kDepthTest = k.depth != kDepthNone;
    constexpr bool kNeedW = kDepthTest || k.fog != 0;
    const WideTables& tables = kWideTables;
    const VectorTables& vt = vectorTables();
    const LaneConstants<256> lc(c);
    const Wide zero = lc.zero;
    const Wide iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const Wide lowWord = _mm256_set1_epi32(0xFFFF);
    const Wide matrix = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(tables.matrix)));
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 x0 = _mm256_set1_ps(t.x0), y0 = _mm256_set1_ps(t.y0);
    const int stride = c.stride;
    const bool ditherOn = c.ditherOn;
    const WidePlane planeW(t.plane(kPlaneW)), planeS(t.plane(kPlaneS)), planeT(t.plane(kPlaneT));
    const WidePlane planeR(t.plane(kPlaneR)), planeG(t.plane(kPlaneG)), planeB(t.plane(kPlaneB));
    const WidePlane planeA(t.plane(kPlaneA));
    WideLevels levelsStore;
    if constexpr (kTexture && kMipmapped) levelsStore.setUp(c, t);
    const WideLevels* levels = &levelsStore;
    uint64_t written = 0;

    for (int i = 0; i < n; i += 8) {
        const int valid = std::min(8, n - i);
        const Wide xi = _mm256_load_si256(reinterpret_cast<const Wide*>(&span.x[i]));
        const Wide yi = _mm256_load_si256(reinterpret_cast<const Wide*>(&span.y[i]));
        const __m256 fx = _mm256_sub_ps(_mm256_add_ps(_mm256_cvtepi32_ps(xi), half), x0);
        const __m256 fy = _mm256_sub_ps(_mm256_add_ps(_mm256_cvtepi32_ps(yi), half), y0);
        __m256 oow = _mm256_setzero_ps();
        if constexpr (kNeedW || kTexture) oow = planeWide(planeW, fx, fy);
        Wide wf = zero;
        if constexpr (kNeedW) {
            const Wide v = _mm256_sub_epi32(_mm256_set1_epi32(520192),
                                            _mm256_srai_epi32(_mm256_castps_si256(oow), 11));
            wf = _mm256_min_epi32(_mm256_max_epi32(v, zero), lowWord);
        }

        // W test.
        const bool oneRow = valid == 8 && span.y[i + 7] == span.y[i];
        Wide pass = _mm256_cmpgt_epi32(_mm256_set1_epi32(valid), iota);
        uint16_t* colourAt = nullptr;
        uint16_t* depthAt = nullptr;
        alignas(32) int32_t offset[8];  // of each pixel, when not one row
        [[maybe_unused]] __m128i stored = _mm_setzero_si128();
        if (oneRow) {
            const size_t at = size_t(span.y[i]) * size_t(stride) + size_t(span.x[i]);
            colourAt = c.color + at;
            depthAt = c.depth + at;
            if constexpr (kDepthTest) {
                stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depthAt));
                pass = _mm256_cmpgt_epi32(_mm256_cvtepu16_epi32(stored), wf);
            }
        } else {
            _mm256_store_si256(
                reinterpret_cast<Wide*>(offset),
                _mm256_add_epi32(_mm256_mullo_epi32(yi, _mm256_set1_epi32(stride)), xi));
            readBack(offset);
            if constexpr (kDepthTest) {
                stored = loadPixelsWide(c.depth, offset);
                pass =
                    _mm256_and_si256(pass, _mm256_cmpgt_epi32(_mm256_cvtepu16_epi32(stored), wf));
            }
        }
        if (_mm256_testz_si256(pass, pass)) continue;

        // Texels.
        WidePair tex{zero, zero};
        if constexpr (kTexture) {
            const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), oow);
            const __m256 ahead = _mm256_cmp_ps(oow, _mm256_setzero_ps(), _CMP_GT_OQ);
            const __m256 sc = _mm256_and_ps(_mm256_mul_ps(planeWide(planeS, fx, fy), w), ahead);
            const __m256 tc = _mm256_and_ps(_mm256_mul_ps(planeWide(planeT, fx, fy), w), ahead);
            __m256 scale = _mm256_set1_ps(c.levelScale[0]);
            Wide widthMask = _mm256_set1_epi32(c.widthMask[0]);
            Wide heightMask = _mm256_set1_epi32(c.heightMask[0]);
            Wide levelShift = _mm256_set1_epi32(c.widthShift[0]), levelOffset = zero;
            if constexpr (kMipmapped) {
                // The level per pixel: how many of the thresholds above the first its w
                // reaches (they rise with the level), w being 0 behind the eye.
                const __m256 wl = _mm256_and_ps(w, ahead);
                Wide level = zero;
                for (int l = 1; l < c.levels; ++l) {
                    level = _mm256_sub_epi32(level, _mm256_castps_si256(_mm256_cmp_ps(
                                                        wl, levels->threshold[l], _CMP_GE_OQ)));
                }
                const Wide ninth = _mm256_cmpeq_epi32(level, _mm256_set1_epi32(8));
                auto pick = [&](Wide table, int32_t last) {
                    const Wide v = _mm256_permutevar8x32_epi32(table, level);
                    return levels->nine ? _mm256_blendv_epi8(v, _mm256_set1_epi32(last), ninth) : v;
                };
                scale = _mm256_castsi256_ps(pick(levels->scale, levels->last[0]));
                widthMask = pick(levels->widthMask, levels->last[1]);
                heightMask = pick(levels->heightMask, levels->last[2]);
                levelShift = pick(levels->shift, levels->last[3]);
                levelOffset = pick(levels->offset, levels->last[4]);
            }
            const Wide none = _mm256_set1_epi32(-1);
            const Wide andS = c.wrapS ? widthMask : none, andT = c.wrapT ? heightMask : none;
            const bool clampAny = !c.wrapS || !c.wrapT;
            // Texel address within the chain: level offset, row, column.
            const __m128i shift = _mm_cvtsi32_si128(c.widthShift[0]);
            auto address = [&](Wide y, Wide x) {
                if constexpr (kMipmapped) {
                    return _mm256_add_epi32(
                        _mm256_add_epi32(levelOffset, _mm256_sllv_epi32(y, levelShift)), x);
                } else {
                    return _mm256_add_epi32(_mm256_sll_epi32(y, shift), x);
                }
            };
            alignas(32) int32_t at[8];  // texel addresses
            if (bilinear) {
                const __m256 sixteen = _mm256_set1_ps(16.0f);
                const Wide si = floorWide(
                    _mm256_mul_ps(_mm256_sub_ps(_mm256_mul_ps(sc, scale), half), sixteen));
                const Wide ti = floorWide(
                    _mm256_mul_ps(_mm256_sub_ps(_mm256_mul_ps(tc, scale), half), sixteen));
                const Wide fifteen = _mm256_set1_epi32(15), sixteenI = _mm256_set1_epi32(16);
                Wide fs = _mm256_and_si256(si, fifteen), ft = _mm256_and_si256(ti, fifteen);
                const Wide sx = _mm256_srai_epi32(si, 4), ty = _mm256_srai_epi32(ti, 4);
                // The quad's neighbours wrap. Clamped, a texel outside 0 <= x < last has
                // itself as neighbour: weight 0 on the neighbour gives the same sum.
                Wide x = _mm256_and_si256(sx, widthMask), y = _mm256_and_si256(ty, heightMask);
                if (!c.wrapS) {
                    const Wide inside = _mm256_andnot_si256(_mm256_cmpgt_epi32(zero, sx),
                                                            _mm256_cmpgt_epi32(widthMask, sx));
                    fs = _mm256_and_si256(fs, inside);
                    x = clampWide(sx, widthMask);
                }
                if (!c.wrapT) {
                    const Wide inside = _mm256_andnot_si256(_mm256_cmpgt_epi32(zero, ty),
                                                            _mm256_cmpgt_epi32(heightMask, ty));
                    ft = _mm256_and_si256(ft, inside);
                    y = clampWide(ty, heightMask);
                }
                _mm256_store_si256(reinterpret_cast<Wide*>(at), address(y, x));
                readBack(at);
                const TexelQuad* quads = c.quads;
                auto quadPair = [&](int a, int b) {
                    return _mm256_inserti128_si256(
                        _mm256_castsi128_si256(
                            _mm_load_si128(reinterpret_cast<const __m128i*>(quads[at[a]].bytes))),
                        _mm_load_si128(reinterpret_cast<const __m128i*>(quads[at[b]].bytes)), 1);
                };
                // Weights: bytes (16 - fs, fs) along s; 16-bit (16 - ft) x4, ft x4 along t.
                Wide ws = _mm256_or_si256(_mm256_sub_epi32(sixteenI, fs), _mm256_slli_epi32(fs, 8));
                ws = _mm256_or_si256(ws, _mm256_slli_epi32(ws, 16));
                const Wide up = _mm256_sub_epi32(sixteenI, ft);
                const Wide upDown = _mm256_or_si256(up, _mm256_slli_epi32(up, 16));
                const Wide down = _mm256_or_si256(ft, _mm256_slli_epi32(ft, 16));
                const Wide tLo = _mm256_unpacklo_epi32(upDown, down);
                const Wide tHi = _mm256_unpackhi_epi32(upDown, down);
                auto filter = [&](Wide quad, Wide sWeights, Wide tWeights) {
                    const Wide sum =
                        _mm256_mullo_epi16(_mm256_maddubs_epi16(quad, sWeights), tWeights);
                    return _mm256_add_epi16(sum, _mm256_bsrli_epi128(sum, 8));
                };
                // Registers of pixels (0, 4), (1, 5), (2, 6), (3, 7), one per 128-bit lane.
                const Wide f04 = filter(quadPair(0, 4), _mm256_shuffle_epi32(ws, 0x00),
                                        _mm256_shuffle_epi32(tLo, 0x50));
                const Wide f15 = filter(quadPair(1, 5), _mm256_shuffle_epi32(ws, 0x55),
                                        _mm256_shuffle_epi32(tLo, 0xFA));
                const Wide f26 = filter(quadPair(2, 6), _mm256_shuffle_epi32(ws, 0xAA),
                                        _mm256_shuffle_epi32(tHi, 0x50));
                const Wide f37 = filter(quadPair(3, 7), _mm256_shuffle_epi32(ws, 0xFF),
                                        _mm256_shuffle_epi32(tHi, 0xFA));
                tex.lo = _mm256_srli_epi16(_mm256_unpacklo_epi64(f04, f15), 8);
                tex.hi = _mm256_srli_epi16(_mm256_unpacklo_epi64(f26, f37), 8);
            } else {
                Wide x = _mm256_and_si256(floorWide(_mm256_mul_ps(sc, scale)), andS);
                Wide y = _mm256_and_si256(floorWide(_mm256_mul_ps(tc, scale)), andT);
                if (clampAny) {
                    x = clampWide(x, widthMask);
                    y = clampWide(y, heightMask);
                }
                _mm256_store_si256(reinterpret_cast<Wide*>(at), address(y, x));
                readBack(at);
                tex = loadLanesWide(c.texels16, at);
            }
        }

        // Iterated colour.
        WidePair it{zero, zero};
        if constexpr (kIterRgb || kIterAlpha) {
            Wide r = zero, g = zero, b = zero, a = zero;
            if constexpr (kIterRgb) {
                r = channelWide(planeR, fx, fy);
                g = channelWide(planeG, fx, fy);
                b = channelWide(planeB, fx, fy);
            }
            if constexpr (kIterAlpha) a = channelWide(planeA, fx, fy);
            it = interleaveWide(r, g, b, a);
        }

        // Colour and alpha combine.
        WidePair out{combineLanes<kPacked>(tex.lo, it.lo, lc),
                     combineLanes<kPacked>(tex.hi, it.hi, lc)};

        // Alpha test, on the alpha lanes gathered back into pixel order.
        if constexpr (k.test == kTestGreater) {
            const Wide alo = _mm256_shuffle_epi32(_mm256_srli_epi64(out.lo, 48), 0xD8);
            const Wide ahi = _mm256_shuffle_epi32(_mm256_srli_epi64(out.hi, 48), 0xD8);
            const Wide alpha = _mm256_unpacklo_epi64(alo, ahi);
            pass = _mm256_and_si256(pass, _mm256_cmpgt_epi32(alpha, _mm256_set1_epi32(c.alphaRef)));
            if (_mm256_testz_si256(pass, pass)) continue;
        }

        // Fog, towards the fog colour, RGB only.
        if constexpr (k.fog == 1) {
            alignas(32) int32_t w[8];
            _mm256_store_si256(reinterpret_cast<Wide*>(w), wf);
            readBack(w);
            // v + 1 in the b, g, r lanes of each pixel, v the fog lookup at its W.
            auto fogPair = [&](int a, int b) {
                return loadPair(&vt.fog[c.fogLookup[w[a]]], &vt.fog[c.fogLookup[w[b]]]);
            };
            const WidePair f{
                _mm256_inserti128_si256(_mm256_castsi128_si256(fogPair(0, 1)), fogPair(4, 5), 1),
                _mm256_inserti128_si256(_mm256_castsi128_si256(fogPair(2, 3)), fogPair(6, 7), 1)};
            out.lo = fogLanes(out.lo, f.lo, lc);
            out.hi = fogLanes(out.hi, f.hi, lc);
        }

        // The colour buffer's pixels.
        const __m128i old = oneRow ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(colourAt))
                                   : loadPixelsWide(c.color, offset);

        if constexpr (k.blend == kBlendSrcAlpha) {
            const WidePair dst565 = spreadWide(_mm256_cvtepu16_epi32(old));
            out.lo = blendLanes(out.lo, dst565.lo, lc);
            out.hi = blendLanes(out.hi, dst565.hi, lc);
        }

        // Dither to 5-6-5.
        WidePair d{zero, zero};
        if (ditherOn) {
            if (oneRow) {
                const uint16_t(&row)[2][16] =
                    tables.ditherRow[(span.y[i] & 3) << 2 | (span.x[i] & 3)];
                d.lo = _mm256_load_si256(reinterpret_cast<const Wide*>(row[0]));
                d.hi = _mm256_load_si256(reinterpret_cast<const Wide*>(row[1]));
            } else {
                const Wide three = _mm256_set1_epi32(3);
                const Wide at = _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(yi, three), 2),
                                                _mm256_and_si256(xi, three));
                d = spreadWide(
                    _mm256_and_si256(_mm256_shuffle_epi8(matrix, at), _mm256_set1_epi32(0xFF)));
            }
        }
        const __m128i pixels = narrowWide(_mm256_hadd_epi32(
            ditherLanes(out.lo, d.lo, ditherOn, lc), ditherLanes(out.hi, d.hi, ditherOn, lc)));

        // Write.
        const __m128i keep = narrowMaskWide(pass);
        const __m128i colour = _mm_blendv_epi8(old, pixels, keep);
        const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(pass));
        if (oneRow) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(colourAt), colour);
            if constexpr (k.depth == kDepthLessWrite) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(depthAt),
                                 _mm_blendv_epi8(stored, narrowWide(wf), keep));
            }
        } else {
            // Every queued pixel is written back, the failed ones with their old values: no
            // branch on the mask. (A group never holds the same pixel twice.)
            alignas(16) uint16_t colourLanes[8], depthLanes[8];
            _mm_store_si128(reinterpret_cast<__m128i*>(colourLanes), colour);
            if constexpr (k.depth == kDepthLessWrite) {
                _mm_store_si128(reinterpret_cast<__m128i*>(depthLanes),
                                _mm_blendv_epi8(stored, narrowWide(wf), keep));
            }
            auto put = [&](int j) {
                c.color[offset[j]] = colourLanes[j];
                if constexpr (k.depth == kDepthLessWrite) c.depth[offset[j]] = depthLanes[j];
            };
            if (valid == 8) {
                for (int j = 0; j < 8; ++j) put(j);
            } else {
                for (int j = 0; j < valid; ++j) put(j);
            }
        }
        written += uint64_t(std::popcount(unsigned(mask)));
    }
    return written;
}
#endif  // GLIDE_RASTER_AVX2

template <uint32_t kPacked>
void rasterise(const Context& c, const Setup& t) {
    constexpr Key k = unpack(kPacked);
    constexpr bool kGeneric = kPacked == kGenericKey;
    const BoardState& st = *c.s;

    const bool useTexture =
        k.texture == kRuntime ? (c.needTexture && c.textureValid) : k.texture == kTex16;
    const bool depthTest = k.depth == kRuntime ? c.depthTest : k.depth != kDepthNone;
    const bool depthWrite = k.depth == kRuntime ? c.depthWrite : k.depth == kDepthLessWrite;
    const bool fogOn = k.fog == kRuntime ? c.fogTable : k.fog == 1;
    const bool bilinearMag = k.filter == kRuntime ? c.bilinearMag : k.filter == kBilinear;
    const bool bilinearMin = k.filter == kRuntime ? c.bilinearMin : k.filter == kBilinear;
    const bool needLod = c.needLod;
    const int alphaRef = c.alphaRef;
    uint64_t written = 0;
    SpanValues span;
    // Which per-pixel values this state reads at all.
    constexpr bool kIterRgb = kGeneric || k.colour != kColourDecal;
    constexpr bool kIterAlpha = kGeneric || k.colour == kColourLit || k.colour == kColourLitTex ||
                                k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    constexpr bool kNeedW = kGeneric || k.depth != kDepthNone || k.fog != 0;

    // Pixels are queued, across rows, in groups of up to kChunk; each group is then run
    // through stage one (branch-free, so the compiler can work on several pixels at once:
    // W values, iterated channels, perspective-divided texture coordinates, texel
    // addresses) and stage two (the pixel pipeline proper). Stage one runs over whole
    // groups of four; the spare values are never used.
    auto flush = [&](int n) {
        if constexpr (!kGeneric) {
#ifdef GLIDE_RASTER_AVX2
            // Untextured states and textures with one filter: the wide pipeline (the level
            // chosen per pixel when mip-mapped).
            if (!useTexture || c.bilinearMin == c.bilinearMag) {
                written += needLod
                               ? runWide<kPacked, k.texture == kTex16>(c, t, span, n, bilinearMag)
                               : runWide<kPacked, false>(c, t, span, n, bilinearMag);
                return;
            }
#else
            // Single-level textures and untextured states: the vector pipeline.
            if (!useTexture || !needLod) {
                written += runVector<kPacked>(c, t, span, n, bilinearMag);
                return;
            }
#endif
        }
        const int padded = (n + 3) & ~3;
        if ((padded & 3) != 0) __builtin_unreachable();
        for (int i = 0; i < padded; ++i) {
            span.fx[i] = float(span.x[i]) + 0.5f - t.x0;
            span.fy[i] = float(span.y[i]) + 0.5f - t.y0;
        }
        if (kNeedW) {
            for (int i = 0; i < padded; ++i) {
                span.wf[i] =
                    int32_t(encodeW(t.plane(kPlaneW).at0 + span.fx[i] * t.plane(kPlaneW).dx +
                                    span.fy[i] * t.plane(kPlaneW).dy));
            }
        }
        if constexpr (kIterRgb) {
            for (int i = 0; i < padded; ++i) {
                const float fx = span.fx[i], fy = span.fy[i];
                span.r[i] = channel(t.plane(kPlaneR).at0 + fx * t.plane(kPlaneR).dx +
                                    fy * t.plane(kPlaneR).dy);
                span.g[i] = channel(t.plane(kPlaneG).at0 + fx * t.plane(kPlaneG).dx +
                                    fy * t.plane(kPlaneG).dy);
                span.b[i] = channel(t.plane(kPlaneB).at0 + fx * t.plane(kPlaneB).dx +
                                    fy * t.plane(kPlaneB).dy);
            }
        }
        if constexpr (kIterAlpha) {
            for (int i = 0; i < padded; ++i) {
                span.a[i] = channel(t.plane(kPlaneA).at0 + span.fx[i] * t.plane(kPlaneA).dx +
                                    span.fy[i] * t.plane(kPlaneA).dy);
            }
        }
        if (useTexture) {
            for (int i = 0; i < padded; ++i) {
                const float fx = span.fx[i], fy = span.fy[i];
                const float oow =
                    t.plane(kPlaneW).at0 + fx * t.plane(kPlaneW).dx + fy * t.plane(kPlaneW).dy;
                // Behind the eye (1/w <= 0) the coordinates are 0; a mask rather than a
                // condition keeps the loop vectorisable.
                const float w = 1.0f / oow;
                const float sc =
                    (t.plane(kPlaneS).at0 + fx * t.plane(kPlaneS).dx + fy * t.plane(kPlaneS).dy) *
                    w;
                const float tc =
                    (t.plane(kPlaneT).at0 + fx * t.plane(kPlaneT).dx + fy * t.plane(kPlaneT).dy) *
                    w;
                const uint32_t ahead = oow > 0.0f ? ~0u : 0u;
                span.w[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(w) & ahead);
                span.s[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(sc) & ahead);
                span.t[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(tc) & ahead);
            }
            if (!needLod) addressSingleLevel(c, bilinearMag, span, padded);
        }
        // Stage two: the pixel pipeline proper.
        for (int i = 0; i < n; ++i) {
            const int x = span.x[i], y = span.y[i];
            uint16_t* colourRow = c.color + size_t(y) * size_t(c.stride);
            uint16_t* depthRow = c.depth + size_t(y) * size_t(c.stride);
            const uint8_t* redBlueRow = c.ditherRedBlue + (y & 3) * 4 * 256;
            const uint8_t* greenRow = c.ditherGreen + (y & 3) * 4 * 256;
            // Depth.
            const uint32_t wf = kNeedW ? uint32_t(span.wf[i]) : 0u;
            if (depthTest) {
                const int stored = depthRow[x];
                const bool pass = k.depth == kRuntime ? compare(st.depthFunction, int(wf), stored)
                                                      : int(wf) < stored;
                if (!pass) continue;
            }

            // Texture.
            int texR = 0, texG = 0, texB = 0, texA = 0;
            if (useTexture) {
                const float w = span.w[i], sc = span.s[i], tc = span.t[i];
                int level = 0;
                bool magnified = true;
                if (needLod) {
                    magnified = w <= t.lodThreshold[0];
                    while (level + 1 < c.levels && w >= t.lodThreshold[level + 1]) ++level;
                }
                const bool bilinear = magnified ? bilinearMag : bilinearMin;
                uint64_t texel;
                if (!needLod) {
                    texel = k.texture == kTex16 ? fetchAddressed<true>(c, bilinear, span, i)
                                                : fetchAddressed<false>(c, bilinear, span, i);
                } else {
                    texel = k.texture == kTex16 ? sample<true>(c, level, bilinear, sc, tc)
                                                : sample<false>(c, level, bilinear, sc, tc);
                }
                texR = int(texel >> 32) & 0xFF;
                texG = int(texel >> 16) & 0xFF;
                texB = int(texel) & 0xFF;
                texA = int(texel >> 48) & 0xFF;
                if (kGeneric && !c.tmuPass) {
                    // The texture unit's own combine, with no upstream unit (other = 0).
                    const int fr = factor(st.texRgbFactor, texR, 0, texA, texA);
                    const int fg = factor(st.texRgbFactor, texG, 0, texA, texA);
                    const int fb = factor(st.texRgbFactor, texB, 0, texA, texA);
                    const int fa = factor(st.texAlphaFactor, texA, 0, texA, texA);
                    const int outR = combine(st.texRgbFunction, 0, texR, texA, fr, st.texRgbInvert);
                    const int outG = combine(st.texRgbFunction, 0, texG, texA, fg, st.texRgbInvert);
                    const int outB = combine(st.texRgbFunction, 0, texB, texA, fb, st.texRgbInvert);
                    texA = combine(st.texAlphaFunction, 0, texA, texA, fa, st.texAlphaInvert);
                    texR = outR;
                    texG = outG;
                    texB = outB;
                }
            }

            // Colour and alpha combine.
            const int iterR = kIterRgb ? span.r[i] : 0, iterG = kIterRgb ? span.g[i] : 0;
            const int iterB = kIterRgb ? span.b[i] : 0, iterA = kIterAlpha ? span.a[i] : 0;
            int outR = 0, outG = 0, outB = 0, outA = 0;
            if constexpr (k.colour == kColourIter) {
                outR = iterR, outG = iterG, outB = iterB;
            } else if constexpr (k.colour == kColourLit) {
                outR = clampByte(((iterR * (iterR + 1)) >> 8) + iterA);
                outG = clampByte(((iterG * (iterG + 1)) >> 8) + iterA);
                outB = clampByte(((iterB * (iterB + 1)) >> 8) + iterA);
            } else if constexpr (k.colour == kColourDecal) {
                outR = texR, outG = texG, outB = texB;
            } else if constexpr (k.colour == kColourLitTex) {
                outR = clampByte(((texR * (iterR + 1)) >> 8) + iterA);
                outG = clampByte(((texG * (iterG + 1)) >> 8) + iterA);
                outB = clampByte(((texB * (iterB + 1)) >> 8) + iterA);
            } else if constexpr (k.colour == kColourModulate) {
                outR = (texR * (iterR + 1)) >> 8;
                outG = (texG * (iterG + 1)) >> 8;
                outB = (texB * (iterB + 1)) >> 8;
            }
            if constexpr (k.alpha == kAlphaTexture) {
                outA = texA;
            } else if constexpr (k.alpha == kAlphaModulate) {
                outA = (texA * (iterA + 1)) >> 8;
            } else if constexpr (k.alpha == kAlphaIter) {
                outA = iterA;
            }
            if constexpr (k.colour == kRuntime || k.alpha == kRuntime) {
                const int localAlpha = st.alphaLocal == GR_COMBINE_LOCAL_ITERATED   ? iterA
                                       : st.alphaLocal == GR_COMBINE_LOCAL_CONSTANT ? c.constA
                                                                                    : int(wf >> 8);
                const int otherAlpha = st.alphaOther == GR_COMBINE_OTHER_ITERATED  ? iterA
                                       : st.alphaOther == GR_COMBINE_OTHER_TEXTURE ? texA
                                                                                   : c.constA;
                if constexpr (k.colour == kRuntime) {
                    const bool localIter = st.colorLocal != GR_COMBINE_LOCAL_CONSTANT;
                    const int lr = localIter ? iterR : c.constR;
                    const int lg = localIter ? iterG : c.constG;
                    const int lb = localIter ? iterB : c.constB;
                    int orr = iterR, og = iterG, ob = iterB;
                    if (st.colorOther == GR_COMBINE_OTHER_TEXTURE) {
                        orr = texR, og = texG, ob = texB;
                    } else if (st.colorOther == GR_COMBINE_OTHER_CONSTANT) {
                        orr = c.constR, og = c.constG, ob = c.constB;
                    }
                    const GrCombineFactor_t f = st.colorFactor;
                    outR = combine(st.colorFunction, orr, lr, localAlpha,
                                   factor(f, lr, otherAlpha, localAlpha, texA), st.colorInvert);
                    outG = combine(st.colorFunction, og, lg, localAlpha,
                                   factor(f, lg, otherAlpha, localAlpha, texA), st.colorInvert);
                    outB = combine(st.colorFunction, ob, lb, localAlpha,
                                   factor(f, lb, otherAlpha, localAlpha, texA), st.colorInvert);
                }
                if constexpr (k.alpha == kRuntime) {
                    outA = combine(st.alphaFunction, otherAlpha, localAlpha, localAlpha,
                                   factor(st.alphaFactor, localAlpha, otherAlpha, localAlpha, texA),
                                   st.alphaInvert);
                }
            }

            // Alpha test.
            if constexpr (k.test == kTestGreater) {
                if (!(outA > alphaRef)) continue;
            } else if constexpr (k.test == kRuntime) {
                if (!compare(st.alphaTestFunction, outA, alphaRef)) continue;
            }

            // Fog, towards the fog colour, RGB only.
            if (fogOn) {
                // With f <= 256 the result lies between the colour and the fog colour, so
                // it needs no clamping.
                const int f = c.fogLookup[wf] + 1;
                outR = outR + (((c.fogR - outR) * f) >> 8);
                outG = outG + (((c.fogG - outG) * f) >> 8);
                outB = outB + (((c.fogB - outB) * f) >> 8);
            }

            // Blend with the frame buffer.
            if constexpr (k.blend == kBlendSrcAlpha) {
                int dr, dg, db;
                expand565(colourRow[x], dr, dg, db);
                const int fs = outA + 1, fd = 256 - outA;
                outR = clampByte(((outR * fs) >> 8) + ((dr * fd) >> 8));
                outG = clampByte(((outG * fs) >> 8) + ((dg * fd) >> 8));
                outB = clampByte(((outB * fs) >> 8) + ((db * fd) >> 8));
            } else if constexpr (k.blend == kRuntime) {
                if (!c.blendOff) {
                    int dr, dg, db;
                    expand565(colourRow[x], dr, dg, db);
                    const GrAlphaBlendFnc_t sf = st.blendRgbSrc, df = st.blendRgbDst;
                    const int nr = clampByte(((outR * blendFactor(sf, outA, dr)) >> 8) +
                                             ((dr * blendFactor(df, outA, outR)) >> 8));
                    const int ng = clampByte(((outG * blendFactor(sf, outA, dg)) >> 8) +
                                             ((dg * blendFactor(df, outA, outG)) >> 8));
                    const int nb = clampByte(((outB * blendFactor(sf, outA, db)) >> 8) +
                                             ((db * blendFactor(df, outA, outB)) >> 8));
                    outR = nr, outG = ng, outB = nb;
                }
            }

            // Dither to 5-6-5 and write.
            const size_t d = size_t((x & 3) << 8);
            colourRow[x] = uint16_t(redBlueRow[d + size_t(outR)] << 11 |
                                    greenRow[d + size_t(outG)] << 5 | redBlueRow[d + size_t(outB)]);
            if (depthWrite) depthRow[x] = uint16_t(wf);
            ++written;
        }
    };

    int queued = 0;
#ifdef GLIDE_RASTER_AVX2
    alignas(32) int32_t spanStart[8], spanEnd[8];  // of the eight rows from the last multiple
#endif
    for (int y = t.yStart; y < t.yEnd; ++y) {
#ifdef GLIDE_RASTER_AVX2
        const int row = (y - t.yStart) & 7;
        if (row == 0) rowSpansWide(c, t, y, spanStart, spanEnd);
        const int xs = spanStart[row], xe = spanEnd[row];
#else
        const float yc = float(y) + 0.5f;
        const Edge& shortEdge = yc < t.yMid ? t.upper : t.lower;
        const float xa = t.longEdge.at(yc), xb = shortEdge.at(yc);
        const float xl = t.longOnLeft ? xa : xb, xr = t.longOnLeft ? xb : xa;
        const int xs = std::max(ceilToInt(xl - 0.5f), c.clipMinX);
        const int xe = std::min(ceilToInt(xr - 0.5f), c.clipMaxX);
#endif
        for (int x = xs; x < xe;) {
            const int take = std::min(xe - x, kChunk - queued);
            // Whole groups (of eight in the AVX2 build, four otherwise); entries past `take`
            // are rewritten or never read.
#ifdef GLIDE_RASTER_AVX2
            const __m256i rowV = _mm256_set1_epi32(y);
            __m256i columns =
                _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
            for (int j = 0; j < take; j += 8) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(&span.x[queued + j]), columns);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(&span.y[queued + j]), rowV);
                columns = _mm256_add_epi32(columns, _mm256_set1_epi32(8));
            }
#else
            const __m128i rowV = _mm_set1_epi32(y);
            __m128i columns = _mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3));
            for (int j = 0; j < take; j += 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(&span.x[queued + j]), columns);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(&span.y[queued + j]), rowV);
                columns = _mm_add_epi32(columns, _mm_set1_epi32(4));
            }
#endif
            queued += take;
            x += take;
            if (queued == kChunk) {
                flush(kChunk);
                queued = 0;
            }
        }
    }
    if (queued > 0) {
        // Spare entries of the last group of eight get harmless coordinates.
        const __m128i x0 = _mm_set1_epi32(span.x[0]), y0 = _mm_set1_epi32(span.y[0]);
        for (int i = queued; i < ((queued + 7) & ~7); i += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&span.x[i]), x0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&span.y[i]), y0);
        }
        flush(queued);
    }
    countPixels(written);
}

// ---- Key selection ----------------------------------------------------------------------

template <size_t... I>
constexpr auto makeTable(std::index_sequence<I...>) {
    return std::array<std::pair<uint32_t, RasterFunction>, sizeof...(I)>{
        std::pair<uint32_t, RasterFunction>{kSpecialised.first[I],
                                            &rasterise<kSpecialised.first[I]>}...};
}

const auto kTable = makeTable(std::make_index_sequence<kSpecialisedCount>{});

bool usesTexture(GrCombineOther_t other, GrCombineFactor_t f) {
    return other == GR_COMBINE_OTHER_TEXTURE || (f & 7) == GR_COMBINE_FACTOR_TEXTURE_ALPHA;
}

// The normalised key of a state; fields the specialised loops do not cover are kRuntime.
uint32_t normalise(const BoardState& s, const Context& c) {
    Key k{kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime, kRuntime};

    if (s.depthMode == GR_DEPTHBUFFER_DISABLE) {
        k.depth = kDepthNone;
    } else if (s.depthFunction == GR_CMP_LESS) {
        k.depth = s.depthMask ? kDepthLessWrite : kDepthLessNoWrite;
    }
    if (s.alphaTestFunction == GR_CMP_ALWAYS) k.test = kTestNone;
    if (s.alphaTestFunction == GR_CMP_GREATER) k.test = kTestGreater;
    if (s.fogMode == GR_FOG_DISABLE) k.fog = 0;
    if (s.fogMode == GR_FOG_WITH_TABLE) k.fog = 1;
    if (c.blendOff) k.blend = kBlendNone;
    if (s.blendRgbSrc == GR_BLEND_SRC_ALPHA && s.blendRgbDst == GR_BLEND_ONE_MINUS_SRC_ALPHA) {
        k.blend = kBlendSrcAlpha;
    }

    const GrCombineFunction_t fn = s.colorFunction;
    const GrCombineFactor_t f = s.colorFactor;
    if (!s.colorInvert) {
        const bool localIter = s.colorLocal == GR_COMBINE_LOCAL_ITERATED;
        const bool alphaIter = s.alphaLocal == GR_COMBINE_LOCAL_ITERATED;
        if (fn == GR_COMBINE_FUNCTION_LOCAL && localIter) k.colour = kColourIter;
        if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA && f == GR_COMBINE_FACTOR_LOCAL &&
            localIter && alphaIter) {
            if (s.colorOther == GR_COMBINE_OTHER_ITERATED) k.colour = kColourLit;
            if (s.colorOther == GR_COMBINE_OTHER_TEXTURE) k.colour = kColourLitTex;
        }
        if (fn == GR_COMBINE_FUNCTION_SCALE_OTHER && s.colorOther == GR_COMBINE_OTHER_TEXTURE) {
            if (f == GR_COMBINE_FACTOR_ONE) k.colour = kColourDecal;
            if (f == GR_COMBINE_FACTOR_LOCAL && localIter) k.colour = kColourModulate;
        }
    }
    const bool alphaRead = k.test != kTestNone || k.blend != kBlendNone || k.fog == kRuntime;
    if (!alphaRead) {
        k.alpha = kAlphaUnused;
    } else if (!s.alphaInvert) {
        const GrCombineFunction_t afn = s.alphaFunction;
        const bool otherTex = s.alphaOther == GR_COMBINE_OTHER_TEXTURE;
        if (afn == GR_COMBINE_FUNCTION_SCALE_OTHER && otherTex) {
            if (s.alphaFactor == GR_COMBINE_FACTOR_ONE) k.alpha = kAlphaTexture;
            if (s.alphaFactor == GR_COMBINE_FACTOR_LOCAL &&
                s.alphaLocal == GR_COMBINE_LOCAL_ITERATED) {
                k.alpha = kAlphaModulate;
            }
        }
        if (afn == GR_COMBINE_FUNCTION_LOCAL && s.alphaLocal == GR_COMBINE_LOCAL_ITERATED) {
            k.alpha = kAlphaIter;
        }
    }

    if (!c.needTexture) {
        k.texture = kTexNone;
        k.filter = kPoint;
    } else if (c.textureValid && c.texture16 && c.tmuPass) {
        k.texture = kTex16;
        if (s.minFilter == s.magFilter) {
            k.filter = s.minFilter == GR_TEXTUREFILTER_BILINEAR ? kBilinear : kPoint;
        }
    }
    return pack(k);
}

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
    if (cc.front == bd.frame.front && cc.color == bd.frame.color[0] &&
        cc.genericOnly == bd.genericOnly && cc.version == bd.stateVersion) {
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
            c.levelScale[i] = std::ldexp(1.0f, -(s.textureLargeLod + i));
            offset += uint32_t(w * h);
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

    RasterFunction fn = bd.genericOnly ? nullptr : lookup(normalise(s, c));
    c.specialised = fn != nullptr;
    c.raster = fn != nullptr ? fn : &rasterise<kGenericKey>;
    return c;
}

inline Vertex toVertex(const GrVertex& v) {
    // Coordinates snapped by adding 3 * 2^18 may still carry that bias.
    constexpr float kSnapBias = 786432.0f;
    Vertex o;
    o.x = v.x > 4096.0f ? v.x - kSnapBias : v.x;
    o.y = v.y > 4096.0f ? v.y - kSnapBias : v.y;
    // Keep attributes in a range where the float arithmetic stays meaningful (NaN lands on
    // the low limit). r, g, b are limited together with the ooz beside them, whose lane
    // then takes alpha.
    const __m128 low = _mm_set1_ps(-65536.0f), high = _mm_set1_ps(65536.0f);
    _mm_storeu_ps(&o.r, _mm_min_ps(_mm_max_ps(_mm_loadu_ps(&v.r), low), high));
    o.a = _mm_cvtss_f32(_mm_min_ss(_mm_max_ss(_mm_set_ss(v.a), low), high));
    o.oow = v.oow;
    o.sow = v.tmuvtx[0].sow;
    o.tow = v.tmuvtx[0].tow;
    o.spare = 0.0f;
    return o;
}

// Draws rows [y0, y1) of a queued triangle, on a worker thread.
void rasterBand(const void* context, const void* setup, int y0, int y1) {
    static_assert(sizeof(Setup) <= kJobPayloadBytes && alignof(Setup) <= 32);
    const Context& c = *static_cast<const Context*>(context);
    Setup t;
    std::memcpy(static_cast<void*>(&t), setup, sizeof t);
    t.yStart = y0;
    t.yEnd = y1;
    c.raster(c, t);
}

void drawOne(const Context& c, const Vertex& v0, const Vertex& v1, const Vertex& v2) {
    Board& bd = *c.board;
    ++bd.trianglesProcessed;
    ++bd.stats.triangles;

    const float dx1 = v1.x - v0.x, dy1 = v1.y - v0.y, dx2 = v2.x - v0.x, dy2 = v2.y - v0.y;
    const float area = dx1 * dy2 - dx2 * dy1;
    // Zero area, and also non-finite or absurd coordinates, draw nothing.
    constexpr float kLimit = 1.0e6f;
    auto sane = [&](const Vertex& v) { return std::fabs(v.x) < kLimit && std::fabs(v.y) < kLimit; };
    if (!(area != 0.0f) || !sane(v0) || !sane(v1) || !sane(v2)) return;
    ++bd.trianglesDrawn;
    ++bd.stats.trianglesDrawn;

    // Order the corners top to bottom.
    const Vertex* top = &v0;
    const Vertex* mid = &v1;
    const Vertex* bottom = &v2;
    if (mid->y < top->y) std::swap(top, mid);
    if (bottom->y < mid->y) std::swap(mid, bottom);
    if (mid->y < top->y) std::swap(top, mid);

    Setup t;
    t.yStart = std::max(ceilToInt(top->y - 0.5f), c.clipMinY);
    t.yEnd = std::min(ceilToInt(bottom->y - 0.5f), c.clipMaxY);
    if (t.yStart >= t.yEnd) return;
    t.yMid = mid->y;
    t.longEdge = makeEdge(*top, *bottom);
    t.upper = makeEdge(*top, *mid);
    t.lower = makeEdge(*mid, *bottom);
    // The long edge is on the left when the middle corner lies right of it.
    const float longAtMid = t.longEdge.at(mid->y);
    t.longOnLeft = longAtMid < mid->x;

    const float inv = 1.0f / area;
    t.x0 = v0.x;
    t.y0 = v0.y;
    {
        // Every plane at once: d = (q1 - q0, q2 - q0), gradients by Cramer's rule.
        using Lanes = float __attribute__((vector_size(32)));
        Lanes q0, q1, q2;
        std::memcpy(&q0, &v0.r, sizeof q0);
        std::memcpy(&q1, &v1.r, sizeof q1);
        std::memcpy(&q2, &v2.r, sizeof q2);
        const Lanes d1 = q1 - q0, d2 = q2 - q0;
        const Lanes gx = (d1 * dy2 - d2 * dy1) * inv, gy = (d2 * dx1 - d1 * dx2) * inv;
        std::memcpy(t.at0, &q0, sizeof q0);
        std::memcpy(t.dx, &gx, sizeof gx);
        std::memcpy(t.dy, &gy, sizeof gy);
    }

    if (c.needLod) {
        // lod = base + log2(w), base = log2(sqrt(max(|d(sow,tow)/dx|^2, |d(sow,tow)/dy|^2))),
        // on the absolute scale (0 = a 256 map). Level k of the chain (absolute largeLod + k)
        // is reached when w >= 2^(largeLod + k - base); the map is magnified while the lod
        // does not exceed largeLod, i.e. w <= 2^(largeLod - base).
        const float gx =
            t.plane(kPlaneS).dx * t.plane(kPlaneS).dx + t.plane(kPlaneT).dx * t.plane(kPlaneT).dx;
        const float gy =
            t.plane(kPlaneS).dy * t.plane(kPlaneS).dy + t.plane(kPlaneT).dy * t.plane(kPlaneT).dy;
        const float threshold = 1.0f / std::sqrt(std::max(gx, gy));
        for (int k = 0; k < 9; ++k) t.lodThreshold[k] = std::ldexp(threshold, c.largeLod + k);
    }
    if (drawingOnWorkers()) {
        queueTriangle(&c, &t, sizeof t, t.yStart, t.yEnd, &rasterBand);
    } else {
        c.raster(c, t);
    }
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

#ifndef GLIDE_RASTER_AVX2
namespace glide {
#if GLIDE_HAVE_AVX2_BUILD
namespace avx2 {
void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);
void drawPolygon(int n, const GrVertex v[]);
bool stateIsSpecialised();
}  // namespace avx2

namespace {

// The AVX2 build when the processor has it (and tests have not asked for the baseline).
bool useAvx2(const Board& b) {
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported && !b.baselineOnly;
}

}  // namespace
#endif

void drawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    const Board& bd = board();
    if (bd.frame.color[0] == nullptr) return;
#if GLIDE_HAVE_AVX2_BUILD
    if (useAvx2(bd)) {
        avx2::drawTriangle(a, b, c);
        return;
    }
#endif
    baseline::drawTriangle(a, b, c);
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
#if GLIDE_HAVE_AVX2_BUILD
    if (useAvx2(bd)) {
        avx2::drawPolygon(n, v);
        return;
    }
#endif
    baseline::drawPolygon(n, v);
}

bool boardStateIsSpecialised() {
    using namespace glide;
    const Board& bd = board();
    if (bd.frame.color[0] == nullptr) return false;
#if GLIDE_HAVE_AVX2_BUILD
    if (useAvx2(bd)) return avx2::stateIsSpecialised();
#endif
    return baseline::stateIsSpecialised();
}

void boardUseBaselinePath(bool on) {
    glide::board().baselineOnly = on;
}

bool boardHasAvx2Path() {
#if GLIDE_HAVE_AVX2_BUILD
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}
#endif
