// Tests of the vector, matrix, transform, quaternion and plane operations.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

#include "math/math.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void expectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectNear(const Quaternion& actual, const Quaternion& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

bool sameBits(const Quaternion& a, const Quaternion& b) {
    return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
           std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y) &&
           std::bit_cast<uint32_t>(a.z) == std::bit_cast<uint32_t>(b.z) &&
           std::bit_cast<uint32_t>(a.w) == std::bit_cast<uint32_t>(b.w);
}

class RandomValues {
  public:
    float uniform(float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng_);
    }
    Vector3 vector() { return {uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)}; }
    Quaternion unitQuaternion() {
        Quaternion q{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
        const float len = std::sqrt(dot(q, q));
        return scaled(q, 1.0f / len);
    }

  private:
    std::mt19937 rng_{12345};
};

// The rotation q.v.q* through Hamilton products.
Vector3 rotateByProduct(const Quaternion& q, const Vector3& v) {
    Quaternion conj = q;
    conj.conjugate();
    const Quaternion r = multiply(multiplyVector(q, v), conj);
    return {r.x, r.y, r.z};
}

TEST(Vector3Ops, ArithmeticAndNormalize) {
    Vector3 zero;
    EXPECT_EQ(zero.normalize(), -1.0f);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);

    Vector3 v{3, 0, 4};
    EXPECT_EQ(v.normalize(), 5.0f);
    EXPECT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.8f);

    // Right-handed cross product, and its result is perpendicular to both inputs.
    expectNear(cross({1, 0, 0}, {0, 1, 0}), {0, 0, 1}, 0);
    expectNear(cross({0, 1, 0}, {0, 0, 1}), {1, 0, 0}, 0);
    const Vector3 a{1, 2, 3}, b{-4, 0.5f, 2};
    EXPECT_NEAR(dot(cross(a, b), a), 0, 1e-5f);
    EXPECT_NEAR(dot(cross(a, b), b), 0, 1e-5f);

    EXPECT_FLOAT_EQ(length(Vector3{2, 3, 6}), 7.0f);
}

TEST(Vector3Ops, AnglesBetween) {
    const float floor = std::acos(0.9999f);
    EXPECT_NEAR(floor, 0.014142f, 2e-6f);  // acos of the float nearest 0.9999
    EXPECT_FLOAT_EQ(angleBetweenUnit({0, 1, 0}, {0, 1, 0}), floor);  // never 0
    EXPECT_FLOAT_EQ(angleBetweenUnit({0, 1, 0}, {0, -1, 0}), std::acos(-0.9999f));
    EXPECT_NEAR(angleBetweenUnit({1, 0, 0}, {0, 0, 1}), kPi / 2, 1e-6f);
    // angleBetween normalises by the lengths.
    EXPECT_NEAR(angleBetween({2, 0, 0}, {0, 3, 0}), kPi / 2, 1e-6f);
    EXPECT_NEAR(angleBetween({2, 2, 0}, {5, 0, 0}), kPi / 4, 1e-6f);
}

TEST(MatrixFromQuaternion, ScaleConstantAndAgreementWithProduct) {
    EXPECT_EQ(std::bit_cast<uint32_t>(kQuaternionMatrixScale), 0x3FB504F4u);
    EXPECT_EQ(kQuaternionMatrixScale, 1.4142137f);
    EXPECT_EQ(std::nextafter(static_cast<float>(std::numbers::sqrt2), 2.0f),
              kQuaternionMatrixScale);

    // A quarter turn about Z takes X to Y.
    const Matrix3 quarter = Matrix3::fromQuaternion(Quaternion::fromAxisAngle({0, 0, 1}, kPi / 2));
    expectNear(apply(quarter, {1, 0, 0}), {0, 1, 0});

    RandomValues random;
    for (int i = 0; i < 200; ++i) {
        const Quaternion q = random.unitQuaternion();
        const Vector3 v = random.vector();
        const Matrix3 m = Matrix3::fromQuaternion(q);
        expectNear(apply(m, v), rotateByProduct(q, v), 1e-4f);
        // Orthonormal, and applyTransposed undoes apply.
        const Matrix3 mmT =
            multiply(m, {m.m00, m.m10, m.m20, m.m01, m.m11, m.m21, m.m02, m.m12, m.m22});
        EXPECT_NEAR(mmT.m00, 1, 1e-5f);
        EXPECT_NEAR(mmT.m11, 1, 1e-5f);
        EXPECT_NEAR(mmT.m01, 0, 1e-5f);
        EXPECT_NEAR(mmT.m21, 0, 1e-5f);
        expectNear(applyTransposed(m, apply(m, v)), v, 1e-4f);
    }

    // A non-unit quaternion is used as it is: twice q scales the rotation part by four.
    const Quaternion q = Quaternion::fromAxisAngle({1, 0, 0}, 1.0f);
    const Matrix3 big = Matrix3::fromQuaternion(scaled(q, 2.0f));
    const Matrix3 small = Matrix3::fromQuaternion(q);
    EXPECT_NEAR(big.m12, 4 * small.m12, 1e-5f);
}

