// The demo: one description played from its first scene to its last.
//
// `Demo::LoadDemo` parses the description, brings the board up, loads every texture and
// geometry, lets the music start, opens the display and plays each scene of the "Demo"
// list: its lights, its object hierarchy with brains, one view per camera, and the frame
// loop (the scene's time, or Escape, then one more frame; F12 writes "ScreenGrab.raw").
//
// Every front end plays through this one loop. What differs is injected: the clock
// (app/clock.h), where a swapped frame goes (the board's presenter, glide/present.h) and
// whether the run should stop early (`stopRequested`).
#pragma once

#include <cstdint>
#include <functional>

#include "app/keyboard.h"
#include "render/frame_context.h"
#include "render/view.h"
#include "scene_lang/parse_tree.h"

class Renderer;
class SceneObject;
class TextureMemory;

inline constexpr int kMaxViews = 8;
inline constexpr int kEscapeKey = 27;
inline constexpr int kScreenGrabKey = 123;  // F12

class Demo {
  public:
    Demo();
    // Destroys the parse tree, then the renderer, then the texture memory.
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    // The whole run. False when the description cannot be opened ("cannot open NAME" on
    // the console; nothing else happens).
    bool LoadDemo(const char* file);

    // Checked once per frame: true ends the run after that frame.
    std::function<bool()> stopRequested;

    ParseTree tree;
    const ParseNode* root = nullptr;
    Renderer* renderer = nullptr;
    TextureMemory* textureMemory = nullptr;
    int screenWidth = 0;
    int screenHeight = 0;
    ViewSettings viewSettings;
    FrameContext frameContext;
    KeyboardSnapshot keyboard;
    int viewCount = 0;
    View* views[kMaxViews] = {};
    int framesDrawn = 0;  // over the whole run

  private:
    void InitDemo();
    void InitScene(const char* label);
    void createLights(const ParseNode* firstStatement, const char* scene);
    void setupLights(const ParseNode* firstStatement, const char* scene);
    SceneObject* buildGroup(const char* label, SceneObject* parent, int depth, const char* scene);
    void loadCameras(const ParseNode* firstStatement, const char* scene);
    void runScene(float duration);
    void destroyViews();
    bool stopped_ = false;
};

// Writes the front buffer as "ScreenGrab.raw" bytes (red, green, blue per pixel, rows from
// the top; the low bits of each byte are zero) to `path`.
bool screenGrab(const char* path, int width, int height);

// Plays the description `file` with a new Demo; false when it cannot be opened.
bool LoadDemo(const char* file);
