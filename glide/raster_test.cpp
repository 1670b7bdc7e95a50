// Tests of the board's drawing: coverage and the fill rule, texturing, LOD, the combine
// variants the engine uses, fog, the W buffer, dither, blending and the alpha test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "glide/test_pixels.h"
#include "glide/testcard.h"

namespace {

constexpr int kW = 640, kH = 480;

void quad(float x0, float y0, float x1, float y1, float r, float g, float b, float a, float w = 1,
          float s0 = 0, float t0 = 0, float s1 = 0, float t1 = 0) {
    const GrVertex v[4] = {
        boardVertex(x0, y0, r, g, b, a, w, s0, t0), boardVertex(x1, y0, r, g, b, a, w, s1, t0),
        boardVertex(x1, y1, r, g, b, a, w, s1, t1), boardVertex(x0, y1, r, g, b, a, w, s0, t1)};
    grDrawPolygonVertexList(4, v);
}

std::vector<uint16_t> readBack(GrBuffer_t buffer = GR_BUFFER_BACKBUFFER) {
    std::vector<uint16_t> pixels(size_t(kW) * kH);
    EXPECT_TRUE(grLfbReadRegion(buffer, 0, 0, kW, kH, kW * 2, pixels.data()));
    return pixels;
}

// Plain state: untextured iterated colour, no depth, no dither, no blend, no fog.
class Board : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        grGlideInit();
        ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                                 GR_ORIGIN_UPPER_LEFT, 2, 1));
        boardUseGenericPath(GetParam());
        grDitherMode(GR_DITHER_DISABLE);
        grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                       GR_COMBINE_OTHER_CONSTANT, FXFALSE);
        grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                     GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
        grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
        grBufferClear(0, 0, 0xFFFF);
    }
    void TearDown() override { boardUseGenericPath(false); }

    // Downloads a texture at `address` and selects it.
    void texture(FxU32 address, GrLOD_t large, GrLOD_t small, GrTextureFormat_t format,
                 std::vector<uint16_t>& texels) {
        info_ = GrTexInfo{small, large, GR_ASPECT_1x1, format, texels.data()};
        grTexDownloadMipMap(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info_);
        grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info_);
    }
    GrTexInfo info_{};
};

