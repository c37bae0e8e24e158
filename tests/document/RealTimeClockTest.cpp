#include "document/RealTimeClock.h"

#include "platform/Clock.h"
#include "platform/SimulatedGpio.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using platform::SimulatedClockChip;
using platform::SimulatedGpio;
using Transaction = SimulatedClockChip::Transaction;

TEST(Bcd, CodesTwoDecimalDigitsPerByte) {
    EXPECT_EQ(ToBcd(0), 0x00);
    EXPECT_EQ(ToBcd(7), 0x07);
    EXPECT_EQ(ToBcd(10), 0x10);
    EXPECT_EQ(ToBcd(59), 0x59);
    EXPECT_EQ(ToBcd(99), 0x99);
    EXPECT_EQ(FromBcd(0x00), 0);
    EXPECT_EQ(FromBcd(0x09), 9);
    EXPECT_EQ(FromBcd(0x23), 23);
    EXPECT_EQ(FromBcd(0x99), 99);
    for (int value = 0; value <= 99; ++value)
        EXPECT_EQ(FromBcd(ToBcd(value)), value) << value;
}

TEST(ClockRegisterDecoding, HourInBothModes) {
    EXPECT_EQ(HourFromRegister(0x23), 23) << "24-hour mode";
    EXPECT_EQ(HourFromRegister(0x00), 0);
    EXPECT_EQ(HourFromRegister(0x65), 17) << "12-hour mode, after noon, 5 o'clock";
    EXPECT_EQ(HourFromRegister(0x45), 5) << "12-hour mode, before noon";
    EXPECT_EQ(HourFromRegister(0x52), 0) << "12 before noon is midnight";
    EXPECT_EQ(HourFromRegister(0x72), 12) << "12 after noon is noon";
    EXPECT_EQ(HourFromRegister(0x71), 23);
}

TEST(ClockRegisterDecoding, HaltedBitAndDate) {
    const ChipTime halted = DecodeClockRegisters({0x80, 0x30, 0x12, 3, 0x15, 0x06, 0x11});
    EXPECT_TRUE(halted.halted);
    EXPECT_EQ(halted.time, QDateTime(QDate(2011, 6, 15), QTime(12, 30, 0)));

    const ChipTime running = DecodeClockRegisters({0x45, 0x07, 0x65, 1, 0x31, 0x12, 0x99});
    EXPECT_FALSE(running.halted);
    EXPECT_EQ(running.time, QDateTime(QDate(2099, 12, 31), QTime(17, 7, 45)));

    EXPECT_FALSE(DecodeClockRegisters({0x00, 0x00, 0x00, 1, 0x00, 0x00, 0x00}).time.isValid()) << "day 0";
    EXPECT_FALSE(DecodeClockRegisters({0x00, 0x00, 0x00, 1, 0x30, 0x02, 0x09}).time.isValid()) << "30 February";
}

TEST(ClockRegisterEncoding, TwentyFourHourModeWithTheDayOfWeek) {
    EXPECT_EQ(EncodeClockRegisters(QDateTime(QDate(2009, 2, 28), QTime(23, 59, 7))),
              (ClockRegisters{0x07, 0x59, 0x23, 6, 0x28, 0x02, 0x09}));
    EXPECT_EQ(EncodeClockRegisters(QDateTime(QDate(2000, 1, 2), QTime(0, 0, 0))),
              (ClockRegisters{0x00, 0x00, 0x00, 7, 0x02, 0x01, 0x00}));
}

// The program's clock code against the simulated chip on simulated pins, with a chip
// clock that only the test moves and no bus pauses.
class RealTimeClockOnSimulatedPins : public ::testing::Test {
protected:
    void TearDown() override { platform::SetLocalTime(QDateTime::currentDateTime()); }

    std::shared_ptr<std::int64_t> chipMs_ = std::make_shared<std::int64_t>(0);
    SimulatedGpio pins_{
        SimulatedClockChip(QDateTime(QDate(2015, 7, 1), QTime(8, 0, 0)), [ms = chipMs_] { return *ms; })};
    SimulatedClockChip& chip_ = pins_.ClockChip();
    RealTimeClock clock_{&pins_, std::chrono::nanoseconds(0)};
};

TEST_F(RealTimeClockOnSimulatedPins, ReadingSetsUpTheChipAndTakesItsTime) {
    chip_.SetRegister(7, 0x00);
    chip_.SetRegister(2, 0x65); // 12-hour mode, 5 after noon
    chip_.SetRegister(1, 0x42);
    chip_.SetRegister(0, 0x13);
    chip_.ClearTransactions();

    EXPECT_FALSE(clock_.ReadClock());

    EXPECT_EQ(chip_.Register(7), 0x10);
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(QDateTime(QDate(2015, 7, 1), QTime(17, 42, 13)))), 1);
    std::vector<Transaction> expected{{false, 7, {0x10}}};
    const std::vector<std::uint8_t> registers{0x13, 0x42, 0x65, 3, 0x01, 0x07, 0x15};
    for (std::uint8_t index = 0; index < 7; ++index) {
        expected.push_back({false, index, {}});
        expected.push_back({true, index, {registers[index]}});
    }
    EXPECT_EQ(chip_.Transactions(), expected) << "one register per read, pointer set first";
}

