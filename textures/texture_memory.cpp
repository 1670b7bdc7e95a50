// The board's texture memory manager (a quad-tree of blocks reused least recently used
// first) and the cached texture render-state word.
#include "textures/texture_memory.h"

#include <algorithm>
#include <cassert>
#include <climits>

#include "app/console.h"
#include "glide/glide.h"
#include "textures/texture.h"

namespace {

constexpr int32_t kTopBlockWidth = 256;

// Block sizes per level, for blockBytes: full RGB 5-6-5 chains down to 2x2.
constexpr GrLOD_t kLevelLods[TextureMemory::kMaxLevels] = {GR_LOD_256, GR_LOD_128, GR_LOD_64,
                                                           GR_LOD_32};

// The smaller-stamped of two candidates; the first wins ties; either may be null.
TextureBlock* older(TextureBlock* best, TextureBlock* candidate) {
    if (candidate == nullptr) return best;
    if (best == nullptr || candidate->stamp < best->stamp) return candidate;
    return best;
}

}  // namespace

// ---- Construction -----------------------------------------------------------------------

TextureMemory::TextureMemory(int32_t rootCount, int32_t levelCount) {
    clock = 0;
    baseAddress = grTexMinAddress(GR_TMU0);
    for (int32_t level = 0; level < kMaxLevels; ++level) {
        blockBytes[level] =
            grTexCalcMemRequired(GR_LOD_2, kLevelLods[level], GR_ASPECT_1x1, GR_TEXFMT_RGB_565);
    }
    this->levelCount = std::clamp(levelCount, int32_t(1), kMaxLevels);
    if (this->levelCount != levelCount) {
        trace("TextureMemory: %d block levels asked for, %d built\n", levelCount, this->levelCount);
    }

    // grTexMaxAddress is the last address a smallest (8-byte) download may start at, so the
    // memory ends 8 bytes above it.
    const uint64_t memoryEnd = uint64_t(grTexMaxAddress(GR_TMU0)) + 8;
    const uint64_t room = memoryEnd > baseAddress ? memoryEnd - baseAddress : 0;
    const uint64_t fitting = blockBytes[0] > 0 ? room / blockBytes[0] : 0;
    const int32_t wanted = std::max(rootCount, int32_t(1));
    this->rootCount = int32_t(std::clamp(fitting, uint64_t(1), uint64_t(wanted)));
    if (this->rootCount != rootCount) {
        trace("TextureMemory: room for %d of %d blocks of %u bytes\n", this->rootCount, rootCount,
              blockBytes[0]);
    }

    // Levels lie one after another in one array; the children of block k of a level are
    // blocks 4k..4k+3 of the next.
    int32_t levelStart[kMaxLevels + 1] = {};
    int32_t levelBlocks = this->rootCount;
    for (int32_t level = 0; level < this->levelCount; ++level) {
        levelStart[level + 1] = levelStart[level] + levelBlocks;
        levelBlocks *= 4;
    }
    blockCount_ = levelStart[this->levelCount];
    blocks_ = std::make_unique<TextureBlock[]>(size_t(blockCount_));
    stampScratch_ = std::make_unique<int32_t[]>(size_t(blockCount_) + 2);
    roots = blocks_.get();

    for (int32_t i = 0; i < this->rootCount; ++i) {
        roots[i].size = kTopBlockWidth;
        roots[i].address = baseAddress + uint32_t(i) * blockBytes[0];
    }
    for (int32_t level = 0; level + 1 < this->levelCount; ++level) {
        assert(4 * uint64_t(blockBytes[level + 1]) <= blockBytes[level]);
        for (int32_t k = levelStart[level]; k < levelStart[level + 1]; ++k) {
            TextureBlock& block = blocks_[size_t(k)];
            block.children = &blocks_[size_t(levelStart[level + 1] + 4 * (k - levelStart[level]))];
            for (uint32_t j = 0; j < 4; ++j) {
                TextureBlock& child = block.children[j];
                child.parent = &block;
                child.size = block.size / 2;
                child.address = block.address + j * blockBytes[level + 1];
            }
        }
    }
}

TextureMemory::~TextureMemory() = default;

// ---- Placement --------------------------------------------------------------------------

