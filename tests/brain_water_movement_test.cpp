// Golden image of the water flow: a pond of repeating ripples seen from above at a slant,
// its texture slid for two seconds, with a stone for scale.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTau = 6.283185307179586;

// A flat square of 8 x 8 quads over [-40, 40] in x and z at y = 0, facing up, with a
// planar map along y that repeats every 20 units.
LwoWriter pond() {
    LwoWriter w;
    const int n = 8;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) w.addPoint(-40.0f + 10.0f * i, 0.0f, -40.0f + 10.0f * j);
    }
    const int s = w.addSurfaceName("Water");
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            w.addPolygon({a, a + n + 1, a + n + 2, a + 1}, s);
        }
    }
    w.addSurface("Water")
        .color(255, 255, 255)
        .word("LUMI", 160)
        .word("DIFF", 160)
        .text("CTEX", "Planar Image Map")
        .word("TFLG", 2)
        .vector("TSIZ", 20, 20, 20)
        .text("TIMG", "Ripples");
    return w;
}

TEST(BrainGolden, WaterMovement) {
    const fs::path dir =
        fs::temp_directory_path() / ("halcyon_brain_water_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // Ripples that repeat across the 64-texel edge in both directions.
    writeRawImage(dir / "ripples.raw", 64, [](int x, int y) {
        const double fx = kTau * x / 64.0;
        const double fy = kTau * y / 64.0;
        const double wave = 0.5 + 0.3 * std::sin(2.0 * fx + 1.5 * std::sin(fy)) +
                            0.2 * std::sin(3.0 * fy + std::sin(fx));
        const int level = static_cast<int>(std::lround(std::fmin(std::fmax(wave, 0.0), 1.0) * 120));
        return static_cast<unsigned>(20 + level / 3) << 16 |
               static_cast<unsigned>(60 + level) << 8 | static_cast<unsigned>(110 + level);
    });
    pond().save((dir / "pond.lwo").string());
    LwoWriter stone = makeCube("Stone", false, 0);
    stone.addSurface("Stone").color(150, 120, 90).word("LUMI", 64).word("DIFF", 220);
    stone.save((dir / "stone.lwo").string());

    const std::string d = dir.string() + "/";
    const std::string text = "Texture \"Ripples\" { FileName \"" + d +
                             "ripples.raw\" Width 64 Height 64 Flags [\"Wrap\", \"Bilinear\"] }\n"
                             "Geometry \"Pond\" { LWObject \"" +
                             d + "pond.lwo\" }\nGeometry \"Stone\" { LWObject \"" + d +
                             "stone.lwo\" }\n" + R"(
Brain "Flow" { Class "WaterMovement" }
ObjectGroup "Lake" {
    Object "Pond" { Geometry "Pond" Light ["Sun"] Brain "Flow" }
    Object "Stone" { Geometry "Stone" Position [2., 0.3, 4.] Light ["Sun"] }
    Object "Eye" { Position [0., 7., -12.] Rotation [-0.45, 0., 0.] }
    Object "SunPost" { Position [10., 30., -10.] }
}
Scene "One" {
    Time 3.
    RootObject "Lake"
    Light "Sun" { Object "SunPost" Intensity [60., 10.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 500.] Color [150, 180, 210] } }
}
Demo "Water" { Scene ["One"] }
)";
    golden::expectGolden(dir, text, "brain_water_movement", 2.0);
    fs::remove_all(dir);
}

}  // namespace
