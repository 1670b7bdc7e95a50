// Tests of the keyboard bit layout, snapshots, bindings and the command ring.
#include <gtest/gtest.h>

#include "app/keyboard.h"

namespace {

KeyboardSnapshot snapshotWith(std::initializer_list<int> keys) {
    KeyboardSnapshot snapshot;
    for (int key : keys) snapshot.words[keyWord(key)] |= keyMask(key);
    return snapshot;
}

void bind(uint32_t (&mask)[kSnapshotWords], int key) {
    mask[keyWord(key)] |= keyMask(key);
}

TEST(Keyboard, BitLayoutFollowsKeyCodes) {
    KeyboardSnapshot cleared;
    clearKeys(cleared);

    // F12 (123) is bit 4 of word 3; Escape (27) bit 4 of word 0; key 0 the top bit.
    setKeyState(123, true);
    setKeyState(27, true);
    setKeyState(0, true);
    EXPECT_EQ(keyboardState.words[3].load(), 1u << 4);
    EXPECT_EQ(keyboardState.words[0].load(), (1u << 4) | 0x80000000u);

    KeyboardSnapshot snapshot;
    takeSnapshot(snapshot);
    EXPECT_TRUE(isKeyDown(snapshot, 123));
    EXPECT_TRUE(isKeyDown(snapshot, 27));
    EXPECT_TRUE(isKeyDown(snapshot, 0));
    EXPECT_FALSE(isKeyDown(snapshot, 28));

    // Releasing clears only that key; a repeated press sets it again.
    setKeyState(123, false);
    setKeyState(27, true);
    takeSnapshot(snapshot);
    EXPECT_FALSE(isKeyDown(snapshot, 123));
    EXPECT_TRUE(isKeyDown(snapshot, 27));
    EXPECT_EQ(snapshot.words[3], 0u);
    clearKeys(snapshot);
}

TEST(Keyboard, HighKeyCodesAreStoredButNeverInASnapshot) {
    KeyboardSnapshot snapshot;
    clearKeys(snapshot);
    setKeyState(144, true);  // NumLock
    setKeyState(255, true);
    setKeyState(256, true);  // out of range: ignored
    setKeyState(-1, true);
    EXPECT_EQ(keyboardState.words[4].load(), 1u << 15);
    EXPECT_EQ(keyboardState.words[7].load(), 1u);
    takeSnapshot(snapshot);
    EXPECT_FALSE(isKeyDown(snapshot, 144));
    EXPECT_FALSE(isKeyDown(snapshot, 255));
    for (uint32_t word : snapshot.words) EXPECT_EQ(word, 0u);

    // clearKeys leaves words 4-7 of the state alone and clears the snapshot.
    snapshot.words[2] = 0xFFFFFFFF;
    setKeyState(65, true);
    clearKeys(snapshot);
    EXPECT_EQ(keyboardState.words[2].load(), 0u);
    EXPECT_EQ(snapshot.words[2], 0u);
    EXPECT_EQ(keyboardState.words[4].load(), 1u << 15);
    setKeyState(144, false);
    setKeyState(255, false);
}

TEST(Keyboard, MatchesNeedsHeldKeysDownAndReleasedKeysUp) {
    KeyBinding empty;
    EXPECT_TRUE(matches(KeyboardSnapshot{}, empty));
    EXPECT_TRUE(matches(snapshotWith({65, 100}), empty));

    KeyBinding shiftA;  // A held, Shift released
    bind(shiftA.mustBeDown, 65);
    bind(shiftA.mustBeUp, 16);
    EXPECT_TRUE(matches(snapshotWith({65}), shiftA));
    EXPECT_TRUE(matches(snapshotWith({65, 90}), shiftA));
    EXPECT_FALSE(matches(snapshotWith({65, 16}), shiftA));
    EXPECT_FALSE(matches(snapshotWith({}), shiftA));

    // Keys in different words must all hold.
    KeyBinding chord;
    bind(chord.mustBeDown, 17);
    bind(chord.mustBeDown, 38);
    bind(chord.mustBeDown, 123);
    EXPECT_TRUE(matches(snapshotWith({17, 38, 123}), chord));
    EXPECT_FALSE(matches(snapshotWith({17, 38}), chord));
    EXPECT_FALSE(matches(snapshotWith({38, 123}), chord));

    // The same key in both masks can never match.
    KeyBinding contradiction;
    bind(contradiction.mustBeDown, 32);
    bind(contradiction.mustBeUp, 32);
    EXPECT_FALSE(matches(snapshotWith({32}), contradiction));
    EXPECT_FALSE(matches(snapshotWith({}), contradiction));
}

TEST(Keyboard, CommandRingWrapsAndOverwritesOldest) {
    CommandQueue queue;
    queue.push(CMD_CLOSE);
    EXPECT_EQ(queue.slots[0], 113);
    EXPECT_EQ(queue.writeIndex, 1);
    for (int i = 0; i < 255; ++i) queue.push(i);
    EXPECT_EQ(queue.writeIndex, 0);
    queue.push(7);
    EXPECT_EQ(queue.slots[0], 7);
    EXPECT_EQ(queue.slots[255], 254);
    EXPECT_EQ(queue.writeIndex, 1);
}

}  // namespace