int32_t TextureMemory::levelOfWidth(int32_t width) const {
    for (int32_t level = 0; level < levelCount; ++level) {
        if (width == kTopBlockWidth >> level) return level;
    }
    return -1;
}

bool TextureMemory::canHold(const Texture* texture) const {
    if (texture == nullptr) return false;
    const int32_t level = levelOfWidth(texture->width);
    if (level < 0) {
        trace("TextureMemory: texture %s is %d texels wide, which no block holds\n",
              texture->name.c_str(), texture->width);
        return false;
    }
    GrTexInfo info = texture->info;
    const uint32_t bytes = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    if (info.data == nullptr || bytes == 0 || bytes > blockBytes[level]) {
        trace("TextureMemory: texture %s needs %u bytes, a block of its width has %u\n",
              texture->name.c_str(), bytes, blockBytes[level]);
        return false;
    }
    return true;
}

TextureBlock* TextureMemory::findLeaf(TextureBlock* blocks, int32_t count, int32_t width) {
    if (blocks == nullptr || count <= 0) return nullptr;
    TextureBlock* best = nullptr;
    if (blocks[0].size > width) {
        for (int32_t i = 0; i < count; ++i) {
            if (blocks[i].split && blocks[i].children != nullptr) {
                best = older(best, findLeaf(blocks[i].children, 4, width));
            }
        }
    } else {
        for (int32_t i = 0; i < count; ++i) {
            if (!blocks[i].split) best = older(best, &blocks[i]);
        }
    }
    return best;
}

TextureBlock* TextureMemory::findSplittable(TextureBlock* blocks, int32_t count, int32_t width) {
    if (blocks == nullptr || count <= 0) return nullptr;
    TextureBlock* best = nullptr;
    const bool matching = blocks[0].size == width;
    for (int32_t i = 0; i < count; ++i) {
        TextureBlock& block = blocks[i];
        if (matching) {
            if (block.split) best = older(best, &block);
        } else if (!block.split) {
            best = older(best, &block);
        } else if (block.children != nullptr) {
            best = older(best, findSplittable(block.children, 4, width));
        }
    }
    return best;
}

void TextureMemory::empty(TextureBlock& block) {
    if (block.children != nullptr) {
        for (int32_t j = 0; j < 4; ++j) empty(block.children[j]);
    }
    block.split = 0;
    if (block.texture != nullptr) {
        block.texture->residentBlock = nullptr;
        block.texture = nullptr;
        ++stats.evictions;
    }
}

void TextureMemory::download(Texture& texture, const TextureBlock& block) {
    grTexDownloadMipMap(GR_TMU0, block.address, GR_MIPMAPLEVELMASK_BOTH, &texture.info);
    ++stats.downloads;
    stats.bytesDownloaded += grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &texture.info);
    texture.dirty = 0;
}

bool TextureMemory::makeResident(Texture* texture) {
    if (!canHold(texture)) return false;
    if (texture->residentBlock != nullptr) {
        if (texture->dirty) download(*texture, *texture->residentBlock);
        return true;
    }
    const int32_t width = texture->width;

    // A never-used block of the right size is taken at once; otherwise an older larger
    // block (to split) or split block of this size (to merge) beats the oldest leaf.
    TextureBlock* block = findLeaf(roots, rootCount, width);
    const int32_t age = block != nullptr ? block->stamp : INT32_MAX;
    if (age > 0) {
        TextureBlock* splittable = findSplittable(roots, rootCount, width);
        if (splittable != nullptr && splittable->stamp < age) block = splittable;
    }
    if (block == nullptr) return false;  // a valid width always finds a block

    empty(*block);
    while (block->size != width && block->children != nullptr) {
        block->split = 1;
        block = &block->children[0];
    }
    assert(block->size == width);
    block->split = 0;
    block->texture = texture;
    texture->residentBlock = block;

    trace("DownloadTexture (%s)->$%x\n", texture->name.c_str(), block->address);
    download(*texture, *block);
    stampPath(*block, advanceClock(1));
    return true;
}

