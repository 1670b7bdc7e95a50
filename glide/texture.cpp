// TMU0's texture memory: sizes of mip-map chains, downloads and the texture source.
#include <algorithm>
#include <cstring>

#include <emmintrin.h>

#include "glide/board.h"
#include "glide/workers.h"

namespace glide {

namespace {

inline uint64_t lanes(int a, int r, int g, int b) {
    return (uint64_t(a) << 48) | (uint64_t(r) << 32) | (uint64_t(g) << 16) | uint64_t(b);
}
inline int widen5(int v) {
    return (v << 3) | (v >> 2);
}
inline int widen6(int v) {
    return (v << 2) | (v >> 4);
}
inline int widen4(int v) {
    return (v << 4) | v;
}
inline int widen3(int v) {
    return (v << 5) | (v << 2) | (v >> 1);
}
inline int widen2(int v) {
    return (v << 6) | (v << 4) | (v << 2) | v;
}

bool validLod(GrLOD_t lod) {
    return lod >= GR_LOD_256 && lod <= GR_LOD_1;
}
bool validAspect(GrAspectRatio_t a) {
    return a >= GR_ASPECT_8x1 && a <= GR_ASPECT_1x8;
}

// Texels of a chain as stored: every level width x height, back to back.
uint64_t chainTexels(GrLOD_t smallLod, GrLOD_t largeLod, GrAspectRatio_t aspect, bool atLeast4) {
    uint64_t total = 0;
    for (GrLOD_t lod = largeLod; lod <= smallLod; ++lod) {
        int w = 0, h = 0;
        levelSize(lod, aspect, w, h);
        const uint64_t n = uint64_t(w) * uint64_t(h);
        total += atLeast4 ? std::max<uint64_t>(n, 4) : n;
    }
    return total;
}

int texelBytes(GrTextureFormat_t format) {
    return isSixteenBit(format) ? 2 : 1;
}

}  // namespace

bool isSixteenBit(GrTextureFormat_t format) {
    return format >= GR_TEXFMT_16BIT;
}

void levelSize(GrLOD_t lod, GrAspectRatio_t aspect, int& width, int& height) {
    const int n = 256 >> lod;
    // Aspect 3 is square; below it the map is wider, above it taller (8:1 .. 1:8).
    const int shift = aspect < GR_ASPECT_1x1 ? GR_ASPECT_1x1 - aspect : aspect - GR_ASPECT_1x1;
    const int small = std::max(1, n >> shift);
    width = aspect <= GR_ASPECT_1x1 ? n : small;
    height = aspect <= GR_ASPECT_1x1 ? small : n;
}

uint64_t expandTexel16(GrTextureFormat_t format, uint16_t t) {
    switch (format) {
        case GR_TEXFMT_RGB_565:
            return lanes(255, widen5((t >> 11) & 31), widen6((t >> 5) & 63), widen5(t & 31));
        case GR_TEXFMT_ARGB_1555:
            return lanes((t & 0x8000) ? 255 : 0, widen5((t >> 10) & 31), widen5((t >> 5) & 31),
                         widen5(t & 31));
        case GR_TEXFMT_ARGB_4444:
            return lanes(widen4(t >> 12), widen4((t >> 8) & 15), widen4((t >> 4) & 15),
                         widen4(t & 15));
        case GR_TEXFMT_ARGB_8332:
            return lanes(t >> 8, widen3((t >> 5) & 7), widen3((t >> 2) & 7), widen2(t & 3));
        case GR_TEXFMT_ALPHA_INTENSITY_88:
            return lanes(t >> 8, t & 0xFF, t & 0xFF, t & 0xFF);
        default:  // palette and YIQ formats are not offered by this board: black, opaque
            return lanes(255, 0, 0, 0);
    }
}

uint64_t expandTexel8(GrTextureFormat_t format, uint8_t t) {
    switch (format) {
        case GR_TEXFMT_ALPHA_8:
            return lanes(t, t, t, t);
        case GR_TEXFMT_INTENSITY_8:
            return lanes(255, t, t, t);
        case GR_TEXFMT_ALPHA_INTENSITY_44:
            return lanes(widen4(t >> 4), widen4(t & 15), widen4(t & 15), widen4(t & 15));
        case GR_TEXFMT_RGB_332:
            return lanes(255, widen3(t >> 5), widen3((t >> 2) & 7), widen2(t & 3));
        default:
            return lanes(255, 0, 0, 0);
    }
}

const uint64_t* expansionTable8(GrTextureFormat_t format) {
    struct Tables {
        uint64_t texel[GR_TEXFMT_16BIT][256];
        Tables() {
            for (int f = 0; f < GR_TEXFMT_16BIT; ++f) {
                for (int t = 0; t < 256; ++t) texel[f][t] = expandTexel8(f, uint8_t(t));
            }
        }
    };
    static const Tables tables;
    return tables.texel[std::clamp(int(format), 0, GR_TEXFMT_16BIT - 1)];
}

void refreshExpanded(uint32_t start, uint32_t bytes, GrTextureFormat_t format) {
    TextureMemory& m = board().texture;
    if (bytes == 0 || !isSixteenBit(format)) return;
    const uint32_t firstPage = start / kTexturePageBytes;
    const uint32_t lastPage = (start + bytes - 1) / kTexturePageBytes;
    // Selecting a texture checks its pages: usually all are expanded already, which a pass
    // over 16 pages at a time tells.
    {
        const int8_t* formats = m.pageFormat.data();
        const __m128i wanted = _mm_set1_epi8(int8_t(format));
        uint32_t page = firstPage;
        int equal = 0xFFFF;
        for (; page + 16 <= lastPage + 1 && equal == 0xFFFF; page += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(formats + page));
            equal = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted));
        }
        bool stale = equal != 0xFFFF;
        for (; page <= lastPage && !stale; ++page) stale = formats[page] != format;
        if (!stale) return;
    }
    for (uint32_t page = firstPage; page <= lastPage; ++page) {
        if (m.pageFormat[page] == format) continue;
        finishDrawing();  // queued draws may read the page (cheap after the first time)
        m.pageFormat[page] = int8_t(format);
        ++m.generation;
        const uint32_t base = page * kTexturePageBytes / 2;
        const uint8_t* raw = m.raw.data() + size_t(base) * 2;
        uint64_t* out = m.expanded.data() + base;
        for (uint32_t i = 0; i < kTexturePageBytes / 2; ++i) {
            out[i] = expandTexel16(format, uint16_t(raw[2 * i] | (raw[2 * i + 1] << 8)));
        }
    }
}

