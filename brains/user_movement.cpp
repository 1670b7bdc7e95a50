// Keyboard flight and the keyframe recorder.
#include "brains/user_movement.h"
#include <cmath>
#include <cstdio>
#include <string>

#include "app/console.h"
#include "brains/brain_messages_internal.h"
#include "geometry/scene_object.h"
#include "math/matrix3.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"

const char* const UserMovement::kActionNames[kActionCount] = {
    "RotateLeft", "RotateRight", "RotateUp",     "RotateDown", "MoveLeft",
    "MoveRight",  "MoveForward", "MoveBackward", "MoveUp",     "MoveDown",
};

const char* const MoveFish::kActionNames[kActionCount] = {
    "YawLeft",     "YawRight",     "PitchUp", "PitchDown", "RollLeft", "RollRight",
    "MoveForward", "MoveBackward", "MoveUp",  "MoveDown",  "MoveLeft", "MoveRight",
};

namespace {

// The snapshot seen when the frame has none: every key up.
const KeyboardSnapshot kNoKeys;

std::string quoted(const char* text) {
    return std::string("\"") + text + "\"";
}

// Builds each action's binding from the "Key" list of the "Input" child labelled with the
// action's name. A missing "Input" or "Key" leaves the action never active; a code outside
// -127..127 is left out of its binding.
void loadBindings(const Brain& brain, const ParseNode* entry, const char* const* names,
                  ActionBinding* bindings, int count) {
    for (int i = 0; i < count; ++i) {
        ActionBinding& binding = bindings[i];
        binding = ActionBinding{};
        const std::string action = "\"Input\" " + quoted(names[i]);
        const ParseNode* input = childLabelled(entry, "Input", names[i]);
        if (input == nullptr) {
            reportBrain(brain, "no " + action, "the action is never active");
            continue;
        }
        const ParseNode* keys = child(input, "Key");
        if (keys == nullptr) {
            reportBrain(brain, action + " has no \"Key\"", "the action is never active");
            continue;
        }
        binding.bound = true;
        for (const ParseValue* v = keys->valuesHead; v != nullptr; v = v->next) {
            const int code = v->intValue;
            if (code < -127 || code > 127) {
                reportBrain(
                    brain, action + " key code " + std::to_string(code) + " lies outside -127..127",
                    "ignored");
                continue;
            }
            uint32_t* mask = code >= 0 ? binding.keys.mustBeDown : binding.keys.mustBeUp;
            const int key = code >= 0 ? code : -code;
            mask[keyWord(key)] |= keyMask(key);
        }
    }
}

// Reads the six vectors of the "Physics" child. An absent name keeps its vector; a short
// one is reported and keeps it too. A negative friction would make f^dt undefined for a
// fractional dt and turn the pose into NaN, so it is reported and taken as 0.
void loadPhysics(const Brain& brain, const ParseNode* entry, MovementPhysics& physics) {
    const ParseNode* block = child(entry, "Physics");
    if (block == nullptr) {
        reportBrain(brain, "no \"Physics\"", "it does not move");
        return;
    }
    const struct {
        const char* key;
        Vector3 MovementPhysics::*vector;
        bool friction;
    } fields[] = {
        {"RotateVelocity", &MovementPhysics::rotateVelocity, false},
        {"RotateAcceleration", &MovementPhysics::rotateAcceleration, false},
        {"RotateFriction", &MovementPhysics::rotateFriction, true},
        {"MoveVelocity", &MovementPhysics::moveVelocity, false},
        {"MoveAcceleration", &MovementPhysics::moveAcceleration, false},
        {"MoveFriction", &MovementPhysics::moveFriction, true},
    };
    for (const auto& field : fields) {
        const ParseNode* node = child(block, field.key);
        if (node == nullptr) continue;
        float values[3];
        if (!getFloats(node, values, 3)) {
            const int n = node->valueCount;
            reportBrain(brain,
                        quoted(field.key) + " has " + std::to_string(n) +
                            (n == 1 ? " value" : " values") + ", 3 needed",
                        "ignored");
            continue;
        }
        if (field.friction) {
            for (float& f : values) {
                if (f < 0.0f) {
                    reportBrain(brain, quoted(field.key) + " holds a negative value", "taken as 0");
                    f = 0.0f;
                }
            }
        }
        physics.*field.vector = {values[0], values[1], values[2]};
    }
}

const KeyboardSnapshot& frameKeys(const Renderer& renderer) {
    const KeyboardSnapshot* keys = renderer.frameContext->keyboard;
    return keys != nullptr ? *keys : kNoKeys;
}

bool active(const KeyboardSnapshot& keys, const ActionBinding& binding) {
    return binding.bound && matches(keys, binding.keys);
}

// One axis's acceleration: `first` when the first action is active, plus `second` when
// the second is (so holding both of a pair of opposite keys gives 0).
template <class T>
T axis(const KeyboardSnapshot& keys, const ActionBinding& a, T first, const ActionBinding& b,
       T second) {
    T value = 0;
    if (active(keys, a)) value = first;
    if (active(keys, b)) value += second;
    return value;
}

// v = f^dt (a dt + v) in double precision, stored as float.
float dampDouble(float velocity, double acceleration, float friction, double dt) {
    return static_cast<float>(std::pow(static_cast<double>(friction), dt) *
                              (acceleration * dt + static_cast<double>(velocity)));
}

// The same step in float.
float dampFloat(float velocity, float acceleration, float friction, float dt) {
    return std::pow(friction, dt) * (acceleration * dt + velocity);
}

}  // namespace

