// The behaviour interface the renderer steps every frame.
//
// A brain drives one scene object. The classes live in brains/ (with the factory that
// makes them from "Brain" entries); the renderer only keeps them in its `brains` list,
// starts them at each scene start, updates them once per frame and destroys them with
// itself.
#pragma once

#include "geometry/owned_text.h"

class Renderer;
class SceneObject;
struct ParseNode;

class Brain {
  public:
    // Keeps a copy of `label` as `name` and the two pointers (neither owned).
    Brain(SceneObject* object, Renderer* renderer, const char* label);
    virtual ~Brain();
    Brain(const Brain&) = delete;
    Brain& operator=(const Brain&) = delete;

    // Reads the class's keys from its "Brain" entry; the result is informational only.
    virtual bool load(const ParseNode* brainEntry);
    // Before the first frame of every scene (brains of earlier scenes are started again).
    virtual void start();
    // A hook no caller uses; kept so that every class has the same operations.
    virtual void idle();
    // Once per frame, after the frame clock and keyboard snapshot are refreshed and before
    // the object transforms are rebuilt.
    virtual void update();

    OwnedText name;  // the entry's label; also the brain's key in the renderer's list
    SceneObject* object = nullptr;
    Renderer* renderer = nullptr;
};
