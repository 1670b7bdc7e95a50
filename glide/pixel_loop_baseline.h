// The baseline (SSE2) build's pixel pipeline for the specialised states, a group's rows one
// after the other: stage one (W, iterated colours, texture coordinates and addresses) on
// the row's four pixels in the compiler's generic vectors, then the pipeline on the four,
// two to a register.
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
#include "glide/pixel_stages.h"
#include "glide/texel_fetch.h"

namespace glide {
namespace {

using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = int32_t __attribute__((vector_size(16)));
using Doubles4 = double __attribute__((vector_size(32)));
using Longs4 = int64_t __attribute__((vector_size(32)));

// Stage one values of four pixels.
struct FourPixels {
    alignas(16) uint32_t wf[4];
    alignas(16) int32_t r[4], g[4], b[4], a[4];
    alignas(16) uint32_t index[5][4];  // texel indices; [4]: fs * 16 + ft
};

// floorToInt() on four lanes, the same comparisons in the same order.
[[gnu::always_inline]] inline void floor4(Floats4 v, Ints4& out) {
    constexpr float kLimit = 1073741824.0f;
    const Floats4 zero{}, high = zero + kLimit, low = zero - kLimit;
    v = high < v ? high : v;
    v = v > low ? v : low;
    const Ints4 i = __builtin_convertvector(v, Ints4);
    out = i + (v < __builtin_convertvector(i, Floats4));
}

// std::min(std::max(v, 0), hi) on four lanes.
[[gnu::always_inline]] inline void clamp4(Ints4& v, const Ints4& hi) {
    const Ints4 zero{};
    v = v < zero ? zero : v;
    v = hi < v ? hi : v;
}

// wideToDouble() on four lanes.
[[gnu::always_inline]] inline void toDouble4(const Longs4& v, Doubles4& out) {
    const Longs4 magic = Longs4{} + int64_t(0x4338000000000000ll);
    Doubles4 d;
    const Longs4 biased = v + magic;
    std::memcpy(&d, &biased, sizeof d);
    out = d - 6755399441055744.0;
}

// The pipeline of a specialised key over groups (four neighbours on each of two rows), one
// row of four pixels at a time (baseline build); set up once per triangle.
template <uint32_t kPacked>
struct VectorLoop {
    static constexpr Key k = unpack(kPacked);
    static constexpr bool kTexture = k.texture == kTex16;
    static constexpr bool kIterRgb = k.colour != kColourDecal;
    static constexpr bool kIterAlpha = k.colour == kColourLit || k.colour == kColourLitTex ||
                                       k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    static constexpr bool kDepthTest = k.depth != kDepthNone;
    static constexpr bool kNeedW = k.depth != kDepthNone || k.fog != 0;

    const LaneConstants<128> lc;
    Ints4 colourStep[kColours][2];  // dx * (0..3), then plus dy: a group's two rows
    Longs4 wideStep[kWides][2];
    // The one level the triangle uses (the first but for a mip-mapped triangle whose pixels
    // all reach the same one), and its texels.
    int level = 0;
    const uint64_t* texels = nullptr;
    bool bilinear;

    VectorLoop(const Context& c, const Setup& t) : lc(c) {
        for (int h = 0; h < 2; ++h) {
            for (int i = 0; i < kColours; ++i) {
                const uint32_t d = uint32_t(t.colourDx[i]);
                const uint32_t e = uint32_t(t.colourDy[i]);
                for (int j = 0; j < 4; ++j)
                    colourStep[i][h][j] = int32_t(d * uint32_t(j) + e * uint32_t(h));
            }
            for (int i = 0; i < kWides; ++i) {
                const uint64_t d = uint64_t(t.wideDx[i]);
                const uint64_t e = uint64_t(t.wideDy[i]);
                for (int j = 0; j < 4; ++j)
                    wideStep[i][h][j] = int64_t(d * uint64_t(j) + e * uint64_t(h));
            }
        }
        if constexpr (kTexture) {
            level = c.needLod ? t.levelFirst : 0;
            texels = c.texels16 + c.levelOffset[level];
        }
        bilinear = c.bilinearMag;
    }

    [[gnu::always_inline]] void wideLanes(const Group& g, int i, int h, Doubles4& out) const {
        toDouble4(wideStep[i][h] + g.wide[i], out);
    }

    // A colour's four lanes as 0..255 channels, stored.
    [[gnu::always_inline]] void colourLanes(const Group& g, int i, int h, int32_t* out) const {
        Ints4 v = (colourStep[i][h] + g.colour[i]) >> kColourBits;
        const Ints4 zero{}, top = zero + 255;
        v = v < zero ? zero : v;
        v = top < v ? top : v;
        std::memcpy(out, &v, sizeof v);
    }

