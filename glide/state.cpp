// The board's life cycle, render-state setters, frame operations, read-back, presenting
// and statistics.
#include <algorithm>
#include <cstring>

#include "glide/board.h"
#include "glide/board_debug.h"
#include "glide/workers.h"

namespace glide {

constinit Board theBoard;

void ensureAllocated() {
    Board& b = board();
    FrameBuffer& f = b.frame;
    if (f.storage.empty()) {
        f.width = kScreenWidth;
        f.height = kScreenHeight;
        f.stride = kScreenWidth;
        const size_t plane = size_t(f.stride) * size_t(f.height);
        f.storage.assign(plane * 3, 0);
        f.color[0] = f.storage.data();
        f.color[1] = f.storage.data() + plane;
        f.depth = f.storage.data() + 2 * plane;
        std::fill(f.depth, f.depth + plane, uint16_t(0xFFFF));
        f.front = 0;
    }
    TextureMemory& t = b.texture;
    if (t.raw.empty()) {
        t.raw.assign(kTextureMemoryBytes, 0);
        t.expanded.assign(kTextureMemoryBytes / 2, 0);
        t.quads.assign(kTextureMemoryBytes / 2, TexelQuad{});
        t.quadLayout.assign(kTextureMemoryBytes / kTexturePageBytes, 0);
        t.pageFormat.assign(kTextureMemoryBytes / kTexturePageBytes, -1);
    }
}

void resetState(BoardState& s) {
    s = BoardState{};
    s.colorFunction = GR_COMBINE_FUNCTION_SCALE_OTHER;
    s.colorFactor = GR_COMBINE_FACTOR_ONE;
    s.colorLocal = GR_COMBINE_LOCAL_ITERATED;
    s.colorOther = GR_COMBINE_OTHER_ITERATED;
    s.alphaFunction = GR_COMBINE_FUNCTION_SCALE_OTHER;
    s.alphaFactor = GR_COMBINE_FACTOR_ONE;
    s.alphaLocal = GR_COMBINE_LOCAL_CONSTANT;
    s.alphaOther = GR_COMBINE_OTHER_CONSTANT;
    s.texRgbFunction = GR_COMBINE_FUNCTION_ZERO;
    s.texRgbFactor = GR_COMBINE_FACTOR_ZERO;
    s.texAlphaFunction = GR_COMBINE_FUNCTION_ZERO;
    s.texAlphaFactor = GR_COMBINE_FACTOR_ZERO;
    s.blendRgbSrc = GR_BLEND_ONE;
    s.blendRgbDst = GR_BLEND_ZERO;
    s.blendAlphaSrc = GR_BLEND_ONE;
    s.blendAlphaDst = GR_BLEND_ZERO;
    s.alphaTestFunction = GR_CMP_ALWAYS;
    s.alphaReference = 0;
    s.constantColor = 0xFFFFFFFFu;
    s.ditherMode = GR_DITHER_4x4;
    s.cullMode = GR_CULL_DISABLE;
    s.depthMode = GR_DEPTHBUFFER_DISABLE;
    s.depthFunction = GR_CMP_LESS;
    s.depthMask = false;
    s.fogMode = GR_FOG_DISABLE;
    s.fogColor = 0;
    s.clipMinX = 0;
    s.clipMinY = 0;
    s.clipMaxX = kScreenWidth;
    s.clipMaxY = kScreenHeight;
    s.mipMapMode = GR_MIPMAP_DISABLE;
    s.minFilter = GR_TEXTUREFILTER_POINT_SAMPLED;
    s.magFilter = GR_TEXTUREFILTER_POINT_SAMPLED;
    s.clampS = GR_TEXTURECLAMP_CLAMP;
    s.clampT = GR_TEXTURECLAMP_CLAMP;
    s.textureValid = false;
    s.textureSmallLod = GR_LOD_1;
    s.textureLargeLod = GR_LOD_1;
    s.textureAspect = GR_ASPECT_1x1;
    s.textureFormat = GR_TEXFMT_RGB_565;
}

}  // namespace glide

using namespace glide;

// ---- Life cycle -------------------------------------------------------------------------

void grGlideInit() {
    Board& b = board();
    ensureAllocated();
    b.trianglesProcessed = 0;
    b.trianglesDrawn = 0;
    resetState(editState());
    rebuildFogLookup();
}

// Finishes queued drawing and stops the worker threads; later draws run on the caller's
// thread until the display is opened again.
void grGlideShutdown() {
    stopWorkers();
}

FxBool grSstQueryHardware(GrHwConfiguration* hw) {
    if (hw == nullptr) return FXFALSE;
    *hw = GrHwConfiguration{};
    hw->num_sst = 1;
    GrVoodooConfig_t& v = hw->SSTs[0].voodooConfig;
    hw->SSTs[0].type = GR_SSTTYPE_VOODOO;
    v.fbRam = 2;
    v.fbiRev = 2;
    v.nTexelfx = 1;
    v.sliDetect = FXFALSE;
    v.tmuConfig[0].tmuRev = 1;
    v.tmuConfig[0].tmuRam = int(kTextureMemoryBytes >> 20);
    return FXTRUE;
}

