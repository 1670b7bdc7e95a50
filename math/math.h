// The math library: vectors, matrices, transforms, quaternions, planes, the keyed sort
// and keyframe motion.
#pragma once

#include "math/keyed_sort.h"
#include "math/keyframe_motion.h"
#include "math/matrix3.h"
#include "math/plane.h"
#include "math/quaternion.h"
#include "math/transform.h"
#include "math/vector3.h"

#include <type_traits>

// The value types are copied freely (per vertex, per key): keep them plain.
static_assert(std::is_trivially_copyable_v<Vector3> && sizeof(Vector3) == 12);
static_assert(std::is_trivially_copyable_v<Matrix3> && sizeof(Matrix3) == 36);
static_assert(std::is_trivially_copyable_v<Transform> && sizeof(Transform) == 52);
static_assert(std::is_trivially_copyable_v<Quaternion> && sizeof(Quaternion) == 16);
static_assert(std::is_trivially_copyable_v<Plane> && sizeof(Plane) == 16);
static_assert(std::is_trivially_copyable_v<KeyedEntry>);
static_assert(std::is_trivially_copyable_v<MotionKey>);
static_assert(std::is_trivially_copyable_v<MotionSegment>);
