// The program's window and its event loop (main thread only, except where noted).
//
// The window shows the board's front buffer, scaled to fit with its aspect ratio kept.
// Key events reach the process-wide keyboard state as Windows virtual-key codes; Alt+Enter
// toggles full screen. Workers hand frames over with `presentFrame` and end the loop with
// `postQuit`.
#pragma once

#include <cstdint>

struct WindowHooks {
    void (*frameShown)() = nullptr;           // once per frame handed to presentFrame
    void (*activate)(bool active) = nullptr;  // focus gained or lost
    bool (*moved)() = nullptr;                // the window moved; false closes the window
};

// Opens the window with its title. Without a display (no DISPLAY or WAYLAND_DISPLAY and no
// SDL_VIDEODRIVER), or when the display cannot be opened, it uses SDL's dummy video driver
// and says so in one line on the console. False when no window can be made at all.
bool openWindow(const char* title, const WindowHooks& hooks);

// Hands a finished RGB565 frame to the main thread (callable from one worker thread). The
// pixels are copied before it returns; it blocks while every frame slot awaits showing.
// Its signature matches the board's presenter.
void presentFrame(void* context, const uint16_t* pixels, int width, int height, int strideBytes);

// Ends the event loop (callable from any thread); `exitCode` becomes the loop's result.
// The first quit posted wins.
void postQuit(int exitCode = 0);

// Runs the event loop until postQuit or until the window is closed (which queues
// CMD_CLOSE in the command queue). Returns the exit code given to postQuit, 0 when the
// window was closed.
int runEventLoop();