INSTANTIATE_TEST_SUITE_P(Paths, Board, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Generic" : "Specialised"; });

// Additive blending of one unit per pass shows every pixel drawn twice as 2.
void additiveUnit() {
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
}

TEST_P(Board, SharedEdgesHaveNoGapsAndNoOverlaps) {
    additiveUnit();
    // An irregular convex polygon with fractional corners, drawn as a fan from two different
    // starting corners: each fan must cover the same pixels exactly once.
    const float xs[7] = {100.3f, 260.7f, 330.1f, 300.55f, 180.25f, 90.9f, 70.6f};
    const float ys[7] = {50.2f, 40.8f, 150.33f, 300.5f, 330.75f, 250.1f, 120.45f};
    for (int start = 0; start < 2; ++start) {
        grBufferClear(0, 0, 0xFFFF);
        GrVertex v[7];
        for (int i = 0; i < 7; ++i) {
            const int k = (i + start * 3) % 7;
            v[i] = boardVertex(xs[k], ys[k], 8, 0, 0);
        }
        grDrawPolygonVertexList(7, v);
        const std::vector<uint16_t> p = readBack();
        int inside = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const int r5 = p[size_t(y) * kW + x] >> 11;
                ASSERT_LE(r5, 1) << "pixel drawn twice at " << x << "," << y;
                // A centre well inside every edge must be covered (corners are snapped to
                // 1/16 pixel, which moves an edge by less than 0.05 pixel).
                bool deepInside = true;
                for (int e = 0; e < 7; ++e) {
                    const float ax = xs[e], ay = ys[e], bx = xs[(e + 1) % 7], by = ys[(e + 1) % 7];
                    const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
                    const float cross = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
                    const float len = std::hypot(bx - ax, by - ay);
                    if (cross / len < 0.05f) deepInside = false;
                }
                if (deepInside) {
                    ASSERT_EQ(r5, 1) << "gap at " << x << "," << y;
                }
                inside += r5;
            }
        }
        EXPECT_GT(inside, 40000);
    }

    // A mesh of quads on a jittered grid, split along alternating diagonals.
    grBufferClear(0, 0, 0xFFFF);
    auto px = [](int i, int j) {
        return 20.0f + float(i) * 37.3f + float((i * 7 + j * 13) % 5) * 0.37f;
    };
    auto py = [](int i, int j) {
        return 15.0f + float(j) * 29.1f + float((i * 11 + j * 3) % 7) * 0.29f;
    };
    for (int j = 0; j < 12; ++j) {
        for (int i = 0; i < 12; ++i) {
            const GrVertex a = boardVertex(px(i, j), py(i, j), 8),
                           b = boardVertex(px(i + 1, j), py(i + 1, j), 8);
            const GrVertex c = boardVertex(px(i + 1, j + 1), py(i + 1, j + 1), 8),
                           d = boardVertex(px(i, j + 1), py(i, j + 1), 8);
            if ((i + j) & 1) {
                const GrVertex t1[3] = {a, b, c}, t2[3] = {a, c, d};
                grDrawPolygonVertexList(3, t1);
                grDrawPolygonVertexList(3, t2);
            } else {
                const GrVertex t1[3] = {a, b, d}, t2[3] = {b, c, d};
                grDrawPolygonVertexList(3, t1);
                grDrawPolygonVertexList(3, t2);
            }
        }
    }
    const std::vector<uint16_t> p = readBack();
    // Inside the mesh's inner rectangle every pixel is drawn exactly once.
    for (int y = 20; y < 360; ++y) {
        for (int x = 25; x < 460; ++x) ASSERT_EQ(p[size_t(y) * kW + x] >> 11, 1) << x << "," << y;
    }
}

TEST_P(Board, AxisAlignedQuadsCoverExactlyTheirPixelCentres) {
    struct Case {
        float x0, y0, x1, y1;
        int left, top, right, bottom;  // covered pixels, right/bottom exclusive
    };
    const Case cases[] = {
        {10.0f, 20.0f, 30.0f, 40.0f, 10, 20, 30, 40},
        {10.5f, 20.25f, 30.5f, 40.75f, 10, 20, 30, 41},  // centres on the left edge are in
        {0.0f, 0.0f, 640.0f, 480.0f, 0, 0, 640, 480},
        {-50.0f, -10.0f, 3.4f, 2.6f, 0, 0, 3, 3},
        {600.5f, 470.5f, 700.0f, 500.0f, 600, 470, 640, 480},
        {5.0f, 5.0f, 5.4f, 9.0f, 0, 0, 0, 0},  // no centre inside
    };
    for (const Case& c : cases) {
        grBufferClear(0, 0, 0xFFFF);
        quad(c.x0, c.y0, c.x1, c.y1, 255, 255, 255, 0);
        const std::vector<uint16_t> p = readBack();
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const bool want = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                ASSERT_EQ(p[size_t(y) * kW + x] != 0, want)
                    << c.x0 << "," << c.y0 << " at " << x << "," << y;
            }
        }
    }
    // Coordinates still carrying the snap bias land where they would without it.
    grBufferClear(0, 0, 0xFFFF);
    const float bias = 786432.0f;
    quad(10.0f + bias, 20.0f + bias, 30.0f + bias, 40.0f + bias, 255, 255, 255, 0);
    EXPECT_NE(pixelAt(10, 20), 0);
    EXPECT_NE(pixelAt(29, 39), 0);
    EXPECT_EQ(pixelAt(30, 39), 0);
}

// A 64x64 565 map whose texel (x, y) reads back as itself: r5 = x & 31, b5 = y & 31,
// g6 = (x >> 5) << 1 | (y >> 5).
std::vector<uint16_t> coordinateMap() {
    std::vector<uint16_t> t(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            t[size_t(y) * 64 + x] = rgb565(x & 31, (x >> 5) << 1 | (y >> 5), y & 31);
    }
    return t;
}

