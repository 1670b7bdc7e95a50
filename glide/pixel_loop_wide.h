// The wide pixel pipeline of the AVX2 (and AVX-512) builds for the specialised states:
// eight pixels at a time, every stage in 256-bit registers.
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

#ifdef GLIDE_RASTER_AVX2
// ---- The wide pixel pipeline (AVX2 and AVX-512 builds) ---------------------------------
//
// A group (four neighbours on each of two rows) at a time, every step in 256-bit registers.
// Per-pixel values (W, iterated channels, texel addresses, fog) are 32-bit lanes in group
// order, each the group's first value plus a per-lane offset set up once per triangle. The
// colour pipeline then holds four pixels per register as 16-bit lanes (b, g, r, a): `lo` has
// pixels 0, 1, 4, 5 and `hi` pixels 2, 3, 6, 7, the order the 256-bit unpack instructions
// give; the final pack puts them back in order. The arithmetic is the baseline loop's, lane
// for lane. A bilinear sample is one 16-byte load of the texel's quad (see TextureMemory),
// weighed along s by byte multiply-adds, then the two rows along t: the scalar path's
// integer sums. Loads by per-pixel address are scalar (the processor's gathers are slower
// here). The group's two rows are read and written 64 bits each.

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

// floorToInt() on eight lanes: the same limits (NaN lands on the low one), then floor.
[[gnu::always_inline]] inline Wide floorWide(__m256 v) {
    v = _mm256_min_ps(_mm256_set1_ps(1073741824.0f), v);
    v = _mm256_max_ps(v, _mm256_set1_ps(-1073741824.0f));
    return _mm256_cvttps_epi32(_mm256_floor_ps(v));
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

struct WideTables {
    // Dither values of a group (four neighbours on two rows, y even, x a multiple of 4), by
    // (y >> 1) & 1: d in the b, g, r lanes, in lo/hi pixel order.
    alignas(32) uint16_t ditherBlock[2][2][16];
    WideTables() {
        static const int kMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        static const int kPixel[2][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}};
        for (int pair = 0; pair < 2; ++pair) {
            for (int h = 0; h < 2; ++h) {
                for (int p = 0; p < 4; ++p) {
                    const int pixel = kPixel[h][p];
                    const int d = kMatrix[(2 * pair + pixel / 4) * 4 + pixel % 4];
                    for (int l = 0; l < 4; ++l)
                        ditherBlock[pair][h][p * 4 + l] = uint16_t(l < 3 ? d : 0);
                }
            }
        }
    }
};

// Built on first use: a global's constructor would run this build's instructions at start-up,
// on processors that cannot run them.
inline const WideTables& wideTables() {
    static const WideTables tables;
    return tables;
}

// The parameters of a chain's levels, one lane per level (the ninth apart), for choosing
// the level per pixel.
struct WideLevels {
    Wide scale, widthMask, heightMask, shift, offset;  // scale holds float bits
    int32_t last[5];                                   // the ninth level's, same order
    bool nine = false;                                 // the triangle can reach the ninth level
    __m256 threshold[9];                               // Setup::lodThreshold in every lane

    // Left unset unless the texture is mip-mapped (set up per triangle, from the context's
    // lanes; lanes past the chain's levels are never picked).
    void setUp(const Context& c, const Setup& t) {
        const int32_t(&v)[5][8] = c.levelLanes;
        std::copy(std::begin(c.ninthLevel), std::end(c.ninthLevel), std::begin(last));
        scale = _mm256_load_si256(reinterpret_cast<const Wide*>(v[0]));
        widthMask = _mm256_load_si256(reinterpret_cast<const Wide*>(v[1]));
        heightMask = _mm256_load_si256(reinterpret_cast<const Wide*>(v[2]));
        shift = _mm256_load_si256(reinterpret_cast<const Wide*>(v[3]));
        offset = _mm256_load_si256(reinterpret_cast<const Wide*>(v[4]));
        nine = t.levelLast == 8;
        for (int k = 0; k < 9; ++k) threshold[k] = _mm256_set1_ps(t.lodThreshold[k]);
    }
};

