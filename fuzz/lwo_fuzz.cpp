// Fuzz target: the LightWave object reader and the mesh build on whatever it accepts.
// Structural damage is reported through `parse` (the process is never ended here); every
// other input goes on to the full mesh build: materials, convex splitting and normals.
#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/geometry.h"
#include "scene_lang/parse_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LWObjectFile file;
    std::string error;
    if (!file.parse(data, size, "fuzz.lwo", error)) return 0;

    // Half of the inputs are built with the "Scale" flag.
    ParseNode geometry;
    ParseNode flags;
    flags.name = "Flags";
    char scaleText[] = "Scale";
    ParseValue scale;
    scale.text = scaleText;
    flags.valuesHead = flags.valuesTail = &scale;
    flags.valueCount = 1;
    geometry.name = "Geometry";
    if (size % 2 == 0) geometry.firstChild = &flags;

    NamedList<Texture> textures;
    SceneObject object;
    object.buildFromFile(textures, &geometry, file);
    return 0;
}
