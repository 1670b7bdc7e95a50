// Tests of the board's frame operations, fog, dither, texture memory, statistics,
// presenting, and the test card (golden image; specialised and generic loops agree).
#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "glide/present.h"
#include "glide/test_pixels.h"
#include "glide/testcard.h"

namespace {

constexpr int kW = 640, kH = 480;

void quad(float x0, float y0, float x1, float y1, float r, float g, float b, float w = 1) {
    const GrVertex v[4] = {boardVertex(x0, y0, r, g, b, 0, w), boardVertex(x1, y0, r, g, b, 0, w),
                           boardVertex(x1, y1, r, g, b, 0, w), boardVertex(x0, y1, r, g, b, 0, w)};
    grDrawPolygonVertexList(4, v);
}

void openPlain() {
    grGlideInit();
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    grDitherMode(GR_DITHER_DISABLE);
}

// openPlain(), drawing the texel as it is.
void openDecal() {
    openPlain();
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
}

TEST(Fog, TableIndexToWAndGenerators) {
    EXPECT_FLOAT_EQ(guFogTableIndexToW(0), 1.0f);
    EXPECT_FLOAT_EQ(guFogTableIndexToW(4), 2.0f);
    EXPECT_FLOAT_EQ(guFogTableIndexToW(5), 16.0f / 7.0f);
    EXPECT_FLOAT_EQ(guFogTableIndexToW(63), 52428.8f);

    GrFog_t exp[GR_FOG_TABLE_SIZE], exp2[GR_FOG_TABLE_SIZE];
    guFogGenerateExp(exp, 0.01f);
    // 255 * (1 - e^-0.01) = 2.54; 255 * (1 - e^-0.02) = 5.05
    EXPECT_EQ(exp[0], 2);
    EXPECT_EQ(exp[4], 5);
    EXPECT_EQ(exp[63], 255);
    guFogGenerateExp2(exp2, 0.001f);
    // W(32) = 256: 255 * (1 - e^-(0.256^2)) = 16.2
    EXPECT_EQ(exp2[32], 16);
    EXPECT_EQ(exp2[63], 255);
    for (int i = 1; i < GR_FOG_TABLE_SIZE; ++i) {
        EXPECT_GE(exp[i], exp[i - 1]);
        EXPECT_GE(exp2[i], exp2[i - 1]);
    }
    guFogGenerateExp(exp, 0.0f);  // no fog at all, not a division by zero
    EXPECT_EQ(exp[63], 0);
}

TEST(Fog, LookupInterpolatesTheTableByW) {
    openPlain();
    GrFog_t table[GR_FOG_TABLE_SIZE];
    for (int i = 0; i < GR_FOG_TABLE_SIZE; ++i) table[i] = GrFog_t(i * 4 > 255 ? 255 : i * 4);
    table[7] = 56;
    table[8] = 64;
    grFogTable(table);
    grFogColorValue(0x00FFFFFF);
    grFogMode(GR_FOG_WITH_TABLE);
    // oow 0.5 -> W value 0x1000: entry 4 exactly (16): 0 + (255 * 17 >> 8) = 16.
    quad(0, 0, 4, 4, 0, 0, 0, 2.0f);
    EXPECT_EQ(pixelAt(1, 1), rgb565(16 >> 3, 16 >> 2, 16 >> 3));
    // oow 0.3 -> W value 7373: entry 7, fraction 51: 56 + (8 * 51 >> 8) = 57; 255 * 58 >> 8 = 57.
    quad(4, 0, 8, 4, 0, 0, 0, 1.0f / 0.3f);
    EXPECT_EQ(pixelAt(5, 1), rgb565(57 >> 3, 57 >> 2, 57 >> 3));
    // Towards a darker fog colour the difference is negative: 200 + ((0 - 200) * 17 >> 8) = 186.
    grFogColorValue(0);
    quad(8, 0, 12, 4, 200, 200, 200, 2.0f);
    EXPECT_EQ(pixelAt(9, 1), rgb565(186 >> 3, 186 >> 2, 186 >> 3));
}

TEST(Dither, FourByFourMatrixAndDisabled) {
    openPlain();
    grDitherMode(GR_DITHER_4x4);
    quad(0, 0, 8, 8, 100, 100, 100);
    // c = 100: r5 = (194 + d) >> 4 is 13 for d >= 14; g6 = (395 + d) >> 4 is 25 for d >= 5.
    const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int d = matrix[y & 3][x & 3];
            const int rb = d >= 14 ? 13 : 12, g = d >= 5 ? 25 : 24;
            EXPECT_EQ(pixelAt(x, y), rgb565(rb, g, rb)) << x << "," << y;
        }
    }
    grDitherMode(GR_DITHER_DISABLE);
    quad(0, 0, 8, 8, 100, 100, 100);
    EXPECT_EQ(pixelAt(3, 2), rgb565(12, 25, 12));
    // White stays white and black stays black under every matrix entry.
    grDitherMode(GR_DITHER_4x4);
    quad(0, 0, 4, 4, 255, 255, 255);
    quad(4, 0, 8, 4, 0, 0, 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(pixelAt(x, y), 0xFFFF);
            EXPECT_EQ(pixelAt(x + 4, y), 0);
        }
    }
}

