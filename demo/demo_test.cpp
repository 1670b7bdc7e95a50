// Tests of the demo driver: scene assembly (lights, nested groups, cameras), the frame
// loop's end condition, the screen grab, and the messages and outcomes for descriptions
// that leave out what the loaders need.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/keyboard.h"
#include "demo/demo.h"
#include "geometry/scene_object.h"
#include "glide/board_stats.h"
#include "glide/present.h"
#include "render/renderer.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

// Plays descriptions on a stepped clock: every swap advances the clock by 1/60 s and
// calls `onSwap` with the number of frames swapped so far.
class DemoRun : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_demo_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        makeCube("Ice", true, 0).save((dir_ / "cube.lwo").string());
        glideSetPresenter(&DemoRun::present, this);
    }
    void TearDown() override {
        glideSetPresenter(nullptr, nullptr);
        setKeyState(kEscapeKey, false);
        setKeyState(kScreenGrabKey, false);
        fs::remove_all(dir_);
    }

    static void present(void* context, const uint16_t*, int, int, int) {
        auto* self = static_cast<DemoRun*>(context);
        ++self->swaps_;
        self->clock_.advance();
        if (self->onSwap) self->onSwap(self->swaps_);
        glidePresentComplete();
    }

    // Writes the description (with the cube geometry prepended) and plays it; returns
    // what reached the console.
    std::string play(Demo& demo, const std::string& text) {
        const std::string file = (dir_ / "demo.wrl").string();
        std::ofstream(file) << "Geometry \"Cube\" { LWObject \"" << (dir_ / "cube.lwo").string()
                            << "\" }\n"
                            << text;
        ScopedClockSource installed(&clock_);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(demo.LoadDemo(file.c_str()));
        return testing::internal::GetCapturedStderr();
    }

    fs::path dir_;
    SteppedClock clock_;
    int swaps_ = 0;
    std::function<void(int)> onSwap;
};

// A scene "S" of the given time with an eye object "Eye" in group "G" and one camera.
std::string scene(const char* label, const char* time, const std::string& extra = "") {
    return std::string("Scene \"") + label + "\" { Time " + time +
           " RootObject \"G\" Camera \"C\" { Object \"Eye\" View \"V\" { Window [0, 0, 640, 480] "
           "FOV [1.5708, 1.2] ZClip [1., 100.] Color [255, 255, 255] } } " +
           extra + " }\n";
}
const char* kGroup =
    "ObjectGroup \"G\" { Object \"Eye\" { Position [0., 0., -5.] } "
    "Object \"Box\" { Geometry \"Cube\" Light [\"Sun\"] } "
    "Object \"Lamp\" { Position [0., 10., -10.] } }\n";

TEST_F(DemoRun, LightsTakeTheirColourAndIntensityOrKeepTheDefaults) {
    Demo demo;
    const std::string console =
        play(demo, std::string(kGroup) +
                       scene("S", "0.",
                             "Light \"Sun\" { Object \"Lamp\" } "
                             "Light \"Red\" { Object \"Lamp\" Color [255, 128, 0] "
                             "Intensity [2., 500.] }") +
                       "Demo \"D\" { Scene [\"S\"] }\n");
    EXPECT_EQ(console, "");
    const Light* sun = demo.renderer->lights.find("Sun");
    const Light* red = demo.renderer->lights.find("Red");
    ASSERT_NE(sun, nullptr);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(sun->red, 1.0f);
    EXPECT_EQ(sun->quadraticIntensity, 16000000.0f);
    EXPECT_EQ(sun->linearIntensity, 6000.0f);
    EXPECT_NEAR(red->green, 0.502f, 0.001f);
    EXPECT_EQ(red->blue, 0.0f);
    EXPECT_EQ(red->quadraticIntensity, 4.0f);
    EXPECT_EQ(red->linearIntensity, 500.0f);
    ASSERT_NE(sun->object, nullptr);
    EXPECT_STREQ(sun->object->name.get(), "Lamp");
    // The object's light list names the scene's light; lights are drawn from.
    const SceneObject* box = findObjectByPath(demo.renderer->rootObject, "Box");
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->lightCount, 1);
    EXPECT_EQ(box->lights[0], sun);
    EXPECT_GT(boardStats().trianglesDrawn, 0u);
}

