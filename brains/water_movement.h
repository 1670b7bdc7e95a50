// Water texture scrolling (WaterMovement).
//
// Makes a water surface flow by sliding the texture coordinates of its object's mesh at a
// constant rate: 9 units per second against u and 36 per second along v (0..255 units
// across the image). The coordinates are never brought back into range, so the surface's
// texture should repeat ("Wrap"). The mesh is the geometry's, shared by every placed copy:
// all copies flow, and each brain on a copy adds its own flow.
#pragma once

#include "render/brain.h"

class WaterMovement : public Brain {
  public:
    using Brain::Brain;

    // Reads nothing. Reports an object without a mesh, and a textured material whose
    // texture does not repeat; the brain runs anyway.
    bool load(const ParseNode* brainEntry) override;
    // Slides every vertex's (u, v) by (-9, 36) times the frame's delta.
    void update() override;

    static constexpr float kFlowU = -9.0f;  // texture units per second
    static constexpr float kFlowV = 36.0f;
};
