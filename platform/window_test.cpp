// Tests of the window's event loop on SDL's dummy video driver: every frame handed over is
// shown once, key events reach the keyboard state as the engine would see them, and
// closing the window ends the loop with CMD_CLOSE.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/keyboard.h"
#include "platform/window.h"

namespace {

std::atomic<int> framesShown{0};

void pushKey(SDL_Scancode scancode, bool down, Uint16 modifiers = KMOD_NONE) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
}

bool held(int key) {
    return (keyboardState.words[keyWord(key)].load() & keyMask(key)) != 0;
}

TEST(Window, ShowsFramesTracksKeysAndCloses) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    WindowHooks hooks;
    hooks.frameShown = [] { ++framesShown; };
    ASSERT_TRUE(openWindow("Glide Test", hooks));

    std::thread worker([] {
        // Frames of a wider stride than their width, as the board may hand over.
        std::vector<uint16_t> pixels(size_t{700} * 480, 0xF800);
        for (int i = 0; i < 12; ++i) presentFrame(nullptr, pixels.data(), 640, 480, 1400);
        pushKey(SDL_SCANCODE_A, true);
        pushKey(SDL_SCANCODE_F10, true);              // a system key
        pushKey(SDL_SCANCODE_LALT, true, KMOD_LALT);  // Alt+Enter: never seen
        pushKey(SDL_SCANCODE_RETURN, true, KMOD_LALT);
        pushKey(SDL_SCANCODE_A, false, KMOD_LALT);  // released under Alt: stays down
        pushKey(SDL_SCANCODE_RETURN, false, KMOD_LALT);
        pushKey(SDL_SCANCODE_LALT, false);
        pushKey(SDL_SCANCODE_KP_8, true, KMOD_NUM);  // keypad 8 with NumLock: 104
        pushKey(SDL_SCANCODE_KP_2, true);            // keypad 2 without it: Down 40
        postQuit(3);
    });
    EXPECT_EQ(runEventLoop(), 3);  // the worker's exit code
    worker.join();
    EXPECT_EQ(framesShown.load(), 12);
    EXPECT_TRUE(held(65));
    EXPECT_FALSE(held(121));
    EXPECT_FALSE(held(18));
    EXPECT_FALSE(held(13));
    EXPECT_TRUE(held(104));
    EXPECT_TRUE(held(40));

    // Closing the window ends the loop and leaves CMD_CLOSE in the command ring.
    int before = commandQueue.writeIndex;
    std::thread closer([] {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        SDL_PushEvent(&event);
    });
    EXPECT_EQ(runEventLoop(), 0);
    closer.join();
    EXPECT_EQ(commandQueue.writeIndex, (before + 1) & 255);
    EXPECT_EQ(commandQueue.slots[before], CMD_CLOSE);
}

}  // namespace
