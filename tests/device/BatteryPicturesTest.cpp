#include "device/BatteryPictures.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace battery_picture;

QImage ImageOf(int id) {
    return Draw(id).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Columns of the picture that hold a bar's green.
int BarCount(const QImage& image) {
    int bars = 0;
    bool inBar = false;
    const int row = image.height() / 2;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, row);
        const bool green = c.alpha() == 255 && c.green() > 100 && c.red() < 60 && c.blue() < 60;
        if (green && !inBar)
            ++bars;
        inBar = green;
    }
    return bars;
}

int CountPixels(const QImage& image, const std::function<bool(const QColor&)>& match) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    }
    return count;
}

bool IsRed(const QColor& c) {
    return c.alpha() == 255 && c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

} // namespace

TEST(BatteryPictures, CodesSelectTheirPictures) {
    EXPECT_EQ(PictureFor('B', false, false), kNearlyEmpty);
    EXPECT_EQ(PictureFor('C', false, false), kLow);
    EXPECT_EQ(PictureFor('D', false, false), kHalf);
    EXPECT_EQ(PictureFor('E', false, false), kHigh);
    EXPECT_EQ(PictureFor('F', false, false), kFull);
    EXPECT_EQ(kNearlyEmpty, 156);
    EXPECT_EQ(kLow, 157);
    EXPECT_EQ(kHalf, 159);
    EXPECT_EQ(kHigh, 160);
    EXPECT_EQ(kFull, 154);
}

TEST(BatteryPictures, FullWhileChargingShowsThePlug) {
    EXPECT_EQ(PictureFor('F', true, false), kCharging);
    EXPECT_EQ(kCharging, 145);
    EXPECT_EQ(PictureFor('E', true, false), kHigh) << "only the full battery has a charging picture";
}

TEST(BatteryPictures, TheExhaustedBatteryFollowsTheBlinkFlag) {
    EXPECT_EQ(PictureFor('A', false, true), kExhausted);
    EXPECT_EQ(PictureFor('A', false, false), kExhaustedDark);
    EXPECT_EQ(PictureFor('A', true, true), kExhausted);
    EXPECT_EQ(kExhausted, 161);
    EXPECT_EQ(kExhaustedDark, 155);
}

TEST(BatteryPictures, OtherCodesHaveNoPicture) {
    EXPECT_EQ(PictureFor('@', false, false), 0);
    EXPECT_EQ(PictureFor('G', false, false), 0);
    EXPECT_TRUE(Draw(0).isNull());
    EXPECT_TRUE(Draw(158).isNull());
}

TEST(BatteryPictures, SizesAre24By14AndTheChargingOne24By16) {
    for (int id : {kFull, kExhaustedDark, kNearlyEmpty, kLow, kHalf, kHigh, kExhausted})
        EXPECT_EQ(Draw(id).size(), QSize(24, 14)) << id;
    EXPECT_EQ(Draw(kCharging).size(), QSize(24, 16));
}

TEST(BatteryPictures, LevelsShowZeroToFourBars) {
    EXPECT_EQ(BarCount(ImageOf(kNearlyEmpty)), 0);
    EXPECT_EQ(BarCount(ImageOf(kLow)), 1);
    EXPECT_EQ(BarCount(ImageOf(kHalf)), 2);
    EXPECT_EQ(BarCount(ImageOf(kHigh)), 3);
    EXPECT_EQ(BarCount(ImageOf(kFull)), 4);
}

TEST(BatteryPictures, EveryPictureHasABatteryOutlineAndTransparentCorners) {
    for (int id : {kFull, kExhaustedDark, kNearlyEmpty, kLow, kHalf, kHigh, kExhausted}) {
        const QImage image = ImageOf(id);
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 255) << id << ": the body's corner";
        EXPECT_EQ(image.pixelColor(21, 13).alpha(), 255) << id;
        EXPECT_EQ(image.pixelColor(23, 7).alpha(), 255) << id << ": the terminal";
        EXPECT_EQ(image.pixelColor(23, 0).alpha(), 0) << id << ": beside the terminal";
    }
}

TEST(BatteryPictures, TheTwoExhaustedPicturesBlinkRed) {
    EXPECT_GT(CountPixels(ImageOf(kExhausted), IsRed), 20);
    EXPECT_EQ(CountPixels(ImageOf(kExhaustedDark), IsRed), 0);
    EXPECT_NE(ImageOf(kExhaustedDark), ImageOf(kNearlyEmpty)) << "the dark phase is not the nearly empty level";
}

TEST(BatteryPictures, TheChargingPictureHasAPlugAboveTheFullBattery) {
    const QImage charging = ImageOf(kCharging);
    const QImage full = ImageOf(kFull);
    // The battery sits in the lower 14 rows; the plug's prongs stand in the two rows above.
    EXPECT_GT(CountPixels(charging.copy(0, 0, 24, 2), [](const QColor& c) { return c.alpha() == 255; }), 0);
    EXPECT_EQ(charging.pixelColor(0, 2).alpha(), 255);
    EXPECT_NE(charging.copy(0, 2, 24, 14), full);
    EXPECT_GT(CountPixels(charging, [](const QColor& c) { return c.alpha() == 255 && c.lightness() == 255; }), 0)
        << "the plug's face";
}
