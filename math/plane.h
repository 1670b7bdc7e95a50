// Plane a x + b y + c z + d = 0 with unit normal (a, b, c); distance() is signed.
#pragma once

#include "math/vector3.h"

struct Plane {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;

    // (n, -n.p); n is stored as given.
    static Plane fromPointNormal(const Vector3& p, const Vector3& n) {
        return {n.x, n.y, n.z, -dot(n, p)};
    }
    // Normal (p1 - p0) x (p2 - p0), normalised; three collinear points give (0, 0, 0, 0).
    static Plane fromPoints(const Vector3& p0, const Vector3& p1, const Vector3& p2);

    float distance(const Vector3& p) const { return a * p.x + b * p.y + c * p.z + d; }
};