TEST_P(Board, PerspectiveTexelLookupsMatchTheAnalyticAnswer) {
    std::vector<uint16_t> map = coordinateMap();
    texture(0, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, map);
    combine::decal();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    // One triangle with strongly different w at its corners.
    const double X[3] = {40, 600, 200}, Y[3] = {30, 120, 450}, Wv[3] = {1, 6, 2.5};
    const double S[3] = {0, 256, 40}, T[3] = {0, 30, 256};
    GrVertex v[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = boardVertex(float(X[i]), float(Y[i]), 0, 0, 0, 0, float(Wv[i]), float(S[i]),
                           float(T[i]));
    }
    grDrawPolygonVertexList(3, v);
    const std::vector<uint16_t> p = readBack();
    int checked = 0;
    const double area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    for (int y = 0; y < kH; y += 3) {
        for (int x = 0; x < kW; x += 3) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double l1 = ((cx - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (cy - Y[0])) / area;
            const double l2 = ((X[1] - X[0]) * (cy - Y[0]) - (cx - X[0]) * (Y[1] - Y[0])) / area;
            const double l0 = 1 - l1 - l2;
            if (l0 < 0.01 || l1 < 0.01 || l2 < 0.01) continue;
            double oow = 0, sow = 0, tow = 0;
            const double l[3] = {l0, l1, l2};
            for (int i = 0; i < 3; ++i) {
                oow += l[i] / Wv[i];
                sow += l[i] * S[i] / Wv[i];
                tow += l[i] * T[i] / Wv[i];
            }
            const double s = sow / oow / 4.0, t = tow / oow / 4.0;  // texels of the 64 map
            if (std::fabs(s - std::round(s)) < 0.01 || std::fabs(t - std::round(t)) < 0.01)
                continue;
            const int i = int(std::floor(s)) & 63, j = int(std::floor(t)) & 63;
            ASSERT_EQ(p[size_t(y) * kW + x], map[size_t(j) * 64 + i]) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 5000);
}

// Drawn band by band (the clip window's rows split anywhere, odd rows included), triangles
// write exactly what one draw writes: every value at a pixel comes from the triangle and the
// pixel's own position, not from where the walk started. Among them a triangle hundreds of
// screens wide (the edge functions' range) and slivers.
TEST_P(Board, BandsDrawWhatOneDrawDraws) {
    std::vector<uint16_t> map = coordinateMap();
    texture(0, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, map);
    combine::modulated();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grDitherMode(GR_DITHER_4x4);
    // (Positive coordinates above 4096 would be read as carrying the snapping bias.)
    const GrVertex huge[3] = {boardVertex(-500000, -400000, 255, 0, 0, 0, 4, 0, 0),
                              boardVertex(4000, -100, 0, 255, 0, 0, 4, 9000, 0),
                              boardVertex(-500000, 900000, 0, 0, 255, 0, 4, 0, 9000)};
    const GrVertex sliver[3] = {boardVertex(10.3f, 20.1f, 200, 100, 50, 0, 1, 0, 0),
                                boardVertex(630.7f, 21.2f, 50, 100, 200, 0, 2, 256, 8),
                                boardVertex(320.2f, 21.3f, 90, 90, 90, 0, 1.5f, 128, 4)};
    const GrVertex tilted[3] = {boardVertex(50.6f, 90.2f, 255, 255, 255, 0, 1, 0, 0),
                                boardVertex(600.1f, 140.9f, 20, 200, 90, 0, 3, 256, 40),
                                boardVertex(230.4f, 470.3f, 90, 30, 250, 0, 1.5f, 30, 256)};
    auto drawAll = [&] {
        grDrawPolygonVertexList(3, huge);
        grDrawPolygonVertexList(3, sliver);
        grDrawPolygonVertexList(3, tilted);
    };
    drawAll();
    const std::vector<uint16_t> whole = readBack();
    const std::vector<uint16_t> wholeDepth = readBack(GR_BUFFER_AUXBUFFER);
    int drawn = 0;
    for (uint16_t d : wholeDepth) drawn += d != 0xFFFF;
    EXPECT_EQ(drawn, kW * kH);  // the huge triangle covers the screen

    const int bands[][2] = {{0, 1}, {1, 137}, {137, 138}, {138, 300}, {300, 480}};
    grClipWindow(0, 0, kW, kH);
    grBufferClear(0, 0, 0xFFFF);
    for (const auto& band : bands) {
        grClipWindow(0, FxU32(band[0]), kW, FxU32(band[1]));
        drawAll();
    }
    grClipWindow(0, 0, kW, kH);
    const std::vector<uint16_t> banded = readBack();
    const std::vector<uint16_t> bandedDepth = readBack(GR_BUFFER_AUXBUFFER);
    int differing = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        differing += whole[i] != banded[i] || wholeDepth[i] != bandedDepth[i];
    }
    EXPECT_EQ(differing, 0);
}

