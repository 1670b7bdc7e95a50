// Textures: the "Texture" entries of a demo description, loaded into main memory.
//
// A `Texture` is a square 16-bit or 8-bit board texture with its whole mip-map chain,
// largest level first, in `pixels`. It is loaded once, before the display opens, and
// downloaded to the board by the texture memory manager the first time a view draws it.
// Anyone who rewrites `pixels` afterwards (image-effect brains, view captures) sets
// `dirty` so that the next use downloads it again.
//
// Only widths of 64, 128 and 256 texels with height equal to width are accepted: those
// are the block sizes of the board's texture memory. A texture of any other size is
// refused: `loadTexture` returns false and `LoadTextures` does not list it, so a material,
// sky box or brain naming it finds no texture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/named_list.h"
#include "glide/glide.h"

struct ParseNode;
struct TextureBlock;  // a block of the board's texture memory

// Bits of `Texture::flags`, one per "Flags" word.
inline constexpr uint16_t kTextureMipmap = 0x01;       // "Mipmap": chain down to 2x2
inline constexpr uint16_t kTextureWrap = 0x02;         // "Wrap": repeat, else clamp
inline constexpr uint16_t kTextureBilinear = 0x04;     // "Bilinear", else point sampling
inline constexpr uint16_t kTextureTransparent = 0x08;  // "Transparent": 1-bit alpha, alpha test
inline constexpr uint16_t kTextureAlphaMap = 0x10;     // "AlphaMap": 8-bit alpha, blending
inline constexpr uint16_t kTextureDither = 0x20;       // "Dither"

// Values of `Texture::depthMode`: the texel format.
inline constexpr uint16_t kDepthRgb565 = 0;    // 16-bit RGB 5-6-5
inline constexpr uint16_t kDepthArgb1555 = 1;  // 16-bit ARGB 1-5-5-5
inline constexpr uint16_t kDepthAlpha8 = 2;    // 8-bit alpha

class Texture {
  public:
    Texture();
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Reads a "Texture" entry: its keys, the image file, the mip-maps. Returns false when
    // the texture is refused (a size the board's texture memory cannot hold); it then
    // keeps a small valid buffer of zero texels and must not be drawn. Every problem is
    // reported on the console with the entry's name; texels that could not be read are 0.
    bool loadTexture(const ParseNode* entry);

    std::string name;   // the entry's label
    int32_t width = 0;  // texels
    int32_t height = 0;
    uint16_t depthMode = kDepthRgb565;
    uint16_t flags = 0;
    std::unique_ptr<uint8_t[]> auxPixels;   // a second buffer brains may attach
    uint32_t memorySize = 0;                // bytes of the whole chain in `pixels`
    std::unique_ptr<uint8_t[]> pixels;      // every mip level, largest first
    uint8_t dirty = 1;                      // 1: the board copy is missing or stale
    TextureBlock* residentBlock = nullptr;  // where the board holds it, or null
    GrTexInfo info;                         // the board's description; data = pixels
};

// Loads every top-level "Texture" entry from `root` onwards, in file order, and pushes
// each accepted texture at the head of `textures` under its name (the key points into
// `Texture::name`, which therefore stays unchanged). Refused textures are destroyed and
// not listed. The list's owner destroys the listed textures.
void LoadTextures(const ParseNode* root, NamedList<Texture>& textures);
