// Golden image of keyboard flight: a camera steered by UserMovement with the up and left
// arrows held from the first frame flies forward and turns left along a row of cubes,
// while a MoveFish cube ahead of it rolls on a binding that needs only shift up. Played
// by the offline renderer on the stepped clock; the frame at 1.5 s is compared byte for
// byte with tests/testdata/brain_user_movement.png (HALCYON_UPDATE_GOLDEN=1 writes it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/keyboard.h"
#include "brains/user_movement.h"
#include "tests/testing/golden.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUpArrow = 38;
constexpr int kLeftArrow = 37;

// The "Input" entries of a flight brain: the listed actions get their key lists, every
// other action a key nobody presses (so the console stays silent).
template <class T>
std::string inputs(const std::map<std::string, std::string>& keys) {
    std::string text;
    for (const char* action : T::kActionNames) {
        const auto found = keys.find(action);
        text += std::string("  Input \"") + action + "\" { Key [" +
                (found != keys.end() ? found->second : "90") + "] }\n";
    }
    return text;
}

void saveCube(const fs::path& file, const std::string& surface, int r, int g, int b) {
    LwoWriter w = makeCube(surface, false, 0);
    w.addSurface(surface).color(r, g, b).word("LUMI", 64).word("DIFF", 220).word("SPEC", 96);
    w.save(file.string());
}

TEST(UserMovementGolden, SteeredFlightAlongARowOfCubes) {
    const fs::path dir =
        fs::temp_directory_path() / ("halcyon_user_movement_" + std::to_string(getpid()));
    fs::create_directories(dir);
    saveCube(dir / "post.lwo", "Post", 210, 90, 50);
    saveCube(dir / "fish.lwo", "Fish", 60, 170, 230);

    const std::string d = dir.string() + "/";
    std::string text = "Geometry \"post\" { LWObject \"" + d + "post.lwo\" }\n" +
                       "Geometry \"fish\" { LWObject \"" + d + "fish.lwo\" }\n";
    text += "Brain \"Fly\" { Class \"UserMovement\"\n" +
            inputs<UserMovement>({{"MoveForward", std::to_string(kUpArrow)},
                                  {"RotateLeft", std::to_string(kLeftArrow)}}) +
            "  Physics \"p\" { MoveAcceleration [4., 4., 12.] MoveFriction [0.5, 0.5, 0.5]\n"
            "    RotateAcceleration [0.5, 0.5, 0.] RotateFriction [0.5, 0.5, 0.5] } }\n";
    text += "Brain \"Fish\" { Class \"MoveFish\"\n" + inputs<MoveFish>({{"RollLeft", "-16"}}) +
            "  Physics \"p\" { RotateAcceleration [1., 1., 3.] RotateFriction [0.8, 0.8, 0.8]\n"
            "    MoveFriction [0.5, 0.5, 0.5] } }\n";
    text += "ObjectGroup \"Row\" {\n";
    for (int i = 0; i < 6; ++i) {
        const std::string z = std::to_string(i * 6) + ".";
        text += "  Object \"L" + std::to_string(i) + "\" { Geometry \"post\" Position [-4., 0., " +
                z + "] Light [\"Sun\"] }\n";
        text += "  Object \"R" + std::to_string(i) + "\" { Geometry \"post\" Position [4., 0., " +
                z + "] Light [\"Sun\"] }\n";
    }
    text +=
        R"(  Object "Fish" { Geometry "fish" Position [-3., 1., 14.] Light ["Sun"] Brain "Fish" }
  Object "Eye" { Position [0., 1., -10.] Brain "Fly" }
  Object "Lamp" { Position [0., 10., 4.] }
}
Scene "Fly" {
    Time 2.
    RootObject "Row"
    Light "Sun" { Object "Lamp" Intensity [14., 5.] }
    Camera "Main" { Object "Eye" View "Full" {
        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 1000.] Color [20, 24, 40] } }
}
Demo "Flight" { Scene ["Fly"] }
)";
    const fs::path file = dir / "brain_user_movement.wrl";
    std::ofstream(file) << text;

    // Every frame is kept so the keys can be pressed at frame 0 (the demo clears the
    // keyboard when it opens its display); the frame at 1.5 s is the last one handed over.
    OfflineOptions options;
    options.description = file.string();
    options.from = 0.0;
    options.to = 1.5;
    std::vector<uint16_t> frame;
    int frames = 0;
    options.onFrame = [&](int number, const uint16_t* pixels) {
        if (number == 0) {
            setKeyState(kUpArrow, true);
            setKeyState(kLeftArrow, true);
        }
        ++frames;
        frame.assign(pixels, pixels + 640 * 480);
    };
    testing::internal::CaptureStderr();
    const OfflineResult result = renderOffline(options);
    const std::string console = testing::internal::GetCapturedStderr();
    setKeyState(kUpArrow, false);
    setKeyState(kLeftArrow, false);
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(console, "");
    EXPECT_EQ(frames, 91);  // 0 to 1.5 s at 60 frames per second
    ASSERT_EQ(frame.size(), size_t{640} * 480);

    const fs::path rendered = dir / "brain_user_movement.png";
    ASSERT_TRUE(writePng(rendered.string().c_str(), 640, 480, frame.data()));
    const fs::path golden = "tests/testdata/brain_user_movement.png";
    if (std::getenv("HALCYON_UPDATE_GOLDEN") != nullptr) {
        fs::copy_file(rendered, golden, fs::copy_options::overwrite_existing);
    }
    EXPECT_EQ(golden::readBytes(rendered), golden::readBytes(golden))
        << "the picture differs from " << golden << " (rendered: " << rendered << ")";
    if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace
