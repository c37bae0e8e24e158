#include "document/PELParam.h"

#include <gtest/gtest.h>

namespace {

CDOCScale ScaleAt(int range) {
    CDOCScale scale;
    EXPECT_TRUE(scale.SetIndex(range));
    return scale;
}

} // namespace

TEST(Scale, RangeSelectionShowsTheWholeRangeAndKeepsCursors) {
    CDOCScale scale = ScaleAt(5);
    ASSERT_TRUE(scale.SetZoom(1));
    ASSERT_TRUE(scale.SetShiftSamples(1000));
    ASSERT_TRUE(scale.SetCursorPx(0, 10)); // 10 * 2 + 1000
    EXPECT_EQ(scale.GetCursorSamples(0), 1020);

    ASSERT_TRUE(scale.SetIndex(7));
    EXPECT_EQ(scale.GetZoom(), 7);
    EXPECT_EQ(scale.GetShift(), 0);
    EXPECT_EQ(scale.GetCursorSamples(0), 1020);
    EXPECT_EQ(scale.GetStr(), QStringLiteral("8000 м"));
    EXPECT_EQ(scale.GetDefaultPulse(), 6);
}

TEST(Scale, OutOfTableRangeIsRefusedWithoutChange) {
    CDOCScale scale = ScaleAt(6);
    ASSERT_TRUE(scale.SetZoom(3));
    ASSERT_TRUE(scale.SetShiftSamples(400));
    EXPECT_FALSE(scale.SetIndex(11));
    EXPECT_FALSE(scale.SetIndex(-1));
    EXPECT_EQ(scale.GetIndex(), 6);
    EXPECT_EQ(scale.GetZoom(), 3);
    EXPECT_EQ(scale.GetShift(), 400);
}

TEST(Scale, ZoomStaysWithinTheRangeLimits) {
    CDOCScale scale = ScaleAt(6); // zoom 2..6
    EXPECT_FALSE(scale.SetZoom(1));
    EXPECT_FALSE(scale.SetZoom(7));
    EXPECT_TRUE(scale.SetZoom(2));
    EXPECT_EQ(scale.GetZoomFactor(), 4);
    EXPECT_EQ(scale.GetStorageFactor(), 4);
    EXPECT_EQ(scale.GetBaseSamples(), 32000);
    EXPECT_EQ(scale.GetBoardDecimation('Y'), 3);
    EXPECT_EQ(scale.GetBoardDecimation('L'), 3);
    EXPECT_EQ(scale.GetBoardDecimation('Z'), 0);
    ASSERT_TRUE(scale.SetZoom(6));
    EXPECT_EQ(scale.GetBoardDecimation('Y'), 63);
    EXPECT_EQ(scale.GetBoardDecimation('L'), 3);
}

TEST(Scale, ZoomTextRunsFromOneToSixteen) {
    CDOCScale scale = ScaleAt(0);
    EXPECT_EQ(scale.GetZoomStr(), QStringLiteral("Лупа x1 "));
    for (int range = 4; range <= 10; ++range) {
        scale = ScaleAt(range);
        EXPECT_EQ(scale.GetZoomStr(), QStringLiteral("Лупа x1 ")) << range;
        ASSERT_TRUE(scale.SetZoom(scale.GetMaxZoom() - 2));
        EXPECT_EQ(scale.GetZoomStr(), QStringLiteral("Лупа x4 ")) << range;
        ASSERT_TRUE(scale.SetZoom(scale.GetMaxZoom() - 4));
        EXPECT_EQ(scale.GetZoomStr(), QStringLiteral("Лупа x16 ")) << range;
    }
}

TEST(Scale, ShiftAcceptsUpToTheRangeEnd) {
    for (int range = 0; range <= 10; ++range) {
        CDOCScale scale = ScaleAt(range);
        const int end = 500 << range;
        EXPECT_TRUE(scale.SetShiftSamples(end)) << range;
        EXPECT_FALSE(scale.SetShiftSamples(end + 1)) << range;
        EXPECT_FALSE(scale.SetShiftSamples(-1)) << range;
        EXPECT_EQ(scale.GetShift(), end);
        EXPECT_EQ(scale.GetBoardStart(), end + 38);
    }
}

TEST(Scale, CursorColumnsAreClampedToTheWindow) {
    CDOCScale scale = ScaleAt(4);
    ASSERT_TRUE(scale.SetZoom(2)); // F = 4, window 2000 samples
    ASSERT_TRUE(scale.SetShiftSamples(3000));
    ASSERT_TRUE(scale.SetCursorPx(0, 0));
    ASSERT_TRUE(scale.SetShiftSamples(3001 + 4)); // cursor now left of the window
    EXPECT_EQ(scale.GetCursorPx(0), 0);
    ASSERT_TRUE(scale.SetShiftSamples(0)); // 3000 / 4 = 750: right of the window
    EXPECT_EQ(scale.GetCursorPx(0), 499);
    ASSERT_TRUE(scale.SetCursorPx(1, 499));
    EXPECT_EQ(scale.GetCursorSamples(1), 1996);
    EXPECT_FALSE(scale.SetCursorPx(1, 500));
    EXPECT_FALSE(scale.SetCursorPx(1, -1));
    EXPECT_FALSE(scale.SetCursorPx(2, 10));
    EXPECT_EQ(scale.GetCursorSamples(1), 1996);
}

TEST(Scale, CursorFromDistance) {
    CDOCScale scale;
    EXPECT_EQ(scale.SetCursorMetres(0, 12.5), 100);
    EXPECT_EQ(scale.SetCursorMetres(0, 100000.0), 100); // outside: unchanged
    EXPECT_EQ(scale.SetCursorMetres(0, -0.1), 100);
    EXPECT_EQ(scale.SetCursorMetres(0, 0.0), 0);
    EXPECT_EQ(scale.SetCursorMetres(1, 0.0625), 1); // half a sample rounds up
    EXPECT_EQ(scale.SetCursorMetres(1, 0.0624), 0);
    scale.vfactor.SetKU(3.0); // a sample is now 0.0625 m
    EXPECT_EQ(scale.SetCursorMetres(1, 12.5), 200);
    EXPECT_DOUBLE_EQ(scale.GetCursorMetres(1), 12.5);
}

TEST(Scale, CursorAndDistanceTexts) {
    CDOCScale scale;
    scale.vfactor.SetKU(1.5);
    ASSERT_TRUE(scale.SetCursorPx(0, 0));
    ASSERT_TRUE(scale.SetCursorPx(1, 250));
    EXPECT_EQ(scale.GetCursorStr(0), QStringLiteral("K1 0.00 м"));
    EXPECT_EQ(scale.GetCursorStr(1), QStringLiteral("K2 31.25 м"));
    EXPECT_EQ(scale.GetDistanceStr(), QStringLiteral("L= 31.25 м"));
    EXPECT_EQ(scale.GetCursorStr(2), QStringLiteral("GetCursorStr: Неверный номер курсора - 2"));
    // The distance does not depend on which cursor lies further.
    ASSERT_TRUE(scale.SetCursorPx(0, 400));
    EXPECT_EQ(scale.GetDistanceStr(), QStringLiteral("L= 18.75 м"));
}

TEST(Scale, MetresAtColumns) {
    CDOCScale scale = ScaleAt(3);
    ASSERT_TRUE(scale.SetZoom(1));
    ASSERT_TRUE(scale.SetShiftSamples(100));
    EXPECT_DOUBLE_EQ(scale.GetMetresAtPx(0), 12.5);
    EXPECT_DOUBLE_EQ(scale.GetMetresAtPx(499), (100 + 998) * 0.125);
    EXPECT_DOUBLE_EQ(scale.GetMetresAtPx(500), -1.0);
    EXPECT_DOUBLE_EQ(scale.GetMetresAtPx(-1), -1.0);
}