bool TextureMemory::bindTexture(Texture* texture, int32_t weight) {
    if (!canHold(texture)) return false;
    TextureBlock* block = texture->residentBlock;
    if (block != nullptr) {
        if (texture->dirty) download(*texture, *block);
        // The block is stamped `weight` ahead of the clock: a texture drawn with many
        // polygons counts as recently used until as many more have been drawn with others.
        // Stamping with the clock alone would rank blocks by the order of their last use
        // only, whatever the weights.
        const int32_t credit = std::clamp(weight, int32_t(0), kMaxWeight);
        stampPath(*block, advanceClock(credit) + credit);
    } else if (!makeResident(texture)) {
        return false;
    }
    grTexSource(GR_TMU0, texture->residentBlock->address, GR_MIPMAPLEVELMASK_BOTH, &texture->info);
    return true;
}

// ---- Usage clock ------------------------------------------------------------------------

// Advances the clock by `weight` (0..kMaxWeight) and returns it. Room is kept for a stamp
// `weight` ahead of the new clock; when the int32 range would be left, the stamps are
// renumbered first.
int32_t TextureMemory::advanceClock(int32_t weight) {
    if (weight > (INT32_MAX - clock) / 2) renormaliseStamps();
    clock += weight;
    return clock;
}

// The leaf takes the stamp; every block above it keeps the newest stamp of its subtree.
void TextureMemory::stampPath(TextureBlock& block, int32_t stamp) {
    block.stamp = stamp;
    for (TextureBlock* up = block.parent; up != nullptr; up = up->parent) {
        up->stamp = std::max(up->stamp, stamp);
    }
}

// Replaces every stamp and the clock by its rank among the distinct values (0 stays 0,
// "never used"). Every choice depends only on the order of stamps, which is kept; the
// clock then starts again from at most the number of blocks plus one.
void TextureMemory::renormaliseStamps() {
    int32_t* values = stampScratch_.get();
    int32_t n = 0;
    values[n++] = 0;
    values[n++] = clock;
    for (int32_t i = 0; i < blockCount_; ++i) values[n++] = blocks_[size_t(i)].stamp;
    std::sort(values, values + n);
    int32_t* end = std::unique(values, values + n);
    auto rank = [values, end](int32_t v) {
        return int32_t(std::lower_bound(values, end, v) - values);
    };
    for (int32_t i = 0; i < blockCount_; ++i) {
        blocks_[size_t(i)].stamp = rank(blocks_[size_t(i)].stamp);
    }
    clock = rank(clock);
    trace("TextureMemory: usage clock renumbered, now %d\n", clock);
}

// ---- Texture render state ---------------------------------------------------------------

namespace {

// The board calls of one state bit, set or clear, in the order they are sent.
struct StateBitCalls {
    uint16_t bit;
    void (*send)(bool on);
};

constexpr StateBitCalls kStateBitCalls[] = {
    {kTextureBilinear,
     [](bool on) {
         const GrTextureFilterMode_t f =
             on ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
         grTexFilterMode(GR_TMU0, f, f);
     }},
    {kTextureWrap,
     [](bool on) {
         const GrTextureClampMode_t c = on ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP;
         grTexClampMode(GR_TMU0, c, c);
     }},
    {kTextureTransparent,
     [](bool on) { grAlphaTestFunction(on ? GR_CMP_GREATER : GR_CMP_ALWAYS); }},
    {kTextureAlphaMap,
     [](bool on) {
         if (on) {
             grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE,
                                  GR_BLEND_ZERO);
         } else {
             grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
         }
         grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER,
                        on ? GR_COMBINE_FACTOR_LOCAL : GR_COMBINE_FACTOR_ONE,
                        GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
         grDepthMask(on ? FXFALSE : FXTRUE);
     }},
    {kTextureDither, [](bool on) { grDitherMode(on ? GR_DITHER_4x4 : GR_DITHER_DISABLE); }},
};

}  // namespace

void TextureRenderState::reset() {
    word = 0xFFFF;
    setRenderState(0, 0xFFFF);
}

void TextureRenderState::setRenderState(uint32_t bits, uint32_t mask) {
    const uint16_t changed = uint16_t(mask & (bits ^ word) & 0xFFFF);
    if (changed == 0) return;
    word = uint16_t(word ^ changed);
    for (const StateBitCalls& calls : kStateBitCalls) {
        if (changed & calls.bit) calls.send((word & calls.bit) != 0);
    }
}