TEST_P(Board, WrapClampAndBilinearWeights) {
    std::vector<uint16_t> map = coordinateMap();
    texture(0, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, map);
    combine::decal();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    // 64 pixels spanning s = 256..512 (texels 64..127): wrap repeats, clamp holds the edge.
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    quad(0, 0, 64, 4, 0, 0, 0, 0, 1, 256, 8, 512, 8);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP);
    quad(0, 4, 64, 8, 0, 0, 0, 0, 1, 256, 8, 512, 8);
    quad(0, 8, 64, 12, 0, 0, 0, 0, 1, -256, 8, 0, 8);
    for (int x = 0; x < 64; ++x) {
        EXPECT_EQ(pixelAt(x, 1), map[size_t(2 * 64 + x)]) << x;  // t = 8: row 2
        EXPECT_EQ(pixelAt(x, 5), map[size_t(2 * 64 + 63)]) << x;
        EXPECT_EQ(pixelAt(x, 9), map[size_t(2 * 64 + 0)]) << x;
    }

    // Bilinear: black and white columns; half way between texel centres gives
    // (255 * 8 * 16) >> 8 = 127 -> 5-6-5 (15, 31, 15).
    std::vector<uint16_t> stripes(64 * 64);
    for (int i = 0; i < 64 * 64; ++i) stripes[size_t(i)] = (i & 1) ? 0xFFFF : 0x0000;
    texture(16384, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, stripes);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    // One texel per pixel, shifted by half a texel: pixel x samples s' = x + 0.5.
    quad(0, 20, 64, 24, 0, 0, 0, 0, 1, 2, 0, 258, 0);
    for (int x = 1; x < 63; ++x) EXPECT_EQ(pixelAt(x, 21), rgb565(15, 31, 15)) << x;
    // Exactly on texel centres the texel comes through unchanged.
    quad(0, 30, 64, 34, 0, 0, 0, 0, 1, 0, 0, 256, 0);
    for (int x = 1; x < 63; ++x) EXPECT_EQ(pixelAt(x, 31), (x & 1) ? 0xFFFF : 0) << x;
}

TEST_P(Board, LevelOfDetailFollowsTexelsPerPixel) {
    // A 256..2 chain, every level one solid colour.
    const uint16_t colours[8] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0xF81F, 0x07FF, 0xFFFF, 0x8410};
    std::vector<uint16_t> chain;
    for (int level = 0, n = 256; n >= 2; ++level, n /= 2)
        chain.insert(chain.end(), size_t(n * n), colours[level]);
    texture(0, GR_LOD_256, GR_LOD_2, GR_TEXFMT_RGB_565, chain);
    combine::decal();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    // units per pixel u: lod = log2(u); level = trunc, clamped to 0..7.
    struct Case {
        float unitsPerPixel, w;
        int level;
    };
    const Case cases[] = {{0.5f, 1, 0},  {1.0f, 1, 0},  {1.5f, 1, 0},   {2.5f, 1, 1},
                          {3.9f, 1, 1},  {6.0f, 1, 2},  {12.0f, 1, 3},  {24.0f, 1, 4},
                          {48.0f, 1, 5}, {96.0f, 1, 6}, {200.0f, 1, 7}, {2000.0f, 1, 7},
                          {6.0f, 2, 2},  {12.0f, 4, 3}};
    int row = 0;
    for (const Case& c : cases) {
        // At constant w the texel step per pixel is the same as with w = 1.
        quad(0, float(row), 100, float(row + 4), 0, 0, 0, 0, c.w, 0, 0, 100 * c.unitsPerPixel, 0);
        EXPECT_EQ(pixelAt(50, row + 1), colours[c.level]) << c.unitsPerPixel << " w " << c.w;
        row += 4;
    }
    // Without mip-mapping only the largest level is used.
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_DISABLE, FXFALSE);
    quad(0, 200, 100, 204, 0, 0, 0, 0, 1, 0, 0, 2000, 0);
    EXPECT_EQ(pixelAt(50, 201), colours[0]);
}

