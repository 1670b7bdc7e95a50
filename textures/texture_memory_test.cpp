// The texture memory manager against the software board: tree, placement, eviction,
// merging, weights, dirty downloads, refused textures, clock renumbering; and the texture
// render-state word's board calls.
#include "textures/texture_memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "glide/board.h"  // the board's state record and texture memory, read back here
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "textures/texture.h"

namespace {

// A square RGB 5-6-5 texture with a full mip-map chain whose every byte is `fill`.
std::unique_ptr<Texture> makeTexture(int32_t width, uint8_t fill) {
    auto t = std::make_unique<Texture>();
    t->name = "w";
    t->name += std::to_string(width);
    t->width = t->height = width;
    GrLOD_t lod = GR_LOD_2;
    for (GrLOD_t l = GR_LOD_256; l <= GR_LOD_32; ++l) {
        if (width == 256 >> l) lod = l;
    }
    t->info = {GR_LOD_2, lod, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    t->memorySize = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &t->info);
    t->pixels.reset(new uint8_t[t->memorySize]);
    std::memset(t->pixels.get(), fill, t->memorySize);
    t->info.data = t->pixels.get();
    return t;
}

class TextureMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        grGlideInit();
        ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                                 GR_ORIGIN_UPPER_LEFT, 2, 1));
    }
    Texture* add(int32_t width, uint8_t fill = 0x5A) {
        textures_.push_back(makeTexture(width, fill));
        return textures_.back().get();
    }
    // Places n new textures of one width, in turn.
    std::vector<Texture*> place(TextureMemory& memory, int n, int32_t width) {
        std::vector<Texture*> placed;
        for (int i = 0; i < n; ++i) {
            placed.push_back(add(width));
            EXPECT_TRUE(memory.makeResident(placed.back()));
        }
        return placed;
    }
    static uint32_t offset(const TextureMemory& memory, const Texture* t) {
        EXPECT_NE(t->residentBlock, nullptr);
        return t->residentBlock != nullptr ? t->residentBlock->address - memory.baseAddress : ~0u;
    }

    std::vector<std::unique_ptr<Texture>> textures_;  // outlive each test's memory
};

TEST_F(TextureMemoryTest, BuildsTheTreeTheBoardHasRoomFor) {
    struct Case {
        int32_t roots, levels;  // asked for
        int32_t builtRoots, builtLevels;
    };
    const Case cases[] = {{12, 3, 12, 3}, {13, 3, 12, 3}, {1000, 3, 12, 3}, {3, 3, 3, 3},
                          {0, 3, 1, 3},   {-5, 3, 1, 3},  {12, 1, 12, 1},   {12, 4, 12, 4},
                          {12, 9, 12, 4}, {12, 0, 12, 1}};
    const uint64_t memoryEnd = uint64_t(grTexMaxAddress(GR_TMU0)) + 8;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.roots << " roots, " << c.levels << " levels");
        TextureMemory memory(c.roots, c.levels);
        EXPECT_EQ(memory.clock, 0);
        ASSERT_EQ(memory.rootCount, c.builtRoots);
        ASSERT_EQ(memory.levelCount, c.builtLevels);
        // Full RGB 5-6-5 chains down to 2x2: (65536 + 16384 + ... + 4) x 2 bytes, and so on.
        EXPECT_EQ(memory.blockBytes[0], 174760u);
        EXPECT_EQ(memory.blockBytes[1], 43688u);
        EXPECT_EQ(memory.blockBytes[2], 10920u);
        EXPECT_EQ(memory.blockBytes[3], 2728u);
        int blocks = 0;
        auto check = [&](auto& self, const TextureBlock& b, const TextureBlock* parent, int level,
                         uint32_t address) -> void {
            ++blocks;
            EXPECT_EQ(b.parent, parent);
            EXPECT_EQ(b.size, 256 >> level);
            EXPECT_EQ(b.address, address);
            EXPECT_LE(b.address + uint64_t(memory.blockBytes[level]), memoryEnd);
            EXPECT_TRUE(b.split == 0 && b.stamp == 0 && b.texture == nullptr);
            ASSERT_EQ(b.children != nullptr, level + 1 < memory.levelCount);
            for (uint32_t j = 0; b.children != nullptr && j < 4; ++j) {
                self(self, b.children[j], &b, level + 1,
                     address + j * memory.blockBytes[level + 1]);
            }
        };
        for (int i = 0; i < memory.rootCount; ++i) {
            check(check, memory.roots[i], nullptr, 0,
                  memory.baseAddress + i * memory.blockBytes[0]);
        }
        EXPECT_EQ(blocks, memory.rootCount * ((1 << (2 * memory.levelCount)) - 1) / 3);
        // The smallest block size is accepted, half of it refused.
        const int32_t smallest = 256 >> (memory.levelCount - 1);
        EXPECT_TRUE(memory.makeResident(add(smallest)));
        EXPECT_FALSE(memory.makeResident(add(smallest / 2)));
    }
}

