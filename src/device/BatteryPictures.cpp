#include "device/BatteryPictures.h"

#include <QPainter>

#include <array>

namespace battery_picture {

namespace {

// The battery lies on its side, terminal to the right: a body with a 1-pixel outline
// and room for four bars of 3 pixels with 2-pixel gaps, and a 2 x 6 terminal.
constexpr int kBodyWidth = 22;
constexpr int kTerminalWidth = 2;
constexpr int kTerminalHeight = 6;
constexpr int kBars = 4;
constexpr int kBarWidth = 3;
constexpr int kBarPitch = 5;
constexpr int kBarInset = 2; // outline plus one pixel of air

const QColor kOutline(0, 0, 0);
const QColor kBar(0, 128, 0);
const QColor kExhaustedRed(255, 0, 0);
const QColor kDarkGrey(128, 128, 128);

QPixmap Blank(int height) {
    QPixmap picture(kWidth, height);
    picture.fill(Qt::transparent);
    return picture;
}

// Outline and terminal with the body's top edge at `top`.
void DrawBattery(QPainter& painter, int top, const QColor& color, int bars) {
    painter.setPen(color);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, top, kBodyWidth - 1, kHeight - 1);
    painter.fillRect(kBodyWidth, top + (kHeight - kTerminalHeight) / 2, kTerminalWidth, kTerminalHeight, color);
    for (int bar = 0; bar < bars; ++bar)
        painter.fillRect(kBarInset + bar * kBarPitch, top + kBarInset, kBarWidth, kHeight - 2 * kBarInset, kBar);
}

QPixmap Level(int bars) {
    QPixmap picture = Blank(kHeight);
    QPainter painter(&picture);
    DrawBattery(painter, 0, kOutline, bars);
    return picture;
}

QPixmap DrawFull() {
    return Level(kBars);
}
QPixmap DrawHigh() {
    return Level(3);
}
QPixmap DrawHalf() {
    return Level(2);
}
QPixmap DrawLow() {
    return Level(1);
}
QPixmap DrawNearlyEmpty() {
    return Level(0);
}

QPixmap DrawExhaustedDark() {
    QPixmap picture = Blank(kHeight);
    QPainter painter(&picture);
    DrawBattery(painter, 0, kDarkGrey, 0);
    return picture;
}

QPixmap DrawExhausted() {
    QPixmap picture = Blank(kHeight);
    QPainter painter(&picture);
    DrawBattery(painter, 0, kExhaustedRed, 0);
    painter.setPen(kExhaustedRed);
    painter.drawLine(kBarInset + 4, kBarInset, kBodyWidth - 1 - kBarInset - 4, kHeight - 1 - kBarInset);
    painter.drawLine(kBarInset + 4, kHeight - 1 - kBarInset, kBodyWidth - 1 - kBarInset - 4, kBarInset);
    return picture;
}

// The full battery two pixels lower, with a plug whose prongs stand above it.
QPixmap DrawCharging() {
    constexpr int kTop = kChargingHeight - kHeight;
    QPixmap picture = Blank(kChargingHeight);
    QPainter painter(&picture);
    DrawBattery(painter, kTop, kOutline, kBars);
    const QColor plug(255, 255, 255);
    constexpr int kPlugLeft = 8;
    constexpr int kPlugWidth = 6;
    painter.fillRect(kPlugLeft - 1, kTop + 3, kPlugWidth + 2, 6, kOutline); // the plug's body with a dark rim
    painter.fillRect(kPlugLeft, kTop + 4, kPlugWidth, 4, plug);
    painter.fillRect(kPlugLeft + 1, 0, 1, kTop + 3, kOutline); // the prongs
    painter.fillRect(kPlugLeft + kPlugWidth - 2, 0, 1, kTop + 3, kOutline);
    painter.fillRect(kPlugLeft + 2, kTop + 9, 2, kHeight - 10, kOutline); // the cord
    return picture;
}

struct PictureEntry {
    int id;
    QPixmap (*draw)();
};

const std::array<PictureEntry, 8> kPictures{{
    {kCharging, &DrawCharging},
    {kFull, &DrawFull},
    {kExhaustedDark, &DrawExhaustedDark},
    {kNearlyEmpty, &DrawNearlyEmpty},
    {kLow, &DrawLow},
    {kHalf, &DrawHalf},
    {kHigh, &DrawHigh},
    {kExhausted, &DrawExhausted},
}};

// Codes 66 to 69 in order.
constexpr std::array<int, 4> kLevelPictures{kNearlyEmpty, kLow, kHalf, kHigh};

} // namespace

int PictureFor(int code, bool charging, bool blink) {
    if (code == kCodeExhausted)
        return blink ? kExhausted : kExhaustedDark;
    if (code == kCodeFull)
        return charging ? kCharging : kFull;
    if (code > kCodeExhausted && code < kCodeFull)
        return kLevelPictures[static_cast<std::size_t>(code - kCodeExhausted - 1)];
    return 0;
}

QPixmap Draw(int pictureId) {
    for (const PictureEntry& entry : kPictures) {
        if (entry.id == pictureId)
            return entry.draw();
    }
    return QPixmap();
}

} // namespace battery_picture
