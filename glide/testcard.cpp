// The board's test card. A 4 x 3 grid of 160 x 160 cells, each showing one group of
// features; see testcard.h.
#include "glide/testcard.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "glide/glide.h"

namespace {

constexpr int kCell = 160;

struct TextureSlot {
    GrTexInfo info;
    FxU32 address;
};

uint16_t rgb565(int r, int g, int b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// A screen-aligned quad with one colour, depth w and texture coordinates s0..s1, t0..t1.
// Background layers sit at w = 4, so overlays drawn at w <= 2 pass the depth test.
void quad(float x0, float y0, float x1, float y1, float r, float g, float b, float a, float s0,
          float t0, float s1, float t1, float w = 4.0f) {
    const GrVertex v[4] = {
        boardVertex(x0, y0, r, g, b, a, w, s0, t0), boardVertex(x1, y0, r, g, b, a, w, s1, t0),
        boardVertex(x1, y1, r, g, b, a, w, s1, t1), boardVertex(x0, y1, r, g, b, a, w, s0, t1)};
    grDrawPolygonVertexList(4, v);
}

// A floor receding from w = wNear (bottom edge, full width) to w = wFar (top edge).
void floorQuad(float cx, float yTop, float yBottom, float halfWidth, float wNear, float wFar,
               float texels, float r, float g, float b, float a = 0) {
    const float topHalf = halfWidth * wNear / wFar;
    const GrVertex v[4] = {boardVertex(cx - topHalf, yTop, r, g, b, a, wFar, 0, texels),
                           boardVertex(cx + topHalf, yTop, r, g, b, a, wFar, texels, texels),
                           boardVertex(cx + halfWidth, yBottom, r, g, b, a, wNear, texels, 0),
                           boardVertex(cx - halfWidth, yBottom, r, g, b, a, wNear, 0, 0)};
    grDrawPolygonVertexList(4, v);
}

TextureSlot download(FxU32 address, GrLOD_t largeLod, GrLOD_t smallLod, GrTextureFormat_t format,
                     std::vector<uint8_t>& bytes) {
    TextureSlot slot{};
    slot.info.largeLod = largeLod;
    slot.info.smallLod = smallLod;
    slot.info.aspectRatio = GR_ASPECT_1x1;
    slot.info.format = format;
    slot.info.data = bytes.data();
    slot.address = address;
    grTexDownloadMipMap(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &slot.info);
    return slot;
}

void use(TextureSlot& slot) {
    grTexSource(GR_TMU0, slot.address, GR_MIPMAPLEVELMASK_BOTH, &slot.info);
}

void put16(std::vector<uint8_t>& bytes, size_t index, uint16_t texel) {
    bytes[index * 2] = uint8_t(texel);
    bytes[index * 2 + 1] = uint8_t(texel >> 8);
}

// 256..2 chain; every level a checker in its own colour, so the chosen level shows.
std::vector<uint8_t> mipChain() {
    static const int kColours[8][3] = {{255, 64, 64},   {64, 255, 64},  {64, 64, 255},
                                       {255, 255, 64},  {255, 64, 255}, {64, 255, 255},
                                       {255, 255, 255}, {255, 160, 32}};
    std::vector<uint8_t> bytes(
        grTexCalcMemRequired(GR_LOD_2, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565));
    size_t at = 0;
    for (int level = 0, n = 256; n >= 2; ++level, n /= 2) {
        const int cell = n >= 16 ? n / 8 : 1;
        const int* c = kColours[level];
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const bool dark = ((x / cell) + (y / cell)) & 1;
                put16(bytes, at++,
                      dark ? rgb565(c[0] / 3, c[1] / 3, c[2] / 3) : rgb565(c[0], c[1], c[2]));
            }
        }
    }
    return bytes;
}

std::vector<uint8_t> gradientGrid() {
    std::vector<uint8_t> bytes(64 * 64 * 2);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool line = x % 8 == 0 || y % 8 == 0;
            put16(bytes, size_t(y * 64 + x), rgb565(x * 4, y * 4, line ? 255 : 40));
        }
    }
    return bytes;
}

