// Tests of the brain factory and the motion brains, driven through the renderer's frame
// update with a stepped clock.
#include "brains/brains.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "app/clock.h"
#include "brains/fountain_and_television.h"
#include "brains/frame_rate_display.h"
#include "brains/motion_brains.h"
#include "brains/scrollers.h"
#include "brains/terrain.h"
#include "brains/user_movement.h"
#include "brains/water_movement.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"

namespace {

ParseTree parse(const std::string& text) {
    ParseResult result = parseText(text.data(), text.size());
    EXPECT_EQ(result.messageCount, 0) << text;
    return std::move(result.tree);
}

// A renderer whose scene is one object, stepped by a clock that moves only when told.
struct Stage {
    explicit Stage(double step = 1.0 / 60.0) : clock(step), installed(&clock) {
        renderer.frameContext = &context;
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
    }
    Brain* add(const std::string& description, SceneObject* driven = nullptr) {
        ParseTree tree = parse(description);
        createBrain(driven != nullptr ? driven : object, &renderer, tree.get());
        return renderer.brains.head != nullptr ? renderer.brains.head->value : nullptr;
    }
    // What the scene run loop does before a scene's first frame.
    void startBrains() {
        for (auto* entry = renderer.brains.head; entry != nullptr; entry = entry->next) {
            entry->value->start();
        }
    }
    void frame() {
        clock.advance();
        renderer.updateFrame();
    }

    SteppedClock clock;
    ScopedClockSource installed;
    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
};

template <class T>
bool isA(const Brain* brain) {
    return dynamic_cast<const T*>(brain) != nullptr;
}

// Position, rotation and scale, for exact comparison.
std::array<float, 8> pose(const SceneObject& o) {
    return {o.position.x, o.position.y, o.position.z, o.rotation.x,
            o.rotation.y, o.rotation.z, o.rotation.w, o.scale};
}

// Keys at 0 and 10 s, from the origin to x = 10 while turning and growing.
const char kStopPath[] =
    "Brain \"Path\" { Class \"LWMotion\" Motion \"m\" { EndBehavior \"Stop\"\n"
    "  Keyframe \"a\" { Position [0., 0., 0.] Time 0. }\n"
    "  Keyframe \"b\" { Position [10., 0., 0.] Rotation [0., 1., 0.] Scale [3., 3., 3.] "
    "Time 10. } } }";

std::string holdAt(const char* label, const char* position) {
    return std::string("Brain \"") + label + "\" { Class \"LWMotion\" Motion \"m\" { " +
           "Keyframe \"k\" { Position " + position + " } } }";
}

TEST(BrainFactory, EveryClassNameMakesItsClassAtTheHead) {
    const struct {
        const char* className;
        bool (*isClass)(const Brain*);
    } cases[] = {
        {"SimpleMovement", isA<SimpleMovement>},
        {"UserMovement", isA<UserMovement>},
        {"SineScroller", isA<SineScroller>},
        {"SplineScroller", isA<SplineScroller>},
        {"Mountain", isA<Mountain>},
        {"DisplayInfo", isA<DisplayInfo>},
        {"MoveFish", isA<MoveFish>},
        {"ShadeBobs", isA<ShadeBobs>},
        {"Television", isA<Television>},
        {"WaterMovement", isA<WaterMovement>},
        {"LWMotion", isA<LWMotion>},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className);
        Stage stage;
        stage.add(holdAt("Older", "[0., 0., 0.]"));
        Brain* brain = stage.add(std::string("Brain \"B\" { Class \"") + c.className + "\" }");
        ASSERT_NE(brain, nullptr);
        EXPECT_TRUE(c.isClass(brain));
        EXPECT_EQ(stage.renderer.brains.count, 2);
        EXPECT_STREQ(brain->name.get(), "B");
        EXPECT_EQ(stage.renderer.brains.head->name, brain->name.get());  // the key is the name
        EXPECT_EQ(brain->object, stage.object);
    }
}

TEST(BrainFactory, OneLabelForTwoObjectsMakesTwoBrains) {
    Stage stage;
    SceneObject* second = stage.renderer.createEmptyObject();
    stage.add(holdAt("Hold", "[1., 0., 0.]"));
    stage.add(holdAt("Hold", "[1., 0., 0.]"), second);

    ASSERT_EQ(stage.renderer.brains.count, 2);
    Brain* newer = stage.renderer.brains.head->value;
    Brain* older = stage.renderer.brains.head->next->value;
    EXPECT_EQ(newer->object, second);
    EXPECT_EQ(older->object, stage.object);
    EXPECT_EQ(stage.renderer.brains.find("Hold"), newer);
}

