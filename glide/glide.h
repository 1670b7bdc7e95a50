// The 3D board's programming interface: the operations, types and constants the engine
// draws through. The names, argument orders and constant values are the board library's
// published ones; the software board in this folder implements them (see README.md).
//
// Only the demo thread calls these, except grSstControl (any thread) and the presenting
// hook of present.h.
#pragma once

#include <cstdint>

// ---- Basic types ------------------------------------------------------------------------
using FxU8 = uint8_t;
using FxU16 = uint16_t;
using FxU32 = uint32_t;
using FxI32 = int32_t;
using FxBool = int32_t;
using FxFloat = float;

using GrColor_t = FxU32;  // 0xAARRGGBB
using GrAlpha_t = FxU8;
using GrFog_t = FxU8;
using GrChipID_t = FxI32;
using GrBuffer_t = FxI32;
using GrCombineFunction_t = FxI32;
using GrCombineFactor_t = FxI32;
using GrCombineLocal_t = FxI32;
using GrCombineOther_t = FxI32;
using GrAlphaBlendFnc_t = FxI32;
using GrCmpFnc_t = FxI32;
using GrCullMode_t = FxI32;
using GrDepthBufferMode_t = FxI32;
using GrDitherMode_t = FxI32;
using GrFogMode_t = FxI32;
using GrLOD_t = FxI32;
using GrAspectRatio_t = FxI32;
using GrTextureFormat_t = FxI32;
using GrMipMapMode_t = FxI32;
using GrTextureClampMode_t = FxI32;
using GrTextureFilterMode_t = FxI32;
using GrScreenResolution_t = FxI32;
using GrScreenRefresh_t = FxI32;
using GrColorFormat_t = FxI32;
using GrOriginLocation_t = FxI32;

#ifndef FXTRUE
#define FXTRUE 1
#define FXFALSE 0
#endif

// ---- Records ----------------------------------------------------------------------------
constexpr int GLIDE_NUM_TMU = 2;

struct GrTmuVertex {
    float sow;  // s / w, s on 0..256 across the map
    float tow;  // t / w
    float oow;  // ignored by this board: the vertex's main oow is used
};

struct GrVertex {
    float x, y;  // screen pixels, origin upper left
    float z;
    float r, g, b;  // 0..255
    float ooz;
    float a;    // 0..255
    float oow;  // 1 / w
    GrTmuVertex tmuvtx[GLIDE_NUM_TMU];
};

struct GrTexInfo {
    GrLOD_t smallLod;
    GrLOD_t largeLod;
    GrAspectRatio_t aspectRatio;
    GrTextureFormat_t format;
    void* data;
};

constexpr int GR_SSTTYPE_VOODOO = 0;
constexpr int MAX_NUM_SST = 4;

struct GrTMUConfig_t {
    int tmuRev;
    int tmuRam;  // MiB
};

struct GrVoodooConfig_t {
    int fbRam;  // MiB
    int fbiRev;
    int nTexelfx;
    FxBool sliDetect;
    GrTMUConfig_t tmuConfig[GLIDE_NUM_TMU];
};

struct GrSstConfig_t {
    int type;  // GR_SSTTYPE_*
    GrVoodooConfig_t voodooConfig;
};

struct GrHwConfiguration {
    int num_sst;
    GrSstConfig_t SSTs[MAX_NUM_SST];
};

// ---- Constants --------------------------------------------------------------------------
constexpr GrChipID_t GR_TMU0 = 0;
constexpr GrChipID_t GR_TMU1 = 1;
constexpr GrChipID_t GR_TMU2 = 2;
constexpr GrChipID_t GR_FBI = 3;

constexpr GrLOD_t GR_LOD_256 = 0;
constexpr GrLOD_t GR_LOD_128 = 1;
constexpr GrLOD_t GR_LOD_64 = 2;
constexpr GrLOD_t GR_LOD_32 = 3;
constexpr GrLOD_t GR_LOD_16 = 4;
constexpr GrLOD_t GR_LOD_8 = 5;
constexpr GrLOD_t GR_LOD_4 = 6;
constexpr GrLOD_t GR_LOD_2 = 7;
constexpr GrLOD_t GR_LOD_1 = 8;

