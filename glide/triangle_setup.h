// Triangle set-up: vertices converted and limited, the zero-area and out-of-range checks,
// the corners ordered top to bottom, the edges, the attribute planes and the level-of-detail
// thresholds, ending in one call of the context's raster function with the Setup record.
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
#include "glide/workers.h"

namespace glide {
namespace {

// Vertex coordinates as 28.4 fixed point: x * 16 rounded to the nearest (ties to even).
inline int32_t snap(float v) {
    return _mm_cvtss_si32(_mm_set_ss(v * 16.0f));
}

// 2^e as a float, for e in the normal range.
inline float powerOfTwo(int e) {
    return std::bit_cast<float>(uint32_t(127 + e) << 23);
}

// ceil(a / 16) for any sign.
inline int32_t ceilSixteenth(int64_t a) {
    return int32_t(-((-a) >> kSubPixelBits));
}

inline Vertex toVertex(const GrVertex& v) {
    // Coordinates snapped by adding 3 * 2^18 may still carry that bias.
    constexpr float kSnapBias = 786432.0f;
    Vertex o;
    o.x = v.x > 4096.0f ? v.x - kSnapBias : v.x;
    o.y = v.y > 4096.0f ? v.y - kSnapBias : v.y;
    // Limit attributes to the ranges of their fixed-point formats (NaN lands on the low
    // limit): colours to +-65536, r, g, b together with the ooz beside them, whose lane then
    // takes alpha; 1/w to +-1000 and s/w, t/w to +-2^17, so that every value inside a
    // triangle stays below 2^51 in its format.
    const __m128 low = _mm_set1_ps(-65536.0f), high = _mm_set1_ps(65536.0f);
    _mm_storeu_ps(&o.r, _mm_min_ps(_mm_max_ps(_mm_loadu_ps(&v.r), low), high));
    o.a = _mm_cvtss_f32(_mm_min_ss(_mm_max_ss(_mm_set_ss(v.a), low), high));
    auto limit = [](float value, float bound) {
        return _mm_cvtss_f32(
            _mm_min_ss(_mm_max_ss(_mm_set_ss(value), _mm_set_ss(-bound)), _mm_set_ss(bound)));
    };
    o.oow = limit(v.oow, 1000.0f);
    o.sow = limit(v.tmuvtx[0].sow, 131072.0f);
    o.tow = limit(v.tmuvtx[0].tow, 131072.0f);
    o.spare = 0.0f;
    return o;
}

// Draws rows [y0, y1) of a queued triangle, on a worker thread.
inline void rasterBand(const void* context, const void* setup, int y0, int y1) {
    static_assert(sizeof(Setup) <= kJobPayloadBytes && alignof(Setup) <= 32);
    const Context& c = *static_cast<const Context*>(context);
    Setup t;
    std::memcpy(static_cast<void*>(&t), setup, sizeof t);
    t.yStart = y0;
    t.yEnd = y1;
    c.raster(c, t);
}

inline void drawOne(const Context& c, const Vertex& v0, const Vertex& v1, const Vertex& v2) {
    Board& bd = *c.board;
    ++bd.trianglesProcessed;
    ++bd.stats.triangles;

    // Non-finite or absurd coordinates draw nothing.
    constexpr float kLimit = 1.0e6f;
    auto sane = [&](const Vertex& v) { return std::fabs(v.x) < kLimit && std::fabs(v.y) < kLimit; };
    if (!sane(v0) || !sane(v1) || !sane(v2)) return;
    const Vertex* p[3] = {&v0, &v1, &v2};
    int32_t xs[3] = {snap(v0.x), snap(v1.x), snap(v2.x)};
    int32_t ys[3] = {snap(v0.y), snap(v1.y), snap(v2.y)};
    // Twice the area in 1/256 pixel²; zero area (after snapping) draws nothing.
    int64_t area =
        int64_t(xs[1] - xs[0]) * (ys[2] - ys[0]) - int64_t(xs[2] - xs[0]) * (ys[1] - ys[0]);
    if (area == 0) return;
    ++bd.trianglesDrawn;
    ++bd.stats.trianglesDrawn;
    if (area < 0) {  // both windings are drawn: make the corners run the same way
        std::swap(p[1], p[2]);
        std::swap(xs[1], xs[2]);
        std::swap(ys[1], ys[2]);
        area = -area;
    }

    // Pixel centres (x + 0.5, y + 0.5) that can lie inside: the bounding box, its far sides
    // excluded (the fill rule leaves a centre on the right or bottom side out).
    Setup t;
    const int32_t minX = std::min({xs[0], xs[1], xs[2]}), maxX = std::max({xs[0], xs[1], xs[2]});
    const int32_t minY = std::min({ys[0], ys[1], ys[2]}), maxY = std::max({ys[0], ys[1], ys[2]});
    constexpr int kHalf = 1 << (kSubPixelBits - 1);
    const int32_t top = ceilSixteenth(minY - kHalf), left = ceilSixteenth(minX - kHalf);
    t.yStart = std::max(top, c.clipMinY);
    t.yEnd = std::min(ceilSixteenth(maxY - kHalf), c.clipMaxY);
    t.xStart = std::max(left, c.clipMinX);
    t.xEnd = std::min(ceilSixteenth(maxX - kHalf), c.clipMaxX);
    if (t.yStart >= t.yEnd || t.xStart >= t.xEnd) return;
    // The reference pixel: the bounding box's top left, brought onto the screen (not the clip
    // window), so the values at a pixel do not depend on the clip window either.
    t.xRef = std::clamp(left, 0, kScreenWidth - 1);
    t.yRef = std::clamp(top, 0, kScreenHeight - 1);

    // Edge functions E(P) = (B - A) x (P - A) for the edges A -> B, positive inside. A centre
    // on an edge is inside when the edge is a left edge (running up the screen) or a top edge
    // (horizontal, running right): the top-left rule, so that triangles sharing an edge
    // neither overlap nor leave a gap.
    const int64_t refX = int64_t(t.xRef) * 16 + kHalf, refY = int64_t(t.yRef) * 16 + kHalf;
    for (int k = 0; k < 3; ++k) {
        const int a = k, b = k == 2 ? 0 : k + 1;
        const int64_t ex = xs[b] - xs[a], ey = ys[b] - ys[a];
        const bool topLeft = ey < 0 || (ey == 0 && ex > 0);
        t.edgeAt[k] = ex * (refY - ys[a]) - ey * (refX - xs[a]) - (topLeft ? 0 : 1);
        t.edgeDx[k] = -ey * 16;
        t.edgeDy[k] = ex * 16;
    }

    // Attribute planes on the snapped corners, in double; then the value at the reference
    // pixel's centre and the steps per pixel, rounded to each format (toFixed() per lane).
    using Lanes = double __attribute__((vector_size(64)));
    using Floats = float __attribute__((vector_size(32)));
    using Longs = int64_t __attribute__((vector_size(64)));
    // (Vectors by reference: their size would otherwise change the calling convention.)
    auto load = [](const Vertex& v, Lanes& out) {
        Floats f;
        std::memcpy(&f, &v.r, sizeof f);  // r, g, b, a, oow, sow, tow, spare
        out = __builtin_convertvector(f, Lanes);
    };
    Lanes q0, d1, d2;
    load(*p[0], q0);
    load(*p[1], d1);
    load(*p[2], d2);
    d1 -= q0;
    d2 -= q0;
    const double dx1 = double(xs[1] - xs[0]) / 16.0, dy1 = double(ys[1] - ys[0]) / 16.0;
    const double dx2 = double(xs[2] - xs[0]) / 16.0, dy2 = double(ys[2] - ys[0]) / 16.0;
    const double inv = 256.0 / double(area);
    const Lanes gx = (d1 * dy2 - d2 * dy1) * inv, gy = (d2 * dx1 - d1 * dx2) * inv;
    const double fx = double(t.xRef) + 0.5 - double(xs[0]) / 16.0;
    const double fy = double(t.yRef) + 0.5 - double(ys[0]) / 16.0;
    const Lanes at = (q0 + gx * fx) + gy * fy;
    // Each lane times 2^bits of its format, limited to +-2^51 (NaN to the low limit), rounded
    // to the nearest integer (ties to even) by adding and removing 1.5 * 2^52.
    constexpr double kC = 4096.0, kW = 1099511627776.0, kT = 4294967296.0;  // 2^12, 2^40, 2^32
    const Lanes scale{kC, kC, kC, kC, kW, kT, kT, 0.0};
    constexpr double kRange = 2251799813685248.0, kMagic = 6755399441055744.0;  // 2^51, 1.5 * 2^52
    auto fixed = [&](const Lanes& v, Longs& out) {
        Lanes x = v * scale;
        x = x < kRange ? x : kRange;
        x = x > -kRange ? x : -kRange;
        x += kMagic;
        Longs bits;
        std::memcpy(&bits, &x, sizeof bits);
        out = bits - std::bit_cast<int64_t>(kMagic);
    };
    Longs fixedAt, fixedDx, fixedDy;
    fixed(at, fixedAt);
    fixed(gx, fixedDx);
    fixed(gy, fixedDy);
    for (int i = 0; i < kColours; ++i) {
        // Wrapped to 32 bits: values inside the triangle are exact all the same.
        t.colourAt[i] = int32_t(uint32_t(uint64_t(fixedAt[i])));
        t.colourDx[i] = int32_t(uint32_t(uint64_t(fixedDx[i])));
        t.colourDy[i] = int32_t(uint32_t(uint64_t(fixedDy[i])));
    }
    for (int i = 0; i < kWides; ++i) {
        t.wideAt[i] = fixedAt[kColours + i];
        t.wideDx[i] = fixedDx[kColours + i];
        t.wideDy[i] = fixedDy[kColours + i];
    }

    if (c.needLod) {
        // lod = base + log2(w), base = log2(sqrt(max(|d(sow,tow)/dx|^2, |d(sow,tow)/dy|^2))),
        // on the absolute scale (0 = a 256 map). Level k of the chain (absolute largeLod + k)
        // is reached when w >= 2^(largeLod + k - base); the map is magnified while the lod
        // does not exceed largeLod, i.e. w <= 2^(largeLod - base). The loops' w carries the
        // factor 2^-40 of 1/w's format.
        const double sx = gx[int(kColours) + int(kIterSow)], tx = gx[int(kColours) + int(kIterTow)];
        const double sy = gy[int(kColours) + int(kIterSow)], ty = gy[int(kColours) + int(kIterTow)];
        const double g = std::max(sx * sx + tx * tx, sy * sy + ty * ty);
        const float threshold = float(1.0 / std::sqrt(g));
        for (int k = 0; k < 9; ++k) {
            t.lodThreshold[k] = threshold * powerOfTwo(c.largeLod + k - kOowBits);  // exact
        }
        // A pixel's 1/w lies between its corners', so its w between theirs (the loops' w is
        // 2^-40 / (1/w)), up to rounding far inside the margin: the levels those reach bound
        // the pixels'. A corner near or behind the eye leaves every level possible.
        t.levelFirst = 0;
        t.levelLast = int8_t(c.levels - 1);
        const float o0 = p[0]->oow, o1 = p[1]->oow, o2 = p[2]->oow;
        const float least = std::min({o0, o1, o2}), most = std::max({o0, o1, o2});
        if (least > 1.0e-6f) {
            constexpr double kScale = 1.0 / 1099511627776.0;  // 2^-40
            const double low = kScale / double(most) * (1.0 - 1.0e-4);
            const double high = kScale / double(least) * (1.0 + 1.0e-4);
            int first = 0, last = 0;
            for (int k = 1; k < c.levels; ++k) {
                first += low >= double(t.lodThreshold[k]);
                last += high >= double(t.lodThreshold[k]);
            }
            t.levelFirst = int8_t(first);
            t.levelLast = int8_t(last);
        }
    }
    if (drawingOnWorkers()) {
        queueTriangle(&c, &t, sizeof t, t.yStart, t.yEnd, &rasterBand);
    } else {
        c.raster(c, t);
    }
}

}  // namespace
}  // namespace glide
