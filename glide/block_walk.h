// The walk over a triangle's pixels, and the generic pixel loop.
//
// The walk visits blocks of 4 x 2 pixels aligned to the screen (x a multiple of 4, y even)
// inside the triangle's bounding box, row pair by row pair. A block wholly outside one of
// the three edge functions is skipped; a block wholly inside all three skips the per-pixel
// edge test; the others test their eight pixels. A block is a group (see Group), handed to a
// specialised pipeline or to the generic loop below with the values at its first pixel and
// the mask of the pixels it covers. Every value
// is stepped exactly in integers, so the order of the walk does not matter: drawing rows
// [a, b) and then [b, c) draws what one call over [a, c) draws. (Bands of 32 rows, or any
// other height, split no values; the block height of 2 divides 32 all the same.) Four pixels by two
// rows rather than eight by one: small triangles need about a fifth fewer groups.
//
// The generic loop runs any state, one covered pixel at a time: the iterated values at the
// pixel, then depth test, texture, combine, alpha test, fog, blending, dither and writes.
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
#include "glide/pixel_loop_baseline.h"
#include "glide/pixel_loop_wide.h"
#include "glide/pixel_stages.h"
#include "glide/raster_context.h"
#include "glide/raster_key.h"
#include "glide/texel_fetch.h"
#include "glide/workers.h"

