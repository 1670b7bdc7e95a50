// The image files a texture is read from, their conversion into board texels, and the
// box-filter mip-map chain. Private to textures/: callers use texture.h.
//
// Two headerless formats:
//   ".raw"  width x height texels of 3 bytes (red, green, blue), row by row;
//   ".256"  a 1024-byte palette (4 bytes per entry: unused, red, green, blue), then
//           width x height one-byte palette indices, row by row.
// The first stored row becomes the first row of the texture. 16-bit texels are stored in
// the machine's byte order, as the board reads them.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ImageKind {
    kNone,      // any other file name: nothing is read
    kRaw,       // ".raw"
    kPaletted,  // ".256"
};

inline constexpr size_t kPaletteBytes = 1024;

// The kind chosen by the last four characters of the file name, compared without regard
// to case, ".256" first.
ImageKind imageKindOf(const char* fileName);

// Bytes a complete file of this kind holds for a width x height image.
size_t imageFileBytes(ImageKind kind, int width, int height);

// Bytes per texel of a depth mode (kDepthRgb565, kDepthArgb1555: 2; kDepthAlpha8: 1).
int texelBytes(uint16_t depthMode);

// Channel rounding from a byte, to nearest and capped: 5-bit and 6-bit values.
inline uint32_t toChannel5(uint32_t v) {
    uint32_t c = (v >> 3) + ((v >> 2) & 1);
    return c > 31 ? 31 : c;
}
inline uint32_t toChannel6(uint32_t v) {
    uint32_t c = (v >> 2) + ((v >> 1) & 1);
    return c > 63 ? 63 : c;
}

// The 8-bit alpha of a ".raw" texel: the integer part of its colour's length, which
// saturates at 255 (white would reach 441).
uint8_t rawAlpha(uint8_t r, uint8_t g, uint8_t b);

// Converts level 0 of a width x height texture from the bytes of its image file into
// `texels` (width x height x texelBytes bytes). `file` holds the first `fileSize` bytes of
// the file, which may be fewer than a complete file: every texel whose bytes are missing
// is 0, and palette entries that are missing are black. `transColor` is the palette index
// that becomes transparent in ARGB 1-5-5-5 (a value outside 0..255 matches no index).
// Returns the number of texels taken from the file. Nothing is written for kNone.
size_t convertImage(ImageKind kind, const uint8_t* file, size_t fileSize, int width, int height,
                    uint16_t depthMode, int32_t transColor, uint8_t* texels);

// Bytes of the levels width, width/2, ..., 2 back to back (square levels); with `mipmap`
// false only the first level.
size_t chainBytes(int width, uint16_t depthMode, bool mipmap);

// Builds levels 1.. of a square texture from level 0 at the start of `pixels`, each level
// directly after the one above, down to 2 x 2. Each texel is the rounded 2x2 box average
// of the level above, per channel (the ARGB 1-5-5-5 alpha bit too). `pixels` must hold
// chainBytes(width, depthMode, true) bytes; width must be a power of two.
void buildMipMaps(uint8_t* pixels, int width, uint16_t depthMode);
