// The particle fountain and the live video texture.
#include "brains/fountain_and_television.h"
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "geometry/scene_object.h"
#include "math/quaternion.h"
#include "render/renderer.h"
#include "render/view.h"
#include "textures/texture.h"

namespace {

constexpr char kBallTextureName[] = "WhiteBall64";
constexpr char kScreenTextureName[] = "Images/T4000.pic";

constexpr float kTurnRate = 0.7f;            // radians per second about the object's y axis
constexpr float kSpriteSize = 50.0f;         // half-width of a ball, object units
constexpr float kAngleStep = 0.0015339808f;  // 2 pi / 4096
constexpr float kStartRadiusStep = 0.08f;    // bottom disc: radius up to 327.68
constexpr float kEndRadiusStep = 0.55f;      // top disc: radius up to 2252.8
constexpr float kSpeedBase = 0.1f;           // 1 / seconds of the slowest rise
constexpr float kSpeedStep = 0.00002f;

// The grey level of each material, brightest first.
constexpr float kGreyLevels[kShadeBobMaterials] = {1.0f, 0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f};

// The next value of the C library's sequence reduced to 13 bits, as a float.
float draw13() {
    return static_cast<float>(std::rand() & 8191);
}

}  // namespace

// ---- ShadeBobs ----------------------------------------------------------------------------

bool ShadeBobs::load(const ParseNode*) {
    if (object == nullptr) return false;
    if (object->master != nullptr) {
        // The vertex array belongs to the shared prototype: it must stay.
        refused_ = true;
        reportBrain(*this, "its object has a \"Geometry\"", "no fountain is built");
        return false;
    }
    releaseMesh();
    return true;
}

// Frees the mesh the object owns (only objects without a geometry reach here).
void ShadeBobs::releaseMesh() {
    delete[] object->vertices;
    object->vertices = nullptr;
    object->vertexCount = 0;
    if (object->materials != nullptr) {
        for (int i = 0; i < object->materialCount; ++i) delete object->materials[i];
        delete[] object->materials;
    }
    object->materials = nullptr;
    object->materialCount = 0;
}

void ShadeBobs::start() {
    if (refused_ || object == nullptr) return;
    built_ = false;
    releaseMesh();  // what an earlier start built
    velocities.reset();

    bottom = -3000.0f;
    top = 3000.0f;
    ballTexture = renderer->textures.find(kBallTextureName);
    if (ballTexture == nullptr) {
        reportBrain(*this, std::string("no texture \"") + kBallTextureName + "\"",
                    "no fountain is built");
        return;
    }

    object->vertices = new MeshVertex[kShadeBobCount];
    object->vertexCount = kShadeBobCount;
    for (int i = 0; i < kShadeBobCount; ++i) {
        MeshVertex& vertex = object->vertices[i];
        vertex.position = {0.0f, top, 0.0f};
        vertex.normal = {0.0f, 0.0f, 0.0f};
        vertex.u = 0.0f;
        vertex.v = 0.0f;
    }

    object->materials = new Material*[kShadeBobMaterials];
    object->materialCount = kShadeBobMaterials;
    for (int m = 0; m < kShadeBobMaterials; ++m) {
        auto* material = new Material("Shadebobs");
        const float grey = kGreyLevels[m];
        material->texture = ballTexture;
        material->renderFlags = 51;  // the shaded-sprite variant
        material->ambient = 76.5f;
        material->diffuse = 255.0f;
        material->opacity = 1.0f;
        material->color[0] = material->color[1] = material->color[2] = grey;
        material->spriteCount = kShadeBobsPerMaterial;
        material->sprites = new Sprite[kShadeBobsPerMaterial];
        for (int j = 0; j < kShadeBobsPerMaterial; ++j) {
            const int index = kShadeBobsPerMaterial * m + j;
            material->sprites[j] = {kSpriteSize, index};
            float* words = object->vertices[index].colorWords;
            words[0] = 1.0f;
            words[1] = words[2] = words[3] = grey;
        }
        object->materials[m] = material;
    }
    // The last balls (1500 - 8 * 187) move with the others but no material draws them.

    object->boundingRadius = (top - bottom) * 0.7f;
    velocities.reset(new Vector3[kShadeBobCount]);
    for (int i = 0; i < kShadeBobCount; ++i) velocities[i] = {0.0f, top, 0.0f};
    built_ = true;
}

void ShadeBobs::update() {
    if (!built_) return;
    const float dt = static_cast<float>(renderer->frameContext->frameDelta);
    object->rotation.multiplyInPlace(Quaternion::fromAngles(0.0f, kTurnRate * dt, 0.0f));

    const float span = top - bottom;
    MeshVertex* vertices = object->vertices;
    for (int i = 0; i < kShadeBobCount; ++i) {
        Vector3& p = vertices[i].position;
        Vector3& v = velocities[i];
        const float y = p.y + dt * v.y;
        if (y > top) {
            // Recycle: a new start on the bottom disc, a new target on the top disc and a
            // new speed. The order of the five draws is part of the sequence.
            const float a1 = (4096.0f - draw13()) * kAngleStep;
            const float r1 = (4096.0f - draw13()) * kStartRadiusStep;
            const float a2 = (4096.0f - draw13()) * kAngleStep;
            const float r2 = (4096.0f - draw13()) * kEndRadiusStep;
            const float s = kSpeedBase + draw13() * kSpeedStep;
            p = {std::cos(a1) * r1, bottom, std::sin(a1) * r1};
            v = {s * (std::cos(a2) * r2 - p.x), s * (top - p.y), s * (std::sin(a2) * r2 - p.z)};
            // The opacity keeps its last value for this frame.
        } else {
            p.y = y;
            p.x += dt * v.x;
            p.z += dt * v.z;
            // Opaque at the bottom, fading to nothing at the top.
            vertices[i].colorWords[0] = (top - y) / span;
        }
    }
}

// ---- Television ---------------------------------------------------------------------------

bool Television::load(const ParseNode*) {
    return true;
}

void Television::start() {
    screenTexture = renderer->textures.find(kScreenTextureName);
    if (screenTexture == nullptr) {
        reportBrain(*this, std::string("no texture \"") + kScreenTextureName + "\"",
                    "nothing is captured");
        return;
    }
    if (screenTexture->depthMode == kDepthAlpha8) {
        // The capture holds 16-bit pixels; an 8-bit chain has room for half of them.
        reportBrain(
            *this,
            std::string("texture \"") + kScreenTextureName + "\" has 8-bit texels (\"AlphaMap\")",
            "nothing is captured");
        return;
    }
    if (renderer->sceneViews == nullptr || renderer->sceneViewCount <= 0 ||
        renderer->sceneViews[0] == nullptr) {
        reportBrain(*this, "the scene has no view", "nothing is captured");
        return;
    }
    renderer->sceneViews[0]->captureTexture = screenTexture;
}
