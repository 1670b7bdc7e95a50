// The renderer: owner of everything a demo draws, and the per-frame update.
//
// It keeps five registry lists (textures, lights, geometry prototypes, placed objects,
// brains), places objects for the scene loader (`cloneGeometry`, `createEmptyObject`)
// and, once per frame, advances the frame clock, steps every brain and rebuilds every
// object's local and world transform in a depth-first walk that also fills the draw list.
// `openDisplay` / `closeDisplay` bring the board up with the state the views rely on.
#pragma once

#include <cstdint>
#include <vector>

#include "app/named_list.h"
#include "render/brain.h"
#include "render/frame_context.h"

class Demo;
class SceneObject;
class Texture;
class View;

// One light of a scene: it shines from its object's world position.
class Light {
  public:
    explicit Light(const char* label);
    ~Light();
    Light(const Light&) = delete;
    Light& operator=(const Light&) = delete;

    char* name = nullptr;  // owned copy of the label; also the light's list key
    SceneObject* object = nullptr;
    float red = 1.0f;  // "Color" / 255
    float green = 1.0f;
    float blue = 1.0f;
    float quadraticIntensity = 16000000.0f;  // first "Intensity" value squared
    float linearIntensity = 6000.0f;         // second "Intensity" value
};

// Objects the draw list holds before it grows (it grows, once, when a scene has more).
inline constexpr int kDrawListCapacity = 2000;

class Renderer {
  public:
    explicit Renderer(Demo* owner);
    // Destroys every brain, texture, light, placed object and prototype, in that order.
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // A placed copy of the prototype `name` (the newest of that name), listed in
    // `objects`; null when no prototype has that name.
    SceneObject* cloneGeometry(const char* name);
    // A new object named "NULL" without a mesh, listed in `objects`.
    SceneObject* createEmptyObject();

    // Advances the frame clock, refreshes the keyboard snapshot, updates every brain
    // (newest first) and rebuilds the transforms and the draw list from `rootObject`.
    void updateFrame();

    NamedList<Texture> textures;
    NamedList<Light> lights;
    NamedList<SceneObject> geometries;
    NamedList<SceneObject> objects;
    NamedList<Brain> brains;
    int drawCount = 0;
    SceneObject** drawList = nullptr;  // drawCount entries, depth-first pre-order
    Demo* demo = nullptr;
    SceneObject* rootObject = nullptr;
    FrameContext* frameContext = nullptr;
    // The current scene's views, in camera order (set by the demo when a scene's cameras
    // are loaded, cleared when they are destroyed); brains that capture a view read them.
    View* const* sceneViews = nullptr;
    int sceneViewCount = 0;

  private:
    void walk(SceneObject* first, const SceneObject* parent);

    std::vector<SceneObject*> drawStorage_;
};

// Opens the board's display and sets the initial state every view relies on; starts the
// frame clock in `context` and clears the keys into `snapshot` (which the context then
// points to).
void openDisplay(FrameContext& context, KeyboardSnapshot& snapshot, int& screenWidth,
                 int& screenHeight);
// Releases the context's keyboard snapshot and shuts the board down.
void closeDisplay(FrameContext& context);
