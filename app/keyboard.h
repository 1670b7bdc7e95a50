// The process-wide keyboard state, the per-frame snapshot the engine reads, key bindings
// and the window's command ring.
//
// Key codes are the Windows virtual-key codes (Escape 27, F12 123, 'A' 65, ...). Key code
// k lives in word k / 32 at bit (31 - k % 32): key 0 is the most significant bit of word 0.
// The main thread (the window) writes `keyboardState`, one word per key event; the demo
// thread copies words 0-3 into a `KeyboardSnapshot` once per frame. A snapshot may mix
// words from before and after one key event; nothing depends on a consistent view.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kKeyboardWords = 8;  // 256 key codes
inline constexpr int kSnapshotWords = 4;  // key codes 0-127

// Word index and bit mask of key code k (0-255) in the keyboard bit layout.
constexpr int keyWord(int key) {
    return key / 32;
}
constexpr uint32_t keyMask(int key) {
    return 0x80000000u >> (key % 32);
}

struct KeyboardState {
    std::atomic<uint32_t> words[kKeyboardWords] = {};
};

// The state written by the window's event handling.
extern KeyboardState keyboardState;

struct KeyboardSnapshot {
    uint32_t words[kSnapshotWords] = {};
};

// Keys that must be released (`mustBeUp`) and keys that must be held (`mustBeDown`).
struct KeyBinding {
    uint32_t mustBeUp[kSnapshotWords] = {};
    uint32_t mustBeDown[kSnapshotWords] = {};
};

// Commands posted by the window. Nothing reads them; a full ring overwrites its oldest slot.
inline constexpr int32_t CMD_CLOSE = 113;

struct CommandQueue {
    int32_t slots[256] = {};
    int writeIndex = 0;  // 0-255
    void push(int32_t command) {
        slots[writeIndex] = command;
        writeIndex = (writeIndex + 1) & 255;
    }
};

// The window's command ring (touched by the main thread only).
extern CommandQueue commandQueue;

// Sets (down) or clears (up) the bit of key code `key` (0-255; others are ignored).
void setKeyState(KeyboardState& state, int key, bool down);
inline void setKeyState(int key, bool down) {
    setKeyState(keyboardState, key, down);
}

// True when key code `key` is held in the snapshot. Codes of 128 and above are never held.
bool isKeyDown(const KeyboardSnapshot& snapshot, int key);

// True when every `mustBeDown` key is held and every `mustBeUp` key released.
bool matches(const KeyboardSnapshot& snapshot, const KeyBinding& binding);

// Copies words 0-3 of the keyboard state into the snapshot.
void takeSnapshot(KeyboardSnapshot& snapshot);

// Clears words 0-3 of the keyboard state and the whole snapshot.
void clearKeys(KeyboardSnapshot& snapshot);
