// Tests of keyframe motion: construction, reading a "Motion" block, end keys, spline
// evaluation, end behaviours and degenerate motions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>

#include "math/math.h"
#include "scene_lang/parse_tree.h"

namespace {

void expectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Same rotation: q or -q.
void expectSameRotation(const Quaternion& actual, const Quaternion& expected,
                        float tolerance = 1e-4f) {
    EXPECT_NEAR(std::fabs(dot(actual, expected)), 1.0f, tolerance);
}

bool finite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool finite(const Quaternion& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

void expectFiniteState(const KeyframeMotion& m) {
    EXPECT_TRUE(finite(m.currentPosition));
    EXPECT_TRUE(finite(m.currentScale));
    EXPECT_TRUE(finite(m.currentRotation));
    EXPECT_TRUE(finite(m.velocity));
    EXPECT_TRUE(finite(m.acceleration));
}

// A motion whose key k (1-based) sits at time times[k-1] and position (10 (k-1), 0, 0).
KeyframeMotion lineMotion(std::initializer_list<float> times, int16_t endBehavior) {
    KeyframeMotion m(static_cast<int>(times.size()));
    int k = 1;
    for (float t : times) {
        m.keys[static_cast<size_t>(k)].time = t;
        m.keys[static_cast<size_t>(k)].keyPosition = {10.0f * static_cast<float>(k - 1), 0, 0};
        ++k;
    }
    m.endBehavior = endBehavior;
    m.prepare();
    return m;
}

TEST(KeyframeMotionConstruct, SizesAndNewValues) {
    KeyframeMotion m(3);
    EXPECT_EQ(m.keyCount, 5);
    EXPECT_EQ(m.segmentCount, 2);
    ASSERT_EQ(m.keys.size(), 5u);
    ASSERT_EQ(m.segments.size(), 2u);
    EXPECT_EQ(m.keyframeCount(), 3);
    const MotionKey& key = m.keys[2];
    EXPECT_EQ(key.rotation.w, 1.0f);
    EXPECT_EQ(key.rotation.x, 0.0f);
    EXPECT_EQ(key.keyScale.y, 1.0f);
    EXPECT_EQ(key.keyPosition.z, 0.0f);
    EXPECT_EQ(key.tension + key.continuity + key.bias + key.time, 0.0f);
    EXPECT_EQ(m.currentRotation.w, 1.0f);
    EXPECT_EQ(m.currentScale.z, 1.0f);
    EXPECT_EQ(m.endBehavior, kEndStop);
    EXPECT_EQ(m.startTime, 0.0f);
    EXPECT_EQ(m.endTime, 0.0f);

    for (int n : {0, 1, -4}) {
        KeyframeMotion small(n);
        EXPECT_EQ(small.segmentCount, 0);
        EXPECT_EQ(small.keyCount, std::max(n, 0) + 2);
        EXPECT_EQ(small.keys.size(), static_cast<size_t>(small.keyCount));
    }
}

TEST(KeyframeMotionSpline, TwoKeysStopIsTheWorkedExample) {
    KeyframeMotion m = lineMotion({0, 1}, kEndStop);
    // End keys duplicate the two keyframes one second out.
    EXPECT_EQ(m.keys[0].time, -1.0f);
    EXPECT_EQ(m.keys[3].time, 2.0f);
    EXPECT_EQ(m.keys[3].keyPosition.x, 10.0f);
    expectNear(m.segments[0].positionCoeff[1], {5, 0, 0}, 1e-6f);  // outgoing tangent

    m.evaluate(0.5);
    expectNear(m.currentPosition, {5, 0, 0}, 1e-5f);
    m.evaluate(0.0);
    expectNear(m.velocity, {5, 0, 0}, 1e-5f);
    expectNear(m.currentPosition, {0, 0, 0}, 0);
    m.evaluate(1.0);
    expectNear(m.velocity, {5, 0, 0}, 1e-5f);
    expectNear(m.currentPosition, {10, 0, 0}, 1e-5f);
    expectNear(
        m.acceleration,
        add(scaled(m.segments[0].positionCoeff[2], 2), scaled(m.segments[0].positionCoeff[3], 6)),
        1e-5f);
}

// Random keys with tension, continuity and bias: the curve passes through every key,
// the pieces meet, and the rotation reaches each key's rotation.
TEST(KeyframeMotionSpline, PassesThroughEveryKeyAndIsContinuous) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> any(-3, 3), tcb(-0.8f, 0.8f);
    for (int trial = 0; trial < 10; ++trial) {
        const int n = 5;
        KeyframeMotion m(n);
        float time = any(rng);
        for (int k = 1; k <= n; ++k) {
            MotionKey& key = m.keys[static_cast<size_t>(k)];
            key.keyPosition = {any(rng), any(rng), any(rng)};
            key.keyScale = {1 + any(rng) / 4, 1, 2};
            key.rotation = Quaternion::fromAngles(any(rng), any(rng), any(rng));
            key.tension = tcb(rng);
            key.continuity = tcb(rng);
            key.bias = tcb(rng);
            key.time = time;
            time += 0.25f + std::fabs(any(rng));
        }
        m.startTime = 0;
        m.prepare();
        for (int k = 1; k <= n; ++k) {
            const MotionKey& key = m.keys[static_cast<size_t>(k)];
            m.evaluate(key.time);
            expectNear(m.currentPosition, key.keyPosition);
            expectNear(m.currentScale, key.keyScale);
            expectSameRotation(m.currentRotation, key.rotation);
        }
        for (int k = 2; k < n; ++k) {  // both sides of an inner key
            const double t = m.keys[static_cast<size_t>(k)].time;
            m.evaluate(t - 1e-4);
            const Vector3 before = m.currentPosition;
            const Quaternion rotationBefore = m.currentRotation;
            m.evaluate(t + 1e-4);
            expectNear(m.currentPosition, before, 0.02f);
            expectSameRotation(m.currentRotation, rotationBefore, 1e-3f);
        }
    }
}

TEST(KeyframeMotionSpline, TensionOneGivesZeroTangents) {
    KeyframeMotion m(3);
    const Vector3 points[] = {{0, 0, 0}, {4, -2, 6}, {1, 1, 1}};
    for (int k = 1; k <= 3; ++k) {
        m.keys[static_cast<size_t>(k)].keyPosition = points[k - 1];
        m.keys[static_cast<size_t>(k)].tension = 1;
        m.keys[static_cast<size_t>(k)].continuity = 0.3f;  // no effect at tension 1
        m.keys[static_cast<size_t>(k)].time = static_cast<float>(2 * (k - 1));
    }
    m.prepare();
    for (int s = 0; s < 2; ++s) {
        for (float e : {0.1f, 0.5f, 0.8f}) {
            m.evaluate(2.0 * s + 2.0 * e);
            const float h = 3 * e * e - 2 * e * e * e;
            expectNear(m.currentPosition, add(points[s], scaled(sub(points[s + 1], points[s]), h)));
        }
    }
}

// The tangents at a key, worked by hand from the Kochanek-Bartels rule for equally spaced
// keys: out = (1-t)/2 [(1+b)(1+c) in-chord + (1-b)(1-c) out-chord],
// in = (1-t)/2 [(1+b)(1-c) in-chord + (1-b)(1+c) out-chord].
TEST(KeyframeMotionSpline, TensionContinuityBiasShapeTheTangents) {
    struct Case {
        float tension, continuity, bias;
        Vector3 incoming, outgoing;
    };
    const Case cases[] = {
        {0, 0, 0, {5, 5, 0}, {5, 5, 0}},
        {0, 0.5f, 0, {2.5f, 7.5f, 0}, {7.5f, 2.5f, 0}},
        {0, -0.5f, 0, {7.5f, 2.5f, 0}, {2.5f, 7.5f, 0}},
        {0, 0, 0.5f, {7.5f, 2.5f, 0}, {7.5f, 2.5f, 0}},
        {0.5f, 0, 0, {2.5f, 2.5f, 0}, {2.5f, 2.5f, 0}},
        {0.5f, 0.5f, -0.5f, {0.625f, 5.625f, 0}, {1.875f, 1.875f, 0}},
    };
    for (const Case& c : cases) {
        KeyframeMotion m(3);
        const Vector3 points[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
        for (int k = 1; k <= 3; ++k) {
            m.keys[static_cast<size_t>(k)].keyPosition = points[k - 1];
            m.keys[static_cast<size_t>(k)].time = static_cast<float>(k);
        }
        m.keys[2].tension = c.tension;
        m.keys[2].continuity = c.continuity;
        m.keys[2].bias = c.bias;
        m.prepare();
        m.evaluate(2.0 - 1e-6);
        expectNear(m.velocity, c.incoming, 1e-3f);
        m.evaluate(2.0);
        expectNear(m.velocity, c.outgoing, 1e-5f);
        expectNear(m.currentPosition, points[1], 0);
    }
}

// Turning about one axis, the rotation angle follows the same tangents as a position
// whose x is that angle: the control rotations qa and qb carry the tangents.
TEST(KeyframeMotionRotation, SingleAxisTurnFollowsThePositionTangents) {
    const float angles[] = {0.0f, 0.4f, 1.6f, 1.8f};
    KeyframeMotion m(4);
    for (int k = 1; k <= 4; ++k) {
        MotionKey& key = m.keys[static_cast<size_t>(k)];
        key.rotation = Quaternion::fromAxisAngle({0, 0, 1}, angles[k - 1]);
        key.keyPosition = {angles[k - 1], 0, 0};
        key.time = static_cast<float>(k);
        key.bias = 0.3f;
    }
    m.prepare();
    auto angleAt = [&m](double t) {
        m.evaluate(t);
        return 2.0f * std::atan2(m.currentRotation.z, m.currentRotation.w);
    };
    const double step = 1e-3;
    for (double t : {1.0, 2.0, 3.0}) {  // start of each segment
        const float rate = (angleAt(t + step) - angleAt(t)) / static_cast<float>(step);
        m.evaluate(t);
        EXPECT_NEAR(rate, m.velocity.x, 5e-3f) << "leaving key at " << t;
    }
    for (double t : {2.0, 3.0, 4.0}) {  // end of each segment
        const float rate =
            (angleAt(t - 1e-6) - angleAt(t - step - 1e-6)) / static_cast<float>(step);
        m.evaluate(t - 1e-6);
        EXPECT_NEAR(rate, m.velocity.x, 5e-3f) << "reaching key at " << t;
    }
}

TEST(KeyframeMotionEndBehavior, StopHoldsTheLastResult) {
    KeyframeMotion m = lineMotion({1, 2, 3}, kEndStop);
    m.evaluate(0.25);  // before the first key: the first key
    expectNear(m.currentPosition, {0, 0, 0}, 0);
    m.evaluate(2.9);
    const Vector3 lastInside = m.currentPosition;
    m.evaluate(3.01);  // past the last key time: nothing changes
    EXPECT_EQ(m.currentPosition.x, lastInside.x);
    m.evaluate(100.0);
    EXPECT_EQ(m.currentPosition.x, lastInside.x);
    m.evaluate(3.0);  // exactly on the last key
    expectNear(m.currentPosition, {20, 0, 0});
}

TEST(KeyframeMotionEndBehavior, RepeatAndResetWrapTheTime) {
    for (int16_t behavior : {kEndRepeat, kEndReset}) {
        KeyframeMotion m = lineMotion({0, 1, 2, 3, 4}, behavior);
        m.startTime = 0;
        m.endTime = 4;
        m.evaluate(1.0);
        const Vector3 atOne = m.currentPosition;
        expectNear(atOne, {10, 0, 0});
        m.evaluate(5.0);
        EXPECT_EQ(m.currentPosition.x, atOne.x);
        m.evaluate(4.0 * 1000 + 1);
        EXPECT_EQ(m.currentPosition.x, atOne.x);
        m.evaluate(1.5);
        const Vector3 atOneAndHalf = m.currentPosition;
        m.evaluate(9.5);
        EXPECT_EQ(m.currentPosition.x, atOneAndHalf.x);
        m.evaluate(-1.0);  // remainder -1: before the first key
        expectNear(m.currentPosition, {0, 0, 0}, 0);
        m.evaluate(4.0);  // wraps to 0
        expectNear(m.currentPosition, {0, 0, 0}, 0);
        // Resolution 1/4096 s: times within one step evaluate alike.
        m.evaluate(1.5 + 0.2 / 4096);
        EXPECT_EQ(m.currentPosition.x, atOneAndHalf.x);
        // The start time shifts the wrapped time.
        m.startTime = 1;
        m.endTime = 5;
        m.evaluate(4.5);
        const float shifted = m.currentPosition.x;
        m.evaluate(0.5);
        EXPECT_EQ(m.currentPosition.x, shifted);
        expectNear(m.currentPosition, atOneAndHalf);
    }
}

// A closed loop (last key repeats the first) with Repeat: the end keys continue the
// loop, so the velocity at the end of the last segment equals that at the start.
TEST(KeyframeMotionEndBehavior, RepeatLoopIsSmoothThroughTheJoin) {
    KeyframeMotion m(5);
    const Vector3 points[] = {{0, 0, 0}, {5, 0, 1}, {5, 5, 2}, {0, 5, 3}, {0, 0, 0}};
    for (int k = 1; k <= 5; ++k) {
        m.keys[static_cast<size_t>(k)].keyPosition = points[k - 1];
        m.keys[static_cast<size_t>(k)].time = static_cast<float>(k - 1);
    }
    m.endBehavior = kEndRepeat;
    m.startTime = 0;
    m.endTime = 4;
    m.prepare();
    EXPECT_EQ(m.keys[0].time, -1.0f);
    expectNear(m.keys[0].keyPosition, points[3], 0);
    EXPECT_EQ(m.keys[6].time, 5.0f);
    expectNear(m.keys[6].keyPosition, points[1], 0);

    m.evaluate(4.0 - 1.0 / 4096);
    const Vector3 endVelocity = m.velocity;
    m.evaluate(0.0);
    expectNear(m.velocity, endVelocity, 0.01f);
    expectNear(m.velocity, scaled(sub(points[1], points[3]), 0.5f), 1e-5f);
}

TEST(KeyframeMotionRotation, OppositeHemisphereKeysTurnTheShortWay) {
    KeyframeMotion m(2);
    const Vector3 z{0, 0, 1};
    m.keys[1].rotation = Quaternion::fromAxisAngle(z, 0.2f);
    m.keys[2].rotation = scaled(Quaternion::fromAxisAngle(z, 0.6f), -1);  // same turn, dot < 0
    m.keys[2].time = 1;
    m.prepare();
    EXPECT_GT(dot(m.segments[0].q0, m.segments[0].q1), 0.0f);
    float previous = 0.2f;
    for (int i = 0; i <= 20; ++i) {
        m.evaluate(i / 20.0);
        const Vector3 turned = apply(Matrix3::fromQuaternion(m.currentRotation), {1, 0, 0});
        const float angle = std::atan2(turned.y, turned.x);
        EXPECT_GE(angle, previous - 1e-4f) << "at " << i;
        EXPECT_LE(angle, 0.6f + 1e-4f) << "at " << i;
        EXPECT_NEAR(turned.z, 0.0f, 1e-5f);
        previous = angle;
    }
    EXPECT_NEAR(previous, 0.6f, 1e-4f);
}

// --- Degenerate motions: defined results, nothing infinite, no crash. ---

TEST(KeyframeMotionDegenerate, NoKeyOrOneKey) {
    KeyframeMotion none(0);
    none.prepare();
    none.currentPosition = {1, 2, 3};
    none.evaluate(0.5);
    expectNear(none.currentPosition, {1, 2, 3}, 0);
    EXPECT_EQ(none.currentRotation.w, 1.0f);

    for (int16_t behavior : {kEndReset, kEndStop, kEndRepeat}) {
        KeyframeMotion one(1);
        one.keys[1].keyPosition = {4, 5, 6};
        one.keys[1].keyScale = {2, 2, 2};
        one.keys[1].rotation = Quaternion::fromAngles(0.5f, 0, 0);
        one.keys[1].time = 3;
        one.endBehavior = behavior;
        one.endTime = 1;
        one.prepare();
        for (double t : {0.0, 3.0, 50.0, -2.0}) {
            one.evaluate(t);
            expectNear(one.currentPosition, {4, 5, 6}, 0);
            expectNear(one.currentScale, {2, 2, 2}, 0);
            expectNear(one.velocity, {0, 0, 0}, 0);
            expectSameRotation(one.currentRotation, one.keys[1].rotation, 0);
        }
    }
}

TEST(KeyframeMotionDegenerate, KeyTimesThatDoNotIncrease) {
    for (int16_t behavior : {kEndReset, kEndStop, kEndRepeat}) {
        KeyframeMotion same = lineMotion({2, 2, 2}, behavior);
        same.endTime = 4;
        for (const MotionSegment& s : same.segments) EXPECT_EQ(s.invDuration, 0.0f);
        for (double t : {0.0, 1.0, 2.0, 3.0}) {
            same.evaluate(t);
            expectFiniteState(same);
        }
        same.evaluate(1.0);
        expectNear(same.currentPosition, {0, 0, 0}, 0);  // before the keys: the first key

        KeyframeMotion backwards = lineMotion({3, 1, 2, 0}, behavior);
        backwards.endTime = 4;
        for (int i = -10; i <= 50; ++i) {
            backwards.evaluate(i * 0.1);
            expectFiniteState(backwards);
        }
    }
    // Repeat with two keys: end keys mirror the keys themselves.
    KeyframeMotion two = lineMotion({0, 1}, kEndRepeat);
    two.endTime = 1;
    two.evaluate(0.25);
    expectFiniteState(two);
    expectNear(two.keys[0].keyPosition, {0, 0, 0}, 0);
    expectNear(two.keys[3].keyPosition, {10, 0, 0}, 0);
}

TEST(KeyframeMotionDegenerate, TinyPeriodsAndExtremeTimes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (float period : {0.0f, 1.0f / 8192, -3.0f}) {  // below one step: no wrap
        KeyframeMotion m = lineMotion({0, 1, 2}, kEndRepeat);
        m.startTime = 0;
        m.endTime = period;
        m.evaluate(1.5);
        const float unwrapped = m.currentPosition.x;
        EXPECT_GT(unwrapped, 10.0f);
        EXPECT_LT(unwrapped, 20.0f);
        m.evaluate(50.0);
        expectNear(m.currentPosition, {20, 0, 0});  // past the end: the last key
    }
    for (int16_t behavior : {kEndReset, kEndStop, kEndRepeat}) {
        KeyframeMotion m = lineMotion({0, 1, 2}, behavior);
        m.endTime = 2;
        for (double t : {nan, inf, -inf, 1e300, -1e300, 1e18, 3e9}) {
            m.evaluate(t);
            expectFiniteState(m);
        }
        m.startTime = 1;  // NaN is not wrapped to 0 but gives the first key
        m.evaluate(nan);
        expectNear(m.currentPosition, {0, 0, 0}, 0);
    }
    // Huge end times do not overflow the period either.
    KeyframeMotion m = lineMotion({0, 1, 2}, kEndRepeat);
    m.endTime = std::numeric_limits<float>::max();
    m.evaluate(1.5);
    expectFiniteState(m);
    m.evaluate(1e300);
    expectFiniteState(m);
}

// --- Reading a "Motion" block built by hand as the parser would. ---

ParseNode* node(const char* name) {
    ParseNode* n = new ParseNode;
    n->name = name;
    return n;
}

ParseNode* textNode(const char* name, const char* text) {
    ParseNode* n = node(name);
    n->text = copyText(text, std::strlen(text));
    return n;
}

ParseNode* floatNode(const char* name, float value) {
    ParseNode* n = node(name);
    n->floatValue = value;
    return n;
}

ParseNode* listNode(const char* name, std::initializer_list<float> values) {
    ParseNode* n = node(name);
    for (float v : values) n->appendValue()->floatValue = v;
    return n;
}

// Links the nodes as a chain of siblings and returns the first.
ParseNode* chain(std::initializer_list<ParseNode*> nodes) {
    ParseNode* first = nullptr;
    ParseNode* previous = nullptr;
    for (ParseNode* n : nodes) {
        if (previous != nullptr) {
            previous->next = n;
        } else {
            first = n;
        }
        previous = n;
    }
    return first;
}

ParseTree motionBlock(const char* endBehavior) {
    ParseNode* motion = textNode("Motion", "path");
    ParseNode* first = textNode("Keyframe", "a");
    first->firstChild =
        chain({listNode("Position", {1, 2, 3}), listNode("Rotation", {0.5f, 0, 0}),
               listNode("Quaternion", {0, 0.6f, 0, 0.8f}), listNode("Scale", {2, 3, 4}),
               floatNode("Tension", 0.25f), floatNode("Continuity", -0.5f),
               floatNode("Bias", 0.75f), floatNode("Time", 1.5f), node("Curved")});
    ParseNode* second = textNode("Keyframe", "b");
    second->firstChild = chain({listNode("Position", {7, 8}),  // too short: stays (0, 0, 0)
                                listNode("Rotation", {0, 0, 1.0f}), floatNode("Time", 4)});
    ParseNode* third = node("Keyframe");
    motion->firstChild =
        chain({floatNode("StartTime", 0.5f), first, node("Unknown"), second,
               textNode("EndBehavior", endBehavior), floatNode("EndTime", 6), third});
    return ParseTree(motion);
}

TEST(ReadMotion, FillsKeysInFileOrder) {
    ParseTree tree = motionBlock("Repeat");
    std::unique_ptr<KeyframeMotion> m = readMotion(tree.get(), true);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->keyframeCount(), 3);
    EXPECT_EQ(m->segmentCount, 2);
    EXPECT_EQ(m->startTime, 0.5f);
    EXPECT_EQ(m->endTime, 6.0f);
    EXPECT_EQ(m->endBehavior, kEndRepeat);

    const MotionKey& a = m->keys[1];
    expectNear(a.keyPosition, {1, 2, 3}, 0);
    expectNear(a.keyScale, {2, 3, 4}, 0);
    EXPECT_EQ(a.rotation.y, 0.6f);  // "Quaternion" wins over "Rotation"
    EXPECT_EQ(a.rotation.w, 0.8f);
    EXPECT_EQ(a.tension, 0.25f);
    EXPECT_EQ(a.continuity, -0.5f);
    EXPECT_EQ(a.bias, 0.75f);
    EXPECT_EQ(a.time, 1.5f);

    const MotionKey& b = m->keys[2];
    expectNear(b.keyPosition, {0, 0, 0}, 0);
    const Quaternion fromAngles = Quaternion::fromAngles(0, 0, 1.0f);
    EXPECT_EQ(b.rotation.z, fromAngles.z);
    EXPECT_EQ(b.rotation.w, fromAngles.w);
    EXPECT_EQ(b.time, 4.0f);
    EXPECT_EQ(b.keyScale.x, 1.0f);

    const MotionKey& c = m->keys[3];  // an empty keyframe keeps the new-key values
    EXPECT_EQ(c.time, 0.0f);
    EXPECT_EQ(c.rotation.w, 1.0f);

    m->prepare();
    m->evaluate(1.0);
    expectFiniteState(*m);
}

TEST(ReadMotion, QuaternionFlagEndBehaviorsAndMissingBlock) {
    ParseTree tree = motionBlock("Stop");
    std::unique_ptr<KeyframeMotion> m = readMotion(tree.get(), false);
    const Quaternion fromAngles = Quaternion::fromAngles(0.5f, 0, 0);
    EXPECT_EQ(m->keys[1].rotation.x, fromAngles.x);  // "Quaternion" not read
    EXPECT_EQ(m->keys[1].rotation.w, fromAngles.w);
    EXPECT_EQ(m->endBehavior, kEndStop);

    EXPECT_EQ(readMotion(motionBlock("Reset").get(), false)->endBehavior, kEndReset);
    // Unknown text leaves the value (Stop, as new).
    EXPECT_EQ(readMotion(motionBlock("Bounce").get(), false)->endBehavior, kEndStop);
    EXPECT_EQ(readMotion(motionBlock("repeat").get(), false)->endBehavior, kEndStop);

    ParseTree noText(node("Motion"));
    noText->firstChild = node("EndBehavior");
    EXPECT_EQ(readMotion(noText.get(), true)->endBehavior, kEndStop);
    EXPECT_EQ(readMotion(noText.get(), true)->keyframeCount(), 0);

    std::unique_ptr<KeyframeMotion> missing = readMotion(nullptr, true);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->keyframeCount(), 0);
    missing->prepare();
    missing->evaluate(1.0);
    EXPECT_EQ(missing->currentRotation.w, 1.0f);
}

}  // namespace
