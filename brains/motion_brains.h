// Brains that move their object without user input.
//
// `LWMotion` plays a keyframed path from the entry's "Motion" block and writes the pose
// it reaches into the object each frame. `SimpleMovement` spins the object about its own
// axes and drifts it along them at constant rates from the entry's "Physics" block.
#pragma once

#include <memory>

#include "math/keyframe_motion.h"
#include "math/vector3.h"
#include "render/brain.h"

class LWMotion : public Brain {
  public:
    using Brain::Brain;

    // Reads the "Motion" block. Without one the brain reports it and stays inactive.
    bool load(const ParseNode* brainEntry) override;
    // Prepares the path's interpolation; repeated at every scene start, same result.
    void start() override;
    // Advances `time` by the frame's delta and copies the path's pose into the object
    // (rotation, position, and the x scale as the object's uniform scale).
    void update() override;

    std::unique_ptr<KeyframeMotion> motion;  // null until loaded
    float time = 0.0f;                       // seconds; never reset, so it runs on across scenes
};

class SimpleMovement : public Brain {
  public:
    using Brain::Brain;

    // Reads "RotateVelocity" and "MoveVelocity" (three floats each) from "Physics"; a
    // missing or short velocity is reported and taken as 0.
    bool load(const ParseNode* brainEntry) override;
    // Turns the object about its own axes and moves it along the axes it had in the
    // previous frame (the local transform the renderer built then).
    void update() override;

    Vector3 rotateVelocity;  // radians per second, the three angles of fromAngles
    Vector3 moveVelocity;    // units per second, in the object's own axes
};