TEST(Frame, ClipWindowLimitsDrawingAndClearing) {
    openPlain();
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthMask(FXTRUE);
    grBufferClear(0, 0, 0xFFFF);
    grClipWindow(100, 50, 200, 120);
    grBufferClear(0x00FF0000, 0, 0x1234);
    EXPECT_EQ(pixelAt(100, 50), 0xF800);
    EXPECT_EQ(pixelAt(199, 119), 0xF800);
    EXPECT_EQ(pixelAt(200, 119), 0);
    EXPECT_EQ(pixelAt(199, 120), 0);
    EXPECT_EQ(pixelAt(99, 50), 0);
    EXPECT_EQ(pixelAt(150, 80, GR_BUFFER_AUXBUFFER), 0x1234);
    EXPECT_EQ(pixelAt(250, 80, GR_BUFFER_AUXBUFFER), 0xFFFF);
    // Depth is left alone when the depth mask is off.
    grDepthMask(FXFALSE);
    grBufferClear(0x0000FF00, 0, 0x5555);
    EXPECT_EQ(pixelAt(150, 80), 0x07E0);
    EXPECT_EQ(pixelAt(150, 80, GR_BUFFER_AUXBUFFER), 0x1234);
    // Drawing is clipped the same way; a window past the screen is clamped to it.
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    grClipWindow(600, 400, 5000, 5000);
    quad(-100, -100, 800, 600, 0, 0, 255);
    EXPECT_EQ(pixelAt(639, 479), 0x001F);
    EXPECT_EQ(pixelAt(600, 400), 0x001F);
    EXPECT_EQ(pixelAt(599, 400), 0);
    EXPECT_EQ(pixelAt(150, 80), 0x07E0);
    // An empty window draws nothing.
    grClipWindow(300, 300, 300, 400);
    quad(0, 0, 640, 480, 255, 255, 255);
    EXPECT_EQ(pixelAt(300, 350), 0);
}

TEST(Frame, ReadBackIsTopDownWithStrideAndFollowsSwaps) {
    openPlain();
    grBufferClear(0, 0, 0xFFFF);
    for (int y = 0; y < 4; ++y) quad(10, float(10 + y), 14, float(11 + y), float(y * 64), 0, 0);
    // 4 x 4 region with a stride of 6 pixels; the padding is left untouched.
    std::vector<uint16_t> out(6 * 4, 0xABCD);
    ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 10, 10, 4, 4, 12, out.data()));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out[size_t(y * 6 + x)], rgb565((y * 64) >> 3, 0, 0));
        EXPECT_EQ(out[size_t(y * 6 + 4)], 0xABCD);
    }
    // After a swap the drawn frame is the front buffer.
    grBufferSwap(1);
    EXPECT_EQ(pixelAt(10, 13, GR_BUFFER_FRONTBUFFER), rgb565(192 >> 3, 0, 0));
    // Regions outside the buffer, or a stride shorter than a row, are refused.
    uint16_t one[8];
    EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 639, 0, 2, 1, 4, one));
    EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 479, 1, 2, 2, one));
    EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, 4, 2, 6, one));
    EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0xFFFFFFF0u, 0, 32, 1, 64, one));
    EXPECT_FALSE(grLfbReadRegion(7, 0, 0, 1, 1, 2, one));
}

