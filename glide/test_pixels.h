// Reading single pixels back, random numbers and a common depth and texture set-up, in the
// board's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "glide/glide.h"

// The 5-6-5 pixel at (x, y) of a buffer.
inline uint16_t pixelAt(int x, int y, GrBuffer_t buffer = GR_BUFFER_BACKBUFFER) {
    uint16_t p = 0;
    EXPECT_TRUE(grLfbReadRegion(buffer, FxU32(x), FxU32(y), 1, 1, 2, &p));
    return p;
}

inline uint16_t rgb565(int r5, int g6, int b5) {
    return uint16_t(r5 << 11 | g6 << 5 | b5);
}

// The engine's usual depth and texture unit: W-buffer, less, with writes; texels passed on
// as they are, the nearest level per pixel.
inline void useEngineDepthAndTextureUnit() {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL_ALPHA, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
}

// A small repeatable random source (xorshift32) for scenes of random triangles.
struct XorShift {
    uint32_t state;
    float next(float lo, float hi) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return lo + (hi - lo) * float(state >> 8) * (1.0f / 16777216.0f);
    }
};