bool UserMovement::load(const ParseNode* brainEntry) {
    loadBindings(*this, brainEntry, kActionNames, bindings, kActionCount);
    loadPhysics(*this, brainEntry, physics);
    return true;
}

void UserMovement::update() {
    const double dt = renderer->frameContext->frameDelta;
    const KeyboardSnapshot& keys = frameKeys(*renderer);
    const ActionBinding* b = bindings;
    MovementPhysics& p = physics;
    const double rx = axis<double>(keys, b[RotateUp], -p.rotateAcceleration.x, b[RotateDown],
                                   p.rotateAcceleration.x);
    const double ry = axis<double>(keys, b[RotateLeft], p.rotateAcceleration.y, b[RotateRight],
                                   -p.rotateAcceleration.y);
    const double mx =
        axis<double>(keys, b[MoveLeft], -p.moveAcceleration.x, b[MoveRight], p.moveAcceleration.x);
    const double my =
        axis<double>(keys, b[MoveUp], p.moveAcceleration.y, b[MoveDown], -p.moveAcceleration.y);
    const double mz = axis<double>(keys, b[MoveForward], p.moveAcceleration.z, b[MoveBackward],
                                   -p.moveAcceleration.z);
    // Only x and y turn: the z components of the rotate vectors are never used.
    p.rotateVelocity.x = dampDouble(p.rotateVelocity.x, rx, p.rotateFriction.x, dt);
    p.rotateVelocity.y = dampDouble(p.rotateVelocity.y, ry, p.rotateFriction.y, dt);
    p.moveVelocity.x = dampDouble(p.moveVelocity.x, mx, p.moveFriction.x, dt);
    p.moveVelocity.y = dampDouble(p.moveVelocity.y, my, p.moveFriction.y, dt);
    p.moveVelocity.z = dampDouble(p.moveVelocity.z, mz, p.moveFriction.z, dt);

    const float t = static_cast<float>(dt);
    const Quaternion turn =
        Quaternion::fromAngles(p.rotateVelocity.x * t, p.rotateVelocity.y * t, 0.0f);
    // The move follows the axes the renderer built last frame, before this turn.
    const Vector3 step = apply(object->localTransform.rotation, scaled(p.moveVelocity, t));
    object->rotation.multiplyInPlace(turn);
    object->position = add(object->position, step);
}

