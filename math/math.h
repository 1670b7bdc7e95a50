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