TEST_P(Board, LevelOfDetailOfSmallerChainsAndTheFilterItPicks) {
    // A 64..2 chain: LOD is on the 256 scale, so the 64 level serves up to lod 2.99.
    const uint16_t colours[6] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0xF81F, 0x07FF};
    std::vector<uint16_t> chain;
    for (int level = 0, n = 64; n >= 2; ++level, n /= 2) {
        chain.insert(chain.end(), size_t(n * n), colours[level]);
    }
    texture(0, GR_LOD_64, GR_LOD_2, GR_TEXFMT_RGB_565, chain);
    combine::decal();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    const struct {
        float unitsPerPixel;
        int level;
    } cases[] = {{1.0f, 0},  {2.0f, 0},  {4.0f, 0},  {7.5f, 0},   {8.5f, 1},
                 {20.0f, 2}, {40.0f, 3}, {70.0f, 4}, {140.0f, 5}, {5000.0f, 5}};
    int row = 0;
    for (const auto& c : cases) {
        quad(0, float(row), 100, float(row + 4), 0, 0, 0, 0, 1, 0, 0, 100 * c.unitsPerPixel, 0);
        EXPECT_EQ(pixelAt(50, row + 1), colours[c.level]) << c.unitsPerPixel;
        row += 4;
    }

    // Point when minified, bilinear when magnified, on a single 64 level of stripes.
    std::vector<uint16_t> stripes(64 * 64);
    for (int i = 0; i < 64 * 64; ++i) stripes[size_t(i)] = (i & 1) ? 0xFFFF : 0x0000;
    texture(16384, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, stripes);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_BILINEAR);
    // 8 units per pixel (lod 3): minified, so point samples texel 2x + 1, always white.
    quad(0, 100, 60, 104, 0, 0, 0, 0, 1, 0, 0, 480, 0);
    for (int x = 0; x < 60; ++x) ASSERT_EQ(pixelAt(x, 101), 0xFFFF) << x;
    // 2 units per pixel (lod 1): magnified, so bilinear mixes black and white.
    quad(0, 110, 60, 114, 0, 0, 0, 0, 1, 0, 0, 120, 0);
    int mixed = 0;
    for (int x = 0; x < 60; ++x) mixed += pixelAt(x, 111) != 0 && pixelAt(x, 111) != 0xFFFF;
    EXPECT_GT(mixed, 20);
}

void translucent() {
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE,
                         GR_BLEND_ZERO);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grDepthMask(FXFALSE);
}