bool MoveFish::load(const ParseNode* brainEntry) {
    loadBindings(*this, brainEntry, kActionNames, bindings, kActionCount);
    loadPhysics(*this, brainEntry, physics);
    return true;
}

void MoveFish::update() {
    const float dt = static_cast<float>(renderer->frameContext->frameDelta);
    const KeyboardSnapshot& keys = frameKeys(*renderer);
    const ActionBinding* b = bindings;
    MovementPhysics& p = physics;
    const Vector3 turnAcceleration = {
        axis<float>(keys, b[PitchUp], -p.rotateAcceleration.x, b[PitchDown],
                    p.rotateAcceleration.x),
        axis<float>(keys, b[YawLeft], p.rotateAcceleration.y, b[YawRight], -p.rotateAcceleration.y),
        axis<float>(keys, b[RollLeft], -p.rotateAcceleration.z, b[RollRight],
                    p.rotateAcceleration.z),
    };
    const Vector3 moveAcceleration = {
        axis<float>(keys, b[MoveRight], p.moveAcceleration.x, b[MoveLeft], -p.moveAcceleration.x),
        axis<float>(keys, b[MoveUp], p.moveAcceleration.y, b[MoveDown], -p.moveAcceleration.y),
        axis<float>(keys, b[MoveForward], p.moveAcceleration.z, b[MoveBackward],
                    -p.moveAcceleration.z),
    };
    Vector3& rv = p.rotateVelocity;
    Vector3& mv = p.moveVelocity;
    rv.x = dampFloat(rv.x, turnAcceleration.x, p.rotateFriction.x, dt);
    rv.y = dampFloat(rv.y, turnAcceleration.y, p.rotateFriction.y, dt);
    rv.z = dampFloat(rv.z, turnAcceleration.z, p.rotateFriction.z, dt);
    mv.x = dampFloat(mv.x, moveAcceleration.x, p.moveFriction.x, dt);
    mv.y = dampFloat(mv.y, moveAcceleration.y, p.moveFriction.y, dt);
    mv.z = dampFloat(mv.z, moveAcceleration.z, p.moveFriction.z, dt);

    Quaternion& r = object->rotation;
    r.multiplyInPlace(Quaternion::fromAngles(rv.x * dt, rv.y * dt, rv.z * dt));
    // The move follows the new orientation: r (x) (v, 0) (x) conj(r).
    const Quaternion moved = multiplyConjugate(multiplyVector(r, scaled(mv, dt)), r);
    object->position = add(object->position, Vector3{moved.x, moved.y, moved.z});

    recordTime += dt;
    sinceLastKey += dt;
    if (sinceLastKey >= 2.0f) {
        sinceLastKey = 0.0f;
        const int number = keyNumber++;
        formatKeyframe(lastKeyframe, sizeof lastKeyframe, number, object->position, r, recordTime);
        trace("%s", lastKeyframe);
    }
}

int MoveFish::formatKeyframe(char* text, size_t size, int number, const Vector3& position,
                             const Quaternion& rotation, float time) {
    const int length =
        std::snprintf(text, size,
                      "\tKeyframe\t\"f%d\"\n"
                      "\t{\n"
                      "\t\tPosition\t[%f, %f, %f]\n"
                      "\t\tQuaternion\t[%f, %f, %f, %f]\n"
                      "\t\tScale\t\t[1.0, 1.0, 1.0]\n"
                      "\t\tTension\t\t0.0\n"
                      "\t\tContinuity\t0.0\n"
                      "\t\tBias\t\t0.0\n"
                      "\t\tTime\t\t%f\n"
                      "\t\tCurved\t\t1\n"
                      "\t}\n",
                      number, static_cast<double>(position.x), static_cast<double>(position.y),
                      static_cast<double>(position.z), static_cast<double>(rotation.x),
                      static_cast<double>(rotation.y), static_cast<double>(rotation.z),
                      static_cast<double>(rotation.w), static_cast<double>(time));
    return length;
}
