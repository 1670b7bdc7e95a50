// The particle fountain (ShadeBobs) and the live video texture (Television).
//
// `ShadeBobs` gives its object a mesh of its own: 1500 vertices, each the centre of a
// textured ball sprite ("WhiteBall64") drawn by the shaded-sprite variant of the pipeline.
// The balls rise from a small disc at the bottom to a wide disc at the top and start
// again, while the whole fountain turns about its own y axis. Balls are opaque at the
// bottom and fade out towards the top. The random numbers come from the C library's
// rand(), never seeded here, so a run is reproducible from the process's seed.
//
// `Television` hands the texture "Images/T4000.pic" to the scene's first view, which
// copies its picture into it after every frame.
#pragma once

#include <memory>

#include "math/vector3.h"
#include "render/brain.h"

class Texture;

// The fountain's size: balls, materials (grey levels) and the balls each material draws.
inline constexpr int kShadeBobCount = 1500;
inline constexpr int kShadeBobMaterials = 8;
inline constexpr int kShadeBobsPerMaterial = kShadeBobCount / kShadeBobMaterials;  // 187

class ShadeBobs : public Brain {
  public:
    using Brain::Brain;

    // Reads nothing. Releases the vertex array of an object that owns its mesh; an object
    // with a geometry (a mesh shared with its prototype) is refused with a message and the
    // brain stays inactive.
    bool load(const ParseNode* brainEntry) override;
    // Builds the fountain: a fresh mesh, eight materials and the velocities, releasing
    // whatever an earlier start built. Without the texture "WhiteBall64" it reports that,
    // leaves the object without a mesh and stays inactive.
    void start() override;
    // Turns the fountain and moves every ball; recycles the balls that passed `top`.
    void update() override;

    // Whether the fountain is built and moving.
    bool active() const { return built_; }

    Texture* ballTexture = nullptr;
    std::unique_ptr<Vector3[]> velocities;  // one per ball, units per second
    float bottom = -3000.0f;                // height where balls start
    float top = 3000.0f;                    // height past which balls are recycled

  private:
    void releaseMesh();

    bool refused_ = false;  // the object has a geometry: the brain never builds
    bool built_ = false;
};

class Television : public Brain {
  public:
    using Brain::Brain;

    // Reads nothing.
    bool load(const ParseNode* brainEntry) override;
    // Finds "Images/T4000.pic" and makes it the capture texture of the scene's first view.
    // A missing texture, an 8-bit ("AlphaMap") texture or a scene without views is
    // reported and the brain leaves the views alone.
    void start() override;

    Texture* screenTexture = nullptr;
};