void grSstSelect(int) {}

FxBool grSstWinOpen(FxU32, GrScreenResolution_t resolution, GrScreenRefresh_t, GrColorFormat_t,
                    GrOriginLocation_t, int, int) {
    if (resolution != GR_RESOLUTION_640x480) return FXFALSE;
    Board& b = board();
    finishDrawing();
    ensureAllocated();
    resetState(editState());
    rebuildFogLookup();
    FrameBuffer& f = b.frame;
    const size_t plane = size_t(f.stride) * size_t(f.height);
    std::fill(f.color[0], f.color[0] + plane, uint16_t(0));
    std::fill(f.color[1], f.color[1] + plane, uint16_t(0));
    std::fill(f.depth, f.depth + plane, uint16_t(0xFFFF));
    startWorkers();
    return FXTRUE;
}

FxBool grSstControl(FxU32) {
    return FXTRUE;
}

// ---- Frame ------------------------------------------------------------------------------

void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
    BoardState& s = editState();
    const FrameBuffer& f = board().frame;
    const FxU32 w = FxU32(f.width > 0 ? f.width : kScreenWidth);
    const FxU32 h = FxU32(f.height > 0 ? f.height : kScreenHeight);
    s.clipMinX = int(std::min(minx, w));
    s.clipMinY = int(std::min(miny, h));
    s.clipMaxX = int(std::min(maxx, w));
    s.clipMaxY = int(std::min(maxy, h));
}

void grBufferClear(GrColor_t color, GrAlpha_t, FxU16 depth) {
    Board& b = board();
    FrameBuffer& f = b.frame;
    if (f.color[0] == nullptr || b.skipRasterisation) return;
    const BoardState& s = b.state;
    const int r = int(color >> 16) & 0xFF, g = int(color >> 8) & 0xFF, bl = int(color) & 0xFF;
    const uint16_t pixel = uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3));
    const bool clearDepth = s.depthMode != GR_DEPTHBUFFER_DISABLE && s.depthMask;
    ClearRegion region{};
    region.color = f.back();
    region.depth = clearDepth ? f.depth : nullptr;
    region.stride = f.stride;
    region.minX = s.clipMinX;
    region.minY = s.clipMinY;
    region.maxX = s.clipMaxX;
    region.maxY = s.clipMaxY;
    region.pixel = pixel;
    region.depthValue = depth;
    // With workers, each clears its own bands in turn with the draws around it.
    if (drawingOnWorkers()) {
        queueClear(region);
    } else {
        clearRows(region, region.minY, region.maxY);
    }
}

void grBufferSwap(int) {
    Board& b = board();
    FrameBuffer& f = b.frame;
    if (f.color[0] == nullptr) return;
    finishDrawing();
    f.front ^= 1;
    ++b.stats.swaps;
    if (b.presenter != nullptr) {
        b.pending.fetch_add(1, std::memory_order_acq_rel);
        b.presenter(b.presenterContext, f.color[f.front], f.width, f.height, f.stride * 2);
    }
}

int grBufferNumPending() {
    return board().pending.load(std::memory_order_acquire);
}

void glideSetPresenter(GlidePresentFunction present, void* context) {
    Board& b = board();
    b.presenter = present;
    b.presenterContext = context;
}

void glidePresentComplete() {
    // Never below zero, even if a presenter completes a frame twice.
    std::atomic<int>& pending = board().pending;
    int value = pending.load(std::memory_order_acquire);
    while (value > 0 &&
           !pending.compare_exchange_weak(value, value - 1, std::memory_order_acq_rel)) {
    }
}

// ---- Read-back --------------------------------------------------------------------------

FxBool grLfbReadRegion(GrBuffer_t src, FxU32 x, FxU32 y, FxU32 w, FxU32 h, FxU32 strideBytes,
                       void* dst) {
    const FrameBuffer& f = board().frame;
    if (f.color[0] == nullptr || dst == nullptr) return FXFALSE;
    finishDrawing();
    const uint16_t* buffer = nullptr;
    if (src == GR_BUFFER_FRONTBUFFER) buffer = f.color[f.front];
    if (src == GR_BUFFER_BACKBUFFER) buffer = f.back();
    if (src == GR_BUFFER_AUXBUFFER) buffer = f.depth;
    if (buffer == nullptr) return FXFALSE;
    // The whole rectangle must lie in the buffer and the rows must not overlap.
    if (uint64_t(x) + w > uint64_t(f.width) || uint64_t(y) + h > uint64_t(f.height)) return FXFALSE;
    if (uint64_t(strideBytes) < uint64_t(w) * 2) return FXFALSE;
    auto* out = static_cast<uint8_t*>(dst);
    for (FxU32 row = 0; row < h; ++row) {
        std::memcpy(out + size_t(row) * strideBytes, buffer + size_t(y + row) * f.stride + x,
                    size_t(w) * 2);
    }
    return FXTRUE;
}