TEST_P(Board, EngineCombineVariantsGiveTheHandComputedPixels) {
    // Texel 5-6-5 (20, 40, 10) widens to (165, 162, 82); iterated (200, 100, 50), alpha 30.
    std::vector<uint16_t> map(64 * 64, rgb565(20, 40, 10));
    texture(0, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, map);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(FXTRUE);
    // The engine's opaque alpha combine: the colour unit's "local alpha" is the iterated one.
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    auto draw = [](float a) { quad(10, 10, 30, 30, 200, 100, 50, a, 2, 0, 0, 256, 256); };
    auto at = [] { return pixelAt(20, 20); };

    combine::lit();  // r = 200*201>>8 + 30 = 187, g = 39 + 30 = 69, b = 9 + 30 = 39
    draw(30);
    EXPECT_EQ(at(), rgb565(187 >> 3, 69 >> 2, 39 >> 3));
    grBufferClear(0, 0, 0xFFFF);
    combine::decal();
    draw(30);
    EXPECT_EQ(at(), rgb565(20, 40, 10));
    grBufferClear(0, 0, 0xFFFF);
    combine::litTextured();  // 165*201>>8 + 30 = 159, 162*101>>8 + 30 = 93, 82*51>>8 + 30 = 46
    draw(30);
    EXPECT_EQ(at(), rgb565(159 >> 3, 93 >> 2, 46 >> 3));
    // Saturation: a large specular term clamps at 255.
    grBufferClear(0, 0, 0xFFFF);
    draw(250);
    EXPECT_EQ(at(), 0xFFFF);

    // Translucent over (0x40, 0x80, 0xC0), which the 5-6-5 buffer holds as (66, 130, 198).
    // Alpha = texel alpha 255 * (100 + 1) >> 8 = 100; blend factors 101 and 156.
    grBufferClear(0x004080C0, 0, 0xFFFF);
    translucent();
    combine::iterated();  // r = 200*101>>8 + 66*156>>8 = 78 + 40, g = 39 + 79, b = 19 + 120
    draw(100);
    EXPECT_EQ(at(), rgb565(118 >> 3, 118 >> 2, 139 >> 3));
    grDepthMask(FXTRUE);
    grBufferClear(0x004080C0, 0, 0xFFFF);
    grDepthMask(FXFALSE);
    combine::modulated();  // colour (129, 63, 16): r = 50 + 40, g = 24 + 79, b = 6 + 120
    draw(100);
    EXPECT_EQ(at(), rgb565(90 >> 3, 103 >> 2, 126 >> 3));
}

TEST_P(Board, AlphaTestKeepsOnlyOpaqueTexels) {
    // 1555: left half opaque red, right half transparent green.
    std::vector<uint16_t> map(64 * 64);
    for (int i = 0; i < 64 * 64; ++i) map[size_t(i)] = (i % 64) < 32 ? 0xFC00 : 0x03E0;
    texture(0, GR_LOD_64, GR_LOD_64, GR_TEXFMT_ARGB_1555, map);
    combine::decal();
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaTestReferenceValue(128);
    grAlphaTestFunction(GR_CMP_GREATER);
    quad(0, 0, 64, 64, 0, 0, 0, 0, 1, 0, 0, 256, 256);
    EXPECT_EQ(pixelAt(10, 10), rgb565(31, 0, 0));
    EXPECT_EQ(pixelAt(50, 10), 0);
    grAlphaTestFunction(GR_CMP_LESS);  // the generic loop's comparisons
    quad(0, 0, 64, 64, 0, 0, 0, 0, 1, 0, 0, 256, 256);
    EXPECT_EQ(pixelAt(50, 10), rgb565(0, 63, 0));
}

