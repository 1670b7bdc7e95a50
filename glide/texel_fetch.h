// Texel fetch: texture coordinates to texel addresses (wrap or clamp, point or bilinear
// with 4 fraction bits), the loads from the expanded texels, and the bilinear sums.
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
#include "glide/raster_context.h"

namespace glide {
namespace {

inline int floorToInt(float v) {
    // Out-of-range and NaN values land on the limits; wrap/clamp then keep them inside.
    constexpr float kLimit = 1073741824.0f;
    v = std::min(v, kLimit);
    v = v > -kLimit ? v : -kLimit;
    const int i = int(v);
    return i - int(v < float(i));
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

// The bilinear texel of pixel J of a group of four: lanes b, g, r, a in the low half.
template <int J>
[[gnu::always_inline]] inline __m128i bilinearTexel(const uint64_t* texels,
                                                    const uint32_t (&index)[5][4], int base,
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

}  // namespace
}  // namespace glide
