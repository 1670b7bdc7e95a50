// Geometry: the public header of the folder. LightWave object files, convex splitting,
// scene objects, meshes and materials.
#pragma once

#include "geometry/convex_splitter.h"
#include "geometry/lw_object_file.h"
#include "geometry/owned_text.h"
#include "geometry/scene_object.h"
