// Keyboard events as the engine sees them: physical keys translated to Windows
// virtual-key codes, and the filter that drops the events Windows reports as system keys
// (the engine tracks only plain key-down and key-up messages).
#pragma once

inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;
inline constexpr int kVkAlt = 18;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkF10 = 121;

// The virtual-key code of an SDL scancode (US layout); 0 for keys the engine cannot see.
// The keypad gives digits with NumLock on and navigation codes with it off.
int virtualKeyFromScancode(int scancode, bool numLock);

// Decides, event by event, which key events Windows would have sent as system keys:
// F10; any key while Alt is held and Ctrl is not; Alt going down unless Ctrl is held;
// Alt going up when no other system key came since it went down; Ctrl going up while Alt
// is held. Auto-repeat key-downs are ordinary events.
class SystemKeyFilter {
  public:
    // True when the event is a system key event (the engine must not see it).
    bool isSystemKey(int virtualKey, bool down);

  private:
    bool altHeld_ = false;
    bool controlHeld_ = false;
    bool altAlone_ = false;  // Alt's press was a system key and no other one has come since
};