// ---- Render state -----------------------------------------------------------------------

void grCullMode(GrCullMode_t mode) {
    editState().cullMode = mode;
}
void grDepthBufferMode(GrDepthBufferMode_t mode) {
    editState().depthMode = mode;
}
void grDepthBufferFunction(GrCmpFnc_t function) {
    editState().depthFunction = function;
}
void grDepthMask(FxBool enable) {
    editState().depthMask = enable != 0;
}

void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
    BoardState& s = editState();
    s.colorFunction = function;
    s.colorFactor = factor;
    s.colorLocal = local;
    s.colorOther = other;
    s.colorInvert = invert != 0;
}

void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
    BoardState& s = editState();
    s.alphaFunction = function;
    s.alphaFactor = factor;
    s.alphaLocal = local;
    s.alphaOther = other;
    s.alphaInvert = invert != 0;
}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst,
                          GrAlphaBlendFnc_t alphaSrc, GrAlphaBlendFnc_t alphaDst) {
    BoardState& s = editState();
    s.blendRgbSrc = rgbSrc;
    s.blendRgbDst = rgbDst;
    s.blendAlphaSrc = alphaSrc;
    s.blendAlphaDst = alphaDst;
}

void grAlphaTestFunction(GrCmpFnc_t function) {
    editState().alphaTestFunction = function;
}
void grAlphaTestReferenceValue(GrAlpha_t value) {
    editState().alphaReference = value;
}
void grConstantColorValue(GrColor_t color) {
    editState().constantColor = color;
}
void grDitherMode(GrDitherMode_t mode) {
    editState().ditherMode = mode;
}

void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgbFn, GrCombineFactor_t rgbFactor,
                  GrCombineFunction_t alphaFn, GrCombineFactor_t alphaFactor, FxBool rgbInvert,
                  FxBool alphaInvert) {
    if (tmu != GR_TMU0) return;
    BoardState& s = editState();
    s.texRgbFunction = rgbFn;
    s.texRgbFactor = rgbFactor;
    s.texAlphaFunction = alphaFn;
    s.texAlphaFactor = alphaFactor;
    s.texRgbInvert = rgbInvert != 0;
    s.texAlphaInvert = alphaInvert != 0;
}

void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool) {
    if (tmu == GR_TMU0) editState().mipMapMode = mode;
}

void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minFilter,
                     GrTextureFilterMode_t magFilter) {
    if (tmu != GR_TMU0) return;
    editState().minFilter = minFilter;
    editState().magFilter = magFilter;
}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t sClamp, GrTextureClampMode_t tClamp) {
    if (tmu != GR_TMU0) return;
    editState().clampS = sClamp;
    editState().clampT = tClamp;
}

// ---- Fog state --------------------------------------------------------------------------

void grFogMode(GrFogMode_t mode) {
    editState().fogMode = mode;
}
void grFogColorValue(GrColor_t color) {
    editState().fogColor = color;
}

void grFogTable(const GrFog_t table[GR_FOG_TABLE_SIZE]) {
    if (table == nullptr) return;
    std::memcpy(editState().fogTable, table, GR_FOG_TABLE_SIZE);
    rebuildFogLookup();
}

// ---- Statistics -------------------------------------------------------------------------

void grResetTriStats() {
    board().trianglesProcessed = 0;
    board().trianglesDrawn = 0;
}

void grTriStats(FxU32* processed, FxU32* drawn) {
    if (processed != nullptr) *processed = board().trianglesProcessed;
    if (drawn != nullptr) *drawn = board().trianglesDrawn;
}

BoardStats boardStats() {
    finishDrawing();  // the workers' pixel counts
    return board().stats;
}

// ---- Debug access -----------------------------------------------------------------------

void boardUseGenericPath(bool on) {
    board().genericOnly = on;
}
void boardSkipRasterisation(bool on) {
    board().skipRasterisation = on;
}
int boardWidth() {
    return board().frame.width;
}
int boardHeight() {
    return board().frame.height;
}
int boardStride() {
    return board().frame.stride;
}

const uint16_t* boardBuffer(GrBuffer_t buffer) {
    const FrameBuffer& f = board().frame;
    if (f.color[0] == nullptr) return nullptr;
    finishDrawing();
    if (buffer == GR_BUFFER_FRONTBUFFER) return f.color[f.front];
    if (buffer == GR_BUFFER_BACKBUFFER) return f.back();
    if (buffer == GR_BUFFER_AUXBUFFER) return f.depth;
    return nullptr;
}
