// "Texture" entries read from hand-built parse trees: keys, formats, image files, faults.
#include "textures/texture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/files.h"
#include "scene_lang/parse_tree.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

char* textCopy(const char* text) {
    return copyText(text, std::strlen(text));
}

// A "Texture" entry whose keys are appended in the order given.
class Entry {
  public:
    explicit Entry(const char* label, const char* keyword = "Texture") : node_(new ParseNode) {
        node_->name = keyword;
        if (label != nullptr) node_->text = textCopy(label);
    }
    Entry& file(const char* path) {
        add("FileName")->text = textCopy(path);
        return *this;
    }
    Entry& integer(const char* key, int32_t value) {
        add(key)->intValue = value;
        return *this;
    }
    Entry& size(int32_t width, int32_t height) {
        return integer("Width", width).integer("Height", height);
    }
    Entry& flags(std::initializer_list<const char*> words) {
        ParseNode* node = add("Flags");
        for (const char* w : words) node->appendValue()->text = textCopy(w);
        return *this;
    }
    ParseNode* get() const { return node_.get(); }
    ParseNode* release() { return node_.release(); }

  private:
    ParseNode* add(const char* key) {
        ParseNode* node = new ParseNode;
        node->name = key;
        ParseNode** link = &node_->firstChild;
        while (*link != nullptr) link = &(*link)->next;
        *link = node;
        return node;
    }
    ParseTree node_;
};

uint16_t texel16(const Texture& t, size_t index) {
    uint16_t value;
    std::memcpy(&value, t.pixels.get() + 2 * index, 2);
    return value;
}

