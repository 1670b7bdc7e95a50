// Row-major 3x3 matrix acting on column vectors: v' = M.v, v'.x = m00 x + m01 y + m02 z.
#pragma once

#include <bit>
#include <cstdint>

#include "math/quaternion.h"
#include "math/vector3.h"

struct Matrix3 {
    float m00 = 1.0f, m01 = 0.0f, m02 = 0.0f;
    float m10 = 0.0f, m11 = 1.0f, m12 = 0.0f;
    float m20 = 0.0f, m21 = 0.0f, m22 = 1.0f;

    // The rotation matrix of q. q is not normalised first: a non-unit quaternion gives a
    // non-orthonormal matrix.
    static Matrix3 fromQuaternion(const Quaternion& q);
};

// sqrt(2) rounded one unit in the last place upwards (0x3FB504F4); every product of two
// components scaled by it already carries the factor 2 of the rotation formula.
inline constexpr float kQuaternionMatrixScale = std::bit_cast<float>(uint32_t{0x3FB504F4u});

inline Matrix3 Matrix3::fromQuaternion(const Quaternion& q) {
    const float X = q.x * kQuaternionMatrixScale;
    const float Y = q.y * kQuaternionMatrixScale;
    const float Z = q.z * kQuaternionMatrixScale;
    const float W = q.w * kQuaternionMatrixScale;
    return {1.0f - Y * Y - Z * Z, X * Y - W * Z,        X * Z + W * Y,
            X * Y + W * Z,        1.0f - X * X - Z * Z, Y * Z - W * X,
            X * Z - W * Y,        Y * Z + W * X,        1.0f - X * X - Y * Y};
}

// A.B
inline Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
    return {a.m00 * b.m00 + a.m01 * b.m10 + a.m02 * b.m20,
            a.m00 * b.m01 + a.m01 * b.m11 + a.m02 * b.m21,
            a.m00 * b.m02 + a.m01 * b.m12 + a.m02 * b.m22,
            a.m10 * b.m00 + a.m11 * b.m10 + a.m12 * b.m20,
            a.m10 * b.m01 + a.m11 * b.m11 + a.m12 * b.m21,
            a.m10 * b.m02 + a.m11 * b.m12 + a.m12 * b.m22,
            a.m20 * b.m00 + a.m21 * b.m10 + a.m22 * b.m20,
            a.m20 * b.m01 + a.m21 * b.m11 + a.m22 * b.m21,
            a.m20 * b.m02 + a.m21 * b.m12 + a.m22 * b.m22};
}

// M.v
inline Vector3 apply(const Matrix3& m, const Vector3& v) {
    return {m.m00 * v.x + m.m01 * v.y + m.m02 * v.z, m.m10 * v.x + m.m11 * v.y + m.m12 * v.z,
            m.m20 * v.x + m.m21 * v.y + m.m22 * v.z};
}

// M^T.v: the inverse rotation when M is orthonormal.
inline Vector3 applyTransposed(const Matrix3& m, const Vector3& v) {
    return {m.m00 * v.x + m.m10 * v.y + m.m20 * v.z, m.m01 * v.x + m.m11 * v.y + m.m21 * v.z,
            m.m02 * v.x + m.m12 * v.y + m.m22 * v.z};
}