TEST(TextureMemory, SizesOfChainsAndTheMemoryRange) {
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_2, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565),
              174760u);
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_2, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_RGB_565), 43688u);
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_2, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565), 10920u);
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565),
              131072u);
    // 8-bit texels: 87380 bytes rounded up to 8; a 1x1 level still counts 4 texels.
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_2, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_ALPHA_8), 87384u);
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, GR_TEXFMT_RGB_565), 8u);
    // 8:1 at 256: 256 x 32 texels.
    EXPECT_EQ(grTexCalcMemRequired(GR_LOD_256, GR_LOD_256, GR_ASPECT_8x1, GR_TEXFMT_RGB_565),
              16384u);
    GrTexInfo info{GR_LOD_2, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 43688u);
    EXPECT_EQ(grTexMinAddress(GR_TMU0), 0u);
    EXPECT_EQ(grTexMaxAddress(GR_TMU0), 2097144u);
    EXPECT_LE(12u * 174760u, grTexMaxAddress(GR_TMU0) + 8u);
    EXPECT_GT(13u * 174760u, grTexMaxAddress(GR_TMU0) + 8u);
}

TEST(TextureMemory, DownloadsCopyAtCallTimeAndStayInsideTheMemory) {
    openDecal();
    std::vector<uint16_t> texels(64 * 64, 0xF800);
    GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    const BoardStats before = boardStats();
    grTexDownloadMipMap(GR_TMU0, 1024, GR_MIPMAPLEVELMASK_BOTH, &info);
    EXPECT_EQ(boardStats().textureDownloads, before.textureDownloads + 1);
    EXPECT_EQ(boardStats().textureBytes, before.textureBytes + 8192);
    std::fill(texels.begin(), texels.end(), uint16_t(0x001F));  // after the call: no effect
    grTexSource(GR_TMU0, 1024, GR_MIPMAPLEVELMASK_BOTH, &info);
    GrVertex v[4] = {boardVertex(0, 0, 0, 0, 0), boardVertex(8, 0, 0, 0, 0),
                     boardVertex(8, 8, 0, 0, 0), boardVertex(0, 8, 0, 0, 0)};
    grDrawPolygonVertexList(4, v);
    EXPECT_EQ(pixelAt(4, 4), 0xF800);

    // The same memory read as ARGB 1555 gives that format's colours.
    info.format = GR_TEXFMT_ARGB_1555;
    grTexSource(GR_TMU0, 1024, GR_MIPMAPLEVELMASK_BOTH, &info);
    grDrawPolygonVertexList(4, v);
    // 0xF800 as 1555: red 30 widened to 247 -> 5-6-5 red 30.
    EXPECT_EQ(pixelAt(4, 4), rgb565(30, 0, 0));

    // Past the end: the download is refused and the source is not selected.
    const BoardStats mid = boardStats();
    grTexDownloadMipMap(GR_TMU0, grTexMaxAddress(GR_TMU0), GR_MIPMAPLEVELMASK_BOTH, &info);
    EXPECT_EQ(boardStats().textureDownloads, mid.textureDownloads);
    grTexSource(GR_TMU0, grTexMaxAddress(GR_TMU0), GR_MIPMAPLEVELMASK_BOTH, &info);
    grDrawPolygonVertexList(4, v);
    EXPECT_EQ(pixelAt(4, 4), 0);
    GrTexInfo bad{GR_LOD_64, GR_LOD_128 + 40, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &bad);
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &bad), 0u);
}