TEST(Scale, CenteringOnTheActiveCursor) {
    CDOCScale scale = ScaleAt(4); // 8000 samples
    scale._activeCursorIndex = 0;
    ASSERT_TRUE(scale.SetCursorPx(0, 250)); // at zoom 4: sample 4000
    ASSERT_TRUE(scale.SetZoom(2));          // window 2000
    EXPECT_EQ(scale.CenterOnActiveCursor(), 3000);

    scale._activeCursorIndex = 1;
    ASSERT_TRUE(scale.SetShiftSamples(0));
    ASSERT_TRUE(scale.SetCursorPx(1, 100)); // sample 400: the window would start before 0
    EXPECT_EQ(scale.CenterOnActiveCursor(), 0);

    ASSERT_TRUE(scale.SetShiftSamples(6000));
    ASSERT_TRUE(scale.SetCursorPx(1, 450)); // sample 7800: the window would end after 8000
    EXPECT_EQ(scale.CenterOnActiveCursor(), 6000);
    EXPECT_EQ(scale.GetShift(), 6000);
}

TEST(Scale, TicksAtTheShortestRange) {
    CDOCScale scale;
    scale.vfactor.SetKU(1.5); // span 62.375 m
    scale.CalcTicks();
    EXPECT_DOUBLE_EQ(scale.GetPixelsPerTick(), 5.0 / (62.375 / 500));
    EXPECT_DOUBLE_EQ(scale.GetFirstTick(), 5.0);
    EXPECT_DOUBLE_EQ(scale.GetLastTick(), 55.0);
    EXPECT_NEAR(scale.GetFirstTickColumn(), 0.0, 1e-9);
    const QStringList labels = scale.GetTickLabels();
    ASSERT_EQ(labels.size(), 14); // 500 / floor(40.08) + 2
    EXPECT_EQ(labels.first(), QStringLiteral("0"));
    EXPECT_EQ(labels[1], QStringLiteral("5"));
    EXPECT_EQ(labels.last(), QStringLiteral("65"));

    scale.vfactor.SetKU(3.0); // span 31.1875 m: step 2.5 m, one decimal
    scale.CalcTicks();
    EXPECT_DOUBLE_EQ(scale.GetFirstTick(), 2.5);
    EXPECT_DOUBLE_EQ(scale.GetPixelsPerTick(), 2.5 / (31.1875 / 500));
    ASSERT_GE(scale.GetTickLabels().size(), 3);
    EXPECT_EQ(scale.GetTickLabels()[0], QStringLiteral("0.0"));
    EXPECT_EQ(scale.GetTickLabels()[1], QStringLiteral("2.5"));
    EXPECT_EQ(scale.GetTickLabels()[2], QStringLiteral("5.0"));
}

TEST(Scale, TicksFollowTheWindow) {
    CDOCScale scale = ScaleAt(10);
    ASSERT_TRUE(scale.SetZoom(8));
    ASSERT_TRUE(scale.SetShiftSamples(100000)); // from 12500 m, 256 samples a column
    scale.CalcTicks();
    // span (499 * 256) * 0.125 = 15968 m: p = 1000, step 1250 m
    const double span = 499 * 256 * 0.125;
    EXPECT_DOUBLE_EQ(scale.GetFirstTick(), 13750.0);
    EXPECT_DOUBLE_EQ(scale.GetPixelsPerTick(), 1250.0 / (span / 500));
    EXPECT_NEAR(scale.GetFirstTickColumn(), 0.0, 1e-9);
    ASSERT_GE(scale.GetTickLabels().size(), 2);
    EXPECT_EQ(scale.GetTickLabels()[0], QStringLiteral("12500"));
    EXPECT_EQ(scale.GetTickLabels()[1], QStringLiteral("13750"));
}