TEST_F(TextureMemoryTest, PlacesTexturesInTheOldestBlockOfTheirSize) {
    struct Offset {
        int b0, b1, b2;  // the address as multiples of blockBytes[0], [1], [2]
    };
    struct Case {
        const char* name;
        std::vector<int32_t> widths;
        std::vector<Offset> offsets;  // of each texture, once all are placed
    };
    const Case cases[] = {
        {"256 then 256: roots 0 and 1", {256, 256}, {{0, 0, 0}, {1, 0, 0}}},
        {"64 then 64: grandchildren 0 and 1 of root 0", {64, 64}, {{0, 0, 0}, {0, 0, 1}}},
        {"128 then 64: an unused 128 is split", {128, 64}, {{0, 0, 0}, {0, 1, 0}}},
        {"256 then 64: the unused root 1 is split", {256, 64}, {{0, 0, 0}, {1, 0, 0}}},
        {"128 and 64 share root 0", {128, 128, 64}, {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}}},
        {"five 64: the fifth splits child 1",
         {64, 64, 64, 64, 64},
         {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextureMemory memory;
        std::vector<Texture*> placed;
        for (int32_t w : c.widths) {
            placed.push_back(add(w));
            ASSERT_TRUE(memory.makeResident(placed.back()));
        }
        for (size_t i = 0; i < placed.size(); ++i) {
            const Offset& o = c.offsets[i];
            EXPECT_EQ(offset(memory, placed[i]), o.b0 * memory.blockBytes[0] +
                                                     o.b1 * memory.blockBytes[1] +
                                                     o.b2 * memory.blockBytes[2])
                << "texture " << i;
            EXPECT_EQ(placed[i]->residentBlock->texture, placed[i]);
            EXPECT_EQ(placed[i]->residentBlock->size, placed[i]->width);
            EXPECT_EQ(placed[i]->dirty, 0);
        }
        EXPECT_EQ(memory.clock, int32_t(c.widths.size()));
    }
    // A 64 texture on an empty manager splits root 0 and its child 0, and stamps its way up.
    TextureMemory memory;
    Texture* first = add(64);
    ASSERT_TRUE(memory.makeResident(first));
    const TextureBlock& root = memory.roots[0];
    EXPECT_EQ(first->residentBlock, &root.children[0].children[0]);
    EXPECT_TRUE(root.split && root.children[0].split && !root.children[1].split);
    EXPECT_EQ(std::tuple(root.stamp, root.children[0].stamp, first->residentBlock->stamp,
                         root.children[1].stamp, memory.roots[1].stamp),
              std::tuple(1, 1, 1, 0, 0));
}

TEST_F(TextureMemoryTest, ThirteenthTextureEvictsTheLeastRecentlyUsed) {
    struct Case {
        const char* name;
        std::vector<int> rebinds;  // indices bound again, in order, before the thirteenth
        int victim;
    };
    const Case cases[] = {
        {"no rebinding: the first placed", {}, 0},
        {"all rebound but 5", {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11}, 5},
        {"all rebound in order, then 0 again", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0}, 1},
        {"rebound backwards", {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextureMemory memory;
        std::vector<Texture*> placed = place(memory, 12, 256);
        for (int i : c.rebinds) EXPECT_TRUE(memory.bindTexture(placed[i], 1));
        Texture* thirteenth = add(256);
        ASSERT_TRUE(memory.makeResident(thirteenth));
        EXPECT_EQ(offset(memory, thirteenth), c.victim * memory.blockBytes[0]);
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(placed[i]->residentBlock == nullptr, i == c.victim) << i;
        }
        EXPECT_EQ(memory.stats.evictions, 1u);
        EXPECT_EQ(memory.stats.downloads, 13u);
    }
}

TEST_F(TextureMemoryTest, LargeTextureMergesTheOldestSplitBlock) {
    // Two 64 textures split root 0, eleven 256 textures fill roots 1..11; then one more 256.
    for (bool smallUsedSince : {false, true}) {
        SCOPED_TRACE(smallUsedSince ? "64s bound since: the oldest 256 goes" : "merged");
        TextureMemory memory;
        std::vector<Texture*> small = place(memory, 2, 64);
        std::vector<Texture*> large = place(memory, 11, 256);
        if (smallUsedSince) {
            for (Texture* t : small) EXPECT_TRUE(memory.bindTexture(t, 1));
        }
        Texture* last = add(256);
        ASSERT_TRUE(memory.makeResident(last));
        const TextureBlock& root0 = memory.roots[0];
        EXPECT_EQ(offset(memory, last), smallUsedSince ? memory.blockBytes[0] : 0u);
        for (Texture* t : small) EXPECT_EQ(t->residentBlock == nullptr, !smallUsedSince);
        EXPECT_EQ(large[0]->residentBlock == nullptr, smallUsedSince);
        EXPECT_EQ(root0.split, smallUsedSince ? 1 : 0);
        EXPECT_EQ(root0.children[0].split, smallUsedSince ? 1 : 0);
        EXPECT_EQ(root0.children[0].children[1].texture, smallUsedSince ? small[1] : nullptr);
        EXPECT_EQ(memory.stats.evictions, smallUsedSince ? 1u : 2u);
        // A merged block is split again for the next 64 texture.
        Texture* again = add(64);
        ASSERT_TRUE(memory.makeResident(again));
        EXPECT_EQ(again->residentBlock->size, 64);
    }
}

TEST_F(TextureMemoryTest, HeavilyDrawnTextureStaysResidentLonger) {
    // Two textures drawn for five frames, one with 100 polygons and one with 1, in either
    // order; then they are no longer drawn and new textures arrive one by one.
    for (bool heavyFirst : {true, false}) {
        SCOPED_TRACE(heavyFirst ? "heavy bound first" : "light bound first");
        TextureMemory memory;
        Texture* heavy = add(256);
        Texture* light = add(256);
        std::vector<Texture*> older = place(memory, 10, 256);
        for (int frame = 0; frame < 5; ++frame) {
            EXPECT_TRUE(memory.bindTexture(heavyFirst ? heavy : light, heavyFirst ? 100 : 1));
            EXPECT_TRUE(memory.bindTexture(heavyFirst ? light : heavy, heavyFirst ? 1 : 100));
        }
        int lightGone = 0, heavyGone = 0;
        for (int n = 1; n <= 300 && heavyGone == 0; ++n) {
            EXPECT_TRUE(memory.bindTexture(add(256), 1));
            if (lightGone == 0 && light->residentBlock == nullptr) lightGone = n;
            if (heavy->residentBlock == nullptr) heavyGone = n;
            if (n == 10) {
                for (Texture* t : older) EXPECT_EQ(t->residentBlock, nullptr);
            }
        }
        // The light one goes right after the ten older ones; the heavy one stays for about
        // a hundred more arrivals, as many as its polygons.
        EXPECT_GE(lightGone, 11);
        EXPECT_LE(lightGone, 12);
        EXPECT_GT(heavyGone, lightGone + 80);
    }
}

TEST_F(TextureMemoryTest, DirtyTextureIsDownloadedAgainIntoItsBlock) {
    TextureMemory memory;
    Texture* other = add(128, 0x11);
    Texture* texture = add(128, 0x22);
    ASSERT_TRUE(memory.bindTexture(other, 1));
    ASSERT_TRUE(memory.bindTexture(texture, 1));
    const TextureBlock* block = texture->residentBlock;
    auto boardHolds = [&](const TextureBlock* b, uint8_t value) {
        const uint8_t* bytes = glide::board().texture.raw.data() + b->address;
        for (uint32_t i = 0; i < texture->memorySize; ++i) {
            if (bytes[i] != value) return false;
        }
        return true;
    };
    struct Step {
        uint8_t fill;  // new texels, 0: unchanged
        bool dirty;
        uint8_t boardHolds;  // in the block afterwards
        uint64_t downloads;  // the manager's count afterwards
    };
    const Step steps[] = {
        {0, false, 0x22, 2}, {0x33, true, 0x33, 3}, {0x44, false, 0x33, 3}, {0, true, 0x44, 4}};
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "fill " << int(s.fill) << " dirty " << s.dirty);
        const uint64_t boardBefore = boardStats().textureDownloads;
        const uint64_t before = memory.stats.downloads;
        if (s.fill != 0) std::memset(texture->pixels.get(), s.fill, texture->memorySize);
        texture->dirty = s.dirty ? 1 : 0;
        ASSERT_TRUE(memory.bindTexture(other, 1));  // another texture selected in between
        ASSERT_TRUE(memory.bindTexture(texture, 1));
        EXPECT_EQ(texture->residentBlock, block);
        EXPECT_EQ(texture->dirty, 0);
        EXPECT_TRUE(boardHolds(block, s.boardHolds));
        EXPECT_TRUE(boardHolds(other->residentBlock, 0x11));
        EXPECT_TRUE(glide::board().state.textureValid);
        EXPECT_EQ(glide::board().state.textureStart, block->address);
        EXPECT_EQ(memory.stats.downloads, s.downloads);
        EXPECT_EQ(boardStats().textureDownloads - boardBefore, memory.stats.downloads - before);
    }
    EXPECT_EQ(memory.stats.bytesDownloaded, 4u * memory.blockBytes[1]);
}

