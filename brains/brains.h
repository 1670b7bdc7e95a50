// The brains subsystem's contract: turning a "Brain" entry into a behaviour.
//
// The factory picks the class named by the entry's "Class" child, lets the new brain read
// its entry and registers it at the head of the renderer's `brains` list, so the renderer
// starts and updates the newest brain first. The renderer owns every brain it lists.
#pragma once

class Renderer;
class SceneObject;
struct ParseNode;

// Makes the brain described by `brainEntry` for `object` and lists it in
// `renderer->brains` under the brain's name (the entry's label). The brain's `load` runs
// once; its result does not decide whether the brain is kept. A "Class" text naming no
// known class ends the process with "Unknown Brain <label> Class: <text>".
//
// `brainLabel` is the label the object asked for; it only serves the message printed when
// no such entry exists (`brainEntry` null). That message, and the one for an entry without
// "Class", go to the console and the object gets no brain.
void createBrain(SceneObject* object, Renderer* renderer, const ParseNode* brainEntry,
                 const char* brainLabel = nullptr);
