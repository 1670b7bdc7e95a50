// Rotation, translation and uniform scale: p -> translation + scale * (rotation . p).
//
// A default-constructed Transform is the identity (scale 1); `reset` deliberately gives
// scale 0 instead, since every user of a reset transform sets the scale before using it.
#pragma once

#include "math/matrix3.h"
#include "math/vector3.h"

struct Transform {
    Matrix3 rotation;
    Vector3 translation;
    float scale = 1.0f;

    // rotation = unit matrix, translation = 0, scale = 0.
    void reset() {
        rotation = Matrix3{};
        translation = Vector3{};
        scale = 0.0f;
    }
    void copy(const Transform& src) { *this = src; }
    // In place: rotation M becomes M^T, translation becomes -(M^T . translation) (not
    // divided by the scale) and scale becomes 1/scale. Exact inverse for scale 1, which is
    // how the renderer uses it on the camera.
    void invert() {
        const Matrix3 m = rotation;
        rotation = {m.m00, m.m10, m.m20, m.m01, m.m11, m.m21, m.m02, m.m12, m.m22};
        translation = scaled(applyTransposed(m, translation), -1.0f);
        scale = 1.0f / scale;
    }
};

// T.translation + T.scale * (T.rotation . p)
inline Vector3 apply(const Transform& t, const Vector3& p) {
    const Vector3 r = apply(t.rotation, p);
    return {t.translation.x + t.scale * r.x, t.translation.y + t.scale * r.y,
            t.translation.z + t.scale * r.z};
}

// A o B: applies B first, then A.
inline Transform compose(const Transform& a, const Transform& b) {
    Transform result;
    result.rotation = multiply(a.rotation, b.rotation);
    result.translation = apply(a, b.translation);
    result.scale = a.scale * b.scale;
    return result;
}
