#include "device/ChargerStatus.h"

#include <gtest/gtest.h>

namespace {

using namespace charger;

constexpr Lines kPlugged{false, false, false};
constexpr Lines kUnplugged{false, false, true};

} // namespace

TEST(ChargerStatus, AdapterSenseLowIsPresentAndHighIsAbsent) {
    std::int32_t history = kSteadilyPresent;
    EXPECT_EQ(StatusOf(kPlugged, history), AC_PLUGGED);
    EXPECT_EQ(history, kSteadilyPresent);
    history = kAbsent;
    EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED);
    EXPECT_EQ(history, kAbsent);
}

TEST(ChargerStatus, PullingASteadyAdapterIsReportedOnce) {
    std::int32_t history = kSteadilyPresent;
    EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED | AC_WAS_UNPLUGGED);
    EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED);
    EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED);
}

TEST(ChargerStatus, PluggingInIsReportedOnTheNextEightPollsThenTheAdapterIsSteady) {
    std::int32_t history = kAbsent;
    for (int poll = 1; poll <= 8; ++poll) {
        EXPECT_EQ(StatusOf(kPlugged, history), AC_PLUGGED | AC_WAS_PLUGGED) << "poll " << poll;
        EXPECT_EQ(history, poll + 1);
    }
    EXPECT_EQ(StatusOf(kPlugged, history), AC_PLUGGED);
    EXPECT_EQ(history, kSteadilyPresent);
    EXPECT_EQ(StatusOf(kPlugged, history), AC_PLUGGED);
}

TEST(ChargerStatus, PullingWithinEightPollsOfPluggingIsNoPull) {
    for (int polls = 1; polls <= 8; ++polls) {
        std::int32_t history = kAbsent;
        for (int poll = 0; poll < polls; ++poll)
            StatusOf(kPlugged, history);
        EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED) << "pulled after " << polls << " polls";
        EXPECT_EQ(history, kAbsent);
    }
    // The ninth poll makes the adapter steady: now a pull counts.
    std::int32_t history = kAbsent;
    for (int poll = 0; poll < 9; ++poll)
        StatusOf(kPlugged, history);
    EXPECT_EQ(StatusOf(kUnplugged, history), AC_UNPLUGGED | AC_WAS_UNPLUGGED);
}

TEST(ChargerStatus, ChargerLinesBAndA) {
    const auto charger = [](bool lineB, bool lineA) {
        std::int32_t history = kSteadilyPresent;
        return StatusOf(Lines{lineB, lineA, false}, history) & ~AC_PLUGGED;
    };
    EXPECT_EQ(charger(false, false), 0u);
    EXPECT_EQ(charger(false, true), CHARGE_IN_PROGRESS);
    EXPECT_EQ(charger(true, false), CHARGE_COMPLETE);
    EXPECT_EQ(charger(true, true), CHARGE_ERROR);
}

TEST(ChargerStatus, ChargerBitsComeWithTheAdapterBits) {
    std::int32_t history = kAbsent;
    EXPECT_EQ(StatusOf(Lines{true, true, false}, history), AC_PLUGGED | AC_WAS_PLUGGED | CHARGE_ERROR);
    history = kSteadilyPresent;
    EXPECT_EQ(StatusOf(Lines{false, true, true}, history), AC_UNPLUGGED | AC_WAS_UNPLUGGED | CHARGE_IN_PROGRESS);
}

TEST(ChargerStatus, TheAnimationGrowsOneCellPerStepAndStartsAgain) {
    int fill = 0;
    for (int step = 0; step < kAnimatedCells; ++step) {
        int filled = 0;
        for (int cell = 0; cell < kAnimatedCells; ++cell)
            filled += CellFilled(cell, fill) ? 1 : 0;
        EXPECT_EQ(filled, step + 1);
        fill = NextFillLevel(fill);
    }
    EXPECT_EQ(fill, 0);
    for (int cell = 0; cell < kAnimatedCells; ++cell)
        EXPECT_TRUE(CellFilled(cell, kFullLevel));
    EXPECT_EQ(NextFillLevel(kFullLevel), 1);
}
