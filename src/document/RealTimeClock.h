#pragma once

// The battery-backed real-time clock chip on the two-wire bus of pins 117 (clock) and 118
// (data). At start-up its time becomes the program's local time; setting the clock
// writes the new time to the chip and to the local time.

#include "document/TwoWireBus.h"
#include "platform/Gpio.h"

#include <QDateTime>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

// Two decimal digits per byte, the tens in the high nibble.
constexpr std::uint8_t ToBcd(int value) {
    return static_cast<std::uint8_t>((value / 10) * 16 + value % 10);
}

constexpr int FromBcd(std::uint8_t bcd) {
    return (bcd >> 4) * 10 + (bcd & 0x0F);
}

// The chip's time registers 0-6: second, minute, hour, day of week, day, month, year
// of the century.
using ClockRegisters = std::array<std::uint8_t, 7>;

// Hour 0-23 from the hour register in either of the chip's modes. In 12-hour mode the
// dial's 12 is midnight before noon and noon after it.
int HourFromRegister(std::uint8_t hourRegister);

struct ChipTime {
    QDateTime time; // local time, milliseconds 0; invalid when the registers hold no date
    bool halted = false;
};
ChipTime DecodeClockRegisters(const ClockRegisters& registers);

// The years the chip holds: two BCD digits after 2000.
inline constexpr int kClockChipFirstYear = 2000;
inline constexpr int kClockChipLastYear = 2099;

// The registers for `time` in 24-hour mode with the oscillator running. The day of week
// is 1 (Monday) to 7 (Sunday); the chip only counts it on.
ClockRegisters EncodeClockRegisters(const QDateTime& time);

class RealTimeClock {
public:
    static constexpr std::uint8_t kBusAddress = 0x68;
    static constexpr std::uint8_t kControlRegister = 7;
    static constexpr std::uint8_t kControlAtStart = 0x10;
    // Each clock phase lasts at least this long, which a 100 kHz bus device accepts.
    static constexpr std::chrono::nanoseconds kBusPause = std::chrono::microseconds(5);

    // On the process-wide pins.
    RealTimeClock();
    // On `pins` (null: no pins, the chip is out of reach).
    explicit RealTimeClock(platform::GpioBackend* pins, std::chrono::nanoseconds busPause = kBusPause);

    // Sets up the bus, reads the chip and makes its time the program's local time.
    // Returns whether the chip's oscillator had stopped (its time is then stale). A chip
    // that does not answer or holds no valid time leaves the local time alone.
    bool ReadClock();

    // Writes `localTime` (milliseconds dropped) to the chip and makes it the program's
    // local time. Returns false when the chip did not take it, or cannot hold its year
    // (nothing is written then); the local time is set anyway.
    bool WriteClock(const QDateTime& localTime);

private:
    void SetUpBus();
    std::optional<std::uint8_t> ReadRegister(std::uint8_t index);
    bool WriteRegister(std::uint8_t index, std::uint8_t value);

    std::optional<TwoWireBus> bus_;
    bool busSetUp_ = false;
};