TEST(Composition, ProductsApplyTheRightOperandFirst) {
    RandomValues random;
    for (int i = 0; i < 100; ++i) {
        const Quaternion a = random.unitQuaternion();
        const Quaternion b = random.unitQuaternion();
        const Vector3 v = random.vector();
        const Matrix3 ma = Matrix3::fromQuaternion(a);
        const Matrix3 mb = Matrix3::fromQuaternion(b);
        const Vector3 bThenA = apply(ma, apply(mb, v));
        expectNear(apply(Matrix3::fromQuaternion(multiply(a, b)), v), bThenA, 1e-4f);
        expectNear(apply(multiply(ma, mb), v), bThenA, 1e-4f);

        Quaternion inPlace = a;
        inPlace.multiplyInPlace(b);
        EXPECT_TRUE(sameBits(inPlace, multiply(a, b)));
        Quaternion conjB = b;
        conjB.conjugate();
        expectNear(multiplyConjugate(a, b), multiply(a, conjB), 1e-6f);

        Transform ta, tb;
        ta.rotation = ma;
        ta.translation = random.vector();
        ta.scale = random.uniform(0.5f, 2.0f);
        tb.rotation = mb;
        tb.translation = random.vector();
        tb.scale = random.uniform(0.5f, 2.0f);
        expectNear(apply(compose(ta, tb), v), apply(ta, apply(tb, v)), 1e-4f);
    }
    // Non-commuting turns: X then Z differs from Z then X.
    const Quaternion x90 = Quaternion::fromAxisAngle({1, 0, 0}, kPi / 2);
    const Quaternion z90 = Quaternion::fromAxisAngle({0, 0, 1}, kPi / 2);
    expectNear(rotateByProduct(multiply(z90, x90), {0, 1, 0}), {0, 0, 1});   // x first
    expectNear(rotateByProduct(multiply(x90, z90), {0, 1, 0}), {-1, 0, 0});  // z first
}

TEST(QuaternionFromAngles, NegatedAnglesAppliedXThenYThenZ) {
    const Quaternion none = Quaternion::fromAngles(0, 0, 0);
    EXPECT_EQ(none.x, 0.0f);  // the sign of a zero may be negative
    EXPECT_EQ(none.y, 0.0f);
    EXPECT_EQ(none.z, 0.0f);
    EXPECT_EQ(none.w, 1.0f);
    const Matrix3 m = Matrix3::fromQuaternion(Quaternion::fromAngles(kPi / 2, 0, 0));
    expectNear(apply(m, {0, 1, 0}), {0, 0, -1});

    RandomValues random;
    for (int i = 0; i < 100; ++i) {
        const float ax = random.uniform(-4, 4), ay = random.uniform(-4, 4),
                    az = random.uniform(-4, 4);
        const Quaternion expected = multiply(Quaternion::fromAxisAngle({0, 0, 1}, -az),
                                             multiply(Quaternion::fromAxisAngle({0, 1, 0}, -ay),
                                                      Quaternion::fromAxisAngle({1, 0, 0}, -ax)));
        expectNear(Quaternion::fromAngles(ax, ay, az), expected, 1e-5f);
    }
}

TEST(QuaternionLogExp, ThresholdsAndRoundTrip) {
    Quaternion q = Quaternion::identity();
    q.log();
    EXPECT_TRUE(sameBits(q, Quaternion{0, 0, 0, 0}));
    q.exp();
    EXPECT_TRUE(sameBits(q, Quaternion{0, 0, 0, 1}));

    // |w| >= 1 keeps the vector part as it is.
    Quaternion overlong{0.5f, 0, 0, 1.5f};
    overlong.log();
    EXPECT_TRUE(sameBits(overlong, Quaternion{0.5f, 0, 0, 0}));

    // A half turn: w = 0, so theta = pi/2 and the axis is scaled by pi/2.
    Quaternion half{0, 1, 0, 0};
    half.log();
    expectNear(half, {0, kPi / 2, 0, 0}, 1e-6f);

    RandomValues random;
    for (int i = 0; i < 200; ++i) {
        const Quaternion original = random.unitQuaternion();
        Quaternion r = original;
        r.log();
        EXPECT_EQ(r.w, 0.0f);
        r.exp();
        expectNear(r, original, 2e-4f);
    }
}

