#include "document/RealTimeClock.h"

#include "platform/Clock.h"
#include "platform/Trace.h"

namespace {

constexpr std::uint8_t kHaltedBit = 0x80;
constexpr std::uint8_t kTwelveHourBit = 0x40;
constexpr std::uint8_t kAfternoonBit = 0x20;

} // namespace

int HourFromRegister(std::uint8_t hourRegister) {
    if ((hourRegister & kTwelveHourBit) == 0)
        return FromBcd(hourRegister & 0x3F);
    const int hourOnDial = FromBcd(hourRegister & 0x1F);
    return hourOnDial % 12 + ((hourRegister & kAfternoonBit) != 0 ? 12 : 0);
}

ChipTime DecodeClockRegisters(const ClockRegisters& registers) {
    const QDate date(kClockChipFirstYear + FromBcd(registers[6]), FromBcd(registers[5] & 0x1F),
                     FromBcd(registers[4] & 0x3F));
    const QTime time(HourFromRegister(registers[2]), FromBcd(registers[1] & 0x7F), FromBcd(registers[0] & 0x7F));
    ChipTime result;
    result.halted = (registers[0] & kHaltedBit) != 0;
    // The day of week needs no reading: the date determines it.
    if (date.isValid() && time.isValid())
        result.time = QDateTime(date, time);
    return result;
}

ClockRegisters EncodeClockRegisters(const QDateTime& time) {
    const QDate date = time.date();
    const QTime clockTime = time.time();
    return {
        ToBcd(clockTime.second()),
        ToBcd(clockTime.minute()),
        ToBcd(clockTime.hour()),
        // The day of week goes in as Qt counts it, Monday 1 to Sunday 7, not with Sunday
        // as 0: the chip's register holds 1 to 7, and nothing reads it back (the date
        // determines the day when the clock is read).
        static_cast<std::uint8_t>(date.dayOfWeek()),
        ToBcd(date.day()),
        ToBcd(date.month()),
        ToBcd(((date.year() - kClockChipFirstYear) % 100 + 100) % 100),
    };
}

RealTimeClock::RealTimeClock() : RealTimeClock(platform::Gpio()) {}

RealTimeClock::RealTimeClock(platform::GpioBackend* pins, std::chrono::nanoseconds busPause) {
    if (pins)
        bus_.emplace(*pins, platform::pins::kClockBusClock, platform::pins::kClockBusData, busPause);
}

void RealTimeClock::SetUpBus() {
    bus_->SetUp();
    busSetUp_ = true;
    if (!WriteRegister(kControlRegister, kControlAtStart))
        platform::Trace("RTC: the clock chip does not answer\n");
}

std::optional<std::uint8_t> RealTimeClock::ReadRegister(std::uint8_t index) {
    std::array<std::uint8_t, 1> value{};
    if (!bus_->ReadRegisters(kBusAddress, index, value))
        return std::nullopt;
    return value[0];
}

bool RealTimeClock::WriteRegister(std::uint8_t index, std::uint8_t value) {
    const std::array<std::uint8_t, 1> bytes{value};
    return bus_->WriteRegisters(kBusAddress, index, bytes);
}

bool RealTimeClock::ReadClock() {
    if (!bus_) {
        platform::Trace("RTC: no GPIO pins, the local time stays the host's\n");
        return false;
    }
    SetUpBus();
    ClockRegisters registers{};
    // One register per transaction, as the chip has always been read.
    for (std::size_t index = 0; index < registers.size(); ++index) {
        const std::optional<std::uint8_t> value = ReadRegister(static_cast<std::uint8_t>(index));
        if (!value) {
            platform::Trace("RTC: the clock chip does not answer\n");
            return false;
        }
        registers[index] = *value;
    }
    const ChipTime chip = DecodeClockRegisters(registers);
    if (!chip.time.isValid()) {
        platform::Trace("RTC: the clock chip holds no valid time\n");
        return chip.halted;
    }
    if (!platform::SetLocalTime(chip.time))
        platform::Trace("RTC: the system clock was not set from the chip; the program keeps the chip's time\n");
    return chip.halted;
}

bool RealTimeClock::WriteClock(const QDateTime& localTime) {
    QDateTime time = localTime;
    time.setTime(QTime(localTime.time().hour(), localTime.time().minute(), localTime.time().second()));
    bool written = false;
    if (bus_) {
        if (!busSetUp_)
            SetUpBus();
        const int year = time.date().year();
        if (year < kClockChipFirstYear || year > kClockChipLastYear) {
            // Stored as two digits it would come back as another century's year.
            platform::Trace("RTC: year %d is outside the chip's century, the chip keeps its time\n", year);
        } else {
            const ClockRegisters registers = EncodeClockRegisters(time);
            written = true;
            // One transaction per register, seconds first.
            for (std::size_t index = 0; index < registers.size(); ++index)
                written = WriteRegister(static_cast<std::uint8_t>(index), registers[index]) && written;
        }
    }
    if (!platform::SetLocalTime(time))
        platform::Trace("RTC: the system clock was not set; the program keeps the new time\n");
    return written;
}
