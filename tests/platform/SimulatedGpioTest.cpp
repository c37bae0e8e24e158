#include "platform/SimulatedGpio.h"

#include <gtest/gtest.h>

namespace {

using platform::SimulatedGpio;
namespace pins = platform::pins;

TEST(SimulatedGpio, AdapterAndChargerLinesReadAsTheTestSetsThem) {
    SimulatedGpio gpio;
    EXPECT_TRUE(gpio.GetPinLevel(pins::kAdapterSense)) << "no adapter at first";
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineA));
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineB));

    gpio.SetAdapterPlugged(true);
    gpio.SetChargerLines(false, true); // charging
    EXPECT_FALSE(gpio.GetPinLevel(pins::kAdapterSense)) << "an adapter pulls the sense line low";
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineA));
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineB));

    gpio.SetChargerLines(true, false);
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineA));
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineB));
}

TEST(SimulatedGpio, PowerOnLineShowsOnlyWhatTheProgramDrives) {
    SimulatedGpio gpio;
    EXPECT_FALSE(gpio.PowerOnDrivenHigh());
    gpio.SetPinLevel(pins::kPowerOn, true);
    EXPECT_FALSE(gpio.PowerOnDrivenHigh()) << "a latch shows only on an output";
    EXPECT_FALSE(gpio.IsOutput(pins::kPowerOn));
    gpio.SetPinDirection(pins::kPowerOn, true);
    EXPECT_TRUE(gpio.PowerOnDrivenHigh());
    EXPECT_TRUE(gpio.GetPinLevel(pins::kPowerOn));
    gpio.SetPinLevel(pins::kPowerOn, false);
    EXPECT_FALSE(gpio.PowerOnDrivenHigh());
    EXPECT_FALSE(gpio.GetPinLevel(pins::kPowerOn));
    EXPECT_TRUE(gpio.IsOutput(pins::kPowerOn));
}

TEST(SimulatedGpio, PinsOutsideTheControllerAreIgnored) {
    SimulatedGpio gpio;
    gpio.SetPinDirection(121, true);
    gpio.SetPinLevel(121, true);
    gpio.SetInputLevel(-1, true);
    EXPECT_FALSE(gpio.GetPinLevel(121));
    EXPECT_FALSE(gpio.GetPinLevel(-1));
    EXPECT_FALSE(gpio.IsOutput(121));
}

TEST(SimulatedGpio, BusLinesArePulledUpAndTheChipCanOnlyPullDataLow) {
    SimulatedGpio gpio;
    EXPECT_TRUE(gpio.GetPinLevel(pins::kClockBusClock)) << "released lines read high";
    EXPECT_TRUE(gpio.GetPinLevel(pins::kClockBusData));

    // Address the chip; during the ninth clock it holds the data line low, even against
    // a master that drives it high.
    gpio.SetPinLevel(pins::kClockBusClock, true);
    gpio.SetPinLevel(pins::kClockBusData, true);
    gpio.SetPinDirection(pins::kClockBusClock, true);
    gpio.SetPinDirection(pins::kClockBusData, true);
    gpio.SetPinLevel(pins::kClockBusData, false); // start
    gpio.SetPinLevel(pins::kClockBusClock, false);
    for (int bit = 7; bit >= 0; --bit) {
        gpio.SetPinLevel(pins::kClockBusData, ((0xD0 >> bit) & 1) != 0);
        gpio.SetPinLevel(pins::kClockBusClock, true);
        gpio.SetPinLevel(pins::kClockBusClock, false);
    }
    gpio.SetPinLevel(pins::kClockBusData, true);
    EXPECT_FALSE(gpio.GetPinLevel(pins::kClockBusData)) << "the chip's acknowledge wins";
    gpio.SetPinLevel(pins::kClockBusClock, true);
    gpio.SetPinLevel(pins::kClockBusClock, false);
    EXPECT_TRUE(gpio.GetPinLevel(pins::kClockBusData)) << "released after the acknowledge";

    gpio.SetPinDirection(pins::kClockBusClock, false);
    EXPECT_TRUE(gpio.GetPinLevel(pins::kClockBusClock));
}

TEST(SimulatedGpio, TheProcessWidePinsAreTheSimulationOnAWorkstation) {
    ASSERT_NE(platform::Gpio(), nullptr);
    EXPECT_EQ(platform::Gpio(), &platform::SimulatedPins());
}

} // namespace