TEST_P(Board, WBufferStoresTheFloatingEncodingAndTestsLess) {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    struct Case {
        float w;
        uint16_t stored;
    };
    const Case cases[] = {{2.0f, 0x1000}, {4.0f, 0x2000},   {100.0f, 0x6B86},  {0.5f, 0x0000},
                          {1.0f, 0x0000}, {1.0e6f, 0xFFFF}, {65536.0f, 0xFFFF}};
    for (const Case& c : cases) {
        grBufferClear(0, 0, 0xFFFF);
        quad(0, 0, 8, 8, 255, 255, 255, 0, c.w);
        EXPECT_EQ(pixelAt(3, 3, GR_BUFFER_AUXBUFFER), c.stored) << c.w;
    }
    // Nearer wins regardless of order; equal depth does not pass LESS.
    grBufferClear(0, 0, 0xFFFF);
    quad(0, 0, 8, 8, 255, 0, 0, 0, 10);
    quad(0, 0, 8, 8, 0, 255, 0, 0, 20);
    EXPECT_EQ(pixelAt(3, 3), rgb565(31, 0, 0));
    quad(0, 0, 8, 8, 0, 0, 255, 0, 5);
    EXPECT_EQ(pixelAt(3, 3), rgb565(0, 0, 31));
    quad(0, 0, 8, 8, 0, 255, 0, 0, 5);
    EXPECT_EQ(pixelAt(3, 3), rgb565(0, 0, 31));
    // Mask off: tested, not written.
    grDepthMask(FXFALSE);
    quad(0, 0, 8, 8, 255, 255, 255, 0, 2);
    EXPECT_EQ(pixelAt(3, 3), 0xFFFF);
    EXPECT_EQ(pixelAt(3, 3, GR_BUFFER_AUXBUFFER), 0x2667);  // w = 5 from before
    // Depth off: no test, no write.
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    grDepthMask(FXTRUE);
    quad(0, 0, 8, 8, 0, 255, 0, 0, 1000);
    EXPECT_EQ(pixelAt(3, 3), rgb565(0, 63, 0));
    EXPECT_EQ(pixelAt(3, 3, GR_BUFFER_AUXBUFFER), 0x2667);
}

// Random triangles of every size, on textures of several shapes and mip-map chains with each
// wrap/clamp pairing and both filters, through every pixel path: the AVX2 loop's bilinear
// texel quads, its clamp handling, level choice and row-crossing groups, and the alpha map's
// per-pixel loop, must give what the generic loop gives.

