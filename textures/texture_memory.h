// The board's texture memory and the texture render state.
//
// `TextureMemory` divides texture unit 0's memory into a fixed quad-tree of blocks sized
// for square 16-bit mip-mapped textures: 12 blocks of 256 texels at the top, each split
// into four of 128, each of those into four of 64. A texture is placed in a block of
// exactly its width when a view first draws it, and stays there until its block (or a
// block above it) is chosen for another texture. Blocks are chosen least recently used
// first, by a usage clock that advances by how much a texture is drawn. The tree is built
// once by the constructor; nothing is allocated afterwards.
//
// `TextureRenderState` is the 16-bit word of texture flags a view last sent to the board;
// only bits that change produce board calls.
#pragma once

#include <cstdint>
#include <memory>

class Texture;

// One block of texture memory: a leaf (empty or holding one texture) or split into four.
struct TextureBlock {
    uint8_t split = 0;                 // 1: divided, its children hold the textures
    TextureBlock* parent = nullptr;    // null at the top level
    TextureBlock* children = nullptr;  // four blocks in a row, or null on the last level
    int32_t size = 0;                  // width in texels of the textures it holds
    int32_t stamp = 0;                 // clock value of its last use; 0: never used
    uint32_t address = 0;              // byte address in texture memory
    Texture* texture = nullptr;        // the texture this leaf holds, or null
};

// Always-on counters, for benchmarks and the frame-rate display. They only grow.
struct TextureMemoryStats {
    uint64_t downloads = 0;        // mip-map chains sent to the board
    uint64_t bytesDownloaded = 0;  // board memory those chains fill
    uint64_t evictions = 0;        // textures that lost their block to another texture
};

class TextureMemory {
  public:
    static constexpr int32_t kMaxLevels = 4;        // block sizes 256, 128, 64, 32
    static constexpr int32_t kMaxWeight = 1 << 24;  // larger weights count as this

    // Builds the tree below grTexMinAddress(GR_TMU0). When the board has room for fewer
    // than `rootCount` top-level blocks, only those that fit are built (at least one).
    // `levelCount` is limited to 1..kMaxLevels.
    explicit TextureMemory(int32_t rootCount = 12, int32_t levelCount = 3);
    // Releases the tree. Textures are not touched: their owner may have destroyed them.
    ~TextureMemory();
    TextureMemory(const TextureMemory&) = delete;
    TextureMemory& operator=(const TextureMemory&) = delete;

    // Places a texture that is not resident into a block of its width, evicting whatever
    // the block held, and downloads it. A texture that is already resident stays where it
    // is (downloaded again when dirty). Returns false, changing nothing, for a texture no
    // block can hold: a width that is not a block size, a chain larger than the block, no
    // texels.
    bool makeResident(Texture* texture);

    // Makes the texture resident (downloading it again when dirty), counts `weight` uses
    // of it (the polygons about to be drawn with it) and selects it on the board with
    // grTexSource. Returns false, selecting nothing, for a texture makeResident refuses.
    bool bindTexture(Texture* texture, int32_t weight);

    // The least recently used leaf of the given width reachable from `blocks` (an array of
    // `count` blocks of one level) through split blocks only; null when there is none.
    static TextureBlock* findLeaf(TextureBlock* blocks, int32_t count, int32_t width);
    // The least recently used block that, once emptied, can take a texture of the given
    // width: a larger leaf (to be split) or a split block of that width (to be merged).
    static TextureBlock* findSplittable(TextureBlock* blocks, int32_t count, int32_t width);

    int32_t clock = 0;                     // usage clock
    uint32_t baseAddress = 0;              // start of texture memory
    int32_t rootCount = 0;                 // top-level blocks
    int32_t levelCount = 0;                // block levels
    uint32_t blockBytes[kMaxLevels] = {};  // bytes of one block per level
    TextureBlock* roots = nullptr;         // `rootCount` blocks
    TextureMemoryStats stats;

  private:
    int32_t levelOfWidth(int32_t width) const;
    bool canHold(const Texture* texture) const;
    void download(Texture& texture, const TextureBlock& block);
    void empty(TextureBlock& block);
    int32_t advanceClock(int32_t weight);
    static void stampPath(TextureBlock& block, int32_t stamp);
    void renormaliseStamps();

    std::unique_ptr<TextureBlock[]> blocks_;  // every level, top level first
    int32_t blockCount_ = 0;
    std::unique_ptr<int32_t[]> stampScratch_;  // work area of renormaliseStamps
};

// The texture flags a view last sent to the board (kTextureWrap, kTextureBilinear,
// kTextureTransparent, kTextureAlphaMap, kTextureDither; kTextureMipmap travels in the
// word but needs no board call).
class TextureRenderState {
  public:
    // Sends every state bit, all off: sets the word to all ones, so that every bit reads
    // as changed, then applies bits 0 under mask 0xFFFF. Views call it at the start of
    // each frame, since other code may have changed the board's state meanwhile.
    void reset();

    // Applies the `bits` selected by `mask` (both limited to 16 bits): every selected bit
    // that differs from the word is flipped in the word and sent to the board, in the
    // order Bilinear, Wrap, Transparent, AlphaMap, Dither. Unchanged bits cost nothing.
    void setRenderState(uint32_t bits, uint32_t mask);

    uint16_t word = 0xFFFF;
};
