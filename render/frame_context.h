// The frame clock and the key state of the current frame, shared by the demo driver, the
// renderer and the brains.
#pragma once

struct KeyboardSnapshot;

struct FrameContext {
    double startTime = 0.0;                // seconds: when the display was opened
    double previousTime = 0.0;             // seconds: the previous frame's clock value
    double currentTime = 0.0;              // seconds: this frame's clock value
    double frameDelta = 0.0;               // seconds: currentTime - previousTime
    KeyboardSnapshot* keyboard = nullptr;  // the keys as of this frame; owned by the demo
};
