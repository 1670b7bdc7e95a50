// Scene object, material and polygon records; object lookup by path.
#include "geometry/scene_object.h"

#include <cstring>

Polygon::Polygon(int n) : count(n), indices(new int[static_cast<size_t>(n < 0 ? 0 : n) + 1]()) {}

void Polygon::computePlane(const Vector3* positions) {
    plane = Plane::fromPoints(positions[indices[0]], positions[indices[1]], positions[indices[2]]);
}

void Polygon::computePlane(const MeshVertex* vertices) {
    plane = Plane::fromPoints(vertices[indices[0]].position, vertices[indices[1]].position,
                              vertices[indices[2]].position);
}

Material::Material(const char* materialName) : name(copyOwnedText(materialName)) {}

Material::~Material() {
    if (polygons != nullptr) {
        for (int i = 0; i < polygonCount; ++i) delete polygons[i];
        delete[] polygons;
    }
    delete[] sprites;
}

SceneObject::SceneObject(const char* objectName) : name(copyOwnedText(objectName)) {
    rotation = Quaternion::identity();
    localTransform.reset();
    worldTransform.reset();
}

SceneObject::~SceneObject() {
    delete[] lights;
    if (master == nullptr) {
        delete[] vertices;
        if (materials != nullptr) {
            for (int i = 0; i < materialCount; ++i) delete materials[i];
            delete[] materials;
        }
    }
}

SceneObject* SceneObject::makeCopy() const {
    auto* copy = new SceneObject();
    copy->master = master != nullptr ? master : const_cast<SceneObject*>(this);
    copy->boundingRadius = boundingRadius;
    copy->scale = scale;
    copy->materialCount = materialCount;
    copy->materials = materials;
    copy->vertexCount = vertexCount;
    copy->vertices = vertices;
    return copy;
}

SceneObject* findObjectByPath(SceneObject* first, const char* path) {
    if (path == nullptr) return nullptr;
    SceneObject* current = first;
    const char* rest = path;
    for (;;) {
        const char* slash = std::strchr(rest, '/');
        size_t length = slash != nullptr ? static_cast<size_t>(slash - rest) : std::strlen(rest);
        if (length > 127) length = 127;
        char component[128];
        std::memcpy(component, rest, length);
        component[length] = '\0';

        SceneObject* match = nullptr;
        for (SceneObject* o = current; o != nullptr; o = o->nextSibling) {
            if (o->name != nullptr && std::strcmp(o->name.get(), component) == 0) {
                match = o;
                break;
            }
        }
        if (slash == nullptr) return match;
        if (match == nullptr || match->firstChild == nullptr) return nullptr;
        current = match->firstChild;
        rest = slash + 1;
    }
}
