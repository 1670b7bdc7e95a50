// Image files, texel conversion and mip-maps.
#include "textures/image_files.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "textures/texture.h"

namespace {

inline void store16(uint8_t* texels, size_t index, uint16_t value) {
    std::memcpy(texels + index * 2, &value, 2);
}
inline uint16_t load16(const uint8_t* texels, size_t index) {
    uint16_t value;
    std::memcpy(&value, texels + index * 2, 2);
    return value;
}

bool endsWithNoCase(const char* text, size_t length, const char* ending) {
    size_t n = std::strlen(ending);
    if (length < n) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(text[length - n + i]);
        unsigned char b = static_cast<unsigned char>(ending[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

size_t texelCount(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

uint16_t rgbTexel(uint16_t depthMode, uint32_t r, uint32_t g, uint32_t b) {
    if (depthMode == kDepthArgb1555) {
        return static_cast<uint16_t>(toChannel5(r) << 10 | toChannel5(g) << 5 | toChannel5(b));
    }
    return static_cast<uint16_t>(toChannel5(r) << 11 | toChannel6(g) << 5 | toChannel5(b));
}

size_t convertRaw(const uint8_t* file, size_t fileSize, size_t count, uint16_t depthMode,
                  uint8_t* texels) {
    size_t complete = fileSize / 3 < count ? fileSize / 3 : count;
    for (size_t i = 0; i < complete; ++i) {
        const uint8_t* p = file + 3 * i;
        if (depthMode == kDepthAlpha8) {
            texels[i] = rawAlpha(p[0], p[1], p[2]);
        } else if (depthMode == kDepthArgb1555) {
            store16(texels, i,
                    static_cast<uint16_t>(0x8000 | rgbTexel(depthMode, p[0], p[1], p[2])));
        } else {
            store16(texels, i, rgbTexel(depthMode, p[0], p[1], p[2]));
        }
    }
    std::memset(texels + complete * texelBytes(depthMode), 0,
                (count - complete) * texelBytes(depthMode));
    return complete;
}

size_t convertPaletted(const uint8_t* file, size_t fileSize, size_t count, uint16_t depthMode,
                       int32_t transColor, uint8_t* texels) {
    // The palette as far as the file holds it; missing entries are black.
    uint8_t palette[kPaletteBytes] = {};
    std::memcpy(palette, file, fileSize < kPaletteBytes ? fileSize : kPaletteBytes);
    size_t available = fileSize > kPaletteBytes ? fileSize - kPaletteBytes : 0;
    size_t complete = available < count ? available : count;
    const uint8_t* indices = file + kPaletteBytes;
    for (size_t i = 0; i < complete; ++i) {
        uint8_t index = indices[i];
        if (depthMode == kDepthAlpha8) {
            texels[i] = index;  // the index is the alpha value
            continue;
        }
        const uint8_t* colour = palette + 4 * index;
        uint16_t texel = rgbTexel(depthMode, colour[1], colour[2], colour[3]);
        if (depthMode == kDepthArgb1555 && index != transColor) texel |= 0x8000;
        store16(texels, i, texel);
    }
    std::memset(texels + complete * texelBytes(depthMode), 0,
                (count - complete) * texelBytes(depthMode));
    return complete;
}

// The rounded average of four channel values summing to s, capped at the channel's
// maximum.
inline uint32_t average(uint32_t s, uint32_t maximum) {
    uint32_t a = (s >> 2) + ((s >> 1) & 1);
    return a > maximum ? maximum : a;
}

// One 16-bit texel from four, channel by channel: a channel is the field of `maximum`
// (all ones) at `shift`.
struct Channel {
    int shift;
    uint32_t maximum;
};
inline constexpr Channel kChannels565[] = {{11, 31}, {5, 63}, {0, 31}};
inline constexpr Channel kChannels1555[] = {{15, 1}, {10, 31}, {5, 31}, {0, 31}};

template <size_t N>
uint16_t averageTexel(const Channel (&channels)[N], uint16_t a, uint16_t b, uint16_t c,
                      uint16_t d) {
    uint32_t out = 0;
    for (const Channel& ch : channels) {
        uint32_t s = ((a >> ch.shift) & ch.maximum) + ((b >> ch.shift) & ch.maximum) +
                     ((c >> ch.shift) & ch.maximum) + ((d >> ch.shift) & ch.maximum);
        out |= average(s, ch.maximum) << ch.shift;
    }
    return static_cast<uint16_t>(out);
}

// Writes the half-size level `below` from the n x n level `above`.
void halveLevel(const uint8_t* above, int n, uint16_t depthMode, uint8_t* below) {
    size_t half = static_cast<size_t>(n / 2);
    size_t row = static_cast<size_t>(n);
    for (size_t y = 0; y < half; ++y) {
        for (size_t x = 0; x < half; ++x) {
            size_t i = 2 * y * row + 2 * x;  // top-left source texel
            size_t o = y * half + x;
            if (depthMode == kDepthAlpha8) {
                uint32_t s = above[i] + above[i + 1] + above[i + row] + above[i + row + 1];
                below[o] = static_cast<uint8_t>(average(s, 255));
                continue;
            }
            uint16_t t0 = load16(above, i), t1 = load16(above, i + 1);
            uint16_t t2 = load16(above, i + row), t3 = load16(above, i + row + 1);
            store16(below, o,
                    depthMode == kDepthArgb1555 ? averageTexel(kChannels1555, t0, t1, t2, t3)
                                                : averageTexel(kChannels565, t0, t1, t2, t3));
        }
    }
}

}  // namespace

ImageKind imageKindOf(const char* fileName) {
    if (fileName == nullptr) return ImageKind::kNone;
    size_t length = std::strlen(fileName);
    if (endsWithNoCase(fileName, length, ".256")) return ImageKind::kPaletted;
    if (endsWithNoCase(fileName, length, ".raw")) return ImageKind::kRaw;
    return ImageKind::kNone;
}

size_t imageFileBytes(ImageKind kind, int width, int height) {
    size_t count = texelCount(width, height);
    switch (kind) {
        case ImageKind::kRaw:
            return 3 * count;
        case ImageKind::kPaletted:
            return kPaletteBytes + count;
        case ImageKind::kNone:
            break;
    }
    return 0;
}

int texelBytes(uint16_t depthMode) {
    return depthMode == kDepthAlpha8 ? 1 : 2;
}

uint8_t rawAlpha(uint8_t r, uint8_t g, uint8_t b) {
    uint32_t squared = uint32_t{r} * r + uint32_t{g} * g + uint32_t{b} * b;
    if (squared >= 255u * 255u) return 255;
    // The square root of a value below 2^17 is exact enough in double that truncation
    // gives the integer square root; the loop guards the last bit anyway.
    uint32_t root = static_cast<uint32_t>(std::sqrt(static_cast<double>(squared)));
    while (root * root > squared) --root;
    while ((root + 1) * (root + 1) <= squared) ++root;
    return static_cast<uint8_t>(root);
}

size_t convertImage(ImageKind kind, const uint8_t* file, size_t fileSize, int width, int height,
                    uint16_t depthMode, int32_t transColor, uint8_t* texels) {
    size_t count = texelCount(width, height);
    if (file == nullptr) fileSize = 0;
    switch (kind) {
        case ImageKind::kRaw:
            return convertRaw(file, fileSize, count, depthMode, texels);
        case ImageKind::kPaletted:
            return convertPaletted(file, fileSize, count, depthMode, transColor, texels);
        case ImageKind::kNone:
            break;
    }
    return 0;
}

size_t chainBytes(int width, uint16_t depthMode, bool mipmap) {
    if (width <= 0) return 0;
    size_t bytes = 0;
    for (size_t n = static_cast<size_t>(width);; n /= 2) {
        bytes += n * n * static_cast<size_t>(texelBytes(depthMode));
        if (!mipmap || n <= 2) break;
    }
    return bytes;
}

void buildMipMaps(uint8_t* pixels, int width, uint16_t depthMode) {
    size_t bpp = static_cast<size_t>(texelBytes(depthMode));
    uint8_t* level = pixels;
    for (int n = width; n > 2; n /= 2) {
        uint8_t* next = level + static_cast<size_t>(n) * static_cast<size_t>(n) * bpp;
        halveLevel(level, n, depthMode, next);
        level = next;
    }
}
