// The keyboard state and its queries.
#include "app/keyboard.h"

KeyboardState keyboardState;
CommandQueue commandQueue;

void setKeyState(KeyboardState& state, int key, bool down) {
    if (key < 0 || key >= 32 * kKeyboardWords) return;
    std::atomic<uint32_t>& word = state.words[keyWord(key)];
    if (down) {
        word.fetch_or(keyMask(key), std::memory_order_relaxed);
    } else {
        word.fetch_and(~keyMask(key), std::memory_order_relaxed);
    }
}

bool isKeyDown(const KeyboardSnapshot& snapshot, int key) {
    if (key < 0 || key >= 32 * kSnapshotWords) return false;
    return (snapshot.words[keyWord(key)] & keyMask(key)) != 0;
}

bool matches(const KeyboardSnapshot& snapshot, const KeyBinding& binding) {
    for (int i = 0; i < kSnapshotWords; ++i) {
        if ((snapshot.words[i] & binding.mustBeDown[i]) != binding.mustBeDown[i]) return false;
        if ((snapshot.words[i] & binding.mustBeUp[i]) != 0) return false;
    }
    return true;
}

void takeSnapshot(KeyboardSnapshot& snapshot) {
    for (int i = 0; i < kSnapshotWords; ++i) {
        snapshot.words[i] = keyboardState.words[i].load(std::memory_order_relaxed);
    }
}

void clearKeys(KeyboardSnapshot& snapshot) {
    for (int i = 0; i < kSnapshotWords; ++i) {
        keyboardState.words[i].store(0, std::memory_order_relaxed);
        snapshot.words[i] = 0;
    }
}
