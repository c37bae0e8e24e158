#pragma once

// The keypad as the program sees it: virtual-key codes of the instrument's keyboard
// driver, whatever keyboard delivers them.

class QKeyEvent;

namespace vk {
inline constexpr int kEnter = 13;
inline constexpr int kEscape = 27;
inline constexpr int k0 = 48;
inline constexpr int k9 = 57;
inline constexpr int kA = 65; // battery exhausted
inline constexpr int kF = 70; // the last battery-level code
inline constexpr int kP = 80; // the first key-down of a run saves the settings
inline constexpr int kF1 = 112;
inline constexpr int kF5 = 116;
inline constexpr int kF6 = 117;
inline constexpr int kF10 = 121;
inline constexpr int kF11 = 122;

inline bool IsDigit(int code) {
    return code >= k0 && code <= k9;
}
} // namespace vk

namespace platform {

// The virtual-key code of a key event, or 0 for a key the keypad does not have.
// F1-F11, digits (main row and keypad), Enter (both), Escape and the letters (as
// 'A'-'Z', where the battery codes and 'P' arrive) are mapped.
int VirtualKeyOf(const QKeyEvent& event);

} // namespace platform