TEST_F(DemoRun, NestedGroupsBuildChildrenDepthFirst) {
    Demo demo;
    const std::string console =
        play(demo,
             "ObjectGroup \"Outer\" { Object \"A\" { ObjectGroup \"Inner\" Position [1., 0., 0.] } "
             "Object \"Eye\" { Scale 1. } }\n"
             "ObjectGroup \"Inner\" { Object \"B\" { Geometry \"Cube\" Position [0., 2., 0.] } "
             "Object \"C\" { Scale 1. } }\n"
             "Scene \"S\" { Time 0. RootObject \"Outer\" Camera \"C\" { Object \"Eye\" View \"V\" "
             "{ Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] Color [0, 0, 0] } } }\n"
             "Demo \"D\" { Scene [\"S\"] }\n");
    EXPECT_EQ(console,
              "Scene \"S\" object \"B\": no lights; its lit materials show their ambient "
              "colour\n");
    Renderer& r = *demo.renderer;
    ASSERT_EQ(r.drawCount, 4);  // A, B, C, Eye: children before the next sibling
    EXPECT_STREQ(r.drawList[0]->name.get(), "A");
    EXPECT_STREQ(r.drawList[1]->name.get(), "B");
    EXPECT_STREQ(r.drawList[2]->name.get(), "C");
    EXPECT_STREQ(r.drawList[3]->name.get(), "Eye");
    const SceneObject& b = *r.drawList[1];
    EXPECT_EQ(b.parent, r.drawList[0]);
    EXPECT_EQ(b.prevSibling, nullptr);
    EXPECT_EQ(b.nextSibling, r.drawList[2]);
    EXPECT_FLOAT_EQ(b.worldTransform.translation.x, 1.0f);  // the parent's offset
    EXPECT_FLOAT_EQ(b.worldTransform.translation.y, 2.0f);
}

TEST_F(DemoRun, EscapeEndsEachSceneAfterOneMoreFrame) {
    // Escape goes down during the first frame: the first scene draws two more frames (the
    // one that sees it in its snapshot, then the extra one), the second only its first.
    onSwap = [](int swaps) {
        if (swaps == 1) setKeyState(kEscapeKey, true);
    };
    Demo demo;
    play(demo, std::string(kGroup) + scene("One", "100.") + scene("Two", "100.") +
                   "Demo \"D\" { Scene [\"One\", \"Two\"] }\n");
    EXPECT_EQ(demo.framesDrawn, 4);
}

TEST_F(DemoRun, TimeRunsOutThenOneMoreFrame) {
    Demo demo;
    play(demo, std::string(kGroup) + scene("Zero", "0.") + scene("Tenth", "0.1") +
                   "Demo \"D\" { Scene [\"Zero\", \"Tenth\"] }\n");
    // Time 0: the stepped clock has not moved before the first test, so the first frame
    // does not yet end it; the second does. 0.1 s: frames at 0..6/60 s are within it.
    EXPECT_EQ(demo.framesDrawn, 2 + 8);
}

TEST_F(DemoRun, ScreenGrabWritesTheFrontBufferAsRgbBytes) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    onSwap = [](int swaps) {
        if (swaps == 1) setKeyState(kScreenGrabKey, true);
    };
    Demo demo;
    play(demo, std::string(kGroup) + scene("S", "0.05") + "Demo \"D\" { Scene [\"S\"] }\n");
    fs::current_path(previous);
    std::ifstream in(dir_ / "ScreenGrab.raw", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bytes.size(), 921600u);
    // The white clear colour (0xFFFF) becomes F8 FC F8; the cube's pixels are darker.
    EXPECT_EQ(bytes.substr(0, 3), "\xF8\xFC\xF8");
    const size_t centre = (240 * 640 + 320) * 3;
    EXPECT_NE(bytes.substr(centre, 3), "\xF8\xFC\xF8");
    for (size_t i = 0; i < bytes.size(); i += 3) {
        ASSERT_EQ(bytes[i] & 0x07, 0);
        ASSERT_EQ(bytes[i + 1] & 0x03, 0);
        ASSERT_EQ(bytes[i + 2] & 0x07, 0);
    }
}