// The board keeps a draw's set-up while the state is set again to what it was; texels
// downloaded under it, in either size, are drawn all the same.
TEST(TextureMemory, DownloadsUnderAnUnchangedStateAreDrawn) {
    openDecal();
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    std::vector<uint16_t> texels(64 * 64, 0xF800);
    GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    const GrVertex v[4] = {boardVertex(0, 0, 0, 0, 0), boardVertex(8, 0, 0, 0, 0),
                           boardVertex(8, 8, 0, 0, 0), boardVertex(0, 8, 0, 0, 0)};
    auto select = [&] {
        grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
        grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    };
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    select();
    grDrawPolygonVertexList(4, v);
    EXPECT_EQ(pixelAt(4, 4), 0xF800);

    std::fill(texels.begin(), texels.end(), uint16_t(0x001F));
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    select();  // the same state again
    grDrawPolygonVertexList(4, v);
    EXPECT_EQ(pixelAt(4, 4), 0x001F);

    // 8-bit texels over the 16-bit chain, which stays selected: the bytes 0x1F1F read as
    // 5-6-5.
    std::vector<uint8_t> bytes(64 * 64 * 2, 0x1F);
    GrTexInfo wide{GR_LOD_128, GR_LOD_128, GR_ASPECT_2x1, GR_TEXFMT_ALPHA_8, bytes.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &wide);
    grDrawPolygonVertexList(4, v);
    EXPECT_EQ(pixelAt(4, 4), 0x1F1F);
}

TEST(Statistics, TriangleCountersAndBoardCounters) {
    openPlain();
    grResetTriStats();
    const BoardStats before = boardStats();
    const GrVertex pentagon[5] = {boardVertex(10, 10, 255, 0, 0), boardVertex(50, 12, 255, 0, 0),
                                  boardVertex(60, 40, 255, 0, 0), boardVertex(30, 60, 255, 0, 0),
                                  boardVertex(5, 40, 255, 0, 0)};
    grDrawPolygonVertexList(5, pentagon);
    const GrVertex flat[3] = {boardVertex(0, 0, 1, 1, 1), boardVertex(10, 10, 1, 1, 1),
                              boardVertex(20, 20, 1, 1, 1)};
    grDrawPolygonVertexList(3, flat);
    grDrawPolygonVertexList(2, flat);  // fewer than 3: nothing
    FxU32 processed = 0, drawn = 0;
    grTriStats(&processed, &drawn);
    EXPECT_EQ(processed, 4u);
    EXPECT_EQ(drawn, 3u);
    const BoardStats after = boardStats();
    EXPECT_EQ(after.triangles - before.triangles, 4u);
    EXPECT_EQ(after.trianglesDrawn - before.trianglesDrawn, 3u);
    EXPECT_GT(after.pixels - before.pixels, 1000u);
    grResetTriStats();
    grTriStats(&processed, &drawn);
    EXPECT_EQ(processed, 0u);
    EXPECT_EQ(drawn, 0u);
    grDrawPolygonVertexList(3, pentagon);
    grGlideInit();
    grTriStats(&processed, &drawn);
    EXPECT_EQ(processed, 0u);
    GrHwConfiguration hw{};
    EXPECT_TRUE(grSstQueryHardware(&hw));
    EXPECT_EQ(hw.num_sst, 1);
    EXPECT_EQ(hw.SSTs[0].voodooConfig.nTexelfx, 1);
    EXPECT_EQ(hw.SSTs[0].voodooConfig.tmuConfig[0].tmuRam, 2);
    EXPECT_TRUE(grSstControl(GR_CONTROL_MOVE));
}

struct Presented {
    std::vector<uint16_t> pixels;
    int frames = 0;
};

void presentInto(void* context, const uint16_t* pixels, int width, int height, int stride) {
    auto* p = static_cast<Presented*>(context);
    p->pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p->pixels[size_t(y * width + x)] = pixels[size_t(y) * size_t(stride / 2) + size_t(x)];
        }
    }
    ++p->frames;
}

