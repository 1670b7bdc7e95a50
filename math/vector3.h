// Three-component vector: a point or a direction in 32-bit floats.
//
// A plain value (trivially copyable, no heap). The binary operations are free functions
// that return their result; the in-place ones are members.
#pragma once

#include <cmath>

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // this += v
    void addInPlace(const Vector3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
    }
    // this *= s
    void scaleInPlace(float s) {
        x *= s;
        y *= s;
        z *= s;
    }
    float length() const { return std::sqrt(x * x + y * y + z * z); }
    // Divides the vector by its length and returns the length it had. A vector whose
    // squared length is exactly 0 is left unchanged and -1.0 is returned.
    float normalize() {
        float squared = x * x + y * y + z * z;
        if (squared == 0.0f) return -1.0f;
        float len = std::sqrt(squared);
        x /= len;
        y /= len;
        z /= len;
        return len;
    }
};

inline Vector3 add(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vector3 sub(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vector3 scaled(const Vector3& v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vector3& v) {
    return v.length();
}

// acos((a.b) / (|a| |b|)) with no clamping: rounding can push the cosine just past +-1
// and give NaN, and a zero vector gives NaN. Use angleBetweenUnit where that matters.
float angleBetween(const Vector3& a, const Vector3& b);
// acos of a.b clamped to [-0.9999, 0.9999], for unit vectors: the result always lies in
// [acos(0.9999), pi - acos(0.9999)], about [0.014142, 3.127451].
float angleBetweenUnit(const Vector3& a, const Vector3& b);