namespace {

// The quads' layout key: everything that places a texel's neighbours (never 0).
uint64_t quadLayoutKey(const BoardState& s) {
    return uint64_t(s.textureStart) | uint64_t(s.textureLargeLod) << 24 |
           uint64_t(s.textureSmallLod) << 28 | uint64_t(s.textureAspect) << 32 |
           uint64_t(s.textureFormat) << 36 | uint64_t(1) << 63;
}

}  // namespace

bool prepareQuads(const BoardState& s) {
    if (!s.textureValid || !isSixteenBit(s.textureFormat)) return false;
    TextureMemory& m = board().texture;
    const uint64_t key = quadLayoutKey(s);
    if (m.preparedLayout == key && m.preparedGeneration == m.generation) return true;
    // The quads read the expanded texels, which must be in the chain's format.
    refreshExpanded(
        s.textureStart,
        uint32_t(chainTexels(s.textureSmallLod, s.textureLargeLod, s.textureAspect, false) * 2),
        s.textureFormat);
    const uint32_t base = s.textureStart / 2;  // texel address of the chain
    uint32_t offset = 0;
    bool finished = false;
    for (GrLOD_t lod = s.textureLargeLod; lod <= s.textureSmallLod; ++lod) {
        int w = 0, h = 0;
        levelSize(lod, s.textureAspect, w, h);
        const uint32_t first = base + offset, end = first + uint32_t(w * h);
        offset += uint32_t(w * h);
        constexpr uint32_t kPageTexels = kTexturePageBytes / 2;
        for (uint32_t page = first / kPageTexels; page * kPageTexels < end; ++page) {
            if (m.quadLayout[page] == key) continue;
            // Rebuild the whole page for this layout: the part of every level lying in it.
            m.quadLayout[page] = key;
            uint32_t levelFirst = base;
            for (GrLOD_t l = s.textureLargeLod; l <= s.textureSmallLod; ++l) {
                int lw = 0, lh = 0;
                levelSize(l, s.textureAspect, lw, lh);
                const uint32_t from = std::max(levelFirst, page * kPageTexels);
                const uint32_t to =
                    std::min(levelFirst + uint32_t(lw * lh), (page + 1) * kPageTexels);
                if (from < to) {
                    uint32_t x = (from - levelFirst) % uint32_t(lw);
                    uint32_t y = (from - levelFirst) / uint32_t(lw);
                    for (uint32_t at = from; at < to; ++at) {
                        const uint32_t x1 = x + 1 == uint32_t(lw) ? 0 : x + 1;
                        const uint32_t y1 = y + 1 == uint32_t(lh) ? 0 : y + 1;
                        const uint64_t* row = m.expanded.data() + levelFirst + y * uint32_t(lw);
                        const uint64_t* below = m.expanded.data() + levelFirst + y1 * uint32_t(lw);
                        const __m128i quad = makeQuad(row[x], row[x1], below[x], below[x1]);
                        // Chains that only share a page leave each other's quads as they are,
                        // so queued draws are waited for only when a quad they may read
                        // changes.
                        auto* stored = reinterpret_cast<__m128i*>(m.quads[at].bytes);
                        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(stored), quad)) !=
                            0xFFFF) {
                            if (!finished) finishDrawing();
                            finished = true;
                            _mm_store_si128(stored, quad);
                        }
                        if (++x == uint32_t(lw)) {
                            x = 0;
                            ++y;
                        }
                    }
                }
                levelFirst += uint32_t(lw * lh);
            }
        }
    }
    m.preparedLayout = key;
    m.preparedGeneration = m.generation;
    return true;
}

}  // namespace glide

