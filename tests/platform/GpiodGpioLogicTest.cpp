// The character-device backend's own rules, on a stand-in for libgpiod (fake/): lines are
// requested as they are, a level set on an input waits for the line to become an output,
// an older kernel's refusal to turn a line round is met by a new request, and a backend
// that cannot have all its lines holds none.
#include "fake/FakeGpiod.h"
#include "platform/GpiodGpio.h"

#include <gtest/gtest.h>

namespace {

using fakegpiod::Line;
using platform::GpiodGpio;
namespace pins = platform::pins;

class GpiodGpioLogic : public ::testing::Test {
protected:
    void SetUp() override {
        fakegpiod::Reset();
        fakegpiod::AddChip("gpiochip0", pins::kHighest + 1);
    }
    void TearDown() override { fakegpiod::Reset(); }

    static std::unique_ptr<GpiodGpio> Open() {
        QString error;
        auto gpio = GpiodGpio::Open(platform::DefaultGpioConfig(), error);
        EXPECT_NE(gpio, nullptr) << error.toStdString();
        return gpio;
    }
};

TEST_F(GpiodGpioLogic, LinesAreHeldAsTheyAreAndAPowerOnLineHeldHighStaysHigh) {
    Line("gpiochip0", pins::kPowerOn) = {false, true, 1, 0, 0, 0}; // driven high since boot
    Line("gpiochip0", pins::kAdapterSense).outside = 1;
    auto gpio = Open();
    ASSERT_NE(gpio, nullptr);
    for (int pin : {pins::kAdapterSense, pins::kChargerLineA, pins::kChargerLineB, pins::kPowerOn, pins::kClockBusClock,
                    pins::kClockBusData})
        EXPECT_TRUE(Line("gpiochip0", pin).held) << pin;
    EXPECT_FALSE(Line("gpiochip0", 7).held);
    EXPECT_TRUE(Line("gpiochip0", pins::kPowerOn).output);
    EXPECT_EQ(Line("gpiochip0", pins::kPowerOn).driven, 1);
    EXPECT_FALSE(Line("gpiochip0", pins::kAdapterSense).output);
    EXPECT_TRUE(gpio->GetPinLevel(pins::kAdapterSense));
    EXPECT_TRUE(gpio->GetPinLevel(pins::kPowerOn));

    // Released and made an output again, it drives the level it had, not low.
    gpio->SetPinDirection(pins::kPowerOn, false);
    gpio->SetPinDirection(pins::kPowerOn, true);
    EXPECT_EQ(Line("gpiochip0", pins::kPowerOn).driven, 1);
    EXPECT_EQ(Line("gpiochip0", pins::kPowerOn).requests, 1) << "turned round in place";

    gpio.reset();
    EXPECT_FALSE(Line("gpiochip0", pins::kPowerOn).held) << "the lines are given back";
}

TEST_F(GpiodGpioLogic, ALevelSetOnAnInputShowsWhenTheLineBecomesAnOutput) {
    auto gpio = Open();
    ASSERT_NE(gpio, nullptr);
    fakegpiod::LineState& data = Line("gpiochip0", pins::kClockBusData);
    data.outside = 1; // the pull-up
    gpio->SetPinLevel(pins::kClockBusData, false);
    EXPECT_FALSE(data.output);
    EXPECT_TRUE(gpio->GetPinLevel(pins::kClockBusData));
    gpio->SetPinDirection(pins::kClockBusData, true);
    EXPECT_TRUE(data.output);
    EXPECT_EQ(data.driven, 0);
    EXPECT_FALSE(gpio->GetPinLevel(pins::kClockBusData));
    gpio->SetPinLevel(pins::kClockBusData, true);
    EXPECT_EQ(data.driven, 1);
    gpio->SetPinDirection(pins::kClockBusData, true); // already an output: nothing to do
    EXPECT_EQ(data.inPlaceChanges, 1);

    EXPECT_FALSE(gpio->GetPinLevel(7)) << "a pin the configuration does not name reads low";
    gpio->SetPinDirection(7, true);
    EXPECT_FALSE(Line("gpiochip0", 7).output) << "and is left alone";
}

TEST_F(GpiodGpioLogic, AnOlderKernelTurnsALineRoundByANewRequestAndALostLineReadsLow) {
    auto gpio = Open();
    ASSERT_NE(gpio, nullptr);
    fakegpiod::RefuseDirectionChanges(true);
    fakegpiod::LineState& clock = Line("gpiochip0", pins::kClockBusClock);
    gpio->SetPinLevel(pins::kClockBusClock, true);
    gpio->SetPinDirection(pins::kClockBusClock, true);
    EXPECT_TRUE(clock.held);
    EXPECT_TRUE(clock.output);
    EXPECT_EQ(clock.driven, 1);
    EXPECT_EQ(clock.requests, 2);
    gpio->SetPinDirection(pins::kClockBusClock, false);
    EXPECT_FALSE(clock.output);
    EXPECT_EQ(clock.requests, 3);

    fakegpiod::RefuseRequests(true); // another program takes the line meanwhile
    gpio->SetPinDirection(pins::kClockBusClock, true);
    EXPECT_FALSE(clock.held);
    clock.outside = 1;
    EXPECT_FALSE(gpio->GetPinLevel(pins::kClockBusClock)) << "a lost line reads low";
    fakegpiod::RefuseRequests(false);
    gpio->SetPinDirection(pins::kClockBusClock, true);
    EXPECT_EQ(clock.requests, 3) << "and is not asked for again";
}

TEST_F(GpiodGpioLogic, ABackendThatCannotHaveAllItsLinesHoldsNone) {
    QString error;
    Line("gpiochip0", pins::kClockBusData).held = true; // another program has it
    EXPECT_EQ(GpiodGpio::Open(platform::DefaultGpioConfig(), error), nullptr);
    EXPECT_TRUE(error.startsWith(QStringLiteral("clock_bus_data (line 118 of gpiochip0) cannot be requested")))
        << error.toStdString();
    EXPECT_FALSE(Line("gpiochip0", pins::kPowerOn).held);
    Line("gpiochip0", pins::kClockBusData).held = false;

    platform::GpioConfig config = platform::DefaultGpioConfig();
    config.lines.back().offset = pins::kHighest + 1; // past the chip's last line
    EXPECT_EQ(GpiodGpio::Open(config, error), nullptr);
    EXPECT_TRUE(error.startsWith(QStringLiteral("clock_bus_data (line 121 of gpiochip0) cannot be had")))
        << error.toStdString();
    EXPECT_FALSE(Line("gpiochip0", pins::kAdapterSense).held);

    config = platform::DefaultGpioConfig();
    config.lines[2].chip = QStringLiteral("gpiochip4");
    EXPECT_EQ(GpiodGpio::Open(config, error), nullptr);
    EXPECT_TRUE(error.startsWith(QStringLiteral("GPIO chip gpiochip4 cannot be opened"))) << error.toStdString();
    EXPECT_FALSE(Line("gpiochip0", pins::kAdapterSense).held);
}

} // namespace
