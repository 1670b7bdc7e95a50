// Tests of the keyboard flight brains, driven through the renderer's frame update on a
// stepped clock with a scripted keyboard.
#include "brains/user_movement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/keyboard.h"
#include "brains/brains.h"
#include "geometry/scene_object.h"
#include "math/matrix3.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"

namespace {

// Binary steps keep the sums exact: 1/64 s per frame.
constexpr double kStep = 1.0 / 64.0;

// A renderer whose scene is one object, a stepped clock and the process keyboard.
struct Stage {
    explicit Stage(double step = kStep, bool withKeyboard = true) : clock(step), installed(&clock) {
        if (withKeyboard) context.keyboard = &snapshot;
        renderer.frameContext = &context;
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
        clearKeys(snapshot);
    }
    ~Stage() { clearKeys(snapshot); }
    template <class T>
    T* add(const std::string& description) {
        ParseResult result = parseText(description.data(), description.size());
        EXPECT_EQ(result.messageCount, 0) << description;
        createBrain(object, &renderer, result.tree.get());
        T* brain = dynamic_cast<T*>(renderer.brains.head->value);
        EXPECT_NE(brain, nullptr);
        return brain;
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i) {
            clock.advance();
            renderer.updateFrame();
        }
    }

    SteppedClock clock;
    ScopedClockSource installed;
    KeyboardSnapshot snapshot;
    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
};

// Key of action i in the entries below: 'A' + i.
int keyOf(int action) {
    return 'A' + action;
}

// A "Brain" entry of `className` binding action i to key 'A' + i, with `physics` as the
// body of its "Physics" block.
template <class T>
std::string entry(const char* className, const std::string& physics) {
    std::string text = std::string("Brain \"Fly\" { Class \"") + className + "\"\n";
    for (int i = 0; i < T::kActionCount; ++i) {
        text += std::string("  Input \"") + T::kActionNames[i] + "\" { Key [" +
                std::to_string(keyOf(i)) + "] }\n";
    }
    return text + "  Physics \"p\" { " + physics + " } }";
}

bool near(const Vector3& a, const Vector3& b, float tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
           std::fabs(a.z - b.z) <= tolerance;
}

// Friction 1 (nothing lost), accelerations that differ per component.
const char kUnitPhysics[] =
    "RotateAcceleration [2., 4., 8.] RotateFriction [1., 1., 1.] "
    "MoveAcceleration [16., 32., 64.] MoveFriction [1., 1., 1.]";

struct AxisCase {
    int action;
    bool rotate;  // the rotate vectors, else the move vectors
    int axis;     // 0, 1, 2 for x, y, z
    float sign;
};

// Holding one action's key for one frame gives exactly sign * acceleration * dt on its
// axis and nothing elsewhere.
template <class T>
void checkAxes(const char* className, const std::vector<AxisCase>& cases) {
    for (const AxisCase& c : cases) {
        SCOPED_TRACE(std::string(className) + " " + T::kActionNames[c.action]);
        Stage stage;
        T* brain = stage.add<T>(entry<T>(className, kUnitPhysics));
        setKeyState(keyOf(c.action), true);
        stage.frames(1);
        const MovementPhysics& p = brain->physics;
        const Vector3 a = c.rotate ? p.rotateAcceleration : p.moveAcceleration;
        const float value = c.sign * (c.axis == 0 ? a.x : c.axis == 1 ? a.y : a.z) * float(kStep);
        const Vector3 expected = {c.axis == 0 ? value : 0.0f, c.axis == 1 ? value : 0.0f,
                                  c.axis == 2 ? value : 0.0f};
        const Vector3 moved = c.rotate ? p.rotateVelocity : p.moveVelocity;
        const Vector3 still = c.rotate ? p.moveVelocity : p.rotateVelocity;
        EXPECT_TRUE(near(moved, expected, 0.0f)) << moved.x << " " << moved.y << " " << moved.z;
        EXPECT_TRUE(near(still, {0.0f, 0.0f, 0.0f}, 0.0f));
    }
}