namespace glide {
namespace {

// A block is one group of eight pixels: four neighbours on each of two rows.
constexpr int kBlockWidth = 4, kBlockHeight = 2;
// Blocks never reach past the frame buffer: the pixel loops read and write whole blocks.
static_assert(kScreenWidth % kBlockWidth == 0 && kScreenHeight % kBlockHeight == 0);

// The offset of lane i of a group from its first pixel, in steps along x and y.
constexpr int laneX(int i) {
    return i & 3;
}
constexpr int laneY(int i) {
    return i >> 2;
}

// Which of the eight pixels of the block from (x, y) lie inside all three edge functions,
// whose values at (x, y) are e[k].
struct Coverage {
#ifdef GLIDE_RASTER_AVX2
    __m256i step[3][2];  // the edge's value at lanes 0..3 and 4..7 less its value at lane 0
    explicit Coverage(const Setup& t) {
        for (int k = 0; k < 3; ++k) {
            const int64_t a = t.edgeDx[k], d = t.edgeDy[k];
            step[k][0] = _mm256_setr_epi64x(0, a, 2 * a, 3 * a);
            step[k][1] = _mm256_setr_epi64x(d, d + a, d + 2 * a, d + 3 * a);
        }
    }
    [[gnu::always_inline]] unsigned block(const int64_t (&e)[3]) const {
        __m256i lo = _mm256_setzero_si256(), hi = lo;
        for (int k = 0; k < 3; ++k) {
            const __m256i v = _mm256_set1_epi64x(e[k]);
            lo = _mm256_or_si256(lo, _mm256_add_epi64(v, step[k][0]));
            hi = _mm256_or_si256(hi, _mm256_add_epi64(v, step[k][1]));
        }
        const int outside = _mm256_movemask_pd(_mm256_castsi256_pd(lo)) |
                            _mm256_movemask_pd(_mm256_castsi256_pd(hi)) << 4;
        return unsigned(~outside) & 0xFFu;
    }
#else
    int64_t step[3][8];
    explicit Coverage(const Setup& t) {
        for (int k = 0; k < 3; ++k) {
            for (int i = 0; i < 8; ++i)
                step[k][i] = t.edgeDx[k] * laneX(i) + t.edgeDy[k] * laneY(i);
        }
    }
    [[gnu::always_inline]] unsigned block(const int64_t (&e)[3]) const {
        unsigned mask = 0;
        for (int i = 0; i < 8; ++i) {
            const int64_t v = (e[0] + step[0][i]) | (e[1] + step[1][i]) | (e[2] + step[2][i]);
            mask |= unsigned(uint64_t(~v) >> 63) << i;
        }
        return mask;
    }
#endif
};

// Calls group(g) for every block of the triangle's bounding box holding pixels of the
// triangle, in rows [t.yStart, t.yEnd).
template <typename GroupFunction>
[[gnu::always_inline]] inline void walkBlocks(const Setup& t, GroupFunction&& group) {
    const Coverage coverage(t);
    const int firstX = t.xStart & ~(kBlockWidth - 1);
    // Per edge, the offsets from a block's first pixel to the pixels where the edge function
    // is least and greatest, and the step from one block to the next.
    int64_t least[3], most[3], stepX[3];
    for (int k = 0; k < 3; ++k) {
        const int64_t across = t.edgeDx[k] * (kBlockWidth - 1),
                      down = t.edgeDy[k] * (kBlockHeight - 1);
        least[k] = std::min<int64_t>(across, 0) + std::min<int64_t>(down, 0);
        most[k] = std::max<int64_t>(across, 0) + std::max<int64_t>(down, 0);
        stepX[k] = int64_t(uint64_t(t.edgeDx[k]) * kBlockWidth);
    }
    int32_t colourStep[kColours];
    int64_t wideStep[kWides];
    for (int i = 0; i < kColours; ++i)
        colourStep[i] = int32_t(uint32_t(t.colourDx[i]) * kBlockWidth);
    for (int i = 0; i < kWides; ++i) wideStep[i] = int64_t(uint64_t(t.wideDx[i]) * kBlockWidth);

    for (int y = t.yStart & ~(kBlockHeight - 1); y < t.yEnd; y += kBlockHeight) {
        const int64_t dx = firstX - t.xRef, dy = y - t.yRef;
        int64_t e[3];
        for (int k = 0; k < 3; ++k) {
            e[k] = int64_t(uint64_t(t.edgeAt[k]) + uint64_t(t.edgeDx[k]) * uint64_t(dx) +
                           uint64_t(t.edgeDy[k]) * uint64_t(dy));
        }
        Group g;
        g.y = y;
        for (int i = 0; i < kColours; ++i) {
            g.colour[i] = int32_t(uint32_t(t.colourAt[i]) + uint32_t(t.colourDx[i]) * uint32_t(dx) +
                                  uint32_t(t.colourDy[i]) * uint32_t(dy));
        }
        for (int i = 0; i < kWides; ++i) {
            g.wide[i] = int64_t(uint64_t(t.wideAt[i]) + uint64_t(t.wideDx[i]) * uint64_t(dx) +
                                uint64_t(t.wideDy[i]) * uint64_t(dy));
        }
        // The rows of the pair inside [yStart, yEnd).
        const unsigned rows = (y >= t.yStart ? 0x0Fu : 0u) | (y + 1 < t.yEnd ? 0xF0u : 0u);
        bool entered = false;
        for (int x = firstX; x < t.xEnd; x += kBlockWidth) {
            bool outside = false, inside = true;
            for (int k = 0; k < 3; ++k) {
                outside |= e[k] + most[k] < 0;
                inside &= e[k] + least[k] >= 0;
            }
            // The triangle is convex: past its right side, the rest of the row pair is outside.
            if (outside && entered) break;
            entered |= !outside;
            if (!outside) {
                // The columns inside [xStart, xEnd), on both rows.
                const int from = std::max(t.xStart - x, 0), to = std::min(t.xEnd - x, 4);
                const unsigned columns = (0x0Fu >> (4 - to)) & (0x0Fu << from) & 0x0Fu;
                const unsigned mask =
                    (columns | columns << 4) & rows & (inside ? 0xFFu : coverage.block(e));
                if (mask != 0) {
                    g.x = x;
                    g.mask = mask;
                    group(g);
                }
            }
            for (int k = 0; k < 3; ++k) e[k] += stepX[k];
            for (int i = 0; i < kColours; ++i) {
                g.colour[i] = int32_t(uint32_t(g.colour[i]) + uint32_t(colourStep[i]));
            }
            for (int i = 0; i < kWides; ++i)
                g.wide[i] = int64_t(uint64_t(g.wide[i]) + uint64_t(wideStep[i]));
        }
    }
}

// The generic pixel loop over the covered pixels of a group.
template <uint32_t kPacked>
[[gnu::always_inline]] inline uint64_t runScalar(const Context& c, const Setup& t, const Group& g) {
    constexpr Key k = unpack(kPacked);
    constexpr bool kGeneric = kPacked == kGenericKey;
    const BoardState& st = *c.s;
    const bool useTexture =
        k.texture == kRuntime ? (c.needTexture && c.textureValid) : k.texture != kTexNone;
    const bool depthTest = k.depth == kRuntime ? c.depthTest : k.depth != kDepthNone;
    const bool depthWrite = k.depth == kRuntime ? c.depthWrite : k.depth == kDepthLessWrite;
    const bool fogOn = k.fog == kRuntime ? c.fogTable : k.fog == 1;
    const bool bilinearMag = k.filter == kRuntime ? c.bilinearMag : k.filter == kBilinear;
    const bool bilinearMin = k.filter == kRuntime ? c.bilinearMin : k.filter == kBilinear;
    const bool needLod = c.needLod;
    const int alphaRef = c.alphaRef;
    constexpr bool kIterRgb = kGeneric || k.colour != kColourDecal;
    constexpr bool kIterAlpha = kGeneric || k.colour == kColourLit || k.colour == kColourLitTex ||
                                k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    constexpr bool kNeedW = kGeneric || k.depth != kDepthNone || k.fog != 0;
    uint64_t written = 0;
    for (unsigned m = g.mask; m != 0; m &= m - 1) {
        const int i = std::countr_zero(m);
        const int x = g.x + laneX(i), y = g.y + laneY(i);
        uint16_t* colourRow = c.color + size_t(y) * size_t(c.stride);
        uint16_t* depthRow = c.depth + size_t(y) * size_t(c.stride);
        const uint8_t* redBlueRow = c.ditherRedBlue + (y & 3) * 4 * 256;
        const uint8_t* greenRow = c.ditherGreen + (y & 3) * 4 * 256;
        // The iterated values at the pixel.
        const uint32_t across = uint32_t(laneX(i)), down = uint32_t(laneY(i));
        auto colourAt = [&](int a) {
            return channelOf(int32_t(uint32_t(g.colour[a]) + uint32_t(t.colourDx[a]) * across +
                                     uint32_t(t.colourDy[a]) * down));
        };
        auto wideAt = [&](int a) {
            return wideToDouble(int64_t(uint64_t(g.wide[a]) + uint64_t(t.wideDx[a]) * across +
                                        uint64_t(t.wideDy[a]) * down));
        };
        const double oowFixed = wideAt(kIterOow);
        const int iterR = kIterRgb ? colourAt(kIterR) : 0, iterG = kIterRgb ? colourAt(kIterG) : 0;
        const int iterB = kIterRgb ? colourAt(kIterB) : 0,
                  iterA = kIterAlpha ? colourAt(kIterA) : 0;
        // Depth.
        const uint32_t wf = kNeedW ? encodeW(oowFixed) : 0u;
        if (depthTest) {
            const int stored = depthRow[x];
            const bool pass =
                k.depth == kRuntime ? compare(st.depthFunction, int(wf), stored) : int(wf) < stored;
            if (!pass) continue;
        }

        // Texture: behind the eye (1/w <= 0) the coordinates and w are 0.
        int texR = 0, texG = 0, texB = 0, texA = 0;
        if (useTexture) {
            const float oow = float(oowFixed);
            float w = 1.0f / oow;
            float sc = float(wideAt(kIterSow)) * w, tc = float(wideAt(kIterTow)) * w;
            if (!(oow > 0.0f)) w = sc = tc = 0.0f;
            int level = 0;
            bool magnified = true;
            if (needLod) {
                magnified = w <= t.lodThreshold[0];
                while (level + 1 < c.levels && w >= t.lodThreshold[level + 1]) ++level;
            }
            const bool bilinear = magnified ? bilinearMag : bilinearMin;
            const uint64_t texel = k.texture == kTex16 ? sample<true>(c, level, bilinear, sc, tc)
                                                       : sample<false>(c, level, bilinear, sc, tc);
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
    return written;
}

// Asks for the frame buffer's lines under the first rows of the triangle's bounding box
// (colour, and depth when read) before the walk reaches them: a small triangle's lines are
// rarely in the cache, and asked for together their misses overlap instead of following one
// another group by group. Larger triangles get their first rows; the processor's own
// prefetcher follows the rest.
[[gnu::always_inline]] inline void prefetchFrame(const Context& c, const Setup& t, bool depth) {
    constexpr int kRows = 16, kLinePixels = 32;  // 64-byte lines of 16-bit pixels
    const int top = t.yStart & ~(kBlockHeight - 1), bottom = std::min(t.yEnd, top + kRows);
    const int left = t.xStart & ~(kLinePixels - 1);
    const int right = std::min(t.xEnd, left + 4 * kLinePixels);
    for (int y = top; y < bottom; ++y) {
        const size_t row = size_t(y) * size_t(c.stride);
        for (int x = left; x < right; x += kLinePixels) {
            _mm_prefetch(reinterpret_cast<const char*>(c.color + row + size_t(x)), _MM_HINT_T0);
            if (depth) {
                _mm_prefetch(reinterpret_cast<const char*>(c.depth + row + size_t(x)), _MM_HINT_T0);
            }
        }
    }
}

template <uint32_t kPacked>
void rasterise(const Context& c, const Setup& t) {
    constexpr Key k = unpack(kPacked);
    constexpr bool kGeneric = kPacked == kGenericKey;
    uint64_t written = 0;
    prefetchFrame(c, t, k.depth == kRuntime ? c.depthTest || c.depthWrite : k.depth != kDepthNone);
    const bool useTexture =
        k.texture == kRuntime ? (c.needTexture && c.textureValid) : k.texture != kTexNone;
    bool vector = false;
    if constexpr (!kGeneric) {
#ifdef GLIDE_RASTER_AVX2
        // Untextured states and textures with one filter: the wide pipeline (the level chosen
        // per pixel when the triangle's pixels can reach more than one).
        vector = !useTexture || c.bilinearMin == c.bilinearMag;
        if (vector) {
            if (c.needLod && t.levelFirst != t.levelLast) {
                const WideLoop<kPacked, k.texture != kTexNone> loop(c, t);
                walkBlocks(t, [&](const Group& g) { written += loop.run(c, g); });
            } else {
                const WideLoop<kPacked, false> loop(c, t);
                walkBlocks(t, [&](const Group& g) { written += loop.run(c, g); });
            }
        }
#else
        // Untextured states and 16-bit textures whose triangle uses one level with one
        // filter: the vector pipeline (8-bit textures take the per-pixel loop).
        const bool oneLevel =
            !c.needLod || (c.bilinearMin == c.bilinearMag && t.levelFirst == t.levelLast);
        vector = k.texture != kTex8 && (!useTexture || oneLevel);
        if (vector) {
            const VectorLoop<kPacked> loop(c, t);
            walkBlocks(t, [&](const Group& g) { written += loop.run(c, g); });
        }
#endif
    }
    if (!vector) walkBlocks(t, [&](const Group& g) { written += runScalar<kPacked>(c, t, g); });
    countPixels(written);
}

}  // namespace
}  // namespace glide