constexpr GrAspectRatio_t GR_ASPECT_8x1 = 0;
constexpr GrAspectRatio_t GR_ASPECT_4x1 = 1;
constexpr GrAspectRatio_t GR_ASPECT_2x1 = 2;
constexpr GrAspectRatio_t GR_ASPECT_1x1 = 3;
constexpr GrAspectRatio_t GR_ASPECT_1x2 = 4;
constexpr GrAspectRatio_t GR_ASPECT_1x4 = 5;
constexpr GrAspectRatio_t GR_ASPECT_1x8 = 6;

constexpr GrTextureFormat_t GR_TEXFMT_8BIT = 0x0;
constexpr GrTextureFormat_t GR_TEXFMT_RGB_332 = 0x0;
constexpr GrTextureFormat_t GR_TEXFMT_YIQ_422 = 0x1;
constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_8 = 0x2;
constexpr GrTextureFormat_t GR_TEXFMT_INTENSITY_8 = 0x3;
constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_INTENSITY_44 = 0x4;
constexpr GrTextureFormat_t GR_TEXFMT_P_8 = 0x5;
constexpr GrTextureFormat_t GR_TEXFMT_16BIT = 0x8;
constexpr GrTextureFormat_t GR_TEXFMT_ARGB_8332 = 0x8;
constexpr GrTextureFormat_t GR_TEXFMT_AYIQ_8422 = 0x9;
constexpr GrTextureFormat_t GR_TEXFMT_RGB_565 = 0xa;
constexpr GrTextureFormat_t GR_TEXFMT_ARGB_1555 = 0xb;
constexpr GrTextureFormat_t GR_TEXFMT_ARGB_4444 = 0xc;
constexpr GrTextureFormat_t GR_TEXFMT_ALPHA_INTENSITY_88 = 0xd;
constexpr GrTextureFormat_t GR_TEXFMT_AP_88 = 0xe;

constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_ZERO = 0x0;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_NONE = 0x0;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_LOCAL = 0x1;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_LOCAL_ALPHA = 0x2;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER = 0x3;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND_OTHER = 0x3;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL = 0x4;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA = 0x5;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL = 0x6;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL = 0x7;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND = 0x7;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA = 0x8;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL = 0x9;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_BLEND_LOCAL = 0x9;
constexpr GrCombineFunction_t GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA = 0x10;

constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ZERO = 0x0;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_NONE = 0x0;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOCAL = 0x1;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_OTHER_ALPHA = 0x2;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_LOCAL_ALPHA = 0x3;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_TEXTURE_ALPHA = 0x4;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE = 0x8;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_LOCAL = 0x9;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_OTHER_ALPHA = 0xa;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_LOCAL_ALPHA = 0xb;
constexpr GrCombineFactor_t GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA = 0xc;

constexpr GrCombineLocal_t GR_COMBINE_LOCAL_ITERATED = 0x0;
constexpr GrCombineLocal_t GR_COMBINE_LOCAL_CONSTANT = 0x1;
constexpr GrCombineLocal_t GR_COMBINE_LOCAL_NONE = 0x1;
constexpr GrCombineLocal_t GR_COMBINE_LOCAL_DEPTH = 0x2;

constexpr GrCombineOther_t GR_COMBINE_OTHER_ITERATED = 0x0;
constexpr GrCombineOther_t GR_COMBINE_OTHER_TEXTURE = 0x1;
constexpr GrCombineOther_t GR_COMBINE_OTHER_CONSTANT = 0x2;
constexpr GrCombineOther_t GR_COMBINE_OTHER_NONE = 0x2;

constexpr GrAlphaBlendFnc_t GR_BLEND_ZERO = 0x0;
constexpr GrAlphaBlendFnc_t GR_BLEND_SRC_ALPHA = 0x1;
constexpr GrAlphaBlendFnc_t GR_BLEND_SRC_COLOR = 0x2;
constexpr GrAlphaBlendFnc_t GR_BLEND_DST_COLOR = 0x2;
constexpr GrAlphaBlendFnc_t GR_BLEND_DST_ALPHA = 0x3;
constexpr GrAlphaBlendFnc_t GR_BLEND_ONE = 0x4;
constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_SRC_ALPHA = 0x5;
constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_SRC_COLOR = 0x6;
constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_DST_COLOR = 0x6;
constexpr GrAlphaBlendFnc_t GR_BLEND_ONE_MINUS_DST_ALPHA = 0x7;