TEST(BrainFactory, UpdateFrameStepsTheNewestBrainFirst) {
    // Two brains write the same object; the one stepped last, the older, decides its place.
    for (bool aFirst : {true, false}) {
        Stage stage;
        const std::string a = holdAt("A", "[1., 0., 0.]");
        const std::string b = holdAt("B", "[2., 0., 0.]");
        stage.add(aFirst ? a : b);
        stage.add(aFirst ? b : a);
        stage.startBrains();
        stage.frame();
        EXPECT_EQ(stage.object->position.x, aFirst ? 1.0f : 2.0f);
    }
}

TEST(BrainFactoryDeathTest, ClassNamesAreCaseSensitive) {
    Stage stage;
    EXPECT_EXIT(stage.add("Brain \"Path\" { Class \"lwmotion\" }"), ::testing::ExitedWithCode(1),
                "^Unknown Brain Path Class: lwmotion\n$");
}

TEST(BrainFactory, IncompleteEntriesAreReportedAndLeaveTheObjectInPlace) {
    const struct {
        const char* description;  // empty: the object names an entry that does not exist
        const char* message;
        int brains;
    } cases[] = {
        {"", "Object \"NULL\": no Brain entry \"Ghost\"; it gets no brain\n", 0},
        {"Brain \"Bare\" { Motion \"m\" { StartTime 0. } }",
         "Brain \"Bare\": no \"Class\"; no brain made\n", 0},
        {"Brain \"Still\" { Class \"LWMotion\" }",
         "Brain \"Still\": no \"Motion\"; it does not move\n", 1},
        {"Brain \"Spin\" { Class \"SimpleMovement\" }",
         "Brain \"Spin\": no \"Physics\"; it does not move\n", 1},
        {"Brain \"Spin\" { Class \"SimpleMovement\" Physics \"p\" { RotateVelocity [0., 1., 0.] } "
         "}",
         "Brain \"Spin\": no \"MoveVelocity\"; taken as 0\n", 1},
        {"Brain \"Spin\" { Class \"SimpleMovement\" Physics \"p\" { MoveVelocity [0., 5.] } }",
         "Brain \"Spin\": no \"RotateVelocity\"; taken as 0\n"
         "Brain \"Spin\": \"MoveVelocity\" has 2 values, 3 needed; taken as 0\n",
         1},
        {"Brain \"Spin\" { Class \"SimpleMovement\" Physics \"p\" { RotateVelocity [0., 0., 0.] "
         "MoveVelocity [5.] } }",
         "Brain \"Spin\": \"MoveVelocity\" has 1 value, 3 needed; taken as 0\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        Stage stage;
        stage.object->position = {4.0f, 5.0f, 6.0f};
        ParseTree tree = *c.description != '\0' ? parse(c.description) : ParseTree{};
        ::testing::internal::CaptureStderr();
        createBrain(stage.object, &stage.renderer, tree.get(), "Ghost");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(stage.renderer.brains.count, c.brains);
        stage.startBrains();
        for (int i = 0; i < 5; ++i) stage.frame();
        const Vector3 p = stage.object->position;
        EXPECT_TRUE(p.x == 4.0f && p.y == 5.0f && p.z == 6.0f) << p.x << " " << p.y << " " << p.z;
    }
}

TEST(LWMotionBrain, StopHoldsTheLastFrameBeforeTheEnd) {
    Stage stage(0.75);  // frames at 9.75 and 10.5 s straddle the last key
    auto* brain = dynamic_cast<LWMotion*>(stage.add(kStopPath));
    ASSERT_NE(brain, nullptr);
    stage.startBrains();
    stage.startBrains();  // a second scene start prepares the same path again

    float previousX = -1.0f;
    while (stage.clock.now() + stage.clock.step() <= 10.0) {
        stage.frame();
        EXPECT_GT(stage.object->position.x, previousX) << "at " << brain->time;
        previousX = stage.object->position.x;
    }
    EXPECT_FLOAT_EQ(brain->time, 9.75f);
    EXPECT_LT(stage.object->position.x, 10.0f);  // the last key itself was never shown
    const std::array<float, 8> last = pose(*stage.object);
    EXPECT_GT(stage.object->scale, 1.0f);       // growing
    EXPECT_NE(stage.object->rotation.w, 1.0f);  // and turning

    for (int i = 0; i < 4; ++i) stage.frame();
    EXPECT_GT(brain->time, 12.0f);
    EXPECT_EQ(pose(*stage.object), last);
}

TEST(LWMotionBrain, KeyPoseReachesTheObject) {
    // "Quaternion" wins over "Rotation"; only the x scale is used, for all three axes.
    Stage stage;
    stage.add(
        "Brain \"Pose\" { Class \"LWMotion\" Motion \"m\" { Keyframe \"k\" { "
        "Position [1., 2., 3.] Rotation [1., 0., 0.] Quaternion [0., 0.6, 0., 0.8] "
        "Scale [2., 3., 4.] } } }");
    stage.startBrains();
    stage.frame();

    const std::array<float, 8> expected = {1.0f, 2.0f, 3.0f, 0.0f, 0.6f, 0.0f, 0.8f, 2.0f};
    EXPECT_EQ(pose(*stage.object), expected);
    EXPECT_EQ(stage.object->localTransform.scale, 2.0f);
}

TEST(LWMotionBrain, ClockSumsFrameDeltasInDoubleAndKeepsAFloat) {
    Stage stage;  // 1/60 s: the float sum drifts from the double one by the third frame
    auto* brain = dynamic_cast<LWMotion*>(stage.add(kStopPath));
    ASSERT_NE(brain, nullptr);
    stage.startBrains();
    float viaDouble = 0.0f;
    float viaFloat = 0.0f;
    bool differ = false;
    for (int i = 0; i < 60; ++i) {
        stage.frame();
        viaDouble = static_cast<float>(static_cast<double>(viaDouble) + stage.context.frameDelta);
        viaFloat += static_cast<float>(stage.context.frameDelta);
        differ = differ || viaDouble != viaFloat;
        ASSERT_EQ(brain->time, viaDouble) << "frame " << i;
    }
    EXPECT_TRUE(differ) << "this step does not tell the two sums apart";
}

TEST(SimpleMovementBrain, TurningWhileMovingTravelsACircle) {
    // 1 rad/s about the own y axis and 5 units/s along the own z axis as it was one frame
    // earlier: after N frames of dt, p = 5 dt * sum over k < N of (-sin k dt, 0, cos k dt).
    const struct {
        double step;
        int frames;
        float tolerance;
    } cases[] = {{0.5, 2, 1e-5f}, {0.5, 9, 1e-4f}, {1.0 / 60.0, 94, 1e-3f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        Stage stage(c.step);
        stage.add(
            "Brain \"Spin\" { Class \"SimpleMovement\" Physics \"p\" { "
            "RotateVelocity [0., 1., 0.] MoveVelocity [0., 0., 5.] } }");
        stage.startBrains();
        for (int i = 0; i < c.frames; ++i) stage.frame();

        double x = 0.0, z = 0.0;
        for (int k = 0; k < c.frames; ++k) {
            x -= 5.0 * c.step * std::sin(k * c.step);
            z += 5.0 * c.step * std::cos(k * c.step);
        }
        const SceneObject& o = *stage.object;
        EXPECT_NEAR(o.position.x, x, c.tolerance);
        EXPECT_EQ(o.position.y, 0.0f);
        EXPECT_NEAR(o.position.z, z, c.tolerance);
        const double angle = c.frames * c.step;
        EXPECT_NEAR(o.rotation.y, -std::sin(angle / 2), 1e-4);
        EXPECT_NEAR(o.rotation.w, std::cos(angle / 2), 1e-4);
        if (c.step < 0.1) {  // fine steps follow the circle of radius 5 about (-5, 0, 0)
            EXPECT_NEAR(o.position.x, 5.0 * (std::cos(angle) - 1.0), 0.1);
            EXPECT_NEAR(o.position.z, 5.0 * std::sin(angle), 0.1);
        }
    }
}

TEST(SimpleMovementBrain, VelocitiesWithoutValuesLeaveTheObjectStill) {
    // The description language cannot write an empty list, so the entry is built by hand.
    char label[] = "Idle";
    char className[] = "SimpleMovement";
    char physicsLabel[] = "p";
    ParseNode move{.name = "MoveVelocity"};
    ParseNode rotate{.next = &move, .name = "RotateVelocity"};
    ParseNode physics{.firstChild = &rotate, .name = "Physics", .text = physicsLabel};
    ParseNode classNode{.next = &physics, .name = "Class", .text = className};
    ParseNode entry{.firstChild = &classNode, .name = "Brain", .text = label};

    Stage stage;
    stage.object->position = {1.0f, 2.0f, 3.0f};
    stage.object->rotation = {0.0f, 0.6f, 0.0f, 0.8f};
    ::testing::internal::CaptureStderr();
    createBrain(stage.object, &stage.renderer, &entry);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Brain \"Idle\": \"RotateVelocity\" has 0 values, 3 needed; taken as 0\n"
              "Brain \"Idle\": \"MoveVelocity\" has 0 values, 3 needed; taken as 0\n");
    ASSERT_EQ(stage.renderer.brains.count, 1);
    stage.startBrains();
    for (int i = 0; i < 10; ++i) stage.frame();
    const std::array<float, 8> still = {1.0f, 2.0f, 3.0f, 0.0f, 0.6f, 0.0f, 0.8f, 1.0f};
    EXPECT_EQ(pose(*stage.object), still);
}

}  // namespace
