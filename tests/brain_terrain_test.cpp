// Golden image of the fractal terrain: a camera flying over the landscape the Mountain brain
// lays under it, lit by one high lamp, played by the offline renderer on the stepped clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/testing/golden.h"

namespace {

namespace fs = std::filesystem;

class TerrainGolden : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_terrain_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // Grass-and-rock speckle with darker stripes every 16 texels.
        writeRawImage(dir_ / "ground.raw", 64, [](int x, int y) {
            const unsigned noise = static_cast<unsigned>((x * 37 + y * 91 + x * y * 13) & 31);
            const bool stripe = (x & 15) == 0 || (y & 15) == 0;
            const unsigned g = stripe ? 120u : 200u + noise;
            return (g - 40u) << 16 | g << 8 | (g / 2u);
        });
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

// The camera drifts along +x across several sample squares (so the window is rebuilt while
// it plays) and looks down the valley; the frame shows the terrain up to the far clip.
TEST_F(TerrainGolden, HillsUnderAFlyingCamera) {
    const std::string d = dir_.string() + "/";
    std::string text = "Texture \"MountainTexture\" { FileName \"" + d +
                       "ground.raw\" Width 64 Height 64 Flags [\"Wrap\", \"Bilinear\", "
                       "\"Mipmap\"] }\n";
    text += R"(
Brain "Hills" { Class "Mountain" }
Brain "Glide" { Class "SimpleMovement" Physics "Drift" { RotateVelocity [0., 0., 0.] MoveVelocity [0., 0., 6000.] } }
ObjectGroup "World" {
    Object "Land" { Brain "Hills" Light ["Sun"] }
    Object "Camera" { Position [0., 14000., -20000.] Rotation [-0.35, 0., 0.] Brain "Glide" }
    Object "Lamp" { Position [-60000., 90000., 20000.] }
}
Scene "Flight" {
    Time 2.
    RootObject "World"
    Light "Sun" { Object "Lamp" Color [255, 240, 220] Intensity [150000., 1000.] }
    Camera "Main" { Object "Camera" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [100., 70000.] Color [150, 170, 200] } }
}
Demo "Terrain" { Scene ["Flight"] }
)";
    golden::expectGolden(dir_, text, "brain_terrain", 1.0);
}

// Without "MountainTexture" and "Camera" the brain says so once at scene start and the
// landscape is still drawn, untextured, around the origin.
TEST_F(TerrainGolden, MissingPiecesAreReported) {
    const std::string text = R"(
Brain "Hills" { Class "Mountain" }
ObjectGroup "World" {
    Object "Land" { Brain "Hills" Light ["Sun"] }
    Object "Eye" { Position [0., 14000., -20000.] Rotation [-0.35, 0., 0.] }
    Object "Lamp" { Position [-60000., 90000., 20000.] }
}
Scene "Flight" {
    Time 0.1
    RootObject "World"
    Light "Sun" { Object "Lamp" Color [255, 240, 220] Intensity [150000., 1000.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [100., 70000.] Color [40, 40, 60] } }
}
Demo "Terrain" { Scene ["Flight"] }
)";
    std::string console;
    golden::expectGolden(dir_, text, "brain_terrain_untextured", 0.05, &console);
    EXPECT_EQ(console,
              "Brain \"Hills\": no texture \"MountainTexture\"; the terrain is drawn untextured\n"
              "Brain \"Hills\": no object \"Camera\"; the terrain stays around the origin\n");
}

}  // namespace