TEST_F(DemoRun, FirstSceneBrainsKeepRunningInLaterScenes) {
    Demo demo;
    const std::string console = play(
        demo, std::string(kGroup) +
                  "Brain \"Spin\" { Class \"SimpleMovement\" Physics \"P\" { RotateVelocity [0., "
                  "1., 0.] MoveVelocity [0., 0., 0.] } }\n"
                  "ObjectGroup \"Spinning\" { Object \"Top\" { Brain \"Spin\" } Object \"Eye\" { "
                  "Scale 1. "
                  "} }\n" +
                  "Scene \"One\" { Time 0.5 RootObject \"Spinning\" }\n" + scene("Two", "0.5") +
                  "Demo \"D\" { Scene [\"One\", \"Two\"] }\n");
    ASSERT_EQ(demo.renderer->brains.count, 1);
    const SceneObject& top = *demo.renderer->brains.head->value->object;
    // Turned by 1 radian per second over every frame of both scenes, not just the first.
    const float angle =
        2.0f *
        std::atan2(std::hypot(top.rotation.x, top.rotation.y, top.rotation.z), top.rotation.w);
    EXPECT_NEAR(angle, static_cast<float>(demo.framesDrawn - 1) / 60.0f, 0.01f);
    EXPECT_GT(demo.framesDrawn, 60);
    EXPECT_EQ(console.find("Brain"), std::string::npos) << console;
}

// Descriptions that leave out what the loaders need: each gets a message naming the entry,
// and the run goes on to its end.
TEST_F(DemoRun, IncompleteDescriptionsAreReportedAndPlayOn) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "The description has no \"Demo\" entry; nothing plays"},
        {"Demo \"D\" { Title \"x\" }", "Demo \"D\" has no \"Scene\" list; nothing plays"},
        {"Demo \"D\" { Scene [\"Nowhere\"] }", "Demo: no Scene \"Nowhere\"; it is skipped"},
        {"Scene \"S\" { Time 0. } Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\": no \"RootObject\"; the scene shows no objects"},
        {"Scene \"S\" { RootObject \"G\" } Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\": no \"Time\"; it plays one frame"},
        {"Scene \"S\" { Time 0. RootObject \"Missing\" } Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\": no ObjectGroup \"Missing\"; it adds no objects"},
        {scene("S", "0.", "Light \"Sun\" { Color [1, 2, 3] }") + "Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" light \"Sun\": no \"Object\"; it does not shine"},
        {scene("S", "0.", "Light \"Sun\" { Object \"Lamp\" Intensity [2.] }") +
             "Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" light \"Sun\": \"Intensity\" needs 2 values; the default falloff stays"},
        {scene("S", "0.", "Light \"Sun\" { Object \"Lamp\" Color [1, 2] }") +
             "Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" light \"Sun\": \"Color\" needs 3 values; it stays white"},
        {scene("S", "0.") + "Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" object \"Box\": no Light \"Sun\"; it is left out"},
        {scene("S", "0.") + "Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" object \"Box\": no lights; its lit materials show their ambient colour"},
        {"ObjectGroup \"H\" { Object \"X\" { Geometry \"Nothing\" } Object \"Eye\" { Brain "
         "\"Nobody\" } }\n"
         "Scene \"S\" { Time 0. RootObject \"H\" } Demo \"D\" { Scene [\"S\"] }",
         "Scene \"S\" object \"X\": no Geometry \"Nothing\"; it is placed empty"},
        {"ObjectGroup \"H\" { Object \"Eye\" { Brain \"Nobody\" } }\n"
         "Scene \"S\" { Time 0. RootObject \"H\" } Demo \"D\" { Scene [\"S\"] }",
         "Object \"Eye\": no Brain entry \"Nobody\"; it gets no brain"},
        {"ObjectGroup \"Loop\" { Object \"L\" { ObjectGroup \"Loop\" } }\n"
         "Scene \"S\" { Time 0. RootObject \"Loop\" } Demo \"D\" { Scene [\"S\"] }",
         "ObjectGroup \"Loop\" is nested 64 deep"},
        {"Scene \"S\" { Time 0. RootObject \"G\" Camera \"C\" { Object \"Nobody\" View \"V\" { "
         "Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] Color [0, 0, 0] } } } "
         "Demo \"D\" { Scene [\"S\"] }",
         "camera \"C\": no object \"Nobody\"; the camera is left out"},
        {"Scene \"S\" { Time 0. RootObject \"G\" Camera \"C\" { Object \"Eye\" View \"V\" { "
         "Window [0, 0, 640] FOV [1.5708] ZClip [1., 100.] Color [0, 0, 0] } } } "
         "Demo \"D\" { Scene [\"S\"] }",
         "camera \"Window\" has 3 values, 4 needed; the previous value stays"},
        {"Scene \"S\" { Time 0. RootObject \"G\" Camera \"C\" { Object \"Eye\" View \"V\" { "
         "Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] Color [0, 0, 0] "
         "Background \"B\" { MapN \"Nothing\" } } } } Demo \"D\" { Scene [\"S\"] }",
         "background MapN names no texture \"Nothing\"; that side is drawn in its colour"},
        {"Scene \"S\" { Time 0. RootObject \"G\" Camera \"C\" { Object \"Eye\" View \"V\" { "
         "Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] Color [0, 0, 0] "
         "Background \"B\" { MapN \"Nothing\" } } } } Demo \"D\" { Scene [\"S\"] }",
         "\"Background\" needs a geometry named \"Sky\"; the view has no sky box"},
    };
    for (const auto& c : cases) {
        Demo demo;
        const std::string console = play(demo, std::string(kGroup) + c.text + "\n");
        EXPECT_NE(console.find(c.message), std::string::npos)
            << "description: " << c.text << "\nconsole: " << console;
    }
}

