// Tests of drawing on worker threads: every worker count draws the frames one thread
// draws, bit for bit, and whatever reads or changes what queued draws use sees the board
// finished.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "glide/present.h"
#include "glide/test_pixels.h"
#include "glide/testcard.h"

namespace {

constexpr int kW = 640, kH = 480;

void open(int workers) {
    boardSetDrawWorkers(workers);
    grGlideInit();
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    ASSERT_EQ(boardDrawWorkers(), workers);
}

std::vector<uint16_t> readBack(GrBuffer_t buffer) {
    std::vector<uint16_t> pixels(size_t(kW) * kH);
    EXPECT_TRUE(grLfbReadRegion(buffer, 0, 0, kW, kH, kW * 2, pixels.data()));
    return pixels;
}

int differing(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n + int(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

void triangle(float x0, float y0, float x1, float y1, float x2, float y2, float shade, float w,
              float s = 64) {
    const GrVertex v[3] = {boardVertex(x0, y0, shade, 255 - shade, 128, 200, w, 0, 0),
                           boardVertex(x1, y1, 255, shade, 64, 120, w + 1, s, 0),
                           boardVertex(x2, y2, 32, 96, shade, 255, w + 2, 0, s)};
    grDrawPolygonVertexList(3, v);
}

// Eight layers of one grey over the whole screen (w = 1, texel (0, 0)).
void cover(float grey) {
    for (int layer = 0; layer < 8; ++layer) {
        const GrVertex v[3] = {boardVertex(0, 0, grey, grey, grey, 255),
                               boardVertex(2000, 0, grey, grey, grey, 255),
                               boardVertex(0, 2000, grey, grey, grey, 255)};
        grDrawPolygonVertexList(3, v);
    }
}

// What a stress frame leaves: the mid-frame read-back, both colour buffers, the depth
// buffer and the pixels counted.
struct Frame {
    std::vector<uint16_t> middle, front, back, depth;
    uint64_t pixels = 0;
};

// Many state changes, texture downloads over the chain being drawn with, fog tables, clip
// windows and clears, small and large triangles across band borders, a read-back halfway.
Frame stressFrame(int workers) {
    open(workers);
    const uint64_t pixelsBefore = boardStats().pixels;
    useEngineDepthAndTextureUnit();
    std::vector<uint16_t> texels(64 * 64 + 32 * 32 + 16 * 16);
    GrTexInfo info{GR_LOD_16, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, texels.data()};
    XorShift rng{77};
    Frame frame;
    for (int i = 0; i < 900; ++i) {
        if (i % 60 == 0) {
            // New texels over the selected chain while draws with the old ones are queued.
            for (size_t k = 0; k < texels.size(); ++k) texels[k] = uint16_t(k * 40503u + i * 7);
            grTexDownloadMipMap(GR_TMU0, FxU32(i % 120) * 64, GR_MIPMAPLEVELMASK_BOTH, &info);
            grTexSource(GR_TMU0, FxU32(i % 120) * 64, GR_MIPMAPLEVELMASK_BOTH, &info);
        }
        if (i % 97 == 0) {
            GrFog_t table[GR_FOG_TABLE_SIZE];
            guFogGenerateExp(table, rng.next(0.05f, 0.5f));
            grFogTable(table);
            grFogColorValue(0x00406080u + FxU32(i));
        }
        if (i % 150 == 75) {
            grClipWindow(FxU32(rng.next(0, 200)), FxU32(rng.next(0, 200)),
                         FxU32(rng.next(300, 640)), FxU32(rng.next(250, 480)));
            grBufferClear(0x00102030u * FxU32(i % 5), 0, uint16_t(rng.next(0, 65535)));
        }
        if (i == 450) frame.middle = readBack(GR_BUFFER_BACKBUFFER);
        switch (i % 4) {
            case 0:
                combine::modulated();
                break;
            case 1:
                combine::litTextured();
                break;
            case 2:
                combine::iterated();
                break;
            default:
                combine::decal();
                break;
        }
        grFogMode((i & 8) ? GR_FOG_WITH_TABLE : GR_FOG_DISABLE);
        grAlphaBlendFunction((i & 16) ? GR_BLEND_SRC_ALPHA : GR_BLEND_ONE,
                             (i & 16) ? GR_BLEND_ONE_MINUS_SRC_ALPHA : GR_BLEND_ZERO, GR_BLEND_ONE,
                             GR_BLEND_ZERO);
        grAlphaTestFunction((i & 32) ? GR_CMP_GREATER : GR_CMP_ALWAYS);
        grDepthMask((i & 64) ? FXFALSE : FXTRUE);
        grTexFilterMode(GR_TMU0,
                        (i & 2) ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED,
                        (i & 2) ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED);
        const float size = (i % 7 == 0) ? rng.next(100, 500) : rng.next(2, 40);
        const float cx = rng.next(-20, 660), cy = rng.next(-20, 500);
        triangle(cx + rng.next(-size, size), cy + rng.next(-size, size), cx + rng.next(-size, size),
                 cy + rng.next(-size, size), cx + rng.next(-size, size), cy + rng.next(-size, size),
                 rng.next(0, 255), rng.next(1, 3), rng.next(32, 512));
        if (i == 600) {
            grBufferSwap(1);
            grClipWindow(0, 0, kW, kH);
            grBufferClear(0x00300000, 0, 0xFFFF);
        }
    }
    frame.front = readBack(GR_BUFFER_FRONTBUFFER);
    frame.back = readBack(GR_BUFFER_BACKBUFFER);
    frame.depth = readBack(GR_BUFFER_AUXBUFFER);
    frame.pixels = boardStats().pixels - pixelsBefore;
    return frame;
}

// The presenter's copy of the frame handed over at a swap.
struct Presented {
    std::vector<uint16_t> pixels;
};
void presentInto(void* context, const uint16_t* pixels, int width, int height, int stride) {
    auto* p = static_cast<Presented*>(context);
    p->pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        std::copy_n(pixels + size_t(y) * size_t(stride / 2), width,
                    p->pixels.begin() + ptrdiff_t(y) * width);
    }
    glidePresentComplete();
}

class Workers : public ::testing::TestWithParam<int> {
  protected:
    void TearDown() override { boardSetDrawWorkers(-1); }
};
INSTANTIATE_TEST_SUITE_P(Counts, Workers, ::testing::Values(1, 2, 3),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_P(Workers, DrawTheTestCardOneThreadDraws) {
    open(0);
    drawTestCard();
    const std::vector<uint16_t> one = readBack(GR_BUFFER_FRONTBUFFER);
    open(GetParam());
    drawTestCard();
    EXPECT_EQ(differing(readBack(GR_BUFFER_FRONTBUFFER), one), 0);
}

TEST_P(Workers, DrawTheStressFrameOneThreadDraws) {
    const Frame one = stressFrame(0);
    const Frame many = stressFrame(GetParam());
    EXPECT_EQ(differing(many.middle, one.middle), 0);
    EXPECT_EQ(differing(many.front, one.front), 0);
    EXPECT_EQ(differing(many.back, one.back), 0);
    EXPECT_EQ(differing(many.depth, one.depth), 0);
    EXPECT_EQ(many.pixels, one.pixels);
    EXPECT_GT(one.pixels, uint64_t(kW) * kH);
}

// Each check follows its draws at once, while workers would still be drawing them.
TEST_P(Workers, ReadBackSwapClearAndDownloadSeeAFinishedBoard) {
    open(GetParam());
    combine::iterated();
    grDitherMode(GR_DITHER_DISABLE);
    const uint16_t white = 0xFFFF;
    cover(255);
    const std::vector<uint16_t> drawn = readBack(GR_BUFFER_BACKBUFFER);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), white), kW * kH);
    cover(0);
    EXPECT_EQ(boardBuffer(GR_BUFFER_BACKBUFFER)[size_t(kH) * kW - 1], 0);

