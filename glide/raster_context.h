// The per-draw context and the per-triangle records the rasteriser's stages share: the
// Context (everything a draw reads from the state, the frame buffer and texture memory,
// rebuilt only when the state changes), the triangle's Setup record (edge functions and
// attributes in fixed point, with their steps per pixel), the Vertex it is built from, the
// group of eight pixels the walk hands to the pixel loops, and the fixed-point helpers
// every loop uses to turn iterated values into pixel values.
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

namespace glide {
namespace {

// ---- Per-draw context -------------------------------------------------------------------

struct DitherTables {
    // [dither on][matrix position (y & 3) * 4 + (x & 3)][channel] -> 5-bit red/blue, 6-bit green
    uint8_t redBlue[2][16][256];
    uint8_t green[2][16][256];
    DitherTables() {
        static const int kMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        for (int i = 0; i < 16; ++i) {
            const int d = kMatrix[i];
            for (int c = 0; c < 256; ++c) {
                redBlue[1][i][c] = uint8_t((2 * c - (c >> 4) + (c >> 7) + d) >> 4);
                green[1][i][c] = uint8_t((4 * c - (c >> 4) + (c >> 6) + d) >> 4);
                redBlue[0][i][c] = uint8_t(c >> 3);
                green[0][i][c] = uint8_t(c >> 2);
            }
        }
    }
};

const DitherTables& ditherTables() {
    static const DitherTables tables;
    return tables;
}

struct Context;
struct Setup;
using RasterFunction = void (*)(const Context&, const Setup&);

struct Context {
    Board* board;  // the board drawn on (kept here to spare a look-up per triangle)
    const BoardState* s;
    uint16_t* color;
    uint16_t* depth;
    int stride;
    int clipMinX, clipMinY, clipMaxX, clipMaxY;

    // Texture.
    bool needTexture;
    bool textureValid;
    bool texture16;
    GrTextureFormat_t format;
    const uint64_t* texels16;  // expanded texels at the source address
    const TexelQuad* quads;    // bilinear quads at the source address (16-bit formats)
    const uint8_t* texels8;    // raw bytes at the source address
    const uint64_t* expand8;   // an 8-bit format's expansions by texel value (see board.h)
    int levels;                // levels in the chain
    int largeLod;
    uint32_t levelOffset[9];  // texels from the chain start
    int levelWidth[9];
    int widthMask[9];   // width - 1
    int widthShift[9];  // log2(width)
    int heightMask[9];
    float
        levelScale[9];  // 2^(8 - lod): s/w and t/w are iterated with 8 fewer fraction bits than 1/w
    // The same per level, one 32-bit lane each for the wide pipeline (levels 0..7; the
    // ninth apart): scale (float bits), width mask, height mask, width shift, offset.
    alignas(32) int32_t levelLanes[5][8];
    int32_t ninthLevel[5];
    bool wrapS, wrapT;
    bool bilinearMin, bilinearMag;
    bool needLod;  // more than one level, or different filters for min and mag
    bool tmuPass;  // texture combine passes the texel through

    // Runtime pieces of the generic path.
    bool depthTest, depthWrite;
    bool fogTable;
    bool blendOff;
    int constR, constG, constB, constA;
    int fogR, fogG, fogB;
    int alphaRef;
    const uint8_t* fogLookup;
    const uint8_t* ditherRedBlue;  // 16 rows of 256, see DitherTables
    const uint8_t* ditherGreen;
    bool ditherOn;

    RasterFunction raster;
    bool specialised;
};

// ---- Triangle set-up records --------------------------------------------------------------
//
// Fixed-point formats (BOARD.md, "Iterated values"):
//   vertex coordinates   snapped to 1/16 pixel (28.4 in int32)
//   edge functions       int64, in 1/256 pixel² (products of 28.4 differences)
//   colours and alpha    12.12 in int32 (the integer part is the 0..255 channel)
//   1/w                  24.40 in int64
//   s/w and t/w          32.32 in int64 (texture units, 0..256 across the map, times 1/w)
// Every value is the one at the reference pixel plus whole steps: value(x, y) =
// at + dx * (x - xRef) + dy * (y - yRef), in wrap-around integer arithmetic, so stepping in
// any order, or from any pixel, gives the same number at a pixel.

constexpr int kSubPixelBits = 4;
constexpr int kColourBits = 12;
constexpr int kOowBits = 40;
constexpr int kTexCoordBits = 32;

enum ColourIndex { kIterR, kIterG, kIterB, kIterA, kColours };
enum WideIndex { kIterOow, kIterSow, kIterTow, kWides };

struct Setup {
    int yStart, yEnd;  // rows [yStart, yEnd)
    int xStart, xEnd;  // columns [xStart, xEnd) that can hold the triangle's pixels
    int xRef, yRef;    // the pixel every value below is stepped from
    // Edge functions at the reference pixel's centre and their steps per pixel; a pixel is
    // inside when all three are >= 0 (the top-left rule's bias is folded into `edgeAt`).
    int64_t edgeAt[3], edgeDx[3], edgeDy[3];
    int32_t colourAt[kColours], colourDx[kColours], colourDy[kColours];  // 12.12
    int64_t wideAt[kWides], wideDx[kWides], wideDy[kWides];  // 24.40 (1/w), 32.32 (s/w, t/w)
    // w at or above threshold[k] selects level k; w <= [0] magnifies. In the units of
    // wFromOow() (2^-40 of the true w).
    float lodThreshold[9];
    // The levels the triangle's pixels can reach: [levelFirst, levelLast] (mip-mapped only).
    int8_t levelFirst, levelLast;
};

struct Vertex {
    float x, y;
    float r, g, b, a, oow, sow, tow, spare;
};

// A group of eight pixels, four neighbours on each of two rows (x a multiple of 4, y even):
// the values at its first pixel (x, y), and which of the eight the triangle covers (bit i:
// pixel (x + i % 4, y + i / 4)).
struct Group {
    int x, y;
    unsigned mask;
    int32_t colour[kColours];
    int64_t wide[kWides];
};

// An iterated 24.40 or 32.32 value as a double, exact for magnitudes below 2^51 (every value
// inside a triangle; set-up limits the vertices). Written as the integer and floating
// additions the vector loops use, so every loop gets the same bits for any input.
inline double wideToDouble(int64_t v) {
    constexpr uint64_t kMagicBits = 0x4338000000000000ull;  // 1.5 * 2^52
    return std::bit_cast<double>(uint64_t(v) + kMagicBits) - 6755399441055744.0;
}

// The 16-bit floating W value of BOARD.md from the exact 1/w (24.40, as a double): 4-bit
// exponent (leading zeros of 1/w's binary fraction) over the inverted 12-bit mantissa, plus
// one, read from the double's high word: 4354048 - (high >> 8), limited to 0..0xFFFF (a
// negative or zero 1/w lands on 0xFFFF).
constexpr int32_t kWEncodeBias = 4354048;  // (1023 + 40 + 1) << 12
inline uint32_t encodeW(double oowFixed) {
    const int32_t high = int32_t(std::bit_cast<uint64_t>(oowFixed) >> 32);
    return uint32_t(std::clamp(kWEncodeBias - (high >> 8), 0, 0xFFFF));
}

// A 12.12 colour as its 0..255 channel.
inline int channelOf(int32_t v) {
    return std::clamp(v >> kColourBits, 0, 255);
}

}  // namespace
}  // namespace glide
