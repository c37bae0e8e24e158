// The simulated clock chip driven through the simulated pins by a hand-written bus master
// that moves the lines one step at a time, independent of the program's own bus code.
#include "platform/SimulatedGpio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using platform::SimulatedClockChip;
using platform::SimulatedGpio;
namespace pins = platform::pins;

// A clock the test moves by hand, so the chip's time only changes when the test says so.
struct ManualClock {
    std::shared_ptr<std::int64_t> ms = std::make_shared<std::int64_t>(1000000);
    SimulatedClockChip::MillisecondClock Source() const {
        return [ms = ms] { return *ms; };
    }
    void Advance(std::int64_t milliseconds) const { *ms += milliseconds; }
};

const QDateTime kStart(QDate(2009, 2, 28), QTime(23, 59, 7));

// Moves the bus lines as a master does: the clock pin always an output, the data line
// driven low as an output and released (made an input) for a high level.
class LineMaster {
public:
    explicit LineMaster(SimulatedGpio& pins) : pins_(pins) {
        pins_.SetPinLevel(pins::kClockBusClock, true);
        pins_.SetPinDirection(pins::kClockBusClock, true);
        pins_.SetPinLevel(pins::kClockBusData, false);
        Data(true);
    }
    void Clock(bool high) { pins_.SetPinLevel(pins::kClockBusClock, high); }
    void Data(bool high) { pins_.SetPinDirection(pins::kClockBusData, !high); }
    bool ReadData() { return pins_.GetPinLevel(pins::kClockBusData); }

    void Start() {
        Data(true);
        Clock(true);
        Data(false);
        Clock(false);
    }
    void Stop() {
        Data(false);
        Clock(true);
        Data(true);
    }
    // Returns whether the byte was acknowledged.
    bool Send(std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            Data(((byte >> bit) & 1) != 0);
            Clock(true);
            Clock(false);
        }
        Data(true);
        Clock(true);
        const bool acknowledged = !ReadData();
        Clock(false);
        return acknowledged;
    }
    std::uint8_t Receive(bool acknowledge) {
        Data(true);
        std::uint8_t value = 0;
        for (int bit = 0; bit < 8; ++bit) {
            Clock(true);
            value = static_cast<std::uint8_t>(value << 1 | (ReadData() ? 1 : 0));
            Clock(false);
        }
        Data(!acknowledge);
        Clock(true);
        Clock(false);
        Data(true);
        return value;
    }

private:
    SimulatedGpio& pins_;
};

class SimulatedClockChipBus : public ::testing::Test {
protected:
    ManualClock clock;
    SimulatedGpio pins{SimulatedClockChip(kStart, clock.Source())};
    LineMaster master{pins};
    SimulatedClockChip& chip = pins.ClockChip();
};

TEST_F(SimulatedClockChipBus, AcknowledgesItsAddressOnlyAndLeavesTheLineReleased) {
    master.Start();
    EXPECT_TRUE(master.Send(0xD0));
    EXPECT_TRUE(master.ReadData()) << "the acknowledge ends with the clock pulse";
    master.Stop();

    master.Start();
    EXPECT_FALSE(master.Send(0xA0)) << "another device's address";
    EXPECT_FALSE(master.Send(0x00)) << "the chip stays quiet until the next start";
    master.Stop();
    EXPECT_EQ(chip.Transactions().size(), 1u);
}

TEST_F(SimulatedClockChipBus, StoresWrittenBytesFromThePointerOn) {
    master.Start();
    ASSERT_TRUE(master.Send(0xD0));
    ASSERT_TRUE(master.Send(0x04));
    ASSERT_TRUE(master.Send(0x15));
    ASSERT_TRUE(master.Send(0x11));
    master.Stop();
    EXPECT_EQ(chip.Register(4), 0x15);
    EXPECT_EQ(chip.Register(5), 0x11);
    EXPECT_EQ(chip.Register(6), 0x09) << "untouched";
    ASSERT_EQ(chip.Transactions().size(), 1u);
    EXPECT_EQ(chip.Transactions()[0], (SimulatedClockChip::Transaction{false, 4, {0x15, 0x11}}));
}

TEST_F(SimulatedClockChipBus, ReadsAfterARepeatedStartFromThePointer) {
    master.Start();
    ASSERT_TRUE(master.Send(0xD0));
    ASSERT_TRUE(master.Send(0x01));
    master.Start(); // repeated start, no stop
    ASSERT_TRUE(master.Send(0xD1));
    EXPECT_EQ(master.Receive(true), 0x59);
    EXPECT_EQ(master.Receive(true), 0x23);
    EXPECT_EQ(master.Receive(false), 0x06) << "Saturday";
    master.Stop();
    ASSERT_EQ(chip.Transactions().size(), 2u);
    EXPECT_EQ(chip.Transactions()[0], (SimulatedClockChip::Transaction{false, 1, {}}));
    EXPECT_EQ(chip.Transactions()[1], (SimulatedClockChip::Transaction{true, 1, {0x59, 0x23, 0x06}}));
}

