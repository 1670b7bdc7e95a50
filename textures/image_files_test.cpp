// Texel conversion, short files and mip-maps, against hand-computed values.
#include "textures/image_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "textures/texture.h"

namespace {

uint16_t texel16(const std::vector<uint8_t>& texels, size_t index) {
    uint16_t value;
    std::memcpy(&value, texels.data() + 2 * index, 2);
    return value;
}

void setTexel16(std::vector<uint8_t>& texels, size_t index, uint16_t value) {
    std::memcpy(texels.data() + 2 * index, &value, 2);
}

// Converts a ".raw" image of `count` texels given as r, g, b triples; the output starts
// filled with 0xAB so that unwritten texels show.
std::vector<uint8_t> convertRaw(const std::vector<uint8_t>& file, int width, int height,
                                uint16_t depthMode, size_t* taken = nullptr) {
    std::vector<uint8_t> texels(static_cast<size_t>(width * height * texelBytes(depthMode)), 0xAB);
    size_t n = convertImage(ImageKind::kRaw, file.data(), file.size(), width, height, depthMode, 0,
                            texels.data());
    if (taken != nullptr) *taken = n;
    return texels;
}

// A ".256" file: palette entries given as (index, r, g, b), then the indices.
std::vector<uint8_t> pagedFile(std::initializer_list<std::array<uint8_t, 4>> colours,
                               std::initializer_list<uint8_t> indices) {
    std::vector<uint8_t> file(kPaletteBytes, 0);
    for (const auto& c : colours) {
        file[4 * c[0] + 0] = 0x5A;  // the unused byte must not matter
        file[4 * c[0] + 1] = c[1];
        file[4 * c[0] + 2] = c[2];
        file[4 * c[0] + 3] = c[3];
    }
    file.insert(file.end(), indices);
    return file;
}

std::vector<uint8_t> convertPaged(const std::vector<uint8_t>& file, int width, int height,
                                  uint16_t depthMode, int32_t transColor, size_t* taken = nullptr) {
    std::vector<uint8_t> texels(static_cast<size_t>(width * height * texelBytes(depthMode)), 0xAB);
    size_t n = convertImage(ImageKind::kPaletted, file.data(), file.size(), width, height,
                            depthMode, transColor, texels.data());
    if (taken != nullptr) *taken = n;
    return texels;
}

TEST(ChannelRounding, RoundsToNearestAndCaps) {
    struct Case {
        uint32_t byte, five, six;
    };
    const Case cases[] = {{0, 0, 0},     {1, 0, 0},     {2, 0, 1},     {3, 0, 1},
                          {4, 1, 1},     {6, 1, 2},     {7, 1, 2},     {8, 1, 2},
                          {11, 1, 3},    {12, 2, 3},    {128, 16, 32}, {251, 31, 63},
                          {252, 31, 63}, {254, 31, 63}, {255, 31, 63}};
    for (const Case& c : cases) {
        EXPECT_EQ(toChannel5(c.byte), c.five) << "byte " << c.byte;
        EXPECT_EQ(toChannel6(c.byte), c.six) << "byte " << c.byte;
    }
}

TEST(RawImage, ConvertsEveryFormat) {
    const std::vector<uint8_t> file = {
        255, 255, 255,  // white
        255, 0,   0,    // red
        0,   255, 0,    // green
        0,   0,   255,  // blue
        4,   2,   4,    // r, b round up to 1; g to 1 in 6 bits, 0 in 5 bits
        100, 150, 200,  // r 13, g 38 (6-bit) or 19 (5-bit), b 25
        0,   0,   0,    // black
        3,   4,   0,    // length 5
        147, 147, 147,  // length 254.6
    };
    auto rgb = convertRaw(file, 3, 3, kDepthRgb565);
    const uint16_t rgbExpected[] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0821,
                                    0x6CD9, 0x0000, 0x0020, 0x94B2};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(texel16(rgb, i), rgbExpected[i]) << i;

    // Every ".raw" texel is opaque in ARGB 1-5-5-5.
    auto argb = convertRaw(file, 3, 3, kDepthArgb1555);
    const uint16_t argbExpected[] = {0xFFFF, 0xFC00, 0x83E0, 0x801F, 0x8401,
                                     0xB679, 0x8000, 0x8020, 0xCA52};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(texel16(argb, i), argbExpected[i]) << i;

    // 8-bit alpha: the integer part of the colour's length, saturating at 255.
    auto alpha = convertRaw(file, 3, 3, kDepthAlpha8);
    const uint8_t alphaExpected[] = {255, 255, 255, 255, 6, 255, 0, 5, 254};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(alpha[i], alphaExpected[i]) << i;
}

