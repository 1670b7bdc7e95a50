// Tests of the scancode translation and the system-key filter.
#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <vector>

#include "platform/keys.h"

namespace {

TEST(KeyMap, PhysicalKeysGiveWindowsCodes) {
    struct Case {
        SDL_Scancode scancode;
        int virtualKey;
    };
    const Case cases[] = {
        {SDL_SCANCODE_A, 65},          {SDL_SCANCODE_Z, 90},
        {SDL_SCANCODE_1, 49},          {SDL_SCANCODE_9, 57},
        {SDL_SCANCODE_0, 48},          {SDL_SCANCODE_RETURN, 13},
        {SDL_SCANCODE_KP_ENTER, 13},   {SDL_SCANCODE_ESCAPE, 27},
        {SDL_SCANCODE_F1, 112},        {SDL_SCANCODE_F10, 121},
        {SDL_SCANCODE_F12, 123},       {SDL_SCANCODE_F13, 124},
        {SDL_SCANCODE_F24, 135},       {SDL_SCANCODE_LEFT, 37},
        {SDL_SCANCODE_DOWN, 40},       {SDL_SCANCODE_LSHIFT, 16},
        {SDL_SCANCODE_RSHIFT, 16},     {SDL_SCANCODE_LCTRL, 17},
        {SDL_SCANCODE_RCTRL, 17},      {SDL_SCANCODE_LALT, 18},
        {SDL_SCANCODE_RALT, 18},       {SDL_SCANCODE_LGUI, 91},
        {SDL_SCANCODE_RGUI, 92},       {SDL_SCANCODE_PAUSE, 19},
        {SDL_SCANCODE_KP_DIVIDE, 111}, {SDL_SCANCODE_KP_PLUS, 107},
        {SDL_SCANCODE_GRAVE, 192},     {SDL_SCANCODE_MINUS, 189},
        {SDL_SCANCODE_SLASH, 191},     {SDL_SCANCODE_NONUSBACKSLASH, 226},
        {SDL_SCANCODE_SPACE, 32},      {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyFromScancode(c.scancode, true), c.virtualKey) << c.scancode;
        EXPECT_EQ(virtualKeyFromScancode(c.scancode, false), c.virtualKey) << c.scancode;
    }
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_VOLUMEUP, true), 0);
    EXPECT_EQ(virtualKeyFromScancode(-1, true), 0);
    EXPECT_EQ(virtualKeyFromScancode(SDL_NUM_SCANCODES, true), 0);
}

TEST(KeyMap, KeypadFollowsNumLock) {
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_KP_0, true), 96);
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_KP_5, true), 101);
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_KP_9, true), 105);
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_KP_PERIOD, true), 110);
    const int navigation[] = {45, 35, 40, 34, 37, 12, 39, 36, 38, 33};
    const SDL_Scancode keypad[] = {SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2,
                                   SDL_SCANCODE_KP_3, SDL_SCANCODE_KP_4, SDL_SCANCODE_KP_5,
                                   SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_7, SDL_SCANCODE_KP_8,
                                   SDL_SCANCODE_KP_9};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(virtualKeyFromScancode(keypad[i], false), navigation[i]) << i;
    }
    EXPECT_EQ(virtualKeyFromScancode(SDL_SCANCODE_KP_PERIOD, false), 46);
}

struct KeyEvent {
    int key;
    bool down;
};

// Which events of a sequence reach the engine.
std::vector<bool> seen(std::initializer_list<KeyEvent> events) {
    SystemKeyFilter filter;
    std::vector<bool> result;
    for (const KeyEvent& event : events)
        result.push_back(!filter.isSystemKey(event.key, event.down));
    return result;
}

constexpr bool kDown = true;
constexpr bool kUp = false;
constexpr int kA = 65;

TEST(SystemKeys, PlainKeysAndF10) {
    EXPECT_EQ(seen({{kA, kDown}, {kA, kDown}, {kA, kUp}}), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(seen({{kVkControl, kDown}, {kA, kDown}, {kA, kUp}, {kVkControl, kUp}}),
              (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(seen({{kVkF10, kDown}, {kVkF10, kUp}}), (std::vector<bool>{false, false}));
}

TEST(SystemKeys, AltAloneIsSystemBothWays) {
    EXPECT_EQ(seen({{kVkAlt, kDown}, {kVkAlt, kDown}, {kVkAlt, kUp}}),
              (std::vector<bool>{false, false, false}));
}

TEST(SystemKeys, KeysWhileAltHeldAreSystemAndAltUpThenPlain) {
    // Alt+A: A is a system key both ways; Alt's release after it is a plain key-up.
    EXPECT_EQ(seen({{kVkAlt, kDown}, {kA, kDown}, {kA, kUp}, {kVkAlt, kUp}}),
              (std::vector<bool>{false, false, false, true}));
    // Alt+Enter (the full-screen toggle) never reaches the engine.
    EXPECT_EQ(seen({{kVkAlt, kDown}, {kVkReturn, kDown}, {kVkReturn, kUp}}),
              (std::vector<bool>{false, false, false}));
}

TEST(SystemKeys, KeyReleasedUnderAltStaysDownForTheEngine) {
    // A goes down plainly, its release comes while Alt is held and is skipped.
    EXPECT_EQ(seen({{kA, kDown}, {kVkAlt, kDown}, {kA, kUp}, {kVkAlt, kUp}, {kA, kDown}}),
              (std::vector<bool>{true, false, false, true, true}));
}

TEST(SystemKeys, ControlWithAlt) {
    // Ctrl first: Alt goes down plainly and keys under Ctrl+Alt are plain too.
    EXPECT_EQ(seen({{kVkControl, kDown},
                    {kVkAlt, kDown},
                    {kA, kDown},
                    {kA, kUp},
                    {kVkAlt, kUp},
                    {kVkControl, kUp}}),
              (std::vector<bool>{true, true, true, true, true, true}));
    // Alt first: Ctrl's press is a system key, keys under both are plain, and Ctrl's
    // release while Alt is held is a system key again.
    EXPECT_EQ(seen({{kVkAlt, kDown},
                    {kVkControl, kDown},
                    {kA, kDown},
                    {kA, kUp},
                    {kVkControl, kUp},
                    {kVkAlt, kUp}}),
              (std::vector<bool>{false, false, true, true, false, true}));
    // F10 under Alt is a system key, so Alt's release afterwards is plain.
    EXPECT_EQ(seen({{kVkAlt, kDown}, {kVkF10, kDown}, {kVkF10, kUp}, {kVkAlt, kUp}}),
              (std::vector<bool>{false, false, false, true}));
}

}  // namespace