TEST_F(TextureMemoryTest, RefusesTexturesNoBlockCanHold) {
    struct Case {
        const char* name;
        int32_t width;
        void (*spoil)(Texture&);
    };
    const Case cases[] = {
        {"width 0", 0, nullptr},
        {"width 32", 32, nullptr},
        {"width 100", 100, nullptr},
        {"width 512", 512, nullptr},
        {"negative width", -64, nullptr},
        {"no texels", 256, [](Texture& t) { t.info.data = nullptr; }},
        {"chain down to 1x1 is larger than the block", 256,
         [](Texture& t) { t.info.smallLod = GR_LOD_1; }},
        {"chain of a larger texture", 64, [](Texture& t) { t.info.largeLod = GR_LOD_128; }},
        {"invalid level of detail", 128, [](Texture& t) { t.info.largeLod = 12; }},
    };
    TextureMemory memory;
    Texture* resident = add(256);
    ASSERT_TRUE(memory.makeResident(resident));
    const uint64_t version = glide::board().stateVersion;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Texture* t = add(c.width);
        if (c.spoil != nullptr) c.spoil(*t);
        EXPECT_FALSE(memory.makeResident(t));
        EXPECT_FALSE(memory.bindTexture(t, 5));
        EXPECT_EQ(t->residentBlock, nullptr);
    }
    EXPECT_FALSE(memory.makeResident(nullptr));
    EXPECT_FALSE(memory.bindTexture(nullptr, 1));
    EXPECT_EQ(glide::board().stateVersion, version);  // nothing downloaded or selected
    EXPECT_EQ(memory.clock, 1);
    EXPECT_EQ(memory.stats.downloads, 1u);
    EXPECT_EQ(memory.roots[0].texture, resident);
    for (int i = 1; i < memory.rootCount; ++i) {
        EXPECT_TRUE(memory.roots[i].split == 0 && memory.roots[i].texture == nullptr) << i;
    }
}