TEST(RawImage, AlphaIsTheTruncatedLength) {
    EXPECT_EQ(rawAlpha(0, 0, 0), 0);
    EXPECT_EQ(rawAlpha(1, 1, 1), 1);          // 1.73
    EXPECT_EQ(rawAlpha(100, 100, 100), 173);  // 173.2
    EXPECT_EQ(rawAlpha(0, 0, 255), 255);
    EXPECT_EQ(rawAlpha(180, 180, 0), 254);    // 254.56
    EXPECT_EQ(rawAlpha(150, 150, 150), 255);  // 259.8, saturated
    // Exact squares just below and at a root.
    EXPECT_EQ(rawAlpha(0, 120, 160), 200);  // exactly 200
    EXPECT_EQ(rawAlpha(0, 119, 160), 199);
}

TEST(PalettedImage, ConvertsThroughThePaletteAndHonoursTransColor) {
    auto file = pagedFile({{0, 10, 20, 30}, {5, 255, 0, 4}, {255, 255, 255, 255}}, {5, 0, 255, 7});
    // 565: index 5 -> (31, 0, 1); index 0 -> (r 1, g 5, b 4); index 7 unset -> black.
    auto rgb = convertPaged(file, 2, 2, kDepthRgb565, 0);
    EXPECT_EQ(texel16(rgb, 0), 0xF801);
    EXPECT_EQ(texel16(rgb, 1), (1 << 11) | (5 << 5) | 4);
    EXPECT_EQ(texel16(rgb, 2), 0xFFFF);
    EXPECT_EQ(texel16(rgb, 3), 0x0000);

    // 1555 with TransColor 0: only index 0 has bit 15 clear.
    auto argb = convertPaged(file, 2, 2, kDepthArgb1555, 0);
    EXPECT_EQ(texel16(argb, 0), 0xFC01);
    EXPECT_EQ(texel16(argb, 1), (1 << 10) | (3 << 5) | 4);
    EXPECT_EQ(texel16(argb, 2), 0xFFFF);
    EXPECT_EQ(texel16(argb, 3), 0x8000);

    // TransColor 5 makes the red entry transparent and index 0 opaque.
    auto argb5 = convertPaged(file, 2, 2, kDepthArgb1555, 5);
    EXPECT_EQ(texel16(argb5, 0), 0x7C01);
    EXPECT_EQ(texel16(argb5, 1), 0x8000 | (1 << 10) | (3 << 5) | 4);

    // A TransColor outside 0..255 matches no index (no wrap to a byte).
    for (int32_t trans : {-1, 256, 261, -256}) {
        auto argbOut = convertPaged(file, 2, 2, kDepthArgb1555, trans);
        for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(texel16(argbOut, i) & 0x8000) << trans;
    }

    // 8-bit alpha: the index itself, the palette unused.
    auto alpha = convertPaged(file, 2, 2, kDepthAlpha8, 0);
    EXPECT_EQ(alpha, (std::vector<uint8_t>{5, 0, 255, 7}));
}

