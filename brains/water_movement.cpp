// Water texture scrolling: the mesh's texture coordinates slide at a constant rate.
#include "brains/water_movement.h"

#include <string>

#include "app/console.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

bool WaterMovement::load(const ParseNode*) {
    const auto report = [this](const std::string& problem) {
        const std::string text = std::string("Brain \"") + name.get() + "\": " + problem + "\n";
        consoleWrite(text.c_str());
    };
    if (object == nullptr || object->vertexCount <= 0 || object->vertices == nullptr) {
        report("its object has no mesh; nothing flows");
        return true;
    }
    for (int m = 0; m < object->materialCount; ++m) {
        const Material* material = object->materials[m];
        if (material == nullptr || material->texture == nullptr) continue;
        if ((material->texture->flags & kTextureWrap) != 0) continue;
        report("texture \"" + material->texture->name + "\" of material \"" +
               (material->name.get() != nullptr ? material->name.get() : "") +
               "\" has no \"Wrap\"; the flow drags its edge texels across the surface");
    }
    return true;
}

void WaterMovement::update() {
    if (object == nullptr || object->vertices == nullptr) return;
    const double dt = renderer->frameContext->frameDelta;
    const float du = static_cast<float>(kFlowU * dt);
    const float dv = static_cast<float>(kFlowV * dt);
    MeshVertex* vertex = object->vertices;
    for (int i = 0; i < object->vertexCount; ++i) {
        vertex[i].u += du;
        vertex[i].v += dv;
    }
}