TEST_F(TextureMemoryTest, ClockIsRenumberedBeforeItOverflows) {
    TextureMemory memory;
    std::vector<Texture*> placed = place(memory, 12, 256);
    memory.clock = INT32_MAX - 1000;
    for (int round = 0; round < 3; ++round) {
        for (int i = 11; i >= 0; --i) {
            ASSERT_TRUE(memory.bindTexture(placed[i], 100));
            ASSERT_GE(memory.clock, 0);
        }
    }
    EXPECT_LT(memory.clock, 10000);  // renumbered on the way
    for (int i = 0; i < 11; ++i) {
        EXPECT_GT(placed[i]->residentBlock->stamp, placed[i + 1]->residentBlock->stamp) << i;
    }
    EXPECT_EQ(memory.roots[0].children[1].stamp, 0);  // never used stays never used
    // Weights are limited, so even the largest does not overflow.
    EXPECT_TRUE(memory.bindTexture(placed[0], INT32_MAX));
    EXPECT_TRUE(memory.bindTexture(placed[0], INT32_MAX));
    EXPECT_GT(memory.clock, 0);
    // The least recently used texture is still the one bound first in the last round.
    ASSERT_TRUE(memory.makeResident(add(256)));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(placed[i]->residentBlock == nullptr, i == 11) << i;
}

// ---- Render state -----------------------------------------------------------------------

// Every board state the word controls, as (filter x2, clamp x2, alpha test, blend x4,
// alpha combine factor, depth mask, dither).
using WordState = std::tuple<int, int, int, int, int, int, int, int, int, int, bool, int>;

