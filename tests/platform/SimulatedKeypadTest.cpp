#include "platform/SimulatedKeypad.h"

#include <gtest/gtest.h>

TEST(SimulatedKeypad, TheBatteryDrainsOneLevelAStepDownToExhausted) {
    EXPECT_EQ(platform::NextSimulatedBatteryCode('F', false), 'E');
    EXPECT_EQ(platform::NextSimulatedBatteryCode('B', false), 'A');
    EXPECT_EQ(platform::NextSimulatedBatteryCode('A', false), 'A');
}

TEST(SimulatedKeypad, TheAdapterChargesItBackUpToFull) {
    EXPECT_EQ(platform::NextSimulatedBatteryCode('A', true), 'B');
    EXPECT_EQ(platform::NextSimulatedBatteryCode('E', true), 'F');
    EXPECT_EQ(platform::NextSimulatedBatteryCode('F', true), 'F');
}

TEST(SimulatedKeypad, StartsWithAFullBatteryAndKeepsCodesInRange) {
    platform::SimulatedKeypad keypad;
    EXPECT_EQ(keypad.GetLevelCode(), 'F');
    keypad.SetLevelCode('C');
    EXPECT_EQ(keypad.GetLevelCode(), 'C');
    keypad.SetLevelCode('Z');
    EXPECT_EQ(keypad.GetLevelCode(), 'F');
    keypad.SetLevelCode('0');
    EXPECT_EQ(keypad.GetLevelCode(), 'A');
}
