// Golden images of the renderer: small descriptions with their own generated objects and
// textures, played by the offline renderer on the stepped clock and compared byte for byte
// with the PNGs in tests/testdata/. Set HALCYON_UPDATE_GOLDEN=1 to write them anew (then
// look at every one before committing it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

// A cube of side 2 whose faces all use one surface with the given settings.
LwoWriter cube(const std::string& surface) {
    return makeCube(surface, false, 0);
}

LwoSurface& litSurface(LwoWriter& w, const std::string& name, int r, int g, int b) {
    return w.addSurface(name)
        .color(r, g, b)
        .word("LUMI", 64)
        .word("DIFF", 220)
        .word("SPEC", 128)
        .word("GLOS", 64);
}

// A scratch folder holding the generated objects and textures of the golden scenes.
class Golden : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_golden_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        writeRawImage(dir_ / "checker.raw", 64, [](int x, int y) {
            return ((x / 8 + y / 8) & 1) != 0 ? 0xE8ECF4u : 0x3050A0u;
        });
        writeRawImage(dir_ / "env.raw", 64, [](int x, int y) {
            return static_cast<unsigned>(x * 4) << 16 | static_cast<unsigned>(y * 4) << 8 | 0xC0u;
        });
        const struct {
            const char* name;
            unsigned colour;
        } sky[] = {{"Up", 0x203060},   {"West", 0x304878},  {"North", 0x405890},
                   {"East", 0x304878}, {"South", 0x506AA0}, {"Down", 0xC8D0E0}};
        for (const auto& side : sky) {
            writeRawImage(dir_ / (std::string("sky_") + side.name + ".raw"), 64,
                          [&](int, int y) { return side.colour + static_cast<unsigned>(y / 4); });
        }
        makeSkyBox("Sky").save((dir_ / "sky.lwo").string());

        LwoWriter plain = cube("Plain");
        litSurface(plain, "Plain", 200, 60, 40);
        plain.save((dir_ / "plain.lwo").string());
        LwoWriter textured = cube("Checker");
        litSurface(textured, "Checker", 255, 255, 255)
            .text("CTEX", "Planar Image Map")
            .word("TFLG", 4)
            .vector("TSIZ", 2, 2, 2)
            .text("TIMG", "Checker");
        textured.save((dir_ / "textured.lwo").string());
        LwoWriter shiny = cube("Shiny");
        litSurface(shiny, "Shiny", 220, 220, 220).text("RIMG", "Env");
        shiny.save((dir_ / "shiny.lwo").string());
        LwoWriter glass = cube("Glass");
        litSurface(glass, "Glass", 80, 200, 120).word("TRAN", 128);
        glass.save((dir_ / "glass.lwo").string());
        LwoWriter glassTextured = cube("Frost");
        litSurface(glassTextured, "Frost", 255, 255, 255)
            .word("TRAN", 100)
            .text("CTEX", "Planar Image Map")
            .word("TFLG", 4)
            .vector("TSIZ", 2, 2, 2)
            .text("TIMG", "Checker");
        glassTextured.save((dir_ / "frost.lwo").string());
        LwoWriter glassShiny = cube("Bubble");
        litSurface(glassShiny, "Bubble", 255, 255, 255).word("TRAN", 110).text("RIMG", "Env");
        glassShiny.save((dir_ / "bubble.lwo").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The common part of every golden description: textures, geometries and lights.
    std::string assets() const {
        const std::string d = dir_.string() + "/";
        std::string text;
        text += "Texture \"Checker\" { FileName \"" + d +
                "checker.raw\" Width 64 Height 64 Flags [\"Wrap\", \"Bilinear\", \"Mipmap\"] }\n";
        text += "Texture \"Env\" { FileName \"" + d +
                "env.raw\" Width 64 Height 64 Flags [\"Bilinear\"] }\n";
        for (const char* side : {"Up", "West", "North", "East", "South", "Down"}) {
            text += std::string("Texture \"Sky") + side + "\" { FileName \"" + d + "sky_" + side +
                    ".raw\" Width 64 Height 64 Flags [\"Bilinear\"] }\n";
        }
        for (const char* name : {"sky", "plain", "textured", "shiny", "glass", "frost", "bubble"}) {
            std::string label = name == std::string("sky") ? "Sky" : name;
            text += "Geometry \"" + label + "\" { LWObject \"" + d + name + ".lwo\" }\n";
        }
        return text;
    }

    fs::path dir_;
};