TEST(Presenting, SwapsHandTheFrontBufferOverAndCountPending) {
    openPlain();
    EXPECT_EQ(grBufferNumPending(), 0);
    grBufferSwap(1);  // no presenter: completes at once
    EXPECT_EQ(grBufferNumPending(), 0);

    Presented shown;
    glideSetPresenter(&presentInto, &shown);
    grBufferClear(0, 0, 0xFFFF);
    quad(0, 0, 2, 2, 255, 0, 0);
    grBufferSwap(1);
    quad(0, 0, 2, 2, 0, 255, 0);
    grBufferSwap(1);
    EXPECT_EQ(shown.frames, 2);
    EXPECT_EQ(shown.pixels[0], rgb565(0, 63, 0));
    EXPECT_EQ(grBufferNumPending(), 2);
    std::thread completer([] {
        glidePresentComplete();
        glidePresentComplete();
        glidePresentComplete();  // one too many must not go below zero
    });
    completer.join();
    EXPECT_EQ(grBufferNumPending(), 0);
    glideSetPresenter(nullptr, nullptr);
}

// Reads an 8-bit RGB PNG into 5-6-5 pixels; false when it cannot.
bool readPng(const char* path, std::vector<uint16_t>& out, int& width, int& height) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    width = int(png_get_image_width(png, info));
    height = int(png_get_image_height(png, info));
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 8) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    std::vector<png_byte> row(size_t(width) * 3);
    out.assign(size_t(width) * size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < width; ++x) {
            const png_byte* p = &row[size_t(x) * 3];
            out[size_t(y * width + x)] = uint16_t((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

std::vector<uint16_t> renderCard(bool generic) {
    boardUseGenericPath(generic);
    drawTestCard();
    boardUseGenericPath(false);
    std::vector<uint16_t> pixels(size_t(kW) * kH);
    EXPECT_TRUE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, kW, kH, kW * 2, pixels.data()));
    return pixels;
}

TEST(TestCard, MatchesTheGoldenImage) {
    const std::vector<uint16_t> card = renderCard(false);
    std::vector<uint16_t> golden;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng("glide/testdata/testcard.png", golden, width, height));
    ASSERT_EQ(width, kW);
    ASSERT_EQ(height, kH);
    int differing = 0;
    for (size_t i = 0; i < card.size(); ++i) differing += card[i] != golden[i];
    EXPECT_EQ(differing, 0);
}

TEST(TestCard, SpecialisedAndGenericLoopsAgree) {
    const std::vector<uint16_t> fast = renderCard(false);
    const std::vector<uint16_t> generic = renderCard(true);
    int differing = 0;
    for (size_t i = 0; i < fast.size(); ++i) differing += fast[i] != generic[i];
    EXPECT_EQ(differing, 0);
    // The engine's usual state does run a specialised loop.
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    std::vector<uint16_t> texels(64 * 64, 0x1234);
    GrTexInfo info{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    EXPECT_TRUE(boardStateIsSpecialised());
    boardUseGenericPath(true);
    EXPECT_FALSE(boardStateIsSpecialised());
    boardUseGenericPath(false);
}

// Every build of the rasteriser the processor runs (baseline SSE2, AVX2, AVX-512) must draw
// what the automatic choice draws, in both the specialised and the generic loops.
TEST(TestCard, EveryBuildAgrees) {
    const std::vector<uint16_t> usual = renderCard(false);
    int builds = 0;
    for (BoardBuild build : {kBoardBuildBaseline, kBoardBuildAvx2, kBoardBuildAvx512}) {
        if (!boardUseBuild(build)) {
            GTEST_LOG_(INFO) << "build " << int(build) << " not supported here: not compared";
            continue;
        }
        ++builds;
        const std::vector<uint16_t> specialised = renderCard(false);
        const std::vector<uint16_t> generic = renderCard(true);
        boardUseBuild(kBoardBuildAutomatic);
        int differing = 0, differingGeneric = 0;
        for (size_t i = 0; i < usual.size(); ++i) {
            differing += usual[i] != specialised[i];
            differingGeneric += usual[i] != generic[i];
        }
        EXPECT_EQ(differing, 0) << "build " << int(build);
        EXPECT_EQ(differingGeneric, 0) << "build " << int(build);
    }
    EXPECT_GE(builds, 1);
}

}  // namespace