std::vector<uint8_t> disc1555() {
    std::vector<uint8_t> bytes(64 * 64 * 2);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const int dx = x - 32, dy = y - 32;
            const bool inside = dx * dx + dy * dy < 26 * 26;
            const int r = 31, g = (x / 2) & 31, b = (y / 2) & 31;
            put16(bytes, size_t(y * 64 + x),
                  uint16_t((inside ? 0x8000 : 0) | r << 10 | g << 5 | b));
        }
    }
    return bytes;
}

std::vector<uint8_t> glow8() {
    std::vector<uint8_t> bytes(64 * 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float d = std::sqrt(float((x - 32) * (x - 32) + (y - 32) * (y - 32))) / 32.0f;
            bytes[size_t(y * 64 + x)] = uint8_t(d >= 1.0f ? 0 : int(255.0f * (1.0f - d)));
        }
    }
    return bytes;
}

std::vector<uint8_t> checker32() {
    std::vector<uint8_t> bytes(32 * 32 * 2);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool light = ((x / 4) + (y / 4)) & 1;
            put16(bytes, size_t(y * 32 + x), light ? rgb565(240, 240, 240) : rgb565(20, 40, 160));
        }
    }
    return bytes;
}

void textureState(bool wrap, bool bilinear) {
    grTexClampMode(GR_TMU0, wrap ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP,
                   wrap ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP);
    const GrTextureFilterMode_t f =
        bilinear ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
    grTexFilterMode(GR_TMU0, f, f);
}

void opaque() {
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaTestFunction(GR_CMP_ALWAYS);
    grDepthMask(FXTRUE);
}

void translucent() {
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE,
                         GR_BLEND_ZERO);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grDepthMask(FXFALSE);
}

void cellClip(int col, int row) {
    grClipWindow(FxU32(col * kCell), FxU32(row * kCell), FxU32(col * kCell + kCell),
                 FxU32(row * kCell + kCell));
}

}  // namespace

GrVertex boardVertex(float x, float y, float r, float g, float b, float a, float w, float s,
                     float t) {
    GrVertex v{};
    v.x = x;
    v.y = y;
    v.r = r;
    v.g = g;
    v.b = b;
    v.a = a;
    v.oow = 1.0f / w;
    v.tmuvtx[0].sow = s / w;
    v.tmuvtx[0].tow = t / w;
    v.tmuvtx[0].oow = 1.0f / w;
    return v;
}

namespace combine {
void lit() {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_ITERATED, FXFALSE);
}
void decal() {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}
void litTextured() {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}
void modulated() {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}
void iterated() {
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
}
}  // namespace combine