// Every object variant in a row under two coloured lights, a sky box of six decal maps
// behind them, and a camera on a keyframed path that ends close to the glass cube, so the
// near plane and the window edges cut polygons.
TEST_F(Golden, VariantsUnderASkyBox) {
    std::string text = assets();
    text += R"(
Brain "Path" { Class "LWMotion" Motion "Path" {
    Keyframe "1" { Position [0., 2., -14.] Rotation [0., 0., 0.] Time 0. }
    Keyframe "2" { Position [1., 1., -6.] Rotation [0., -0.3, 0.] Time 1. }
    EndBehavior "Stop" } }
Brain "Spin" { Class "SimpleMovement" Physics "Turn" { RotateVelocity [0.3, 0.7, 0.] MoveVelocity [0., 0., 0.] } }
ObjectGroup "Row" {
    Object "Plain" { Geometry "plain" Position [-7.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Checker" { Geometry "textured" Position [-4.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Shiny" { Geometry "shiny" Position [-1.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Glass" { Geometry "glass" Position [1.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Frost" { Geometry "frost" Position [4.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Bubble" { Geometry "bubble" Position [7.5, 0., 0.] Light ["Warm", "Cold"] Brain "Spin" }
    Object "Lamps" { ObjectGroup "Lamps" }
    Object "Eye" { Brain "Path" }
}
ObjectGroup "Lamps" {
    Object "WarmLamp" { Position [-6., 6., -6.] }
    Object "ColdLamp" { Position [6., 4., -8.] }
}
Scene "One" {
    Time 2.
    RootObject "Row"
    Light "Warm" { Object "Lamps/WarmLamp" Color [255, 220, 180] Intensity [40., 5.] }
    Light "Cold" { Object "Lamps/ColdLamp" Color [150, 190, 255] Intensity [40., 5.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 1000.] Color [0, 0, 0]
        Background "Sky" { MapN "SkyNorth" MapW "SkyWest" MapS "SkySouth" MapE "SkyEast"
                           MapU "SkyUp" MapD "SkyDown" } } }
}
Demo "Golden" { Scene ["One"] }
)";
    golden::expectGolden(dir_, text, "render_variants", 0.5);
    golden::expectGolden(dir_, text, "render_variants_near", 1.5);
}

// Two views in one scene, each fog mode in turn (the views share the last camera's fog).
TEST_F(Golden, FogModesAndTwoViews) {
    std::string text = assets();
    text += R"(
ObjectGroup "Field" {
    Object "A" { Geometry "textured" Position [-3., 0., 4.] Light ["Sun"] }
    Object "B" { Geometry "plain" Position [0., 0., 20.] Light ["Sun"] }
    Object "C" { Geometry "textured" Position [3., 0., 60.] Light ["Sun"] }
    Object "D" { Geometry "plain" Position [0., 3., 140.] Light ["Sun"] }
    Object "Eye" { Position [0., 1., -6.] }
    Object "Side" { Position [-40., 2., 40.] Rotation [0., -1.5708, 0.] }
    Object "Lamp" { Position [0., 30., 0.] }
}
)";
    const char* modes[] = {"1_Exp", "Exp1", "Exp2"};
    std::string list;
    for (const char* mode : modes) {
        text += std::string("Scene \"") + mode + "\" { Time 0.2 RootObject \"Field\"\n" +
                "  Light \"Sun\" { Object \"Lamp\" Intensity [200., 40.] }\n" +
                "  Camera \"Wide\" { Object \"Eye\" View \"Left\" { Window [0, 0, 320, 480] "
                "FOV [1.2, 1.5] ZClip [1., 400.] Color [180, 190, 205] } }\n" +
                "  Camera \"Narrow\" { Object \"Side\" View \"Right\" { Window [320, 0, 320, 480] "
                "FOV [1.6, 1.8] ZClip [1., 400.] Color [200, 200, 210]\n" +
                "    Fog \"Mist\" { Color [180, 190, 205] Density 0.02 Mode \"" + mode +
                "\" } } } }\n";
        list += std::string(list.empty() ? "" : ", ") + "\"" + mode + "\"";
    }
    text += "Demo \"Fog\" { Scene [" + list + "] }\n";
    // Each scene of 0.2 s draws frames 0..12 (the extra frame included), 13 frames each.
    golden::expectGolden(dir_, text, "render_fog_1exp", 6.0 / 60.0);
    golden::expectGolden(dir_, text, "render_fog_exp1", 19.0 / 60.0);
    golden::expectGolden(dir_, text, "render_fog_exp2", 32.0 / 60.0);
}

}  // namespace