constexpr GrCmpFnc_t GR_CMP_NEVER = 0x0;
constexpr GrCmpFnc_t GR_CMP_LESS = 0x1;
constexpr GrCmpFnc_t GR_CMP_EQUAL = 0x2;
constexpr GrCmpFnc_t GR_CMP_LEQUAL = 0x3;
constexpr GrCmpFnc_t GR_CMP_GREATER = 0x4;
constexpr GrCmpFnc_t GR_CMP_NOTEQUAL = 0x5;
constexpr GrCmpFnc_t GR_CMP_GEQUAL = 0x6;
constexpr GrCmpFnc_t GR_CMP_ALWAYS = 0x7;

constexpr GrCullMode_t GR_CULL_DISABLE = 0x0;
constexpr GrCullMode_t GR_CULL_NEGATIVE = 0x1;
constexpr GrCullMode_t GR_CULL_POSITIVE = 0x2;

constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_DISABLE = 0x0;
constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_ZBUFFER = 0x1;
constexpr GrDepthBufferMode_t GR_DEPTHBUFFER_WBUFFER = 0x2;

constexpr GrDitherMode_t GR_DITHER_DISABLE = 0x0;
constexpr GrDitherMode_t GR_DITHER_2x2 = 0x1;
constexpr GrDitherMode_t GR_DITHER_4x4 = 0x2;

constexpr GrFogMode_t GR_FOG_DISABLE = 0x0;
constexpr GrFogMode_t GR_FOG_WITH_ITERATED_ALPHA = 0x1;
constexpr GrFogMode_t GR_FOG_WITH_TABLE = 0x2;
constexpr int GR_FOG_TABLE_SIZE = 64;

constexpr GrBuffer_t GR_BUFFER_FRONTBUFFER = 0x0;
constexpr GrBuffer_t GR_BUFFER_BACKBUFFER = 0x1;
constexpr GrBuffer_t GR_BUFFER_AUXBUFFER = 0x2;
constexpr GrBuffer_t GR_BUFFER_DEPTHBUFFER = 0x3;

constexpr GrMipMapMode_t GR_MIPMAP_DISABLE = 0x0;
constexpr GrMipMapMode_t GR_MIPMAP_NEAREST = 0x1;
constexpr GrMipMapMode_t GR_MIPMAP_NEAREST_DITHER = 0x2;

constexpr FxU32 GR_MIPMAPLEVELMASK_EVEN = 0x1;
constexpr FxU32 GR_MIPMAPLEVELMASK_ODD = 0x2;
constexpr FxU32 GR_MIPMAPLEVELMASK_BOTH = 0x3;

constexpr GrTextureClampMode_t GR_TEXTURECLAMP_WRAP = 0x0;
constexpr GrTextureClampMode_t GR_TEXTURECLAMP_CLAMP = 0x1;

constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_POINT_SAMPLED = 0x0;
constexpr GrTextureFilterMode_t GR_TEXTUREFILTER_BILINEAR = 0x1;

constexpr FxU32 GR_CONTROL_ACTIVATE = 0x1;
constexpr FxU32 GR_CONTROL_DEACTIVATE = 0x2;
constexpr FxU32 GR_CONTROL_RESIZE = 0x3;
constexpr FxU32 GR_CONTROL_MOVE = 0x4;

constexpr GrScreenResolution_t GR_RESOLUTION_320x200 = 0x0;
constexpr GrScreenResolution_t GR_RESOLUTION_320x240 = 0x1;
constexpr GrScreenResolution_t GR_RESOLUTION_512x384 = 0x3;
constexpr GrScreenResolution_t GR_RESOLUTION_640x400 = 0x6;
constexpr GrScreenResolution_t GR_RESOLUTION_640x480 = 0x7;
constexpr GrScreenResolution_t GR_RESOLUTION_800x600 = 0x8;

constexpr GrScreenRefresh_t GR_REFRESH_60Hz = 0x0;
constexpr GrScreenRefresh_t GR_REFRESH_70Hz = 0x1;
constexpr GrScreenRefresh_t GR_REFRESH_72Hz = 0x2;
constexpr GrScreenRefresh_t GR_REFRESH_75Hz = 0x3;

