// Texture entries: keys, sizing, reading the image file, mip-maps.
#include "textures/texture.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/console.h"
#include "app/files.h"
#include "scene_lang/parse_tree.h"
#include "textures/image_files.h"

namespace {

struct FlagWord {
    const char* word;
    uint16_t bit;
};
constexpr FlagWord kFlagWords[] = {
    {"Mipmap", kTextureMipmap},     {"Wrap", kTextureWrap},
    {"Bilinear", kTextureBilinear}, {"Transparent", kTextureTransparent},
    {"AlphaMap", kTextureAlphaMap}, {"Dither", kTextureDither},
};

struct LodOfWidth {
    int32_t width;
    GrLOD_t lod;
};
constexpr LodOfWidth kLods[] = {{256, GR_LOD_256}, {128, GR_LOD_128}, {64, GR_LOD_64}};

constexpr GrTextureFormat_t kFormats[] = {GR_TEXFMT_RGB_565, GR_TEXFMT_ARGB_1555,
                                          GR_TEXFMT_ALPHA_8};

// A loader problem, shown on the console: names the texture entry and says what the
// engine does about it.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    consoleWrite(text);
}

int32_t intOf(const ParseNode* entry, const char* key) {
    const ParseNode* node = child(entry, key);
    return node != nullptr ? node->intValue : 0;
}

uint16_t depthModeOf(uint16_t flags) {
    if (flags & kTextureTransparent) return kDepthArgb1555;
    if (flags & kTextureAlphaMap) return kDepthAlpha8;
    return kDepthRgb565;
}

bool supportedSize(int32_t width, int32_t height) {
    if (width != height) return false;
    for (const LodOfWidth& l : kLods) {
        if (l.width == width) return true;
    }
    return false;
}

}  // namespace

Texture::Texture() : info{GR_LOD_2, GR_LOD_2, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr} {}

Texture::~Texture() = default;

bool Texture::loadTexture(const ParseNode* entry) {
    name = entry != nullptr && entry->text != nullptr ? entry->text : "";
    const char* label = name.c_str();
    width = intOf(entry, "Width");
    height = intOf(entry, "Height");
    flags = 0;
    if (const ParseNode* words = child(entry, "Flags")) {
        for (const ParseValue* v = words->valuesHead; v != nullptr; v = v->next) {
            const char* word = v->text != nullptr ? v->text : "";
            bool known = false;
            for (const FlagWord& f : kFlagWords) {
                if (std::strcmp(word, f.word) == 0) {
                    flags |= f.bit;
                    known = true;
                }
            }
            if (!known) trace("Unknown Texture Flag '%s'\n", word);
        }
    }
    (void)intOf(entry, "Depth");  // read and ignored: the flags choose the texel format
    int32_t transColor = intOf(entry, "TransColor");
    const ParseNode* fileNode = child(entry, "FileName");
    const char* fileName = fileNode != nullptr ? fileNode->text : nullptr;

    depthMode = depthModeOf(flags);
    bool accepted = supportedSize(width, height);
    info.format = kFormats[depthMode];
    info.aspectRatio = GR_ASPECT_1x1;
    info.largeLod = GR_LOD_2;
    for (const LodOfWidth& l : kLods) {
        if (accepted && l.width == width) info.largeLod = l.lod;
    }
    info.smallLod = (flags & kTextureMipmap) ? GR_LOD_2 : info.largeLod;
    memorySize = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    // The chain as this loader lays it out; never less than the board's size, so that
    // neither the download nor the mip-map build can leave the buffer.
    size_t chain = chainBytes(accepted ? width : 2, depthMode, (flags & kTextureMipmap) != 0);
    size_t allocated = chain > memorySize ? chain : memorySize;
    pixels.reset(new uint8_t[allocated]());  // zero: texels never read stay black
    info.data = pixels.get();
    dirty = 1;

    if (!accepted) {
        report(
            "Texture \"%s\": size %dx%d is not supported (64x64, 128x128 or 256x256); "
            "the texture is left out\n",
            label, width, height);
        return false;
    }

    ImageKind kind = imageKindOf(fileName);
    if (fileName == nullptr) {
        report("Texture \"%s\": no FileName; its texels are black\n", label);
    } else if (kind == ImageKind::kNone) {
        // Not an image file the engine reads (capture textures name no real file).
        trace("Texture %s: %s is not read\n", label, fileName);
    } else {
        if (kind == ImageKind::kPaletted && depthMode == kDepthArgb1555 &&
            (transColor < 0 || transColor > 255)) {
            report(
                "Texture \"%s\": TransColor %d is not a palette index (0..255); no "
                "colour is transparent\n",
                label, transColor);
        }
        size_t wanted = imageFileBytes(kind, width, height);
        std::vector<uint8_t> file(wanted);
        size_t got = 0;
        if (!readFilePart(fileName, 0, wanted, file.data(), &got)) {
            report("Texture \"%s\": cannot open image file \"%s\"; its texels are black\n", label,
                   fileName);
        } else if (got < wanted) {
            report(
                "Texture \"%s\": image file \"%s\" holds %zu of %zu bytes; the missing "
                "texels are black\n",
                label, fileName, got, wanted);
        }
        convertImage(kind, file.data(), got, width, height, depthMode, transColor, pixels.get());
    }

    if (flags & kTextureMipmap) buildMipMaps(pixels.get(), width, depthMode);
    return true;
}

void LoadTextures(const ParseNode* root, NamedList<Texture>& textures) {
    trace("LoadTextures()\n");
    for (const ParseNode* entry = findFrom(root, "Texture"); entry != nullptr;
         entry = findFrom(entry->next, "Texture")) {
        Texture* texture = new Texture;
        if (texture->loadTexture(entry)) {
            textures.insert(texture->name.c_str(), texture);
        } else {
            delete texture;
        }
    }
}