using namespace glide;

FxU32 grTexMinAddress(GrChipID_t) {
    return 0;
}
FxU32 grTexMaxAddress(GrChipID_t) {
    return kTextureMemoryBytes - 8;
}

FxU32 grTexCalcMemRequired(GrLOD_t smallLod, GrLOD_t largeLod, GrAspectRatio_t aspect,
                           GrTextureFormat_t format) {
    if (!validLod(smallLod) || !validLod(largeLod) || !validAspect(aspect) || smallLod < largeLod) {
        return 0;
    }
    const uint64_t bytes = chainTexels(smallLod, largeLod, aspect, true) * texelBytes(format);
    return FxU32((bytes + 7) & ~uint64_t(7));
}

FxU32 grTexTextureMemRequired(FxU32, GrTexInfo* info) {
    if (info == nullptr) return 0;
    return grTexCalcMemRequired(info->smallLod, info->largeLod, info->aspectRatio, info->format);
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start, FxU32, GrTexInfo* info) {
    if (tmu != GR_TMU0 || info == nullptr || info->data == nullptr) return;
    if (!validLod(info->smallLod) || !validLod(info->largeLod) || !validAspect(info->aspectRatio) ||
        info->smallLod < info->largeLod) {
        return;
    }
    ensureAllocated();
    Board& b = board();
    // The caller's data holds the levels back to back with no padding.
    const uint64_t bytes = chainTexels(info->smallLod, info->largeLod, info->aspectRatio, false) *
                           texelBytes(info->format);
    if (uint64_t(start) + bytes > kTextureMemoryBytes) return;  // would run past the memory
    // Queued draws read texture memory.
    finishDrawing();
    std::memcpy(b.texture.raw.data() + start, info->data, bytes);
    // Mark the pages stale, then expand them in the download's format.
    const uint32_t firstPage = start / kTexturePageBytes;
    const uint32_t lastPage = uint32_t((start + bytes - 1) / kTexturePageBytes);
    for (uint32_t page = firstPage; page <= lastPage; ++page) {
        b.texture.pageFormat[page] = -1;
        b.texture.quadLayout[page] = 0;
    }
    // A selected chain's quads may need rebuilding before the next draw, even when the state
    // is set to what it was (an 8-bit download leaves the pages unexpanded).
    ++b.stateVersion;
    ++b.texture.generation;
    refreshExpanded(start, uint32_t(bytes), info->format);
    ++b.stats.textureDownloads;
    b.stats.textureBytes += bytes;
}

void grTexSource(GrChipID_t tmu, FxU32 start, FxU32, GrTexInfo* info) {
    if (tmu != GR_TMU0 || info == nullptr) return;
    BoardState& s = editState();
    s.textureValid = false;
    if (!validLod(info->smallLod) || !validLod(info->largeLod) || !validAspect(info->aspectRatio) ||
        info->smallLod < info->largeLod) {
        return;
    }
    ensureAllocated();
    const uint64_t bytes = chainTexels(info->smallLod, info->largeLod, info->aspectRatio, false) *
                           texelBytes(info->format);
    if (uint64_t(start) + bytes > kTextureMemoryBytes) return;  // sampling would run past it
    if (isSixteenBit(info->format) && (start & 1) != 0) return;
    s.textureStart = start;
    s.textureSmallLod = info->smallLod;
    s.textureLargeLod = info->largeLod;
    s.textureAspect = info->aspectRatio;
    s.textureFormat = info->format;
    s.textureValid = true;
    refreshExpanded(start, uint32_t(bytes), info->format);
}
