// Plane through three points.
#include "math/plane.h"

Plane Plane::fromPoints(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    Vector3 n = cross(sub(p1, p0), sub(p2, p0));
    n.normalize();  // leaves a zero normal as it is
    return {n.x, n.y, n.z, -dot(n, p0)};
}