TEST(FlightBrains, EachActionAcceleratesItsAxisWithItsSign) {
    using U = UserMovement;
    using F = MoveFish;
    // clang-format off
    checkAxes<U>("UserMovement", {
        {U::RotateUp, true, 0, -1}, {U::RotateDown, true, 0, 1}, {U::RotateLeft, true, 1, 1},
        {U::RotateRight, true, 1, -1}, {U::MoveLeft, false, 0, -1}, {U::MoveRight, false, 0, 1},
        {U::MoveUp, false, 1, 1}, {U::MoveDown, false, 1, -1}, {U::MoveForward, false, 2, 1},
        {U::MoveBackward, false, 2, -1}});
    checkAxes<F>("MoveFish", {
        {F::PitchUp, true, 0, -1}, {F::PitchDown, true, 0, 1}, {F::YawLeft, true, 1, 1},
        {F::YawRight, true, 1, -1}, {F::RollLeft, true, 2, -1}, {F::RollRight, true, 2, 1},
        {F::MoveLeft, false, 0, -1}, {F::MoveRight, false, 0, 1}, {F::MoveUp, false, 1, 1},
        {F::MoveDown, false, 1, -1}, {F::MoveForward, false, 2, 1},
        {F::MoveBackward, false, 2, -1}});
    // clang-format on
}

// Friction keeps f^t of the velocity after t seconds at any frame rate; holding both keys
// of a pair adds nothing to it; without a friction the velocity is gone after one frame.
template <class T>
void checkFriction(const char* className) {
    const struct {
        double fps;
        bool holdPair;
        const char* friction;
        float expected;
    } cases[] = {
        {60.0, false, "MoveFriction [0.5, 0.5, 0.5]", 2.0f},
        {7.0, false, "MoveFriction [0.5, 0.5, 0.5]", 2.0f},
        {64.0, true, "MoveFriction [0.5, 0.5, 0.5]", 2.0f},
        {60.0, false, "", 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(className) + " at " + std::to_string(c.fps) + " " + c.friction);
        Stage stage(1.0 / c.fps);
        T* brain = stage.add<T>(entry<T>(
            className,
            std::string("MoveVelocity [0., 0., 4.] MoveAcceleration [9., 9., 9.] ") + c.friction));
        if (c.holdPair) {
            setKeyState(keyOf(T::MoveForward), true);
            setKeyState(keyOf(T::MoveBackward), true);
        }
        stage.frames(static_cast<int>(c.fps));
        EXPECT_NEAR(brain->physics.moveVelocity.z, c.expected, 1e-4);
        if (c.expected == 0.0f) {
            EXPECT_TRUE(near(stage.object->position, {0.0f, 0.0f, 0.0f}, 0.0f));
        }
    }
}

TEST(FlightBrains, FrictionKeepsItsFractionPerSecond) {
    checkFriction<UserMovement>("UserMovement");
    checkFriction<MoveFish>("MoveFish");
}