    // Texel indices and bilinear fractions (single level) and iterated channels of four pixels.
    [[gnu::always_inline]] void stageOneLate(const Context& c, const Group& g, int h,
                                             const Floats4& oow, FourPixels& e) const {
        if constexpr (kTexture) {
            const Floats4 zero{};
            const Floats4 w = 1.0f / oow;
            const Ints4 ahead = oow > zero;
            Doubles4 sd, td;
            wideLanes(g, kIterSow, h, sd);
            wideLanes(g, kIterTow, h, td);
            Floats4 sc = __builtin_convertvector(sd, Floats4) * w;
            Floats4 tc = __builtin_convertvector(td, Floats4) * w;
            Ints4 bits;
            std::memcpy(&bits, &sc, sizeof bits);
            bits &= ahead;
            std::memcpy(&sc, &bits, sizeof bits);
            std::memcpy(&bits, &tc, sizeof bits);
            bits &= ahead;
            std::memcpy(&tc, &bits, sizeof bits);
            const float scale = c.levelScale[level];
            const int wm = c.widthMask[level], hm = c.heightMask[level];
            const int shift = c.widthShift[level];
            const Ints4 none{}, widthMask = none + wm, heightMask = none + hm;
            const int andS = c.wrapS ? wm : -1, andT = c.wrapT ? hm : -1;
            const bool clampAny = !c.wrapS || !c.wrapT;
            if (bilinear) {
                Ints4 si, ti;
                floor4((sc * scale - 0.5f) * 16.0f, si);
                floor4((tc * scale - 0.5f) * 16.0f, ti);
                const Ints4 weights = ((si & 15) << 4) | (ti & 15);
                const Ints4 sx = si >> 4, ty = ti >> 4;
                Ints4 x0 = sx & andS, x1 = (sx + 1) & andS;
                Ints4 y0 = ty & andT, y1 = (ty + 1) & andT;
                if (clampAny) {
                    clamp4(x0, widthMask);
                    clamp4(x1, widthMask);
                    clamp4(y0, heightMask);
                    clamp4(y1, heightMask);
                }
                y0 = y0 << shift;
                y1 = y1 << shift;
                const Ints4 i0 = y0 + x0, i1 = y0 + x1, i2 = y1 + x0, i3 = y1 + x1;
                std::memcpy(e.index[0], &i0, sizeof i0);
                std::memcpy(e.index[1], &i1, sizeof i1);
                std::memcpy(e.index[2], &i2, sizeof i2);
                std::memcpy(e.index[3], &i3, sizeof i3);
                std::memcpy(e.index[4], &weights, sizeof weights);
            } else {
                Ints4 x, y;
                floor4(sc * scale, x);
                floor4(tc * scale, y);
                x &= andS;
                y &= andT;
                if (clampAny) {
                    clamp4(x, widthMask);
                    clamp4(y, heightMask);
                }
                const Ints4 i0 = (y << shift) + x;
                std::memcpy(e.index[0], &i0, sizeof i0);
            }
        }
        if constexpr (kIterRgb) {
            colourLanes(g, kIterR, h, e.r);
            colourLanes(g, kIterG, h, e.g);
            colourLanes(g, kIterB, h, e.b);
        }
        if constexpr (kIterAlpha) colourLanes(g, kIterA, h, e.a);
    }

    // Draws the group's covered pixels; returns how many were written.
    [[gnu::always_inline]] uint64_t run(const Context& c, const Group& g) const {
        const VectorTables& vt = vectorTables();
        const __m128i zero = lc.zero;
        const bool ditherOn = c.ditherOn;
        uint64_t written = 0;
        for (int row = 0; row < 2; ++row) {
            int mask = int(g.mask >> (4 * row)) & 15;
            if (mask == 0) continue;
            FourPixels e;
            Floats4 oow{};
            if constexpr (kNeedW || kTexture) {
                Doubles4 od;
                wideLanes(g, kIterOow, row, od);
                oow = __builtin_convertvector(od, Floats4);
                if constexpr (kNeedW) {
                    // The high words of the doubles: 4354048 - (high >> 8), limited.
                    Ints4 high;
                    using Ints8 = int32_t __attribute__((vector_size(32)));
                    Ints8 words;
                    std::memcpy(&words, &od, sizeof words);
                    high = __builtin_shufflevector(words, words, 1, 3, 5, 7);
                    Ints4 v = kWEncodeBias - (high >> 8);
                    const Ints4 zeroI{}, maxI = zeroI + 0xFFFF;
                    v = v < zeroI ? zeroI : v;
                    v = maxI < v ? maxI : v;
                    std::memcpy(e.wf, &v, sizeof v);
                }
            }
            if constexpr (!kNeedW) std::memset(e.wf, 0, sizeof e.wf);
            const uint32_t* wf = e.wf;
            const __m128i wfv = _mm_load_si128(reinterpret_cast<const __m128i*>(wf));
            const size_t offset = size_t(g.y + row) * size_t(c.stride) + size_t(g.x);
            __m128i stored = zero, old = zero;  // four 16-bit values in the low half
            if constexpr (kDepthTest) {
                stored = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c.depth + offset));
                mask &= _mm_movemask_ps(
                    _mm_castsi128_ps(_mm_cmplt_epi32(wfv, _mm_unpacklo_epi16(stored, zero))));
            }
            if (mask == 0) continue;
            stageOneLate(c, g, row, oow, e);
            constexpr int base = 0;

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

            old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c.color + offset));

            if constexpr (k.blend == kBlendSrcAlpha) {
                const __m128i twice = _mm_unpacklo_epi16(old, old);
                const __m128i spread[2] = {_mm_unpacklo_epi32(twice, twice),
                                           _mm_unpackhi_epi32(twice, twice)};
                for (int h = 0; h < 2; ++h) out[h] = blendLanes(out[h], spread[h], lc);
            }

            // Dither to 5-6-5 and write (x is a multiple of 4: the matrix row from its start).
            const uint64_t* ditherRow = vt.ditherRow[((g.y + row) & 3) << 2];
            __m128i packed[2];
            for (int h = 0; h < 2; ++h) {
                __m128i d = zero;
                if (ditherOn)
                    d = _mm_load_si128(reinterpret_cast<const __m128i*>(&ditherRow[2 * h]));
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
            _mm_storel_epi64(reinterpret_cast<__m128i*>(c.color + offset), colour);
            if constexpr (k.depth == kDepthLessWrite) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(c.depth + offset), depth);
            }
            written += uint64_t((0x4332322132212110ull >> (4 * mask)) & 15);  // bits set in mask
        }
        return written;
    }
};

}  // namespace
}  // namespace glide