bool allZero(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// Loads with the console captured; returns what was written to it.
std::string loadCapturing(Texture& texture, const Entry& entry, bool* accepted = nullptr) {
    testing::internal::CaptureStderr();
    bool ok = texture.loadTexture(entry.get());
    if (accepted != nullptr) *accepted = ok;
    return testing::internal::GetCapturedStderr();
}

// A scratch folder for image files written by a test.
class ScratchFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("halcyon_textures_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const char* name, const std::vector<uint8_t>& bytes) {
        std::string path = (dir_ / name).string();
        EXPECT_TRUE(saveFile(path.c_str(), bytes.data(), bytes.size()));
        return path;
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

constexpr const char* kGradient = "textures/testdata/gradient64.RAW";  // r 4x, g 4y, b 255-2(x+y)
constexpr const char* kChecker = "textures/testdata/checker64.256";    // 8x8 squares of 0, 200

TEST(TextureEntry, FlagsChooseFormatLevelsAndChainSize) {
    struct Case {
        int32_t width;
        std::initializer_list<const char*> words;
        uint16_t flags, depthMode;
        GrTextureFormat_t format;
        GrLOD_t largeLod, smallLod;
        uint32_t memorySize;
    };
    const Case cases[] = {
        {64, {"Mipmap"}, 0x01, kDepthRgb565, GR_TEXFMT_RGB_565, GR_LOD_64, GR_LOD_2, 10920},
        {128,
         {"Transparent", "AlphaMap", "Wrap", "Bilinear", "Dither", "Mipmap"},
         0x3F,
         kDepthArgb1555,
         GR_TEXFMT_ARGB_1555,
         GR_LOD_128,
         GR_LOD_2,
         43688},
        {256, {"AlphaMap"}, 0x10, kDepthAlpha8, GR_TEXFMT_ALPHA_8, GR_LOD_256, GR_LOD_256, 65536},
        {256,
         {"Mipmap", "Wrap"},
         0x03,
         kDepthRgb565,
         GR_TEXFMT_RGB_565,
         GR_LOD_256,
         GR_LOD_2,
         174760},
        // Flag words are case-sensitive; unknown ones have no effect.
        {64,
         {"mipmap", "WRAP", "Sparkle"},
         0,
         kDepthRgb565,
         GR_TEXFMT_RGB_565,
         GR_LOD_64,
         GR_LOD_64,
         8192},
        {64,
         {"AlphaMap", "Mipmap"},
         0x11,
         kDepthAlpha8,
         GR_TEXFMT_ALPHA_8,
         GR_LOD_64,
         GR_LOD_2,
         5464},
    };
    for (const Case& c : cases) {
        Entry e("T");
        // Depth is read and ignored, whatever its value; the file is not an image file.
        e.file("capture.pic").size(c.width, c.width).flags(c.words).integer("Depth", -7);
        Texture t;
        std::string console = loadCapturing(t, e);
        SCOPED_TRACE(c.width);
        EXPECT_THAT(console, IsEmpty());
        EXPECT_EQ(t.flags, c.flags);
        EXPECT_EQ(t.depthMode, c.depthMode);
        EXPECT_EQ(t.info.format, c.format);
        EXPECT_EQ(t.info.largeLod, c.largeLod);
        EXPECT_EQ(t.info.smallLod, c.smallLod);
        EXPECT_EQ(t.info.aspectRatio, GR_ASPECT_1x1);
        EXPECT_EQ(t.memorySize, c.memorySize);
        EXPECT_EQ(t.memorySize,
                  grTexCalcMemRequired(c.smallLod, c.largeLod, GR_ASPECT_1x1, c.format));
        EXPECT_EQ(t.info.data, t.pixels.get());
        EXPECT_EQ(t.dirty, 1);
        // A file the engine does not read leaves black texels, never stale memory.
        EXPECT_TRUE(allZero(t.pixels.get(), t.memorySize));
    }
}

TEST(TextureEntry, ReadsRawFilesWithTheirMipMaps) {
    // The fixture's name ends in upper-case ".RAW".
    Entry e("Sky");
    e.file(kGradient).size(64, 64).flags({"Mipmap"});
    Texture t;
    bool accepted = false;
    EXPECT_THAT(loadCapturing(t, e, &accepted), IsEmpty());
    ASSERT_TRUE(accepted);
    EXPECT_EQ(t.name, "Sky");
    EXPECT_EQ(texel16(t, 0), 0x001F);             // (0, 0, 255)
    EXPECT_EQ(texel16(t, 2 * 64 + 1), 0x085F);    // x 1, y 2: (4, 8, 249) -> 1, 2, 31
    EXPECT_EQ(texel16(t, 63 * 64 + 63), 0xFFE0);  // (252, 252, 3) -> 31 capped, 63, 0
    // Level 1 starts right after level 0; its first texel averages r 0,1,0,1 -> 1,
    // g 0,0,1,1 -> 1, b 31 x 4 -> 31.
    EXPECT_EQ(texel16(t, 4096), 0x083F);
    // The 2x2 level is the last 8 bytes of the chain; it is not black.
    EXPECT_NE(texel16(t, 5456), 0);

    // The same file as 8-bit alpha: the truncated colour length.
    Entry a("SkyAlpha");
    a.file(kGradient).size(64, 64).flags({"AlphaMap"});
    Texture alpha;
    EXPECT_TRUE(alpha.loadTexture(a.get()));
    EXPECT_EQ(alpha.pixels[0], 255);           // length 255
    EXPECT_EQ(alpha.pixels[2 * 64 + 1], 249);  // sqrt(16 + 64 + 62001) = 249.16
}

TEST(TextureEntry, ReadsPalettedFilesWithTransparency) {
    // Entry 0 is (0, 255, 0), entry 200 is (200, 55, 100).
    Entry e("Checker");
    e.file(kChecker).size(64, 64).flags({"Transparent", "Mipmap"}).integer("TransColor", 0);
    Texture t;
    EXPECT_THAT(loadCapturing(t, e), IsEmpty());
    EXPECT_EQ(texel16(t, 0), 0x03E0);  // index 0: transparent green
    EXPECT_EQ(texel16(t, 8), 0xE4ED);  // index 200: opaque (25, 7, 13)
    for (size_t i = 0; i < 4096; ++i) {
        bool transparent = ((i % 64) / 8 + (i / 64) / 8) % 2 == 0;
        ASSERT_EQ((texel16(t, i) & 0x8000) == 0, transparent) << i;
    }
    // Level 4 (4x4 at texel 5440) is the first whose texels mix two squares of each kind:
    // the alpha bit votes 2 of 4 -> opaque; r 50 -> 13, g 76 -> 19, b 26 -> 7.
    EXPECT_EQ(texel16(t, 5440), 0xB667);
    EXPECT_EQ(texel16(t, 5456), 0xB667);  // the 2x2 level

    Entry plain("Plain");
    plain.file(kChecker).size(64, 64);
    Texture rgb;
    EXPECT_TRUE(rgb.loadTexture(plain.get()));
    EXPECT_EQ(texel16(rgb, 0), 0x07E0);
    EXPECT_EQ(texel16(rgb, 8), 0xC9CD);

    Entry alphaEntry("Alpha");
    alphaEntry.file(kChecker).size(64, 64).flags({"AlphaMap"}).integer("TransColor", 200);
    Texture alpha;
    EXPECT_TRUE(alpha.loadTexture(alphaEntry.get()));
    EXPECT_EQ(alpha.pixels[0], 0);  // the index is the alpha
    EXPECT_EQ(alpha.pixels[8], 200);
}

TEST(TextureEntry, TransColorOutsideThePaletteMakesNothingTransparent) {
    for (int32_t trans : {256, 300, -1}) {
        Entry e("Checker");
        e.file(kChecker).size(64, 64).flags({"Transparent"}).integer("TransColor", trans);
        Texture t;
        std::string console = loadCapturing(t, e);
        EXPECT_THAT(console, HasSubstr("\"Checker\""));
        EXPECT_THAT(console, HasSubstr("TransColor " + std::to_string(trans)));
        for (size_t i = 0; i < 4096; ++i) ASSERT_TRUE(texel16(t, i) & 0x8000) << trans << " " << i;
    }
}

TEST(TextureEntry, RefusesSizesTheTextureMemoryCannotHold) {
    const std::pair<int32_t, int32_t> sizes[] = {{32, 32},  {100, 100},  {512, 512},
                                                 {0, 0},    {-64, -64},  {64, 128},
                                                 {128, 64}, {256, -256}, {64, 0}};
    for (auto [w, h] : sizes) {
        Entry e("Odd");
        e.file(kGradient).size(w, h).flags({"Mipmap", "Transparent"});
        Texture t;
        bool accepted = true;
        std::string console = loadCapturing(t, e, &accepted);
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        EXPECT_FALSE(accepted);
        EXPECT_THAT(console, HasSubstr("Texture \"Odd\""));
        EXPECT_THAT(console, HasSubstr(std::to_string(w) + "x" + std::to_string(h)));
        EXPECT_THAT(console, HasSubstr("left out"));
        // Still a consistent record: a small zeroed buffer matching its info.
        EXPECT_EQ(t.info.largeLod, GR_LOD_2);
        EXPECT_EQ(t.memorySize, grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &t.info));
        ASSERT_NE(t.pixels, nullptr);
        EXPECT_EQ(t.info.data, t.pixels.get());
        EXPECT_TRUE(allZero(t.pixels.get(), t.memorySize));
    }
}

TEST(TextureEntry, EntryWithoutFileNameOrLabelIsBlack) {
    Entry e(nullptr);
    e.size(128, 128).flags({"Mipmap"});
    Texture t;
    bool accepted = false;
    std::string console = loadCapturing(t, e, &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(t.name, "");
    EXPECT_THAT(console, HasSubstr("no FileName"));
    EXPECT_TRUE(allZero(t.pixels.get(), t.memorySize));
}

using TextureFiles = ScratchFiles;

TEST_F(TextureFiles, ShortFileLeavesTheMissingTexelsBlack) {
    // 100 bytes of white: 33 whole texels of the 4096 a 64x64 ".raw" needs.
    std::string file = write("short.raw", std::vector<uint8_t>(100, 255));
    Entry e("Short");
    e.file(file.c_str()).size(64, 64).flags({"Mipmap"});
    Texture t;
    bool accepted = false;
    std::string console = loadCapturing(t, e, &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_THAT(console, HasSubstr("Texture \"Short\""));
    EXPECT_THAT(console, HasSubstr(file));
    EXPECT_THAT(console, HasSubstr("100 of 12288 bytes"));
    for (size_t i = 0; i < 33; ++i) ASSERT_EQ(texel16(t, i), 0xFFFF) << i;
    EXPECT_TRUE(allZero(t.pixels.get() + 66, 8192 - 66));
    // Level 1: texels 0..15 of row 0 average two white and two black texels.
    EXPECT_EQ(texel16(t, 4096), 0x8410);       // r 62 -> 16, g 126 -> 32, b 62 -> 16
    EXPECT_EQ(texel16(t, 4096 + 17), 0x0000);  // from texels 34, 35: black

    // A ".256" file that ends inside its palette: every texel black.
    std::string paletteOnly = write("short.256", std::vector<uint8_t>(700, 255));
    Entry p("ShortPalette");
    p.file(paletteOnly.c_str()).size(64, 64).flags({"Transparent"});
    Texture tp;
    console = loadCapturing(tp, p);
    EXPECT_THAT(console, HasSubstr("700 of 5120 bytes"));
    EXPECT_TRUE(allZero(tp.pixels.get(), tp.memorySize));
}

TEST_F(TextureFiles, MissingFileLeavesTheTextureBlackAndListed) {
    std::string missing = path("nowhere.raw");
    Entry e("Gone");
    e.file(missing.c_str()).size(256, 256).flags({"Mipmap"});
    Texture t;
    bool accepted = false;
    std::string console = loadCapturing(t, e, &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_THAT(console, HasSubstr("Texture \"Gone\": cannot open image file \"" + missing));
    EXPECT_EQ(t.memorySize, 174760u);
    EXPECT_TRUE(allZero(t.pixels.get(), t.memorySize));
}

TEST(LoadTextures, ListsAcceptedTexturesNewestFirst) {
    Entry sky("Sky");
    sky.file(kGradient).size(64, 64);
    Entry geometry("Cube", "Geometry");
    Entry odd("Odd");
    odd.file(kGradient).size(32, 32);
    Entry ball("Ball");
    ball.file(kChecker).size(64, 64).flags({"AlphaMap"});
    ParseTree root(sky.release());
    root->next = geometry.release();
    root->next->next = odd.release();
    root->next->next->next = ball.release();

    NamedList<Texture> textures;
    testing::internal::CaptureStderr();
    LoadTextures(root.get(), textures);
    std::string console = testing::internal::GetCapturedStderr();
    EXPECT_THAT(console, HasSubstr("Texture \"Odd\""));
    ASSERT_EQ(textures.count, 2);
    EXPECT_STREQ(textures.head->name, "Ball");
    EXPECT_STREQ(textures.head->next->name, "Sky");
    EXPECT_EQ(textures.find("Odd"), nullptr);  // refused: users of the name find nothing
    Texture* found = textures.find("Sky");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->name, "Sky");
    EXPECT_EQ(texel16(*found, 0), 0x001F);
    EXPECT_EQ(textures.find("Ball")->depthMode, kDepthAlpha8);
    while (textures.head != nullptr) {
        delete textures.head->value;
        textures.remove(textures.head);
    }
}

}  // namespace
