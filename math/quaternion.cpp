// Quaternion construction from angles, logarithm, exponential and slerp.
#include "math/quaternion.h"

#include <cmath>

namespace {
constexpr float kSmallSine = 0.000001f;
}

Quaternion Quaternion::fromAxisAngle(const Vector3& axis, float angle) {
    const float s = std::sin(angle * 0.5f);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}

// Rz(-az) (x) Ry(-ay) (x) Rx(-ax), written out.
Quaternion Quaternion::fromAngles(float ax, float ay, float az) {
    const float a = ax * -0.5f;
    const float b = ay * -0.5f;
    const float c = az * -0.5f;
    const float sA = std::sin(a), cA = std::cos(a);
    const float sB = std::sin(b), cB = std::cos(b);
    const float sC = std::sin(c), cC = std::cos(c);
    return {cC * sA * cB - sC * cA * sB, cC * cA * sB + sC * sA * cB, sC * cA * cB - cC * sA * sB,
            cC * cA * cB + sC * sA * sB};
}

void Quaternion::log() {
    const float a = w;
    w = 0.0f;
    if (std::fabs(a) >= 1.0f) return;
    const float theta = std::acos(a);
    const float s = std::sin(theta);
    if (std::fabs(s) < kSmallSine) return;
    const float k = theta / s;
    x *= k;
    y *= k;
    z *= k;
}

void Quaternion::exp() {
    const float theta = std::sqrt(x * x + y * y + z * z);
    const float s = std::sin(theta);
    w = std::cos(theta);
    if (std::fabs(s) >= kSmallSine) {
        const float k = s / theta;
        x *= k;
        y *= k;
        z *= k;
    }
}

Quaternion slerp(const Quaternion& q0, const Quaternion& q1, float t) {
    const float c = dot(q0, q1);
    const float s = std::sqrt(std::fabs(1.0f - c * c));
    if (std::fabs(s) < kSmallSine) return q0;
    const float theta = std::atan2(s, c);
    const float a = std::sin((1.0f - t) * theta) / s;
    const float b = std::sin(t * theta) / s;
    return add(scaled(q0, a), scaled(q1, b));
}