// The eight 16-bit pixels of a group (four on row y, four on row y + 1), in lane order. Both
// rows are read and written whole: the walk keeps a group inside the rows [yStart & ~1, ...)
// of its call, so callers that split the screen into bands must start bands on even rows.
[[gnu::always_inline]] inline __m128i loadBlock(const uint16_t* at, int stride) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + stride)));
}
[[gnu::always_inline]] inline void storeBlock(uint16_t* at, int stride, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), v);
    _mm_storeh_pd(reinterpret_cast<double*>(at + stride), _mm_castsi128_pd(v));
}

// A 12.12 colour's lanes as 0..255 channels.
[[gnu::always_inline]] inline Wide channelWide(Wide v) {
    v = _mm256_srai_epi32(v, kColourBits);
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// Eight 64-bit iterated values as doubles, wideToDouble() per lane. The AVX-512 build
// converts with the processor's instruction, which gives the same doubles for values below
// 2^51 in magnitude: every covered pixel's (uncovered lanes are never written).
#ifdef GLIDE_RASTER_AVX512
using WideValues = __m512d;
using WideSteps = __m512i;

[[gnu::always_inline]] inline WideValues wideValues(int64_t first, const WideSteps& step) {
    return _mm512_maskz_cvtepi64_pd(0xFF, _mm512_add_epi64(_mm512_set1_epi64(first), step));
}

[[gnu::always_inline]] inline __m256 toFloatWide(WideValues v) {
    return _mm512_maskz_cvtpd_ps(0xFF, v);
}

// The high 32 bits of each double, in pixel order.
[[gnu::always_inline]] inline Wide highWordsWide(WideValues v) {
    return _mm512_maskz_cvtepi64_epi32(0xFF,
                                       _mm512_maskz_srli_epi64(0xFF, _mm512_castpd_si512(v), 32));
}
#else
struct WideValues {
    __m256d lo, hi;
};
struct WideSteps {
    __m256i lo, hi;
};

[[gnu::always_inline]] inline WideValues wideValues(int64_t first, const WideSteps& step) {
    const __m256i v = _mm256_set1_epi64x(first);
    const __m256i magic = _mm256_set1_epi64x(0x4338000000000000ll);
    const __m256d magicValue = _mm256_set1_pd(6755399441055744.0);
    auto convert = [&](__m256i lanes) {
        return _mm256_sub_pd(
            _mm256_castsi256_pd(_mm256_add_epi64(_mm256_add_epi64(v, lanes), magic)), magicValue);
    };
    return {convert(step.lo), convert(step.hi)};
}

[[gnu::always_inline]] inline __m256 toFloatWide(WideValues v) {
    return _mm256_set_m128(_mm256_cvtpd_ps(v.hi), _mm256_cvtpd_ps(v.lo));
}

[[gnu::always_inline]] inline Wide highWordsWide(WideValues v) {
    const __m256 high = _mm256_shuffle_ps(_mm256_castpd_ps(v.lo), _mm256_castpd_ps(v.hi), 0xDD);
    return _mm256_permute4x64_epi64(_mm256_castps_si256(high), 0xD8);
}
#endif

// The pipeline of a specialised key over groups of eight neighbours on a row; set up once
// per triangle.
template <uint32_t kPacked, bool kMipmapped>
struct WideLoop {
    static constexpr Key k = unpack(kPacked);
    static constexpr bool kTexture = k.texture == kTex16 || k.texture == kTex8;
    static constexpr bool kBytes = k.texture == kTex8;  // 8-bit texels, expanded when read
    static constexpr bool kIterRgb = k.colour != kColourDecal;
    static constexpr bool kIterAlpha = k.colour == kColourLit || k.colour == kColourLitTex ||
                                       k.alpha == kAlphaModulate || k.alpha == kAlphaIter;
    static constexpr bool kDepthTest = k.depth != kDepthNone;
    static constexpr bool kNeedW = kDepthTest || k.fog != 0;

    const Setup& t;
    const LaneConstants<256> lc;
    Wide colourStep[kColours];   // dx * (0..7) per colour
    WideSteps wideStep[kWides];  // the offsets of lanes 0..7 from lane 0, per wide value
    WideLevels levelTable;
    // Unless the level is chosen per pixel: the one level the triangle uses (the first but
    // for a mip-mapped triangle whose pixels all reach the same one). The texels are that
    // level's, or the chain's when the level is chosen per pixel.
    int level = 0;
    const TexelQuad* quads = nullptr;
    const uint64_t* texels16 = nullptr;
    const uint8_t* texels8 = nullptr;
    bool bilinear;

    WideLoop(const Context& c, const Setup& setup) : t(setup), lc(c) {
        for (int i = 0; i < kColours; ++i) {
            colourStep[i] =
                _mm256_add_epi32(_mm256_mullo_epi32(_mm256_set1_epi32(t.colourDx[i]),
                                                    _mm256_setr_epi32(0, 1, 2, 3, 0, 1, 2, 3)),
                                 _mm256_mullo_epi32(_mm256_set1_epi32(t.colourDy[i]),
                                                    _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1)));
        }
        for (int i = 0; i < kWides; ++i) {
            const uint64_t d = uint64_t(t.wideDx[i]), e = uint64_t(t.wideDy[i]);
#ifdef GLIDE_RASTER_AVX512
            wideStep[i] =
                _mm512_setr_epi64(0, int64_t(d), int64_t(d * 2), int64_t(d * 3), int64_t(e),
                                  int64_t(e + d), int64_t(e + d * 2), int64_t(e + d * 3));
#else
            wideStep[i] =
                WideSteps{_mm256_setr_epi64x(0, int64_t(d), int64_t(d * 2), int64_t(d * 3)),
                          _mm256_setr_epi64x(int64_t(e), int64_t(e + d), int64_t(e + d * 2),
                                             int64_t(e + d * 3))};
#endif
        }
        if constexpr (kTexture && kMipmapped) levelTable.setUp(c, t);
        if constexpr (kTexture) {
            if constexpr (!kMipmapped) level = c.needLod ? t.levelFirst : 0;
            const uint32_t offset = kMipmapped ? 0 : c.levelOffset[level];
            if constexpr (kBytes) {
                texels8 = c.texels8 + offset;
            } else {
                if (c.quads != nullptr) quads = c.quads + offset;
                texels16 = c.texels16 + offset;
            }
        }
        bilinear = c.bilinearMag;
    }

    [[gnu::always_inline]] Wide colourLanes(const Group& g, int i) const {
        return channelWide(_mm256_add_epi32(_mm256_set1_epi32(g.colour[i]), colourStep[i]));
    }

    // Draws the group's covered pixels; returns how many were written.
    [[gnu::always_inline]] uint64_t run(const Context& c, const Group& g) const {
        const WideTables& tables = wideTables();
        const VectorTables& vt = vectorTables();
        const Wide zero = lc.zero;
        const Wide lowWord = _mm256_set1_epi32(0xFFFF);
        const __m256 half = _mm256_set1_ps(0.5f);
        const bool ditherOn = c.ditherOn;
        const WideLevels* levels = &levelTable;

        {
            [[maybe_unused]] WideValues oowFixed{};
            if constexpr (kNeedW || kTexture)
                oowFixed = wideValues(g.wide[kIterOow], wideStep[kIterOow]);
            Wide wf = zero;
            if constexpr (kNeedW) {
                const Wide highWords = highWordsWide(oowFixed);
                const Wide v = _mm256_sub_epi32(_mm256_set1_epi32(kWEncodeBias),
                                                _mm256_srai_epi32(highWords, 8));
                wf = _mm256_min_epi32(_mm256_max_epi32(v, zero), lowWord);
            }

            // W test.
            const Wide bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
            Wide pass =
                _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(int(g.mask)), bits), bits);
            const size_t at = size_t(g.y) * size_t(c.stride) + size_t(g.x);
            uint16_t* colourAt = c.color + at;
            uint16_t* depthAt = c.depth + at;
            [[maybe_unused]] __m128i stored = _mm_setzero_si128();
            if constexpr (kDepthTest) {
                stored = loadBlock(depthAt, c.stride);
                pass =
                    _mm256_and_si256(pass, _mm256_cmpgt_epi32(_mm256_cvtepu16_epi32(stored), wf));
                if (_mm256_testz_si256(pass, pass)) return 0;
            }

            // Texels.
            WidePair tex{zero, zero};
            if constexpr (kTexture) {
                const __m256 oow = toFloatWide(oowFixed);
                const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), oow);
                const __m256 ahead = _mm256_cmp_ps(oow, _mm256_setzero_ps(), _CMP_GT_OQ);
                const __m256 sow = toFloatWide(wideValues(g.wide[kIterSow], wideStep[kIterSow]));
                const __m256 tow = toFloatWide(wideValues(g.wide[kIterTow], wideStep[kIterTow]));
                const __m256 sc = _mm256_and_ps(_mm256_mul_ps(sow, w), ahead);
                const __m256 tc = _mm256_and_ps(_mm256_mul_ps(tow, w), ahead);
                __m256 scale = _mm256_set1_ps(c.levelScale[level]);
                Wide widthMask = _mm256_set1_epi32(c.widthMask[level]);
                Wide heightMask = _mm256_set1_epi32(c.heightMask[level]);
                Wide levelShift = _mm256_set1_epi32(c.widthShift[level]), levelOffset = zero;
                if constexpr (kMipmapped) {
                    // The level per pixel: how many of the thresholds above the first its w
                    // reaches (they rise with the level), w being 0 behind the eye.
                    // Only the thresholds between the triangle's first and last level are
                    // tested.
                    const __m256 wl = _mm256_and_ps(w, ahead);
                    Wide level = _mm256_set1_epi32(t.levelFirst);
                    for (int l = t.levelFirst + 1; l <= t.levelLast; ++l) {
                        level = _mm256_sub_epi32(level, _mm256_castps_si256(_mm256_cmp_ps(
                                                            wl, levels->threshold[l], _CMP_GE_OQ)));
                    }
                    const Wide ninth = _mm256_cmpeq_epi32(level, _mm256_set1_epi32(8));
                    auto pick = [&](Wide table, int32_t last) {
                        const Wide v = _mm256_permutevar8x32_epi32(table, level);
                        return levels->nine ? _mm256_blendv_epi8(v, _mm256_set1_epi32(last), ninth)
                                            : v;
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
                const __m128i shift = _mm_cvtsi32_si128(c.widthShift[level]);
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
                    // 8-bit texels have no quads: the neighbours' addresses (wrapping, as the
                    // quads' do) for building them here.
                    alignas(32) int32_t next[3][8];
                    if constexpr (kBytes) {
                        const Wide one = _mm256_set1_epi32(1);
                        const Wide x1 = _mm256_and_si256(_mm256_add_epi32(x, one), widthMask);
                        const Wide y1 = _mm256_and_si256(_mm256_add_epi32(y, one), heightMask);
                        _mm256_store_si256(reinterpret_cast<Wide*>(next[0]), address(y, x1));
                        _mm256_store_si256(reinterpret_cast<Wide*>(next[1]), address(y1, x));
                        _mm256_store_si256(reinterpret_cast<Wide*>(next[2]), address(y1, x1));
                        readBack(next);
                    }
                    readBack(at);
                    auto quadOf = [&](int i) {
                        if constexpr (kBytes) {
                            const uint8_t* b = texels8;
                            const uint64_t* e = c.expand8;
                            return makeQuad(e[b[at[i]]], e[b[next[0][i]]], e[b[next[1][i]]],
                                            e[b[next[2][i]]]);
                        } else {
                            return _mm_load_si128(
                                reinterpret_cast<const __m128i*>(quads[at[i]].bytes));
                        }
                    };
                    auto quadPair = [&](int a, int b) {
                        return _mm256_inserti128_si256(_mm256_castsi128_si256(quadOf(a)), quadOf(b),
                                                       1);
                    };
                    // Weights: bytes (16 - fs, fs) along s; 16-bit (16 - ft) x4, ft x4 along t.
                    Wide ws =
                        _mm256_or_si256(_mm256_sub_epi32(sixteenI, fs), _mm256_slli_epi32(fs, 8));
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
                    if constexpr (kBytes) {
                        for (int i = 0; i < 8; ++i) at[i] = texels8[at[i]];
                        tex = loadLanesWide(c.expand8, at);
                    } else {
                        tex = loadLanesWide(texels16, at);
                    }
                }
            }

            // Iterated colour.
            WidePair it{zero, zero};
            if constexpr (kIterRgb || kIterAlpha) {
                Wide r = zero, gr = zero, b = zero, a = zero;
                if constexpr (kIterRgb) {
                    r = colourLanes(g, kIterR);
                    gr = colourLanes(g, kIterG);
                    b = colourLanes(g, kIterB);
                }
                if constexpr (kIterAlpha) a = colourLanes(g, kIterA);
                it = interleaveWide(r, gr, b, a);
            }

            // Colour and alpha combine.
            WidePair out{combineLanes<kPacked>(tex.lo, it.lo, lc),
                         combineLanes<kPacked>(tex.hi, it.hi, lc)};

            // Alpha test, on the alpha lanes gathered back into pixel order.
            if constexpr (k.test == kTestGreater) {
                const Wide alo = _mm256_shuffle_epi32(_mm256_srli_epi64(out.lo, 48), 0xD8);
                const Wide ahi = _mm256_shuffle_epi32(_mm256_srli_epi64(out.hi, 48), 0xD8);
                const Wide alpha = _mm256_unpacklo_epi64(alo, ahi);
                pass = _mm256_and_si256(pass,
                                        _mm256_cmpgt_epi32(alpha, _mm256_set1_epi32(c.alphaRef)));
                if (_mm256_testz_si256(pass, pass)) return 0;
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
                const WidePair f{_mm256_inserti128_si256(_mm256_castsi128_si256(fogPair(0, 1)),
                                                         fogPair(4, 5), 1),
                                 _mm256_inserti128_si256(_mm256_castsi128_si256(fogPair(2, 3)),
                                                         fogPair(6, 7), 1)};
                out.lo = fogLanes(out.lo, f.lo, lc);
                out.hi = fogLanes(out.hi, f.hi, lc);
            }

            // The colour buffer's pixels.
            const __m128i old = loadBlock(colourAt, c.stride);

            if constexpr (k.blend == kBlendSrcAlpha) {
                const WidePair dst565 = spreadWide(_mm256_cvtepu16_epi32(old));
                out.lo = blendLanes(out.lo, dst565.lo, lc);
                out.hi = blendLanes(out.hi, dst565.hi, lc);
            }

            // Dither to 5-6-5.
            // (x is a multiple of 4 and y even: the matrix's columns from the first, rows y, y
            // + 1.)
            WidePair d{zero, zero};
            if (ditherOn) {
                const uint16_t(&row)[2][16] = tables.ditherBlock[(g.y >> 1) & 1];
                d.lo = _mm256_load_si256(reinterpret_cast<const Wide*>(row[0]));
                d.hi = _mm256_load_si256(reinterpret_cast<const Wide*>(row[1]));
            }
            const __m128i pixels = narrowWide(_mm256_hadd_epi32(
                ditherLanes(out.lo, d.lo, ditherOn, lc), ditherLanes(out.hi, d.hi, ditherOn, lc)));

            // Write.
            const __m128i keep = narrowMaskWide(pass);
            const __m128i colour = _mm_blendv_epi8(old, pixels, keep);
            const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(pass));
            storeBlock(colourAt, c.stride, colour);
            if constexpr (k.depth == kDepthLessWrite) {
                storeBlock(depthAt, c.stride, _mm_blendv_epi8(stored, narrowWide(wf), keep));
            }
            return uint64_t(std::popcount(unsigned(mask)));
        }
    }
};
#endif  // GLIDE_RASTER_AVX2

}  // namespace
}  // namespace glide