TEST(QuaternionSlerp, EndpointsEqualInputsAndConstantSpeed) {
    // Equal quaternions whose dot product is exactly 1 come back unchanged; for others the
    // float dot product misses 1 by a rounding error and the result is q up to rounding.
    const Quaternion exact[] = {{0, 0, 0, 1}, {0, 0, 0, -1}, {1, 0, 0, 0}, {0, 0.6f, 0.8f, 0}};
    for (const Quaternion& q : exact) {
        for (float t : {0.0f, 0.3f, 1.0f, 1.7f}) EXPECT_TRUE(sameBits(slerp(q, q, t), q));
    }
    RandomValues random;
    for (int i = 0; i < 20; ++i) {
        const Quaternion q = random.unitQuaternion();
        for (float t : {0.0f, 0.3f, 1.0f}) expectNear(slerp(q, q, t), q, 1e-6f);
    }
    const Quaternion from = Quaternion::identity();
    const Quaternion to = Quaternion::fromAxisAngle({0, 0, 1}, 1.2f);
    expectNear(slerp(from, to, 0.0f), from, 1e-6f);
    expectNear(slerp(from, to, 1.0f), to, 1e-6f);
    for (float t : {0.1f, 0.25f, 0.5f, 0.9f}) {
        expectNear(slerp(from, to, t), Quaternion::fromAxisAngle({0, 0, 1}, 1.2f * t), 1e-5f);
    }
    // No hemisphere flip: slerp toward -to goes the long way round.
    const Quaternion mid = slerp(from, scaled(to, -1.0f), 0.5f);
    EXPECT_NEAR(std::fabs(mid.w), std::cos((2 * kPi - 1.2f) / 4), 1e-5f);
}

TEST(TransformOps, ResetInvertAndApply) {
    Transform t;
    t.translation = {1, 2, 3};
    t.scale = 3;
    t.reset();
    EXPECT_EQ(t.scale, 0.0f);
    expectNear(t.translation, {0, 0, 0}, 0);
    expectNear(apply(t.rotation, {1, 2, 3}), {1, 2, 3}, 0);

    RandomValues random;
    for (int i = 0; i < 50; ++i) {
        Transform forward;
        forward.rotation = Matrix3::fromQuaternion(random.unitQuaternion());
        forward.translation = random.vector();
        forward.scale = 1.0f;
        Transform back;
        back.copy(forward);
        back.invert();
        const Vector3 p = random.vector();
        expectNear(apply(back, apply(forward, p)), p, 1e-4f);
    }

    // With scale 2 the translation is not divided by the scale.
    Transform scaledT;
    scaledT.rotation = Matrix3::fromQuaternion(Quaternion::fromAxisAngle({0, 0, 1}, kPi / 2));
    scaledT.translation = {4, 0, 0};
    scaledT.scale = 2;
    const Matrix3 m = scaledT.rotation;
    scaledT.invert();
    EXPECT_EQ(scaledT.scale, 0.5f);
    expectNear(scaledT.translation, scaled(applyTransposed(m, {4, 0, 0}), -1), 0);
    expectNear(scaledT.translation, {0, 4, 0});
    EXPECT_EQ(scaledT.rotation.m01, m.m10);
    EXPECT_EQ(scaledT.rotation.m20, m.m02);
}

TEST(PlaneOps, ConstructionAndDistance) {
    const Plane flat = Plane::fromPoints({0, 0, 2}, {1, 0, 2}, {0, 1, 2});
    EXPECT_FLOAT_EQ(flat.c, 1.0f);
    EXPECT_FLOAT_EQ(flat.d, -2.0f);
    EXPECT_FLOAT_EQ(flat.distance({5, -3, 7}), 5.0f);

    const Plane skew = Plane::fromPoints({1, 2, 3}, {4, -1, 0}, {2, 5, -3});
    EXPECT_NEAR(skew.a * skew.a + skew.b * skew.b + skew.c * skew.c, 1.0f, 1e-6f);
    EXPECT_NEAR(skew.distance({4, -1, 0}), 0.0f, 1e-5f);
    EXPECT_NEAR(skew.distance({2, 5, -3}), 0.0f, 1e-5f);

    const Plane line = Plane::fromPoints({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
    EXPECT_EQ(line.a, 0.0f);
    EXPECT_EQ(line.b, 0.0f);
    EXPECT_EQ(line.c, 0.0f);
    EXPECT_EQ(line.d, 0.0f);

    const Plane given = Plane::fromPointNormal({1, 1, 1}, {0, 2, 0});  // kept unnormalised
    EXPECT_EQ(given.b, 2.0f);
    EXPECT_EQ(given.d, -2.0f);
}

}  // namespace