TEST_F(RealTimeClockOnSimulatedPins, AHaltedChipReportsItAndGivesSecondZero) {
    chip_.SetRegister(0, 0x80);
    chip_.SetRegister(2, 0x23);
    EXPECT_TRUE(clock_.ReadClock());
    const QDateTime local = platform::LocalNow();
    EXPECT_LE(std::abs(local.secsTo(QDateTime(QDate(2015, 7, 1), QTime(23, 0, 0)))), 1);
}

TEST_F(RealTimeClockOnSimulatedPins, WritingPutsTheTimeIntoTheChipAndTheLocalTime) {
    chip_.ClearTransactions();
    const QDateTime wanted(QDate(2009, 2, 28), QTime(23, 59, 7, 640));
    EXPECT_TRUE(clock_.WriteClock(wanted));

    std::vector<std::uint8_t> registers;
    for (int index = 0; index < 7; ++index)
        registers.push_back(chip_.Register(index));
    EXPECT_EQ(registers, (std::vector<std::uint8_t>{0x07, 0x59, 0x23, 6, 0x28, 0x02, 0x09}));

    // The bus was idle, so it was set up first; then one transaction per register, seconds first.
    const std::vector<Transaction> expected{{false, 7, {0x10}}, {false, 0, {0x07}}, {false, 1, {0x59}},
                                            {false, 2, {0x23}}, {false, 3, {6}},    {false, 4, {0x28}},
                                            {false, 5, {0x02}}, {false, 6, {0x09}}};
    EXPECT_EQ(chip_.Transactions(), expected);

    const qint64 offByMs = platform::LocalNow().msecsTo(QDateTime(QDate(2009, 2, 28), QTime(23, 59, 7)));
    EXPECT_LE(offByMs, 0) << "milliseconds dropped, the local clock runs on from the whole second";
    EXPECT_GT(offByMs, -1000);

    // The chip keeps the written time running.
    *chipMs_ += 53 * 1000;
    EXPECT_EQ(chip_.Register(5), 0x03);
    EXPECT_EQ(chip_.Register(4), 0x01);
    EXPECT_EQ(chip_.Register(3), 7);
}

TEST_F(RealTimeClockOnSimulatedPins, AYearOutsideTheChipsCenturyIsNotWritten) {
    ASSERT_TRUE(clock_.WriteClock(QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0))));
    chip_.ClearTransactions();
    EXPECT_FALSE(clock_.WriteClock(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))));
    EXPECT_FALSE(clock_.WriteClock(QDateTime(QDate(2100, 1, 1), QTime(0, 0, 0))));
    EXPECT_TRUE(chip_.Transactions().empty());
    EXPECT_EQ(chip_.Register(6), 0x00);
}

TEST_F(RealTimeClockOnSimulatedPins, AChipWithoutAValidTimeLeavesTheLocalTimeAlone) {
    ASSERT_TRUE(platform::SetLocalTime(QDateTime(QDate(2020, 5, 5), QTime(5, 5, 5))));
    chip_.SetRegister(5, 0x00); // month 0
    EXPECT_FALSE(clock_.ReadClock());
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(QDateTime(QDate(2020, 5, 5), QTime(5, 5, 5)))), 1);
}

TEST(RealTimeClockWithoutPins, WritingStillSetsTheLocalTime) {
    RealTimeClock clock(nullptr);
    const QDateTime wanted(QDate(2012, 12, 12), QTime(12, 12, 12));
    EXPECT_FALSE(clock.ReadClock());
    EXPECT_FALSE(clock.WriteClock(wanted)) << "no chip took it";
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(wanted)), 1);
    platform::SetLocalTime(QDateTime::currentDateTime());
}

// Pins with nothing on the bus: every byte goes unacknowledged.
class EmptyBus : public platform::GpioBackend {
public:
    void SetPinDirection(int, bool) override {}
    void SetPinLevel(int, bool) override {}
    bool GetPinLevel(int) override { return true; }
};

TEST(RealTimeClockWithoutChip, NoAnswerLeavesTheLocalTimeAlone) {
    ASSERT_TRUE(platform::SetLocalTime(QDateTime(QDate(2021, 3, 3), QTime(3, 3, 3))));
    EmptyBus bus;
    RealTimeClock clock(&bus, std::chrono::nanoseconds(0));
    EXPECT_FALSE(clock.ReadClock());
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(QDateTime(QDate(2021, 3, 3), QTime(3, 3, 3)))), 1);
    EXPECT_FALSE(clock.WriteClock(QDateTime(QDate(2021, 4, 4), QTime(4, 4, 4))));
    platform::SetLocalTime(QDateTime::currentDateTime());
}

} // namespace
