// 3D text scrollers: letters on a sine wave (SineScroller) and along a keyframed path
// (SplineScroller).
//
// Each character of the text is a geometry of the demo with its own advance width (the
// "Char" entries of the brain's "Scroller" block). The brain's object is the frame of the
// scroller: every emitted character becomes a letter, a placed copy of the character's
// geometry that shares its mesh and the scroller object's lights, hung below the object
// as a child so the renderer draws it. Letters are moved every frame and dropped once they
// have left.
//
// Letters come from a pool of kMaxScrollerLetters objects made once, when the brain is
// loaded; emitting and dropping a letter only relinks pool objects, so update() never
// allocates. A letter that finds the pool (or the spline's slot table) full is not shown;
// the text still advances by its width.
#pragma once

#include <memory>

#include "geometry/owned_text.h"
#include "math/keyframe_motion.h"
#include "render/brain.h"

class SceneObject;

// Live letters a scroller holds at most.
inline constexpr int kMaxScrollerLetters = 1000;

// One entry of the character table.
struct ScrollerChar {
    SceneObject* geometry = nullptr;  // prototype drawn for the character; null: none
    float width = 0.0f;               // advance after emitting the character
};

// The letter objects of one scroller, made once. A free letter has no mesh, no lights
// and no links; a taken one shares its geometry's mesh and its parent's lights, which it
// never frees.
class LetterPool {
  public:
    LetterPool() = default;
    ~LetterPool();
    LetterPool(const LetterPool&) = delete;
    LetterPool& operator=(const LetterPool&) = delete;

    // Makes the kMaxScrollerLetters objects (once; later calls do nothing).
    void create();
    bool created() const { return letters_ != nullptr; }
    // A letter showing `geometry` below `parent`, with the parent's lights, an identity
    // rotation, position 0 and the geometry's scale; null when every letter is taken.
    SceneObject* take(const SceneObject& geometry, SceneObject* parent);
    // Returns a letter taken from this pool, clearing what it shared.
    void release(SceneObject* letter);
    // Whether `object` is one of this pool's letters.
    bool owns(const SceneObject* object) const;
    int liveCount() const { return kMaxScrollerLetters - freeCount_; }

    bool fullReported = false;  // the console has been told that a letter was not shown

  private:
    std::unique_ptr<SceneObject[]> letters_;
    std::unique_ptr<SceneObject*[]> free_;  // a stack of free letters
    int freeCount_ = 0;
};

class SineScroller : public Brain {
  public:
    using Brain::Brain;
    ~SineScroller() override;

    // Reads the "Scroller" block; without one the brain reports it and stays inactive.
    bool load(const ParseNode* brainEntry) override;
    // Emits the next character at the right end of the line, then moves every letter
    // left, bobbing on three sine waves, and drops the letters past the left end.
    void update() override;

    float length = 0.0f;  // "Lenght": the visible line runs from -length/2 to length/2
    float speed = 0.0f;   // units per second
    OwnedText text;
    int textPos = 0;          // index of the next character of `text`
    float distance = 0.0f;    // travelled since the last emission
    float spacing = 0.0f;     // width of the last emitted character
    ScrollerChar chars[256];  // by character code
    LetterPool letters;       // live letters are the object's child chain, newest first
};

class SplineScroller : public Brain {
  public:
    using Brain::Brain;
    ~SplineScroller() override;

    // Reads the "Scroller" block and the path of the "Motion" block, prepared at once;
    // without either the brain reports it and stays inactive.
    bool load(const ParseNode* brainEntry) override;
    // Emits the next character at the path's start, then poses every letter by its age
    // along the path, dropping those past its end time, and rebuilds the object's child
    // chain from the live letters.
    void update() override;

    struct Slot {
        SceneObject* instance = nullptr;  // null: free
        float age = 0.0f;                 // seconds on the path
    };

    float length = 0.0f;  // "Lenght": read but not used by this scroller
    float speed = 0.0f;   // units per second
    OwnedText text;
    int textPos = 0;
    float distance = 0.0f;
    float spacing = 0.0f;
    ScrollerChar chars[256];
    std::unique_ptr<KeyframeMotion> motion;  // null until loaded
    Slot slots[kMaxScrollerLetters];
    int slotsUsed = 0;  // one more than the highest slot index ever used
    LetterPool letters;
};
