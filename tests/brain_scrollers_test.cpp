// Golden image of the text scrollers: a gold text bobbing along the bottom on the sine
// scroller and a blue text riding an arc above it on the spline scroller, both made of
// block letters generated here (one box per cell of a 4x5 font), lit by one lamp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr float kCell = 0.2f;  // side of one font cell, in object units

// The letters the two texts use, four cells wide and five high ('#' is a block).
const std::map<char, const char*> kFont = {
    {'A', ".##.#..######..##..#"}, {'C', ".####...#...#....###"}, {'E', "#####...###.#...####"},
    {'H', "#..##..######..##..#"}, {'I', "###..#...#...#..###."}, {'L', "#...#...#...#...####"},
    {'N', "#..###.##.###..##..#"}, {'O', ".##.#..##..##..#.##."}, {'P', "###.#..####.#...#..."},
    {'R', "###.#..####.#.#.#..#"}, {'S', ".####....##....####."}, {'Y', "#..##..#.##..#...#.."},
};

// One block letter: a box per filled cell, the bottom-left cell at the origin.
LwoWriter blockLetter(const char* cells, const std::string& surface, int r, int g, int b) {
    LwoWriter w;
    const int s = w.addSurfaceName(surface);
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 4; ++col) {
            if (cells[row * 4 + col] != '#') continue;
            const float x0 = static_cast<float>(col) * kCell;
            const float y0 = static_cast<float>(4 - row) * kCell;
            int first = -1;
            for (int i = 0; i < 8; ++i) {
                const int p = w.addPoint(x0 + ((i & 1) ? kCell : 0.0f),
                                         y0 + ((i & 2) ? kCell : 0.0f), (i & 4) ? kCell : 0.0f);
                if (first < 0) first = p;
            }
            // Corners seen from outside, clockwise.
            for (const auto& face : {std::vector<int>{0, 2, 3, 1},
                                     {4, 5, 7, 6},
                                     {0, 1, 5, 4},
                                     {2, 6, 7, 3},
                                     {0, 4, 6, 2},
                                     {1, 3, 7, 5}}) {
                std::vector<int> corners;
                for (int c : face) corners.push_back(first + c);
                w.addPolygon(corners, s);
            }
        }
    }
    w.addSurface(surface)
        .color(r, g, b)
        .word("LUMI", 64)
        .word("DIFF", 220)
        .word("SPEC", 128)
        .word("GLOS", 64);
    return w;
}

class ScrollerGolden : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_scrollers_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A geometry per letter of the font named `prefix` + letter, and the "Char" entries
    // that bind them (a space is a gap of one advance).
    std::string font(const std::string& prefix, int r, int g, int b, std::string& chars) {
        std::string text;
        for (const auto& [letter, cells] : kFont) {
            const std::string name = prefix + letter;
            blockLetter(cells, prefix, r, g, b).save((dir_ / (name + ".lwo")).string());
            text += "Geometry \"" + name + "\" { LWObject \"" + (dir_ / (name + ".lwo")).string() +
                    "\" }\n";
            chars +=
                std::string("  Char \"") + letter + "\" { Geometry \"" + name + "\" Width 1. }\n";
        }
        chars += "  Char \" \" { Width 1. }\n";
        return text;
    }

    std::string description(const std::string& scenes);

    fs::path dir_;
};

// Both scrollers on one stage, in the scenes `scenes` (the same stage in each, so every
// scene adds its own two scroller brains; the earlier ones keep running).
std::string ScrollerGolden::description(const std::string& scenes) {
    std::string sineChars;
    std::string splineChars;
    std::string text = font("Gold", 255, 190, 60, sineChars);
    text += font("Blue", 90, 180, 255, splineChars);
    text +=
        "Brain \"Wave\" { Class \"SineScroller\" Scroller \"Text\" {\n"
        "  Lenght 16. Speed 4. Text \"HALCYON SCROLLERS\"\n" +
        sineChars + "} }\n";
    text +=
        "Brain \"Arc\" { Class \"SplineScroller\" Scroller \"Text\" {\n"
        "  Speed 3. Text \"SPLINE\"\n" +
        splineChars +
        "} Motion \"Arc\" { EndTime 3. EndBehavior \"Stop\"\n"
        "  Keyframe \"1\" { Position [8., 1., 4.] Rotation [0., 0.8, 0.] Time 0. }\n"
        "  Keyframe \"2\" { Position [0., 4., 0.] Rotation [0., 0., 0.] Time 1.5 }\n"
        "  Keyframe \"3\" { Position [-8., 1., 4.] Rotation [0., -0.8, 0.3] Time 3. } } }\n";
    text += R"(
ObjectGroup "Stage" {
    Object "Wave" { Position [0., -3., 0.] Light ["Lamp"] Brain "Wave" }
    Object "Arc" { Light ["Lamp"] Brain "Arc" }
    Object "LampPost" { Position [-4., 8., -12.] }
    Object "Eye" { Position [0., 0.5, -11.] }
}
Scene "One" {
    Time 4.
    RootObject "Stage"
    Light "Lamp" { Object "LampPost" Color [255, 240, 220] Intensity [24., 2.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 1000.] Color [12, 14, 40] } }
}
Scene "Two" {
    Time 1.
    RootObject "Stage"
    Light "Lamp" { Object "LampPost" Color [255, 240, 220] Intensity [24., 2.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 1000.] Color [12, 14, 40] } }
}
)";
    text += "Demo \"Scrollers\" { Scene [" + scenes + "] }\n";
    return text;
}

// At 3 s the sine text has filled most of its line and the spline text is strung along
// the whole arc, the first letters turning as they go.
TEST_F(ScrollerGolden, SineAndSplineTexts) {
    const std::string text = description("\"One\"");
    golden::expectGolden(dir_, text, "brain_scrollers", 3.0);
}

// Two scenes: the first scene's scrollers are started again and keep running beside the
// second scene's own; the demo ends, silently, with letters live in all four brains, and
// their teardown frees neither the shared meshes nor the shared lights.
TEST_F(ScrollerGolden, ScrollersOutliveTheirScene) {
    const fs::path file = dir_ / "two.wrl";
    std::ofstream(file) << description("\"One\", \"Two\"");
    OfflineOptions options;
    options.description = file.string();
    testing::internal::CaptureStderr();
    const OfflineResult result = renderOffline(options);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(result.opened);
    EXPECT_GT(result.framesDrawn, 300);  // both scenes played (4 s and 1 s at 60 frames a second)
}

}  // namespace
