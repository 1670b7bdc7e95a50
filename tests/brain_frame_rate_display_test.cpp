// Golden image of the frame-rate display: a line of figures drawn with a bitmap font of
// our own over a spinning lit cube, on the stepped clock (so the figures are exact).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "brains/frame_rate_display.h"
#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

// A 5 x 7 font for the characters the line uses; rows top to bottom, '#' set.
struct Glyph {
    char code;
    const char* rows[7];
};
const Glyph kGlyphs[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
    {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
    {'[', {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."}},
    {']', {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'p', {".....", ".....", "####.", "#...#", "####.", "#....", "#...."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
};

// The font as a ".256" image, 256 x 256: palette index 0 (transparent) around the glyphs,
// 1 for the glyphs (doubled to 10 x 14 texels in their 16 x 18 cells), 2 for a shadow one
// texel down and right.
void writeFont(const fs::path& path) {
    std::vector<unsigned char> bytes(1024 + 256 * 256, 0);
    const unsigned char ink[3] = {255, 230, 90};
    const unsigned char shadow[3] = {40, 20, 0};
    for (int c = 0; c < 3; ++c) {
        bytes[4 + 1 + static_cast<size_t>(c)] = ink[c];
        bytes[8 + 1 + static_cast<size_t>(c)] = shadow[c];
    }
    unsigned char* texels = bytes.data() + 1024;
    auto put = [&](int x, int y, unsigned char index) {
        if (x < 0 || y < 0 || x > 255 || y > 255) return;
        unsigned char& t = texels[static_cast<size_t>(y) * 256 + static_cast<size_t>(x)];
        if (index == 1 || t == 0) t = index;
    };
    for (const Glyph& glyph : kGlyphs) {
        const int k = glyph.code - 32;
        const int left = (k % 16) * 16 + 3;
        const int top = (k / 16) * 18 + 2;
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (glyph.rows[row][col] != '#') continue;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        put(left + 2 * col + dx, top + 2 * row + dy, 1);
                        put(left + 2 * col + dx + 1, top + 2 * row + dy + 1, 2);
                    }
                }
            }
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(BrainGolden, FrameRateDisplay) {
    const fs::path dir =
        fs::temp_directory_path() / ("halcyon_brain_fps_" + std::to_string(getpid()));
    fs::create_directories(dir);
    writeFont(dir / "topaz.256");
    LwoWriter cube = makeCube("Plain", false, 0);
    cube.addSurface("Plain").color(70, 140, 220).word("LUMI", 64).word("DIFF", 220);
    cube.save((dir / "cube.lwo").string());

    const std::string d = dir.string() + "/";
    const std::string text = "Texture \"Topaz.font\" { FileName \"" + d +
                             "topaz.256\" Width 256 Height 256 Flags [\"Transparent\"] "
                             "TransColor 0 }\n"
                             "Geometry \"Cube\" { LWObject \"" +
                             d + "cube.lwo\" }\n" + R"(
Brain "Info" { Class "DisplayInfo" }
Brain "Spin" { Class "SimpleMovement" Physics "Turn" { RotateVelocity [0.4, 0.9, 0.] MoveVelocity [0., 0., 0.] } }
ObjectGroup "Stage" {
    Object "Box" { Geometry "Cube" Position [0., -0.5, 7.] Light ["Lamp"] Brain "Spin" }
    Object "Info" { Position [0., 42., 120.] Brain "Info" }
    Object "Eye" { Position [0., 0., 0.] }
    Object "LampPost" { Position [-5., 6., -4.] }
}
Scene "One" {
    Time 2.
    RootObject "Stage"
    Light "Lamp" { Object "LampPost" Intensity [12., 2.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 1000.] Color [16, 24, 40] } }
}
Demo "Fps" { Scene ["One"] }
)";
    // The figures are shared by every display in the process: start from zero.
    DisplayInfo::resetStatistics();
    golden::expectGolden(dir, text, "brain_frame_rate_display", 1.0);
    fs::remove_all(dir);
}

}  // namespace