TEST_F(SimulatedClockChipBus, StopsSendingAfterTheMastersNoAcknowledge) {
    chip.SetRegister(7, 0x00);
    master.Start();
    ASSERT_TRUE(master.Send(0xD0));
    ASSERT_TRUE(master.Send(0x07));
    master.Stop();
    master.Start();
    ASSERT_TRUE(master.Send(0xD1));
    EXPECT_EQ(master.Receive(false), 0x00);
    // The chip has let go of the line: the master reads the pull-up.
    EXPECT_EQ(master.Receive(false), 0xFF);
    master.Stop();
    ASSERT_EQ(chip.Transactions().size(), 2u);
    EXPECT_EQ(chip.Transactions()[1].data, std::vector<std::uint8_t>{0x00}) << "one byte sent";
}

TEST(SimulatedClockChip, KeepsRunningTimeAcrossMidnightAndMonthEnd) {
    ManualClock clock;
    SimulatedClockChip chip(kStart, clock.Source());
    EXPECT_EQ(chip.Register(0), 0x07);
    EXPECT_EQ(chip.Register(3), 6);
    clock.Advance(999);
    EXPECT_EQ(chip.Register(0), 0x07) << "not a whole second yet";
    clock.Advance(1);
    EXPECT_EQ(chip.Register(0), 0x08);
    clock.Advance(52 * 1000); // 2009-03-01 00:00:00, a Sunday
    const std::vector<std::uint8_t> expected{0x00, 0x00, 0x00, 7, 0x01, 0x03, 0x09};
    std::vector<std::uint8_t> registers;
    for (int index = 0; index < 7; ++index)
        registers.push_back(chip.Register(index));
    EXPECT_EQ(registers, expected);
    clock.Advance(24LL * 3600 * 1000);
    EXPECT_EQ(chip.Register(3), 1) << "Monday follows Sunday";
    EXPECT_EQ(chip.Register(4), 0x02);
}

TEST(SimulatedClockChip, SecondsTurnOverWithThoseOfTheStartTime) {
    ManualClock clock;
    SimulatedClockChip chip(QDateTime(QDate(2010, 1, 1), QTime(12, 0, 0, 600)), clock.Source());
    clock.Advance(399);
    EXPECT_EQ(chip.Register(0), 0x00);
    clock.Advance(1);
    EXPECT_EQ(chip.Register(0), 0x01);
}

TEST(SimulatedClockChip, TwelveHourModeRollsOverAtNoonAndMidnight) {
    ManualClock clock;
    SimulatedClockChip chip(kStart, clock.Source());
    chip.SetRegister(2, 0x40 | 0x11); // 11 before noon
    chip.SetRegister(1, 0x59);
    chip.SetRegister(0, 0x59);
    clock.Advance(1000);
    EXPECT_EQ(chip.Register(2), 0x40 | 0x20 | 0x12) << "12 after noon";
    clock.Advance(3600 * 1000);
    EXPECT_EQ(chip.Register(2), 0x40 | 0x20 | 0x01);
    clock.Advance(11 * 3600 * 1000);
    EXPECT_EQ(chip.Register(2), 0x40 | 0x12) << "12 before noon";
    EXPECT_EQ(chip.Register(4), 0x01);
}

TEST(SimulatedClockChip, AHaltedOscillatorKeepsTheTime) {
    ManualClock clock;
    SimulatedClockChip chip(kStart, clock.Source());
    chip.SetRegister(0, 0x80 | 0x30);
    clock.Advance(5000);
    EXPECT_EQ(chip.Register(0), 0x80 | 0x30);
    chip.SetRegister(0, 0x30); // writing the seconds with the bit clear starts it again
    clock.Advance(5000);
    EXPECT_EQ(chip.Register(0), 0x35);
}

TEST(SimulatedClockChip, StartsFromTheHostClock) {
    SimulatedClockChip chip;
    const auto decimal = [&chip](int index) {
        return (chip.Register(index) >> 4) * 10 + (chip.Register(index) & 0x0F);
    };
    const QDateTime chipTime(QDate(2000 + decimal(6), decimal(5), decimal(4)),
                             QTime(decimal(2), decimal(1), decimal(0)));
    ASSERT_TRUE(chipTime.isValid());
    EXPECT_LE(std::abs(chipTime.secsTo(QDateTime::currentDateTime())), 2);
    EXPECT_EQ(chip.Register(3), chipTime.date().dayOfWeek());
    EXPECT_EQ(chip.Register(0) & 0x80, 0) << "running";
    EXPECT_EQ(chip.Register(2) & 0x40, 0) << "24-hour mode";
}

} // namespace
