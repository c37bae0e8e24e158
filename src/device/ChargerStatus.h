#pragma once

// What one look at the adapter and charger pins says, and the charging screen's filling
// cells: pure functions, so the charger supervision is testable without pins or widgets.

#include <cstdint>

// Status bits of one poll.
namespace charger {
inline constexpr std::uint32_t AC_PLUGGED = 0x01;         // adapter present now
inline constexpr std::uint32_t AC_UNPLUGGED = 0x02;       // adapter absent now
inline constexpr std::uint32_t CHARGE_IN_PROGRESS = 0x04; // charging
inline constexpr std::uint32_t CHARGE_COMPLETE = 0x08;
inline constexpr std::uint32_t CHARGE_ERROR = 0x10;
inline constexpr std::uint32_t AC_WAS_UNPLUGGED = 0x20; // pulled since the last poll after being steadily present
inline constexpr std::uint32_t AC_WAS_PLUGGED = 0x40;   // plugged in during the last 8 polls

// The adapter history between polls: 0 = steadily present, 1 = absent, 2..9 = plugged in
// that many polls ago (counting from 2); 10 is steady again.
inline constexpr std::int32_t kSteadilyPresent = 0;
inline constexpr std::int32_t kAbsent = 1;
inline constexpr std::int32_t kSettledHistory = 10;

// Levels of the three pins; true = high.
struct Lines {
    bool lineB = false;        // charger status line B
    bool lineA = false;        // charger status line A
    bool adapterSense = false; // high = no adapter
};

// The status bits of a poll that reads `lines`; `adapterHistory` carries the adapter's
// recent past from poll to poll and is updated.
std::uint32_t StatusOf(const Lines& lines, std::int32_t& adapterHistory);

// The charging screen: the five body cells and the terminal fill from the left.
inline constexpr int kAnimatedCells = 6;
inline constexpr int kFullLevel = 6; // every cell filled
// Whether `cell` shows filled at `fillLevel`.
inline bool CellFilled(int cell, int fillLevel) {
    return cell <= fillLevel;
}
// The fill level of the next step after showing `fillLevel`.
inline int NextFillLevel(int fillLevel) {
    return (fillLevel + 1) % kAnimatedCells;
}
} // namespace charger
