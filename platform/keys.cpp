// Scancode translation and the system-key filter.
#include "platform/keys.h"

#include <SDL_scancode.h>

#include <array>

namespace {

struct KeyEntry {
    SDL_Scancode scancode;
    int virtualKey;
};

// Keys whose code does not depend on NumLock.
constexpr KeyEntry kFixedKeys[] = {
    {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, 13},
    {SDL_SCANCODE_ESCAPE, 27},
    {SDL_SCANCODE_BACKSPACE, 8},
    {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_LEFT, 37},
    {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_LSHIFT, 16},
    {SDL_SCANCODE_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, 17},
    {SDL_SCANCODE_RCTRL, 17},
    {SDL_SCANCODE_LALT, 18},
    {SDL_SCANCODE_RALT, 18},
    {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_MENU, 93},
    {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},
    {SDL_SCANCODE_PAUSE, 19},
    {SDL_SCANCODE_PRINTSCREEN, 44},
    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

// Keypad 1..9, 0, '.' in SDL's scancode order: codes with NumLock on, then off.
constexpr SDL_Scancode kKeypad[] = {SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2,     SDL_SCANCODE_KP_3,
                                    SDL_SCANCODE_KP_4, SDL_SCANCODE_KP_5,     SDL_SCANCODE_KP_6,
                                    SDL_SCANCODE_KP_7, SDL_SCANCODE_KP_8,     SDL_SCANCODE_KP_9,
                                    SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_PERIOD};
constexpr int kKeypadNumLock[] = {97, 98, 99, 100, 101, 102, 103, 104, 105, 96, 110};
constexpr int kKeypadNavigation[] = {35, 40, 34, 37, 12, 39, 36, 38, 33, 45, 46};

std::array<int, SDL_NUM_SCANCODES> buildFixedTable() {
    std::array<int, SDL_NUM_SCANCODES> table{};
    for (int i = 0; i < 26; ++i) table[SDL_SCANCODE_A + i] = 'A' + i;
    for (int i = 0; i < 9; ++i) table[SDL_SCANCODE_1 + i] = '1' + i;
    table[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F1 + i] = 112 + i;
    for (int i = 0; i < 12; ++i) table[SDL_SCANCODE_F13 + i] = 124 + i;
    for (const KeyEntry& entry : kFixedKeys) table[entry.scancode] = entry.virtualKey;
    return table;
}

const std::array<int, SDL_NUM_SCANCODES> kFixedTable = buildFixedTable();

}  // namespace

int virtualKeyFromScancode(int scancode, bool numLock) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    for (size_t i = 0; i < std::size(kKeypad); ++i) {
        if (kKeypad[i] == scancode) return numLock ? kKeypadNumLock[i] : kKeypadNavigation[i];
    }
    return kFixedTable[scancode];
}

bool SystemKeyFilter::isSystemKey(int virtualKey, bool down) {
    bool system;
    if (virtualKey == kVkF10) {
        system = true;
    } else if (virtualKey == kVkAlt) {
        system = down ? !controlHeld_ : altAlone_;
    } else if (virtualKey == kVkControl && !down && altHeld_) {
        system = true;
    } else {
        system = altHeld_ && !controlHeld_;
    }

    if (virtualKey == kVkAlt) {
        if (down && !altHeld_) altAlone_ = system;
        if (!down) altAlone_ = false;
        altHeld_ = down;
    } else if (system) {
        altAlone_ = false;
    }
    if (virtualKey == kVkControl) controlHeld_ = down;
    return system;
}