TEST(ShortImageFiles, MissingTexelsAreZero) {
    // ".raw": 7 of 12 bytes: two whole texels, a partial one and a missing one.
    size_t taken = 99;
    auto rgb = convertRaw({255, 255, 255, 255, 0, 0, 77}, 2, 2, kDepthRgb565, &taken);
    EXPECT_EQ(taken, 2u);
    EXPECT_EQ(texel16(rgb, 0), 0xFFFF);
    EXPECT_EQ(texel16(rgb, 1), 0xF800);
    EXPECT_EQ(texel16(rgb, 2), 0);
    EXPECT_EQ(texel16(rgb, 3), 0);
    auto alpha = convertRaw({}, 2, 2, kDepthAlpha8, &taken);
    EXPECT_EQ(taken, 0u);
    EXPECT_EQ(alpha, (std::vector<uint8_t>{0, 0, 0, 0}));

    // ".256" with a whole palette and two of four indices.
    auto file = pagedFile({{1, 255, 255, 255}}, {1, 1});
    auto argb = convertPaged(file, 2, 2, kDepthArgb1555, 0, &taken);
    EXPECT_EQ(taken, 2u);
    EXPECT_EQ(texel16(argb, 0), 0xFFFF);
    EXPECT_EQ(texel16(argb, 1), 0xFFFF);
    EXPECT_EQ(texel16(argb, 2), 0);  // zero, not palette entry 0 made opaque
    EXPECT_EQ(texel16(argb, 3), 0);

    // ".256" cut inside the palette: no index at all, every texel zero.
    std::vector<uint8_t> shortPalette(600, 0xFF);
    auto rgb2 = convertPaged(shortPalette, 2, 2, kDepthRgb565, 0, &taken);
    EXPECT_EQ(taken, 0u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(texel16(rgb2, i), 0);
}

TEST(ImageKind, ChosenByTheLastFourCharactersIgnoringCase) {
    EXPECT_EQ(imageKindOf("data/sky.raw"), ImageKind::kRaw);
    EXPECT_EQ(imageKindOf("DATA/SKY.RAW"), ImageKind::kRaw);
    EXPECT_EQ(imageKindOf("a.RaW"), ImageKind::kRaw);
    EXPECT_EQ(imageKindOf(".raw"), ImageKind::kRaw);
    EXPECT_EQ(imageKindOf("font.256"), ImageKind::kPaletted);
    EXPECT_EQ(imageKindOf("x.256.raw"), ImageKind::kRaw);
    EXPECT_EQ(imageKindOf("x.raw.256"), ImageKind::kPaletted);
    EXPECT_EQ(imageKindOf("Images/T4000.pic"), ImageKind::kNone);
    EXPECT_EQ(imageKindOf("raw"), ImageKind::kNone);
    EXPECT_EQ(imageKindOf("sky.raw "), ImageKind::kNone);
    EXPECT_EQ(imageKindOf(""), ImageKind::kNone);
    EXPECT_EQ(imageKindOf(nullptr), ImageKind::kNone);

    EXPECT_EQ(imageFileBytes(ImageKind::kRaw, 64, 64), 12288u);
    EXPECT_EQ(imageFileBytes(ImageKind::kPaletted, 64, 64), 1024u + 4096u);
    EXPECT_EQ(imageFileBytes(ImageKind::kNone, 64, 64), 0u);
    EXPECT_EQ(imageFileBytes(ImageKind::kRaw, -64, 64), 0u);
}

TEST(MipMaps, AverageEachChannelRoundedToNearest) {
    // 4x4 RGB 5-6-5: the top-left 2x2 block holds four different colours, the others are
    // uniform. Block 0: r 31+0+31+0 = 62 -> 16, g 63+0+0+63 = 126 -> 32, b 31+0+0+1 = 32
    // -> 8.
    std::vector<uint8_t> rgb(chainBytes(4, kDepthRgb565, true), 0xCD);
    auto rgbAt = [](int r, int g, int b) { return static_cast<uint16_t>(r << 11 | g << 5 | b); };
    const uint16_t level0[16] = {
        rgbAt(31, 63, 31), rgbAt(0, 0, 0),  rgbAt(1, 2, 3),    rgbAt(1, 2, 3),
        rgbAt(31, 0, 0),   rgbAt(0, 63, 1), rgbAt(1, 2, 3),    rgbAt(1, 2, 3),
        rgbAt(1, 1, 1),    rgbAt(0, 0, 0),  rgbAt(31, 63, 31), rgbAt(31, 63, 31),
        rgbAt(1, 0, 0),    rgbAt(0, 0, 0),  rgbAt(31, 63, 31), rgbAt(31, 63, 30),
    };
    for (size_t i = 0; i < 16; ++i) setTexel16(rgb, i, level0[i]);
    buildMipMaps(rgb.data(), 4, kDepthRgb565);
    EXPECT_EQ(texel16(rgb, 16), rgbAt(16, 32, 8));
    EXPECT_EQ(texel16(rgb, 17), rgbAt(1, 2, 3));
    // Block 2: r 1+0+1+0 = 2 -> 1 (half rounds up), g 1 -> 0, b 1 -> 0.
    EXPECT_EQ(texel16(rgb, 18), rgbAt(1, 0, 0));
    // Block 3: b 31+31+31+30 = 123 -> 31.
    EXPECT_EQ(texel16(rgb, 19), rgbAt(31, 63, 31));
    EXPECT_EQ(rgb.size(), 40u);  // 16 + 4 texels of 2 bytes

    // ARGB 1-5-5-5: the alpha bit is averaged too, opaque when two of four are.
    std::vector<uint8_t> argb(chainBytes(4, kDepthArgb1555, true), 0);
    auto argbAt = [](int a, int r, int g, int b) {
        return static_cast<uint16_t>(a << 15 | r << 10 | g << 5 | b);
    };
    const uint16_t argb0[16] = {
        argbAt(1, 31, 31, 31), argbAt(0, 31, 31, 31), argbAt(1, 0, 0, 0), argbAt(1, 0, 0, 0),
        argbAt(0, 31, 31, 31), argbAt(0, 31, 31, 31), argbAt(1, 0, 0, 0), argbAt(0, 0, 0, 0),
        argbAt(1, 1, 2, 3),    argbAt(1, 1, 2, 3),    argbAt(0, 4, 0, 0), argbAt(0, 4, 0, 0),
        argbAt(0, 1, 2, 3),    argbAt(0, 1, 2, 3),    argbAt(0, 4, 0, 0), argbAt(0, 5, 0, 0),
    };
    for (size_t i = 0; i < 16; ++i) setTexel16(argb, i, argb0[i]);
    buildMipMaps(argb.data(), 4, kDepthArgb1555);
    EXPECT_EQ(texel16(argb, 16), argbAt(0, 31, 31, 31));  // one opaque of four
    EXPECT_EQ(texel16(argb, 17), argbAt(1, 0, 0, 0));     // three of four
    EXPECT_EQ(texel16(argb, 18), argbAt(1, 1, 2, 3));     // two of four
    EXPECT_EQ(texel16(argb, 19), argbAt(0, 4, 0, 0));     // r 17 -> 4

    // 8-bit alpha, one byte per texel.
    std::vector<uint8_t> alpha(chainBytes(4, kDepthAlpha8, true), 0);
    const uint8_t alpha0[16] = {1,   2,   0, 0, 3,   4,   0, 1,
                                255, 255, 0, 1, 255, 255, 1, 0};  // blocks sum 10, 1, 1020, 2
    std::memcpy(alpha.data(), alpha0, 16);
    buildMipMaps(alpha.data(), 4, kDepthAlpha8);
    EXPECT_EQ(alpha.size(), 20u);
    EXPECT_EQ(alpha[16], 3);    // 10 / 4 = 2.5 rounds up
    EXPECT_EQ(alpha[17], 0);    // 0.25
    EXPECT_EQ(alpha[18], 255);  // capped at the maximum
    EXPECT_EQ(alpha[19], 1);    // 0.5
}

TEST(MipMaps, EachLevelComesFromTheOneAboveInOrder) {
    // 8x8 alpha, levels 8, 4, 2 back to back. Odd columns of level 0 hold 1, even ones
    // 0, so every level-1 texel averages 0, 1, 0, 1 -> 1 (half rounds up), except the
    // top-left one: 40 + 1 + 0 + 1 = 42 -> 11. Level 2 must come from level 1:
    // 11 + 1 + 1 + 1 = 14 -> 4, the others 1.
    std::vector<uint8_t> alpha(chainBytes(8, kDepthAlpha8, true) + 1, 0xEE);
    EXPECT_EQ(alpha.size() - 1, 64u + 16u + 4u);
    for (size_t i = 0; i < 64; ++i) alpha[i] = (i % 8) & 1 ? 1 : 0;
    alpha[0] = 40;
    buildMipMaps(alpha.data(), 8, kDepthAlpha8);
    EXPECT_EQ(alpha[64], 11);
    for (size_t i = 65; i < 80; ++i) EXPECT_EQ(alpha[i], 1) << i;
    EXPECT_EQ(alpha[80], 4);
    for (size_t i = 81; i < 84; ++i) EXPECT_EQ(alpha[i], 1) << i;
    EXPECT_EQ(alpha[84], 0xEE);  // nothing written past the 2x2 level

    // A uniform 64x64 RGB chain stays uniform in every level.
    std::vector<uint8_t> rgb(chainBytes(64, kDepthRgb565, true), 0);
    for (size_t i = 0; i < 64 * 64; ++i) setTexel16(rgb, i, 0x6CD9);
    buildMipMaps(rgb.data(), 64, kDepthRgb565);
    for (size_t i = 0; i < rgb.size() / 2; ++i) ASSERT_EQ(texel16(rgb, i), 0x6CD9) << i;
}

TEST(MipMaps, ChainSizes) {
    // Levels 64, 32, 16, 8, 4, 2 back to back.
    EXPECT_EQ(chainBytes(64, kDepthRgb565, true), 2u * (4096 + 1024 + 256 + 64 + 16 + 4));
    EXPECT_EQ(chainBytes(64, kDepthRgb565, true), 10920u);
    EXPECT_EQ(chainBytes(128, kDepthArgb1555, true), 43688u);
    EXPECT_EQ(chainBytes(256, kDepthRgb565, true), 174760u);
    EXPECT_EQ(chainBytes(256, kDepthRgb565, false), 131072u);
    EXPECT_EQ(chainBytes(64, kDepthAlpha8, true), 5460u);
    EXPECT_EQ(chainBytes(64, kDepthAlpha8, false), 4096u);
    EXPECT_EQ(chainBytes(2, kDepthRgb565, true), 8u);
    EXPECT_EQ(chainBytes(0, kDepthRgb565, true), 0u);
}

}  // namespace
