// The normalised state key of the pixel loop. Each key field is either a fixed choice (the
// loop is compiled for it) or kRuntime (the loop reads the state record); the key with every
// field kRuntime is the generic loop and serves any state. `kSpecialised` lists the keys the
// engine draws with, each of which gets its own instantiation of the same source, and
// `normalise` turns a state record into its key. Part of the per-instruction-set build
// (raster_build.cpp), like every raster_*.h, block_walk.h, pixel_*.h and texel_fetch.h.
#pragma once

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
#include "glide/raster_context.h"

namespace glide {
namespace {

// ---- Normalised state key ---------------------------------------------------------------

constexpr uint8_t kRuntime = 15;

// kTex8: an 8-bit texture, its texels expanded through a table as they are read.
enum TexturePath : uint8_t { kTexNone = 0, kTex16 = 1, kTex8 = 2 };
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
    // Translucent 8-bit textures (alpha maps).
    for (uint8_t filter : {kPoint, kBilinear}) {
        for (uint8_t fog : {0, 1}) {
            for (uint8_t test : {kTestNone, kTestGreater}) {
                keys[n++] = pack(Key{kTex8, filter, kColourModulate, kAlphaModulate, test, fog,
                                     kBlendSrcAlpha, kDepthLessNoWrite});
            }
        }
    }
    for (uint8_t fog : {0, 1}) {
        // Translucent colour with iterated alpha.
        keys[n++] = pack(Key{kTexNone, kPoint, kColourIter, kAlphaIter, kTestNone, fog,
                             kBlendSrcAlpha, kDepthLessNoWrite});
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

    // A texture that only the unused alpha reads (lit colour leaves the alpha combine on
    // the texture) is not fetched.
    const bool colourIterated = k.colour == kColourIter || k.colour == kColourLit;
    if (!c.needTexture || (k.alpha == kAlphaUnused && colourIterated)) {
        k.texture = kTexNone;
        k.filter = kPoint;
    } else if (c.textureValid && c.tmuPass) {
        k.texture = c.texture16 ? kTex16 : kTex8;
        if (s.minFilter == s.magFilter) {
            k.filter = s.minFilter == GR_TEXTUREFILTER_BILINEAR ? kBilinear : kPoint;
        }
    }
    return pack(k);
}

}  // namespace
}  // namespace glide