TEST_F(DemoRun, CapacitiesAreKeptOrGrow) {
    // Nine cameras: eight views, a message for the rest; 40 lights on one object: 32 used;
    // 2500 objects in one hierarchy: the draw list grows.
    std::string lights, names, cameras, objects;
    for (int i = 0; i < 40; ++i) {
        lights += "Light \"L" + std::to_string(i) + "\" { Object \"Lamp\" } ";
        names += std::string(i > 0 ? ", " : "") + "\"L" + std::to_string(i) + "\"";
    }
    for (int i = 0; i < 9; ++i) {
        cameras += "Camera \"C" + std::to_string(i) +
                   "\" { Object \"Eye\" View \"V\" { Window [0, 0, 64, 48] FOV [1.5708, 1.2] "
                   "ZClip [1., 100.] Color [0, 0, 0] } } ";
    }
    for (int i = 0; i < 2500; ++i) objects += "Object \"O" + std::to_string(i) + "\" { Scale 1. } ";
    Demo demo;
    const std::string console =
        play(demo,
             "ObjectGroup \"Many\" { Object \"Eye\" { Position [0., 0., -5.] } "
             "Object \"Box\" { Geometry \"Cube\" Light [" +
                 names + "] } Object \"Lamp\" { Position [0., 10., -10.] } " + objects +
                 " }\nScene \"S\" { Time 0. RootObject \"Many\" " + lights + cameras +
                 "}\nDemo \"D\" { Scene [\"S\"] }\n");
    EXPECT_NE(console.find("Scene \"S\": more than 8 cameras; the rest are left out"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("Scene \"S\" object \"Box\": 40 lights, at most 32 are used"),
              std::string::npos);
    EXPECT_EQ(demo.renderer->drawCount, 2503);
    EXPECT_EQ(findObjectByPath(demo.renderer->rootObject, "Box")->lightCount, 32);
}

}  // namespace
