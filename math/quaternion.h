// Rotation quaternion (x, y, z, w): vector part first, scalar last.
//
// Products are Hamilton products; a rotation q acts on a vector as q.v.q*, so a (x) b
// applies b first, then a. Every angle is in radians.
#pragma once

#include "math/vector3.h"

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    // (0, 0, 0, 1)
    static Quaternion identity() { return {0.0f, 0.0f, 0.0f, 1.0f}; }
    // (sin(angle/2) * axis, cos(angle/2)); the axis is used as given (pass a unit axis).
    static Quaternion fromAxisAngle(const Vector3& axis, float angle);
    // The orientation of three description "Rotation" angles: a vector is turned first
    // about X by -ax, then about Y by -ay, then about Z by -az.
    static Quaternion fromAngles(float ax, float ay, float az);

    void copy(const Quaternion& src) { *this = src; }
    // In place: x, y, z negated.
    void conjugate() {
        x = -x;
        y = -y;
        z = -z;
    }
    // this = this (x) o
    void multiplyInPlace(const Quaternion& o);
    // In place logarithm of a unit quaternion: w becomes 0 and the vector part is scaled
    // to length theta (with w = cos theta). |w| >= 1 or a vanishing sin theta leaves the
    // vector part as it is.
    void log();
    // In place exponential of a pure quaternion (x, y, z, 0).
    void exp();
};

inline Quaternion add(const Quaternion& a, const Quaternion& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
inline Quaternion sub(const Quaternion& a, const Quaternion& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}
inline Quaternion scaled(const Quaternion& q, float s) {
    return {q.x * s, q.y * s, q.z * s, q.w * s};
}
inline float dot(const Quaternion& a, const Quaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
// a (x) b
inline Quaternion multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
// a (x) conj(b)
inline Quaternion multiplyConjugate(const Quaternion& a, const Quaternion& b) {
    return multiply(a, {-b.x, -b.y, -b.z, b.w});
}
// q (x) (v.x, v.y, v.z, 0)
inline Quaternion multiplyVector(const Quaternion& q, const Vector3& v) {
    return multiply(q, {v.x, v.y, v.z, 0.0f});
}
inline void Quaternion::multiplyInPlace(const Quaternion& o) {
    *this = multiply(*this, o);
}

// Spherical interpolation from q0 (t = 0) to q1 (t = 1). No hemisphere flip is made:
// callers that want the short way pass q1 on q0's side. When q0 and q1 are (nearly)
// parallel the result is q0.
Quaternion slerp(const Quaternion& q0, const Quaternion& q1, float t);