TEST(FlightBrains, KeyListsBuildBindings) {
    Stage stage(kStep, /*withKeyboard=*/false);
    const std::string text =
        "Brain \"Fly\" { Class \"UserMovement\"\n"
        "  Input \"MoveUp\" { Key [37, -16] }\n"
        "  Input \"MoveDown\" { Key [-16] }\n"
        "  Input \"MoveLeft\" { Key [200, 38, -128, -127] }\n"
        "  Physics \"p\" { MoveAcceleration [1., 1., 64.] MoveFriction [1., 1., 1.] "
        "RotateFriction [-0.5, 1., 1.] RotateAcceleration [1., 2.] } }";
    ParseResult parsed = parseText(text.data(), text.size());
    ASSERT_EQ(parsed.messageCount, 0);
    // The language has no empty list and no empty block, but a tree built in code can
    // hold both: an "Input" whose "Key" has no values and an "Input" without a block.
    char forwardLabel[] = "MoveForward";
    char rightLabel[] = "MoveRight";
    ParseNode emptyKey;
    emptyKey.name = "Key";
    ParseNode forward;
    forward.name = "Input";
    forward.text = forwardLabel;
    forward.firstChild = &emptyKey;
    ParseNode right;
    right.name = "Input";
    right.text = rightLabel;
    right.next = &forward;
    ParseNode* brainEntry = parsed.tree.get();
    forward.next = brainEntry->firstChild;
    brainEntry->firstChild = &right;
    testing::internal::CaptureStderr();
    createBrain(stage.object, &stage.renderer, brainEntry);
    const std::string console = testing::internal::GetCapturedStderr();
    brainEntry->firstChild = forward.next;  // the tree frees only its own nodes
    auto* brain = dynamic_cast<UserMovement*>(stage.renderer.brains.head->value);
    ASSERT_NE(brain, nullptr);
    for (const char* line : {
             "Brain \"Fly\": no \"Input\" \"RotateLeft\"; the action is never active\n",
             "Brain \"Fly\": no \"Input\" \"MoveBackward\"; the action is never active\n",
             "Brain \"Fly\": \"Input\" \"MoveRight\" has no \"Key\"; the action is never active\n",
             "Brain \"Fly\": \"Input\" \"MoveLeft\" key code 200 lies outside -127..127; ignored\n",
             "Brain \"Fly\": \"Input\" \"MoveLeft\" key code -128 lies outside -127..127; "
             "ignored\n",
             "Brain \"Fly\": \"RotateFriction\" holds a negative value; taken as 0\n",
             "Brain \"Fly\": \"RotateAcceleration\" has 2 values, 3 needed; ignored\n",
         }) {
        EXPECT_NE(console.find(line), std::string::npos) << line << "in\n" << console;
    }
    EXPECT_EQ(brain->physics.rotateFriction.x, 0.0f);
    EXPECT_EQ(brain->physics.rotateAcceleration.y, 0.0f);

    // What each snapshot makes of the bindings (MoveLeft kept 38 held and 127 up).
    using U = UserMovement;
    const struct {
        std::vector<int> held;
        bool up, down, left;
    } cases[] = {
        {{}, false, true, false},  {{37}, true, true, false},       {{37, 16}, false, false, false},
        {{38}, false, true, true}, {{38, 127}, false, true, false},
    };
    for (const auto& c : cases) {
        KeyboardSnapshot s;
        for (int key : c.held) s.words[keyWord(key)] |= keyMask(key);
        const auto active = [&](int action) {
            return brain->bindings[action].bound && matches(s, brain->bindings[action].keys);
        };
        EXPECT_EQ(active(U::MoveUp), c.up);
        EXPECT_EQ(active(U::MoveDown), c.down);
        EXPECT_EQ(active(U::MoveLeft), c.left);
        EXPECT_TRUE(active(U::MoveForward));  // the empty list
        EXPECT_FALSE(active(U::MoveRight));
        EXPECT_FALSE(active(U::RotateLeft));
    }

    // Without a keyboard every key counts as up: the empty list and -16 act, 38 does not.
    stage.frames(1);
    EXPECT_EQ(brain->physics.moveVelocity.z, 1.0f);           // 64 * 1/64
    EXPECT_EQ(brain->physics.moveVelocity.y, -1.0f / 64.0f);  // MoveDown
    EXPECT_EQ(brain->physics.moveVelocity.x, 0.0f);
}

// Both classes move along the object's own axes: UserMovement by last frame's matrix,
// MoveFish by the quaternion sandwich with the new rotation; both agree with the matrix
// the renderer builds from that rotation. UserMovement never turns about z.
TEST(FlightBrains, MovesAlongTheObjectsAxesAndOnlyMoveFishRolls) {
    const std::string physics =
        "MoveVelocity [0., 0., 64.] MoveFriction [1., 1., 1.] "
        "RotateVelocity [0., 0., 3.] RotateFriction [1., 1., 1.] RotateAcceleration [5., 5., 5.]";
    const Quaternion yaw = Quaternion::fromAngles(0.0f, 1.5707964f, 0.0f);
    for (bool fish : {false, true}) {
        SCOPED_TRACE(fish ? "MoveFish" : "UserMovement");
        Stage stage;
        if (fish) {
            stage.add<MoveFish>(entry<MoveFish>("MoveFish", physics));
        } else {
            stage.add<UserMovement>(entry<UserMovement>("UserMovement", physics));
        }
        stage.object->rotation = yaw;
        stage.object->localTransform.rotation = Matrix3::fromQuaternion(yaw);
        stage.frames(1);
        const Quaternion& r = stage.object->rotation;
        // One frame turns by 3/64 about z for MoveFish only.
        const Quaternion expected =
            fish ? multiply(yaw, Quaternion::fromAngles(0.0f, 0.0f, 3.0f / 64.0f)) : yaw;
        EXPECT_NEAR(r.x, expected.x, 1e-6);
        EXPECT_NEAR(r.y, expected.y, 1e-6);
        EXPECT_NEAR(r.z, expected.z, 1e-6);
        EXPECT_NEAR(r.w, expected.w, 1e-6);
        // A roll leaves the forward axis where it was, so both end on the same spot.
        const Vector3 along = apply(Matrix3::fromQuaternion(yaw), {0.0f, 0.0f, 1.0f});
        EXPECT_NEAR(std::fabs(along.x), 1.0f, 1e-6);
        EXPECT_TRUE(near(stage.object->position, along, 1e-5f))
            << stage.object->position.x << " " << stage.object->position.z;
    }
}

