// Angles between vectors.
#include "math/vector3.h"

#include <algorithm>
#include <cmath>

float angleBetween(const Vector3& a, const Vector3& b) {
    return std::acos(dot(a, b) / (a.length() * b.length()));
}

float angleBetweenUnit(const Vector3& a, const Vector3& b) {
    return std::acos(std::clamp(dot(a, b), -0.9999f, 0.9999f));
}
