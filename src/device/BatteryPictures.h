#pragma once

// The battery pictures of the status line. The program draws them itself; each keeps the
// number by which the rest of the program names it.

#include <QPixmap>

namespace battery_picture {
inline constexpr int kCharging = 145;      // 24 x 16: full battery with the mains plug
inline constexpr int kFull = 154;          // four bars
inline constexpr int kExhaustedDark = 155; // the dark phase of the exhausted blink: an empty grey outline
inline constexpr int kNearlyEmpty = 156;   // an empty outline
inline constexpr int kLow = 157;           // one bar
inline constexpr int kHalf = 159;          // two bars
inline constexpr int kHigh = 160;          // three bars
inline constexpr int kExhausted = 161;     // the bright phase of the exhausted blink: red outline, red cross

inline constexpr int kWidth = 24;
inline constexpr int kHeight = 14;
inline constexpr int kChargingHeight = 16;

// Battery-level codes of the keypad driver.
inline constexpr int kCodeExhausted = 65;
inline constexpr int kCodeFull = 70;

// The picture for a battery-level code: `charging` is whether the charger charges now,
// `blink` the status line's blink flag after the exhausted code toggled it. 0 when the
// code is not a battery level.
int PictureFor(int code, bool charging, bool blink);

// The picture drawn; a null pixmap for an unknown id.
QPixmap Draw(int pictureId);
} // namespace battery_picture