void drawTestCard() {
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                 GR_ORIGIN_UPPER_LEFT, 2, 1);
    // The engine's display set-up.
    grCullMode(GR_CULL_DISABLE);
    grAlphaTestReferenceValue(128);
    grConstantColorValue(0x0000FF00);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grBufferClear(0x00202830, 0, 0xFFFF);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    grFogMode(GR_FOG_DISABLE);

    std::vector<uint8_t> chainBytes = mipChain(), gridBytes = gradientGrid(),
                         discBytes = disc1555(), glowBytes = glow8(), checkerBytes = checker32();
    FxU32 address = grTexMinAddress(GR_TMU0);
    TextureSlot chain = download(address, GR_LOD_256, GR_LOD_2, GR_TEXFMT_RGB_565, chainBytes);
    address += grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &chain.info);
    TextureSlot grid = download(address, GR_LOD_64, GR_LOD_64, GR_TEXFMT_RGB_565, gridBytes);
    address += grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &grid.info);
    TextureSlot disc = download(address, GR_LOD_64, GR_LOD_64, GR_TEXFMT_ARGB_1555, discBytes);
    address += grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &disc.info);
    TextureSlot glow = download(address, GR_LOD_64, GR_LOD_64, GR_TEXFMT_ALPHA_8, glowBytes);
    address += grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &glow.info);
    TextureSlot checker = download(address, GR_LOD_32, GR_LOD_32, GR_TEXFMT_RGB_565, checkerBytes);

    opaque();
    grDitherMode(GR_DITHER_4x4);

    // (0,0) Lit, untextured: a hexagon fan with a colour wheel and a specular spot in alpha.
    cellClip(0, 0);
    combine::lit();
    {
        GrVertex v[8];
        v[0] = boardVertex(80, 80, 128, 128, 128, 90, 1);
        for (int i = 0; i < 6; ++i) {
            const float angle = float(i) * 1.0471976f;
            const float c = float(i % 3 == 0 ? 255 : 60);
            v[i + 1] =
                boardVertex(80 + 70 * std::cos(angle), 80 + 70 * std::sin(angle), c,
                            float(i % 3 == 1 ? 255 : 60), float(i % 3 == 2 ? 255 : 60), 0, 1);
        }
        v[7] = v[1];
        grDrawPolygonVertexList(8, v);
    }

    // (1,0) Decal, bilinear, wrapped twice across.
    cellClip(1, 0);
    combine::decal();
    use(grid);
    textureState(true, true);
    quad(170, 10, 310, 150, 255, 255, 255, 0, 0, 0, 512, 512);

    // (2,0) Lit textured, point sampled, clamped beyond the map's edges.
    cellClip(2, 0);
    combine::litTextured();
    textureState(false, false);
    quad(330, 10, 470, 150, 255, 200, 160, 40, -128, -128, 384, 384);

    // (3,0) Mip-mapped floor in perspective: the levels' colours band with distance.
    cellClip(3, 0);
    combine::decal();
    use(chain);
    textureState(true, false);
    floorQuad(560, 10, 150, 150, 1.0f, 12.0f, 2048.0f, 255, 255, 255);

    // (0,1) Magnification: point (left) against bilinear (right) of an 8 x 8 checker.
    cellClip(0, 1);
    use(checker);
    textureState(false, false);
    quad(5, 170, 78, 310, 255, 255, 255, 0, 0, 0, 128, 256);
    textureState(false, true);
    quad(82, 170, 155, 310, 255, 255, 255, 0, 128, 0, 256, 256);

    // (1,1) Fog ramps: exponential (left floor) and squared exponential (right floor).
    cellClip(1, 1);
    {
        GrFog_t table[GR_FOG_TABLE_SIZE];
        grFogColorValue(0x0090A0C0);
        guFogGenerateExp(table, 0.3f);
        grFogTable(table);
        grFogMode(GR_FOG_WITH_TABLE);
        use(grid);
        textureState(true, true);
        combine::litTextured();
        floorQuad(200, 165, 315, 38, 1.0f, 6.0f, 512.0f, 255, 230, 200, 20);
        guFogGenerateExp2(table, 0.2f);
        grFogTable(table);
        combine::decal();
        floorQuad(280, 165, 315, 38, 1.0f, 6.0f, 256.0f, 255, 255, 255);
        grFogMode(GR_FOG_DISABLE);
    }

    // (2,1) Alpha test on a 1555 disc, then alpha-8 glows blended over it.
    cellClip(2, 1);
    use(disc);
    textureState(false, false);
    combine::decal();
    grAlphaTestFunction(GR_CMP_GREATER);
    quad(330, 170, 450, 290, 255, 255, 255, 255, 0, 0, 256, 256);
    grAlphaTestFunction(GR_CMP_ALWAYS);
    translucent();
    combine::modulated();
    use(glow);
    textureState(false, true);
    quad(380, 220, 480, 320, 255, 220, 80, 255, 0, 0, 256, 256, 2);
    quad(320, 240, 400, 320, 80, 200, 255, 160, 0, 0, 256, 256, 1);
    opaque();

    // (3,1) Blending: translucent untextured triangles and a translucent textured quad.
    cellClip(3, 1);
    use(grid);
    textureState(true, true);
    combine::decal();
    quad(490, 170, 630, 230, 255, 255, 255, 0, 0, 0, 256, 64);
    translucent();
    combine::iterated();
    {
        // The untextured translucent state still takes alpha from the texture unit; the grid
        // texture is opaque, so the iterated alpha sets the opacity.
        const GrVertex a[3] = {boardVertex(500, 180, 255, 0, 0, 200, 1),
                               boardVertex(620, 200, 255, 0, 0, 40, 1),
                               boardVertex(540, 300, 255, 0, 0, 120, 1)};
        grDrawPolygonVertexList(3, a);
        const GrVertex b[3] = {boardVertex(600, 175, 0, 255, 0, 128, 1),
                               boardVertex(630, 310, 0, 255, 0, 128, 1),
                               boardVertex(490, 280, 0, 255, 0, 128, 1)};
        grDrawPolygonVertexList(3, b);
    }
    combine::modulated();
    quad(500, 250, 620, 315, 255, 255, 255, 100, 0, 0, 256, 128, 1);
    opaque();

    // (0,2) Dither: the same gradient with 4x4 dither (top) and without (bottom).
    cellClip(0, 2);
    combine::iterated();
    for (int half = 0; half < 2; ++half) {
        grDitherMode(half == 0 ? GR_DITHER_4x4 : GR_DITHER_DISABLE);
        const float y0 = 325.0f + float(half) * 78.0f, y1 = y0 + 72.0f;
        const GrVertex v[4] = {
            boardVertex(5, y0, 0, 0, 0, 0, 1), boardVertex(155, y0, 90, 200, 60, 0, 1),
            boardVertex(155, y1, 90, 200, 60, 0, 1), boardVertex(5, y1, 0, 0, 0, 0, 1)};
        grDrawPolygonVertexList(4, v);
    }
    grDitherMode(GR_DITHER_4x4);

    // (1,2) Clip windows: a clear limited to a window, then a triangle clipped to another.
    grClipWindow(175, 335, 300, 400);
    grBufferClear(0x00C04040, 0, 0xFFFF);
    grClipWindow(200, 360, 310, 470);
    combine::iterated();
    {
        const GrVertex v[3] = {boardVertex(150, 320, 255, 255, 0, 0, 1),
                               boardVertex(400, 400, 0, 255, 255, 0, 1),
                               boardVertex(190, 520, 255, 0, 255, 0, 1)};
        grDrawPolygonVertexList(3, v);
    }

    // (2,2) Depth: two quads crossing in depth, and a third piercing both.
    cellClip(2, 2);
    combine::lit();
    {
        const GrVertex a[4] = {
            boardVertex(330, 330, 220, 60, 60, 0, 1), boardVertex(470, 330, 220, 60, 60, 0, 8),
            boardVertex(470, 470, 220, 60, 60, 0, 8), boardVertex(330, 470, 220, 60, 60, 0, 1)};
        grDrawPolygonVertexList(4, a);
        const GrVertex b[4] = {
            boardVertex(330, 330, 60, 220, 60, 0, 8), boardVertex(470, 330, 60, 220, 60, 0, 1),
            boardVertex(470, 470, 60, 220, 60, 0, 1), boardVertex(330, 470, 60, 220, 60, 0, 8)};
        grDrawPolygonVertexList(4, b);
        const GrVertex c[4] = {boardVertex(330, 330, 60, 60, 220, 60, 12),
                               boardVertex(470, 330, 60, 60, 220, 60, 12),
                               boardVertex(470, 470, 60, 60, 220, 60, 1.5f),
                               boardVertex(330, 470, 60, 60, 220, 60, 1.5f)};
        grDrawPolygonVertexList(4, c);
    }

    // (3,2) Less common combines through the generic loop: blend towards the local colour by
    // texture alpha, inverted output, constant colour, additive blending.
    cellClip(3, 2);
    use(disc);
    textureState(true, true);
    grConstantColorValue(0xFF3060C0);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL,
                   GR_COMBINE_FACTOR_TEXTURE_ALPHA, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    quad(485, 325, 635, 360, 255, 255, 255, 255, 0, 0, 512, 64);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXTRUE);
    quad(485, 362, 635, 397, 255, 255, 255, 255, 0, 0, 512, 64);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA,
                   GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    {
        const GrVertex v[4] = {
            boardVertex(485, 399, 0, 0, 0, 200, 4), boardVertex(635, 399, 255, 255, 255, 200, 4),
            boardVertex(635, 434, 255, 255, 255, 200, 4), boardVertex(485, 434, 0, 0, 0, 200, 4)};
        grDrawPolygonVertexList(4, v);
    }
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
    combine::iterated();
    quad(500, 380, 620, 470, 90, 40, 10, 255, 0, 0, 0, 0, 1);
    opaque();
    grConstantColorValue(0x0000FF00);

    grClipWindow(0, 0, 640, 480);
    grBufferSwap(1);
}
