// Keyboard flight: `UserMovement` turns its object about two axes and moves it along three;
// `MoveFish` turns it about all three and records its flight as keyframe text.
//
// Both read, per action, an "Input" child labelled with the action's name whose "Key" list
// binds the action to virtual-key codes (c >= 0: key c must be held; c < 0: key -c must be
// up), and a "Physics" child with the six vectors below. Held keys accelerate; friction
// keeps the fraction f^dt of a velocity over dt seconds.
#pragma once

#include <cstddef>

#include "app/keyboard.h"
#include "math/quaternion.h"
#include "math/vector3.h"
#include "render/brain.h"

// The velocities a flight brain integrates and the constants it integrates them with.
struct MovementPhysics {
    Vector3 rotateVelocity;      // radians per second per axis; the file gives the start value
    Vector3 rotateAcceleration;  // radians per second squared while a rotate key is held
    Vector3 rotateFriction;      // fraction of the angular velocity kept after one second
    Vector3 moveVelocity;        // units per second in the object's own axes
    Vector3 moveAcceleration;    // units per second squared while a move key is held
    Vector3 moveFriction;        // fraction of the velocity kept after one second
};

// One action's key condition. An action whose entry is missing or broken is never active.
struct ActionBinding {
    KeyBinding keys;
    bool bound = false;
};

class UserMovement : public Brain {
  public:
    using Brain::Brain;

    enum Action {
        RotateLeft,
        RotateRight,
        RotateUp,
        RotateDown,
        MoveLeft,
        MoveRight,
        MoveForward,
        MoveBackward,
        MoveUp,
        MoveDown,
        kActionCount
    };
    // The "Input" labels, in the order of `Action`.
    static const char* const kActionNames[kActionCount];

    // Reads the ten bindings and the "Physics" vectors; always true.
    bool load(const ParseNode* brainEntry) override;
    // Accelerates and damps the x and y turn rates and the three move rates (in double
    // precision), turns the object about its own x and y axes and moves it along the axes
    // of the previous frame's transform.
    void update() override;

    MovementPhysics physics;
    ActionBinding bindings[kActionCount];
};

class MoveFish : public Brain {
  public:
    using Brain::Brain;

    enum Action {
        YawLeft,
        YawRight,
        PitchUp,
        PitchDown,
        RollLeft,
        RollRight,
        MoveForward,
        MoveBackward,
        MoveUp,
        MoveDown,
        MoveLeft,
        MoveRight,
        kActionCount
    };
    static const char* const kActionNames[kActionCount];

    // Room for one keyframe of the recorder, whatever the numbers.
    static constexpr size_t kKeyframeTextSize = 768;

    // Reads the twelve bindings and the "Physics" vectors; always true.
    bool load(const ParseNode* brainEntry) override;
    // Accelerates and damps all six rates (in float), turns the object about its own three
    // axes, moves it along its new axes, and every two seconds of the shared recorder clock
    // emits a keyframe of its pose to the trace.
    void update() override;

    // The keyframe text of a "Motion" block entry labelled f<number>, one tab deep, with
    // the pose and time given. Writes at most `size` bytes (NUL included) and returns the
    // text's length.
    static int formatKeyframe(char* text, size_t size, int number, const Vector3& position,
                              const Quaternion& rotation, float time);

    MovementPhysics physics;
    ActionBinding bindings[kActionCount];
    // The last keyframe this brain emitted (empty until its first one).
    char lastKeyframe[kKeyframeTextSize] = {};

    // The recorder clock, shared by every MoveFish of the process and never reset: each
    // brain adds its frame time, so two brains make it run twice as fast.
    static inline float recordTime = 0.0f;    // seconds
    static inline float sinceLastKey = 0.0f;  // seconds since the last keyframe
    static inline int keyNumber = 0;          // number of the next keyframe
};
