// The pixel stages after the texel fetch: the W value, combine, alpha test, fog, blending
// and dither, as scalar functions (the generic loop) and as lane steps over 128-bit and
// 256-bit registers (the vector pipelines), written once and giving the same results.
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
#include "glide/raster_key.h"

namespace glide {
namespace {

// ---- Pixel helpers ----------------------------------------------------------------------

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

}  // namespace
}  // namespace glide