constexpr GrColorFormat_t GR_COLORFORMAT_ARGB = 0x0;
constexpr GrColorFormat_t GR_COLORFORMAT_ABGR = 0x1;
constexpr GrColorFormat_t GR_COLORFORMAT_RGBA = 0x2;
constexpr GrColorFormat_t GR_COLORFORMAT_BGRA = 0x3;

constexpr GrOriginLocation_t GR_ORIGIN_UPPER_LEFT = 0x0;
constexpr GrOriginLocation_t GR_ORIGIN_LOWER_LEFT = 0x1;

// ---- Life cycle -------------------------------------------------------------------------
void grGlideInit();
void grGlideShutdown();
FxBool grSstQueryHardware(GrHwConfiguration* hwConfig);
void grSstSelect(int whichSst);
// Opens the 640x480 display (the only resolution this board offers) and resets all
// render state to the defaults. Returns FXFALSE for any other resolution.
FxBool grSstWinOpen(FxU32 hWnd, GrScreenResolution_t resolution, GrScreenRefresh_t refresh,
                    GrColorFormat_t colorFormat, GrOriginLocation_t origin, int numBuffers,
                    int numAuxBuffers);
// Window activation and movement; callable from any thread. Always succeeds here.
FxBool grSstControl(FxU32 code);

// ---- Frame ------------------------------------------------------------------------------
void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy);
void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth);
void grBufferSwap(int swapInterval);
int grBufferNumPending();

// ---- Drawing ----------------------------------------------------------------------------
void grDrawPolygonVertexList(int n, const GrVertex v[]);

// ---- Read-back --------------------------------------------------------------------------
FxBool grLfbReadRegion(GrBuffer_t src, FxU32 x, FxU32 y, FxU32 w, FxU32 h, FxU32 strideBytes,
                       void* dst);

// ---- Render state -----------------------------------------------------------------------
void grCullMode(GrCullMode_t mode);
void grDepthBufferMode(GrDepthBufferMode_t mode);
void grDepthBufferFunction(GrCmpFnc_t function);
void grDepthMask(FxBool enable);
void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst,
                          GrAlphaBlendFnc_t alphaSrc, GrAlphaBlendFnc_t alphaDst);
void grAlphaTestFunction(GrCmpFnc_t function);
void grAlphaTestReferenceValue(GrAlpha_t value);
void grConstantColorValue(GrColor_t color);
void grDitherMode(GrDitherMode_t mode);
void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgbFn, GrCombineFactor_t rgbFactor,
                  GrCombineFunction_t alphaFn, GrCombineFactor_t alphaFactor, FxBool rgbInvert,
                  FxBool alphaInvert);
void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lodBlend);
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minFilter,
                     GrTextureFilterMode_t magFilter);
void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t sClamp, GrTextureClampMode_t tClamp);

// ---- Textures ---------------------------------------------------------------------------
FxU32 grTexMinAddress(GrChipID_t tmu);
FxU32 grTexMaxAddress(GrChipID_t tmu);
FxU32 grTexCalcMemRequired(GrLOD_t smallLod, GrLOD_t largeLod, GrAspectRatio_t aspect,
                           GrTextureFormat_t format);
FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info);
// Copies the whole chain described by `info` (levels largest first, back to back) into
// texture memory at `start`; the caller's data may change right after the call.
void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start, FxU32 evenOdd, GrTexInfo* info);
void grTexSource(GrChipID_t tmu, FxU32 start, FxU32 evenOdd, GrTexInfo* info);

// ---- Fog --------------------------------------------------------------------------------
void grFogMode(GrFogMode_t mode);
void grFogColorValue(GrColor_t color);  // 0x00RRGGBB
void grFogTable(const GrFog_t table[GR_FOG_TABLE_SIZE]);
void guFogGenerateExp(GrFog_t table[GR_FOG_TABLE_SIZE], float density);
void guFogGenerateExp2(GrFog_t table[GR_FOG_TABLE_SIZE], float density);
float guFogTableIndexToW(int i);

// ---- Statistics -------------------------------------------------------------------------
void grResetTriStats();
void grTriStats(FxU32* processed, FxU32* drawn);
