#include "device/GPIOLib.h"
#include "support/TraceCapture.h"

#include "platform/SimulatedGpio.h"

#include <QLoggingCategory>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

namespace pins = platform::pins;

TEST(GPIOLib, ReadsTheAdapterAndChargerLines) {
    platform::SimulatedGpio simulated;
    GPIOLib gpio(&simulated);
    EXPECT_TRUE(gpio.IsAvailable());
    for (int pin : {pins::kAdapterSense, pins::kChargerLineA, pins::kChargerLineB})
        gpio.SetPinDirection(pin, false);

    simulated.SetAdapterPlugged(false);
    simulated.SetChargerLines(true, true);
    EXPECT_TRUE(gpio.GetPinLevel(pins::kAdapterSense));
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineA));
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineB));

    simulated.SetAdapterPlugged(true);
    simulated.SetChargerLines(false, true);
    EXPECT_FALSE(gpio.GetPinLevel(pins::kAdapterSense));
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineA));
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineB));
}

TEST(GPIOLib, DrivesThePowerOnLine) {
    platform::SimulatedGpio simulated;
    GPIOLib gpio(&simulated);
    gpio.SetPinDirection(pins::kPowerOn, true);
    gpio.SetPinLevel(pins::kPowerOn, true);
    EXPECT_TRUE(simulated.PowerOnDrivenHigh());
    EXPECT_TRUE(gpio.GetPinLevel(pins::kPowerOn));
    gpio.SetPinLevel(pins::kPowerOn, false);
    EXPECT_FALSE(simulated.PowerOnDrivenHigh());
    EXPECT_TRUE(simulated.IsOutput(pins::kPowerOn));
    gpio.SetPinDirection(pins::kPowerOn, false);
    EXPECT_FALSE(simulated.IsOutput(pins::kPowerOn));
}

// Records what reaches the pins.
class RecordingPins : public platform::GpioBackend {
public:
    void SetPinDirection(int pin, bool) override { touched.push_back(pin); }
    void SetPinLevel(int pin, bool) override { touched.push_back(pin); }
    bool GetPinLevel(int pin) override {
        touched.push_back(pin);
        return true;
    }
    std::vector<int> touched;
};

TEST(GPIOLib, PinsAbove120AreIgnored) {
    RecordingPins recording;
    GPIOLib gpio(&recording);
    gpio.SetPinDirection(121, true);
    gpio.SetPinLevel(200, true);
    EXPECT_FALSE(gpio.GetPinLevel(121));
    EXPECT_TRUE(recording.touched.empty());
    gpio.SetPinLevel(120, true);
    EXPECT_TRUE(gpio.GetPinLevel(120));
    EXPECT_EQ(recording.touched, (std::vector<int>{120, 120}));
}

TEST(GPIOLib, WithoutPinsItSaysSoAndDrivesNothing) {
    TraceCapture trace;
    GPIOLib gpio(nullptr);
    EXPECT_FALSE(gpio.IsAvailable());
    ASSERT_EQ(trace.lines().size(), 1);
    EXPECT_TRUE(trace.lines()[0].contains(QStringLiteral("without charger supervision")))
        << trace.lines()[0].toStdString();
    gpio.SetPinDirection(pins::kPowerOn, true);
    gpio.SetPinLevel(pins::kPowerOn, true);
    EXPECT_FALSE(gpio.GetPinLevel(pins::kPowerOn));
    EXPECT_FALSE(gpio.GetPinLevel(pins::kAdapterSense));
}

TEST(GPIOLib, UsesTheProcessWidePinsByDefault) {
    platform::SimulatedPins().SetInputLevel(pins::kChargerLineA, true);
    GPIOLib gpio;
    EXPECT_TRUE(gpio.GetPinLevel(pins::kChargerLineA));
    platform::SimulatedPins().SetInputLevel(pins::kChargerLineA, false);
    EXPECT_FALSE(gpio.GetPinLevel(pins::kChargerLineA));
}

} // namespace
