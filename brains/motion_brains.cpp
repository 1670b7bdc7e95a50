// The motion brains: keyframed paths and constant spin and drift.
#include "brains/motion_brains.h"
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "geometry/scene_object.h"
#include "math/matrix3.h"
#include "math/quaternion.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"

namespace {

// Reads three floats from the child `key` of `physics` into `velocity`, which stays 0
// (with a message) when the child is missing or holds fewer than three values.
void readVelocity(const Brain& brain, const ParseNode* physics, const char* key,
                  Vector3& velocity) {
    const ParseNode* node = child(physics, key);
    const std::string quoted = std::string("\"") + key + "\"";
    if (node == nullptr) {
        reportBrain(brain, "no " + quoted, "taken as 0");
        return;
    }
    float values[3];
    if (!getFloats(node, values, 3)) {
        const int count = node->valueCount;
        reportBrain(brain,
                    quoted + " has " + std::to_string(count) + (count == 1 ? " value" : " values") +
                        ", 3 needed",
                    "taken as 0");
        return;
    }
    velocity = {values[0], values[1], values[2]};
}

}  // namespace

bool LWMotion::load(const ParseNode* brainEntry) {
    const ParseNode* block = child(brainEntry, "Motion");
    if (block == nullptr) {
        reportBrain(*this, "no \"Motion\"", "it does not move");
        return false;
    }
    motion = readMotion(block, /*readQuaternion=*/true);
    return true;
}

void LWMotion::start() {
    if (motion != nullptr) motion->prepare();
}

void LWMotion::update() {
    if (motion == nullptr) return;
    // The sum is formed in double and kept as float, so the clock's resolution falls as
    // it grows, as every brain clock does.
    time = static_cast<float>(static_cast<double>(time) + renderer->frameContext->frameDelta);
    motion->evaluate(time);
    object->rotation = motion->currentRotation;
    object->position = motion->currentPosition;
    object->scale = motion->currentScale.x;  // objects scale uniformly
}

bool SimpleMovement::load(const ParseNode* brainEntry) {
    const ParseNode* physics = child(brainEntry, "Physics");
    if (physics == nullptr) {
        reportBrain(*this, "no \"Physics\"", "it does not move");
        return false;
    }
    readVelocity(*this, physics, "RotateVelocity", rotateVelocity);
    readVelocity(*this, physics, "MoveVelocity", moveVelocity);
    return true;
}

void SimpleMovement::update() {
    const float dt = static_cast<float>(renderer->frameContext->frameDelta);
    const Quaternion turn =
        Quaternion::fromAngles(rotateVelocity.x * dt, rotateVelocity.y * dt, rotateVelocity.z * dt);
    // The move uses the matrix the renderer built last frame, before this turn.
    const Vector3 step = apply(object->localTransform.rotation, scaled(moveVelocity, dt));
    object->rotation.multiplyInPlace(turn);
    object->position = add(object->position, step);
}