WordState boardWordState() {
    const glide::BoardState& s = glide::board().state;
    EXPECT_EQ(s.alphaFunction, GR_COMBINE_FUNCTION_SCALE_OTHER);
    EXPECT_EQ(s.alphaLocal, GR_COMBINE_LOCAL_ITERATED);
    EXPECT_EQ(s.alphaOther, GR_COMBINE_OTHER_TEXTURE);
    EXPECT_FALSE(s.alphaInvert);
    return {s.minFilter,         s.magFilter,   s.clampS,      s.clampT,
            s.alphaTestFunction, s.blendRgbSrc, s.blendRgbDst, s.blendAlphaSrc,
            s.blendAlphaDst,     s.alphaFactor, s.depthMask,   s.ditherMode};
}

WordState expectedWordState(uint16_t word) {
    const bool blend = word & kTextureAlphaMap;
    const int filter =
        word & kTextureBilinear ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
    const int clamp = word & kTextureWrap ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP;
    return {filter,
            filter,
            clamp,
            clamp,
            word & kTextureTransparent ? GR_CMP_GREATER : GR_CMP_ALWAYS,
            blend ? GR_BLEND_SRC_ALPHA : GR_BLEND_ONE,
            blend ? GR_BLEND_ONE_MINUS_SRC_ALPHA : GR_BLEND_ZERO,
            GR_BLEND_ONE,
            GR_BLEND_ZERO,
            blend ? GR_COMBINE_FACTOR_LOCAL : GR_COMBINE_FACTOR_ONE,
            !blend,
            word & kTextureDither ? GR_DITHER_4x4 : GR_DITHER_DISABLE};
}

TEST_F(TextureMemoryTest, RenderStateSendsTheChangedBits) {
    // A reset sends every bit, all off, whatever the board held.
    TextureRenderState state;
    state.reset();
    state.setRenderState(0x3E, 0x3E);
    ASSERT_EQ(boardWordState(), expectedWordState(0x3E));
    state.word = 0x1234;
    state.reset();
    EXPECT_EQ(state.word, 0);
    EXPECT_EQ(boardWordState(), expectedWordState(0));

    struct Case {
        uint32_t bits, mask;
        uint16_t word;  // after the call, from a reset word
        bool sends;     // any board call at all
    };
    const Case cases[] = {
        {0x20, 0x30, 0x20, true},        // view start
        {0x3E, 0x3E, 0x3E, true},        // every flag of a textured material
        {0x3F, 0x3E, 0x3E, true},        // Mipmap masked out
        {0x3E, 0x38, 0x38, true},        // untextured material
        {0x04, 0x3E, 0x04, true},        // Bilinear alone
        {0x02, 0x3E, 0x02, true},        // Wrap alone
        {0x08, 0x08, 0x08, true},        // Transparent alone
        {0x10, 0x10, 0x10, true},        // AlphaMap alone
        {0x01, 0xFFFF, 0x01, false},     // Mipmap needs no call
        {0x3E, 0x01, 0x00, false},       // nothing selected
        {0x10000, 0x10000, 0, false},    // beyond 16 bits
        {0xFFC0, 0xFFFF, 0xFFC0, false}  // bits without board state
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "bits " << c.bits << " mask " << c.mask);
        state.reset();
        const uint64_t version = glide::board().stateVersion;
        state.setRenderState(c.bits, c.mask);
        EXPECT_EQ(state.word, c.word);
        EXPECT_EQ(boardWordState(), expectedWordState(c.word));
        EXPECT_EQ(glide::board().stateVersion != version, c.sends);
    }
}

TEST_F(TextureMemoryTest, UnchangedRenderStateSendsNothing) {
    TextureRenderState state;
    state.reset();
    state.setRenderState(0x20, 0x30);
    EXPECT_EQ(glide::board().state.ditherMode, GR_DITHER_4x4);
    // Someone else turns dithering off; the word still says on, so nothing is sent.
    grDitherMode(GR_DITHER_DISABLE);
    const uint64_t version = glide::board().stateVersion;
    state.setRenderState(0x20, 0x30);
    EXPECT_EQ(glide::board().stateVersion, version);
    EXPECT_EQ(glide::board().state.ditherMode, GR_DITHER_DISABLE);
    // A textured material sends only the bits that differ: Dither (off) and Bilinear;
    // blending, already off in the word, is left as the board holds it.
    grAlphaBlendFunction(GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDitherMode(GR_DITHER_4x4);
    state.setRenderState(0x04, 0x3E);
    EXPECT_EQ(state.word, 0x04);
    EXPECT_EQ(glide::board().state.ditherMode, GR_DITHER_DISABLE);
    EXPECT_EQ(glide::board().state.minFilter, GR_TEXTUREFILTER_BILINEAR);
    EXPECT_EQ(glide::board().state.blendRgbSrc, GR_BLEND_ZERO);
}

}  // namespace
