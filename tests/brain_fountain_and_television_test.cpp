// The particle fountain and the live video texture, end to end: a description with
// generated objects and textures played by the offline renderer on the stepped clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"
#include "tools/offline_render.h"

namespace {

namespace fs = std::filesystem;

class FountainScene : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_fountain_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // A soft white ball: full alpha in the middle, none past the rim.
        writeRawImage(dir_ / "ball.raw", 64, [](int x, int y) {
            const double d = std::hypot(x - 31.5, y - 31.5) / 31.5;
            const unsigned level = d >= 1.0 ? 0u : static_cast<unsigned>(255.0 * (1.0 - d * d));
            return level * 0x010101u;
        });
        // The screen: a 3000 x 2250 quad facing the camera, the capture texture across it.
        LwoWriter screen;
        for (const auto& corner : {std::pair{-1, -1}, {-1, 1}, {1, 1}, {1, -1}}) {
            screen.addPoint(1500.0f * float(corner.first), 1125.0f * float(corner.second), 0.0f);
        }
        screen.addPolygon({0, 1, 2, 3}, screen.addSurfaceName("Screen"));
        screen.addSurface("Screen")
            .color(255, 255, 255)
            .flags(0x100)  // double-sided
            .word("LUMI", 255)
            .word("DIFF", 0)
            .text("CTEX", "Planar Image Map")
            .word("TFLG", 4)
            .vector("TSIZ", 3000.0f, 2250.0f, 1.0f)
            .text("TIMG", "Images/T4000.pic");
        screen.save((dir_ / "screen.lwo").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Textures, the screen geometry, the objects and a scene of eight seconds.
    std::string description() const {
        const std::string d = dir_.string() + "/";
        return "Texture \"WhiteBall64\" { FileName \"" + d +
               "ball.raw\" Width 64 Height 64 Flags [\"AlphaMap\", \"Bilinear\"] }\n"
               "Geometry \"Screen\" { LWObject \"" +
               d + "screen.lwo\" }\n" + R"(
Texture "Images/T4000.pic" { FileName "Images/T4000.pic" Width 256 Height 256 Flags ["Bilinear"] }
Brain "Bobs" { Class "ShadeBobs" }
Brain "TV" { Class "Television" }
ObjectGroup "Stage" {
    Object "Fountain" { Light ["Lamp"] Brain "Bobs" }
    Object "Set" { Geometry "Screen" Position [-2300., -600., -1200.] Light ["Lamp"] Brain "TV" }
    Object "Lamp" { Position [0., 0., -2000.] }
    Object "Eye" { Position [0., 0., -5200.] }
}
Scene "One" {
    Time 8.
    RootObject "Stage"
    Light "Lamp" { Object "Lamp" Color [255, 230, 200] Intensity [3000., 1000.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [10., 20000.] Color [20, 30, 60] } }
}
Demo "Fountain" { Scene ["One"] }
)";
    }

    fs::path dir_;
};

// The fountain six seconds in, beside a screen showing the view's own top-left corner.
TEST_F(FountainScene, FountainBesideALiveScreen) {
    std::srand(1);  // the C library's default sequence, whatever ran before in this process
    golden::expectGolden(dir_, description(), "brain_fountain_and_television", 6.0);
}

}  // namespace