std::vector<uint16_t> drawMixedScene(bool generic, BoardBuild build) {
    grGlideInit();
    EXPECT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    boardUseGenericPath(generic);
    EXPECT_TRUE(boardUseBuild(build));
    useEngineDepthAndTextureUnit();
    grDitherMode(GR_DITHER_4x4);
    grBufferClear(0x00203040, 0, 0xFFFF);
    combine::modulated();

    // Chains back to back from byte 64, so they share memory pages with their neighbours:
    // 64x32 (aspect 2:1), 16x64 (1:4), 32x32 mip-mapped down to 1x1 (six levels) and
    // 256x256 down to 1x1 (nine).
    const int sizes[4] = {64 * 32, 16 * 64, 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4 + 2 * 2 + 1, 87381};
    std::vector<uint16_t> texels(size_t(sizes[0] + sizes[1] + sizes[2] + sizes[3]));
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint16_t(i * 2654435761u >> 7);
    const GrTexInfo chains[4] = {
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_2x1, GR_TEXFMT_RGB_565, texels.data()},
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x4, GR_TEXFMT_RGB_565, texels.data() + sizes[0]},
        {GR_LOD_1, GR_LOD_32, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444,
         texels.data() + sizes[0] + sizes[1]},
        {GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565,
         texels.data() + sizes[0] + sizes[1] + sizes[2]}};
    const FxU32 address[4] = {64, FxU32(64 + 2 * sizes[0]), FxU32(64 + 2 * (sizes[0] + sizes[1])),
                              FxU32(64 + 2 * (sizes[0] + sizes[1] + sizes[2]))};
    for (int i = 0; i < 4; ++i) {
        GrTexInfo info = chains[i];
        grTexDownloadMipMap(GR_TMU0, address[i], GR_MIPMAPLEVELMASK_BOTH, &info);
    }
    // And an 8-bit alpha map, 32x32 down to 1x1, drawn translucent.
    std::vector<uint8_t> alphas(32 * 32 + 16 * 16 + 8 * 8 + 4 * 4 + 2 * 2 + 1);
    for (size_t i = 0; i < alphas.size(); ++i) alphas[i] = uint8_t(i * 2654435761u >> 11);
    GrTexInfo alphaMap{GR_LOD_1, GR_LOD_32, GR_ASPECT_1x1, GR_TEXFMT_ALPHA_8, alphas.data()};
    const FxU32 alphaAddress = address[3] + 2 * FxU32(sizes[3]);
    grTexDownloadMipMap(GR_TMU0, alphaAddress, GR_MIPMAPLEVELMASK_BOTH, &alphaMap);
    const GrTextureClampMode_t modes[2] = {GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_CLAMP};
    XorShift rng{2024};
    for (int i = 0; i < 600; ++i) {
        GrTexInfo info = chains[i % 4];
        const bool translucent = i % 7 == 3;
        if (translucent) {
            grTexSource(GR_TMU0, alphaAddress, GR_MIPMAPLEVELMASK_BOTH, &alphaMap);
            grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                           GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
            grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE,
                                 GR_BLEND_ZERO);
            grDepthMask(FXFALSE);
            grAlphaTestFunction((i & 8) ? GR_CMP_GREATER : GR_CMP_ALWAYS);
            if (i == 3) {
                EXPECT_EQ(boardStateIsSpecialised(), !generic);  // an alpha map's own loop
            }
        } else {
            grTexSource(GR_TMU0, address[i % 4], GR_MIPMAPLEVELMASK_BOTH, &info);
        }
        grTexClampMode(GR_TMU0, modes[(i >> 2) & 1], modes[(i >> 3) & 1]);
        const GrTextureFilterMode_t filter =
            (i & 16) ? GR_TEXTUREFILTER_POINT_SAMPLED : GR_TEXTUREFILTER_BILINEAR;
        grTexFilterMode(GR_TMU0, filter, filter);
        const float size = (i % 5 == 0) ? rng.next(40, 200) : rng.next(2, 14);
        const float cx = rng.next(-20, 660), cy = rng.next(-20, 500);
        GrVertex v[3];
        for (int k = 0; k < 3; ++k) {
            const float w = rng.next(1, 4);
            v[k] = boardVertex(cx + rng.next(-size, size), cy + rng.next(-size, size),
                               rng.next(0, 255), rng.next(0, 255), rng.next(0, 255), 255, w,
                               rng.next(-300, 600), rng.next(-300, 600));
        }
        grDrawPolygonVertexList(3, v);
        if (translucent) {
            combine::modulated();
            grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
            grDepthMask(FXTRUE);
            grAlphaTestFunction(GR_CMP_ALWAYS);
        }
        if (i == 300) {
            // Texels rewritten under the selected chain, with no state change between the
            // draws, reach the second draw.
            grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
            const GrVertex big[3] = {boardVertex(100, 100, 255, 255, 255, 255, 1, 0, 0),
                                     boardVertex(500, 120, 255, 255, 255, 255, 2, 700, 0),
                                     boardVertex(250, 420, 255, 255, 255, 255, 3, 0, 700)};
            grDrawPolygonVertexList(3, big);
            for (uint16_t& t : texels) t = uint16_t(~t);
            grTexDownloadMipMap(GR_TMU0, address[i % 4], GR_MIPMAPLEVELMASK_BOTH, &info);
            grDrawPolygonVertexList(3, big);
            grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
        }
    }
    std::vector<uint16_t> pixels = readBack();
    boardUseGenericPath(false);
    boardUseBuild(kBoardBuildAutomatic);
    return pixels;
}

TEST(Paths, MixedTexturesAndTrianglesAgreeOnEveryPath) {
    const std::vector<uint16_t> reference = drawMixedScene(true, kBoardBuildBaseline);
    const uint16_t clear = rgb565(0x20 >> 3, 0x30 >> 2, 0x40 >> 3);
    int drawn = 0;
    for (uint16_t p : reference) drawn += p != clear;
    EXPECT_GT(drawn, 100000);
    // Each build the processor runs, specialised and generic, against the baseline build's
    // generic loop.
    for (BoardBuild build : {kBoardBuildBaseline, kBoardBuildAvx2, kBoardBuildAvx512}) {
        if (!boardHasBuild(build)) continue;
        for (bool generic : {false, true}) {
            const std::vector<uint16_t> pixels = drawMixedScene(generic, build);
            int differing = 0;
            for (size_t i = 0; i < pixels.size(); ++i) differing += pixels[i] != reference[i];
            EXPECT_EQ(differing, 0) << "build " << int(build) << (generic ? " generic" : "");
        }
    }
}

}  // namespace