TEST(MoveFishRecorder, FormatsAMotionKeyframe) {
    char text[MoveFish::kKeyframeTextSize];
    const int length = MoveFish::formatKeyframe(text, sizeof text, 3, {1.5f, -2.0f, 0.25f},
                                                {0.0f, 0.6f, 0.0f, 0.8f}, 2.015625f);
    const char expected[] =
        "\tKeyframe\t\"f3\"\n"
        "\t{\n"
        "\t\tPosition\t[1.500000, -2.000000, 0.250000]\n"
        "\t\tQuaternion\t[0.000000, 0.600000, 0.000000, 0.800000]\n"
        "\t\tScale\t\t[1.0, 1.0, 1.0]\n"
        "\t\tTension\t\t0.0\n"
        "\t\tContinuity\t0.0\n"
        "\t\tBias\t\t0.0\n"
        "\t\tTime\t\t2.015625\n"
        "\t\tCurved\t\t1\n"
        "\t}\n";
    EXPECT_STREQ(text, expected);
    EXPECT_EQ(length, static_cast<int>(std::strlen(expected)));

    // The largest floats still fit whole.
    const float big = -3.4e38f;
    const int bigLength = MoveFish::formatKeyframe(text, sizeof text, 2147483647, {big, big, big},
                                                   {big, big, big, big}, big);
    EXPECT_LT(bigLength, static_cast<int>(sizeof text));
    EXPECT_STREQ(text + bigLength - 3, "\t}\n");
}

// The shared clock emits a key every two seconds; two brains make it run twice as fast.
TEST(MoveFishRecorder, EmitsEveryTwoSecondsOfTheSharedClock) {
    MoveFish::recordTime = 0.0f;
    MoveFish::sinceLastKey = 0.0f;
    MoveFish::keyNumber = 0;
    Stage stage;
    MoveFish* first = stage.add<MoveFish>(
        entry<MoveFish>("MoveFish", "MoveVelocity [0., 0., 1.] MoveFriction [1., 1., 1.]"));
    stage.frames(127);
    EXPECT_EQ(MoveFish::keyNumber, 0);
    EXPECT_STREQ(first->lastKeyframe, "");
    stage.frames(1);
    ASSERT_EQ(MoveFish::keyNumber, 1);
    EXPECT_EQ(MoveFish::sinceLastKey, 0.0f);
    char expected[MoveFish::kKeyframeTextSize];
    MoveFish::formatKeyframe(expected, sizeof expected, 0, stage.object->position,
                             stage.object->rotation, 2.0f);
    EXPECT_STREQ(first->lastKeyframe, expected);
    EXPECT_NE(std::string(expected).find("Position\t[0.000000, 0.000000, 2.000000]"),
              std::string::npos);

    MoveFish* second =
        stage.add<MoveFish>(entry<MoveFish>("MoveFish", "MoveFriction [1., 1., 1.]"));
    stage.frames(64);
    EXPECT_EQ(MoveFish::keyNumber, 2);
    EXPECT_EQ(MoveFish::recordTime, 4.0f);
    // The older brain is updated last, so it is the one that crosses the mark.
    EXPECT_NE(std::string(first->lastKeyframe).find("\"f1\""), std::string::npos);
    EXPECT_NE(std::string(first->lastKeyframe).find("Time\t\t4.000000"), std::string::npos);
    EXPECT_STREQ(second->lastKeyframe, "");
}

}  // namespace