    // The swap hands over the finished frame; a clear after a draw wins.
    Presented shown;
    glideSetPresenter(&presentInto, &shown);
    cover(255);
    grBufferSwap(1);
    glideSetPresenter(nullptr, nullptr);
    EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), white), kW * kH);
    cover(0);
    grBufferClear(0x00FFFFFF, 0, 0xFFFF);
    const std::vector<uint16_t> cleared = readBack(GR_BUFFER_BACKBUFFER);
    EXPECT_EQ(std::count(cleared.begin(), cleared.end(), white), kW * kH);

    // Draws queued before a download sample the old texels.
    combine::decal();
    std::vector<uint16_t> texels(64 * 64, 0x001F);  // blue
    GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    cover(0);
    std::fill(texels.begin(), texels.end(), uint16_t(0xF800));  // red
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    const std::vector<uint16_t> blue = readBack(GR_BUFFER_BACKBUFFER);
    EXPECT_EQ(std::count(blue.begin(), blue.end(), uint16_t(0x001F)), kW * kH);
}

TEST(WorkersLifeCycle, ShutdownStopsThemAndDrawingGoesOnWithout) {
    open(2);
    combine::iterated();
    grDitherMode(GR_DITHER_DISABLE);
    grBufferClear(0, 0, 0xFFFF);
    for (int i = 0; i < 10; ++i) cover(255);
    grGlideShutdown();  // with draws queued
    EXPECT_EQ(boardDrawWorkers(), 0);
    EXPECT_EQ(boardBuffer(GR_BUFFER_BACKBUFFER)[size_t(kH) * kW - 1], 0xFFFF);
    cover(0);  // drawn on this thread
    EXPECT_EQ(boardBuffer(GR_BUFFER_BACKBUFFER)[size_t(kH) * kW - 1], 0);
    boardSetDrawWorkers(-1);
}

}  // namespace
