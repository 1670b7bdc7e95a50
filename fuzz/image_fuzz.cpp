// Fuzz target: image file bytes to texels and mip-maps.
//
// Input: four header bytes, then the image file's bytes (any length, so short files are
// covered).
//   byte 0: bit 0 picks ".raw" or ".256"; bit 1 builds the mip-map chain
//   byte 1: depth mode (value mod 3)
//   byte 2: width = height = 2 << (value mod 8), 2..256
//   byte 3: TransColor = the byte as signed, times 3 (reaches both sides of 0..255)
// The texel buffer is allocated to the exact chain size, so any write past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "textures/image_files.h"
#include "textures/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    ImageKind kind = (data[0] & 1) ? ImageKind::kPaletted : ImageKind::kRaw;
    bool mipmap = (data[0] & 2) != 0;
    uint16_t depthMode = static_cast<uint16_t>(data[1] % 3);
    int width = 2 << (data[2] % 8);
    int32_t transColor = static_cast<int8_t>(data[3]) * 3;
    const uint8_t* file = data + 4;
    size_t fileSize = size - 4;

    size_t level0 = static_cast<size_t>(width) * width * texelBytes(depthMode);
    std::vector<uint8_t> pixels(chainBytes(width, depthMode, mipmap), 0xA5);
    size_t taken =
        convertImage(kind, file, fileSize, width, width, depthMode, transColor, pixels.data());

    // Every texel the file does not hold is zero.
    size_t complete = kind == ImageKind::kRaw
                          ? fileSize / 3
                          : (fileSize > kPaletteBytes ? fileSize - kPaletteBytes : 0);
    size_t count = static_cast<size_t>(width) * width;
    if (taken != (complete < count ? complete : count)) std::abort();
    for (size_t i = taken * texelBytes(depthMode); i < level0; ++i) {
        if (pixels[i] != 0) std::abort();
    }
    // ".raw" texels are opaque in ARGB 1-5-5-5.
    if (kind == ImageKind::kRaw && depthMode == kDepthArgb1555) {
        for (size_t i = 0; i < taken; ++i) {
            if ((pixels[2 * i + 1] & 0x80) == 0) std::abort();
        }
    }
    if (mipmap) buildMipMaps(pixels.data(), width, depthMode);
    return 0;
}
