#include "platform/SimulatedClockChip.h"

#include <chrono>

namespace platform {

namespace {

constexpr std::uint8_t kHaltedBit = 0x80;
constexpr std::uint8_t kTwelveHourBit = 0x40;
constexpr std::uint8_t kAfternoonBit = 0x20;
constexpr std::uint8_t kPowerUpControl = 0x03;
constexpr int kCenturyStart = 2000;
constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;
// A program that runs for months must not pile up its bus history.
constexpr std::size_t kTransactionsKept = 256;

// The chip's own BCD arithmetic; an invalid digit makes the value unusable (-1).
int FromBcd(std::uint8_t bcd) {
    const int tens = bcd >> 4;
    const int units = bcd & 0x0F;
    return tens > 9 || units > 9 ? -1 : tens * 10 + units;
}

std::uint8_t ToBcd(int value) {
    return static_cast<std::uint8_t>((value / 10) << 4 | value % 10);
}

std::int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

SimulatedClockChip::SimulatedClockChip() : SimulatedClockChip(QDateTime::currentDateTime(), &SteadyMilliseconds) {}

SimulatedClockChip::SimulatedClockChip(const QDateTime& start, MillisecondClock clock) : clock_(std::move(clock)) {
    registers_[7] = kPowerUpControl;
    SetTime(start);
}

// ---- time keeping ----

std::uint8_t SimulatedClockChip::Register(int index) {
    CatchUp();
    return registers_.at(static_cast<std::size_t>(index));
}

void SimulatedClockChip::SetRegister(int index, std::uint8_t value) {
    CatchUp();
    registers_.at(static_cast<std::size_t>(index)) = value;
    if (index == 0)
        fractionMs_ = 0; // writing the seconds restarts the current second
}

void SimulatedClockChip::SetTime(const QDateTime& time) {
    const QDate date = time.date();
    const QTime clockTime = time.time();
    registers_[0] = ToBcd(clockTime.second());
    registers_[1] = ToBcd(clockTime.minute());
    registers_[2] = ToBcd(clockTime.hour());
    registers_[3] = static_cast<std::uint8_t>(date.dayOfWeek());
    registers_[4] = ToBcd(date.day());
    registers_[5] = ToBcd(date.month());
    registers_[6] = ToBcd((date.year() - kCenturyStart) % 100);
    syncedAtMs_ = clock_();
    fractionMs_ = clockTime.msec(); // the chip's seconds tick with the given time's
}

void SimulatedClockChip::CatchUp() {
    const std::int64_t now = clock_();
    const std::int64_t elapsed = now - syncedAtMs_;
    syncedAtMs_ = now;
    if ((registers_[0] & kHaltedBit) != 0 || elapsed <= 0)
        return;
    const std::int64_t total = fractionMs_ + elapsed;
    fractionMs_ = total % 1000;
    Advance(total / 1000);
}

// Moves the time registers on by whole seconds, keeping the hour mode. Registers that do
// not hold a valid time stay as they are: the counters of a chip in such a state are
// not worth modelling.
void SimulatedClockChip::Advance(std::int64_t seconds) {
    if (seconds == 0)
        return;
    const std::uint8_t hourRegister = registers_[2];
    const bool twelveHour = (hourRegister & kTwelveHourBit) != 0;
    int hour = FromBcd(twelveHour ? hourRegister & 0x1F : hourRegister & 0x3F);
    if (twelveHour && hour >= 0)
        hour = hour % 12 + ((hourRegister & kAfternoonBit) != 0 ? 12 : 0);
    const int second = FromBcd(registers_[0] & 0x7F);
    const int minute = FromBcd(registers_[1] & 0x7F);
    const int yearOfCentury = FromBcd(registers_[6]);
    const QDate date(kCenturyStart + yearOfCentury, FromBcd(registers_[5] & 0x1F), FromBcd(registers_[4] & 0x3F));
    if (second < 0 || second > 59 || minute < 0 || minute > 59 || hour < 0 || hour > 23 || yearOfCentury < 0 ||
        !date.isValid())
        return;

    const std::int64_t total = (hour * 60 + minute) * 60 + second + seconds;
    const std::int64_t days = total / kSecondsPerDay;
    const std::int64_t secondOfDay = total % kSecondsPerDay;
    const QDate newDate = date.addDays(days);

    registers_[0] = ToBcd(static_cast<int>(secondOfDay % 60));
    registers_[1] = ToBcd(static_cast<int>(secondOfDay / 60 % 60));
    const int newHour = static_cast<int>(secondOfDay / 3600);
    if (twelveHour) {
        const int hourOnDial = newHour % 12 == 0 ? 12 : newHour % 12;
        registers_[2] =
            static_cast<std::uint8_t>(kTwelveHourBit | (newHour >= 12 ? kAfternoonBit : 0) | ToBcd(hourOnDial));
    } else {
        registers_[2] = ToBcd(newHour);
    }
    const int dayOfWeek = registers_[3];
    if (dayOfWeek >= 1 && dayOfWeek <= 7)
        registers_[3] = static_cast<std::uint8_t>((dayOfWeek - 1 + days) % 7 + 1);
    registers_[4] = ToBcd(newDate.day());
    registers_[5] = ToBcd(newDate.month());
    registers_[6] = ToBcd((newDate.year() - kCenturyStart) % 100);
}

// ---- bus ----

void SimulatedClockChip::OnBusLevels(bool clockHigh, bool dataHigh) {
    const bool wasClockHigh = lastClockHigh_;
    const bool wasDataHigh = lastDataHigh_;
    lastClockHigh_ = clockHigh;
    lastDataHigh_ = dataHigh;
    if (wasClockHigh && clockHigh) {
        // Data changing while the clock is high is a start or stop condition.
        if (wasDataHigh && !dataHigh)
            OnStart();
        else if (!wasDataHigh && dataHigh)
            OnStop();
    } else if (!wasClockHigh && clockHigh) {
        OnClockRising(dataHigh);
    } else if (wasClockHigh && !clockHigh) {
        OnClockFalling();
    }
}

void SimulatedClockChip::OnStart() {
    FinishTransaction();
    pullsDataLow_ = false;
    state_ = BusState::ReceiveAddress;
    bitCount_ = 0;
    shift_ = 0;
}

void SimulatedClockChip::OnStop() {
    FinishTransaction();
    pullsDataLow_ = false;
    state_ = BusState::Idle;
}

void SimulatedClockChip::OnClockRising(bool dataHigh) {
    switch (state_) {
    case BusState::ReceiveAddress:
    case BusState::ReceiveByte:
        shift_ = static_cast<std::uint8_t>(shift_ << 1 | (dataHigh ? 1 : 0));
        ++bitCount_;
        break;
    case BusState::Transmit:
        ++bitCount_; // the master samples the bit now
        break;
    case BusState::ReceiveMasterAck:
        masterAcknowledged_ = !dataHigh;
        break;
    case BusState::Idle:
    case BusState::SendAck:
        break;
    }
}

void SimulatedClockChip::OnClockFalling() {
    switch (state_) {
    case BusState::ReceiveAddress:
        if (bitCount_ < 8)
            return;
        if ((shift_ >> 1) != kBusAddress) {
            state_ = BusState::Idle; // another device's transaction
            return;
        }
        reading_ = (shift_ & 1) != 0;
        expectingPointer_ = !reading_;
        inTransaction_ = true;
        current_ = Transaction{reading_, reading_ ? pointer_ : -1, {}};
        pullsDataLow_ = true;
        state_ = BusState::SendAck;
        return;
    case BusState::ReceiveByte:
        if (bitCount_ < 8)
            return;
        ByteReceived(shift_);
        pullsDataLow_ = true;
        state_ = BusState::SendAck;
        return;
    case BusState::SendAck:
        pullsDataLow_ = false;
        if (reading_) {
            BeginTransmit();
        } else {
            state_ = BusState::ReceiveByte;
            bitCount_ = 0;
            shift_ = 0;
        }
        return;
    case BusState::Transmit:
        if (bitCount_ < 8) {
            pullsDataLow_ = (outgoing_ & (0x80 >> bitCount_)) == 0;
        } else {
            pullsDataLow_ = false; // the master acknowledges
            state_ = BusState::ReceiveMasterAck;
        }
        return;
    case BusState::ReceiveMasterAck:
        if (masterAcknowledged_)
            BeginTransmit();
        else
            state_ = BusState::Idle; // the master wants no more; it ends with a stop
        return;
    case BusState::Idle:
        return;
    }
}

void SimulatedClockChip::ByteReceived(std::uint8_t byte) {
    if (expectingPointer_) {
        expectingPointer_ = false;
        pointer_ = byte % kRegisterCount;
        current_.firstRegister = pointer_;
        return;
    }
    SetRegister(pointer_, byte);
    current_.data.push_back(byte);
    pointer_ = (pointer_ + 1) % kRegisterCount;
}

void SimulatedClockChip::BeginTransmit() {
    outgoing_ = Register(pointer_);
    current_.data.push_back(outgoing_);
    pointer_ = (pointer_ + 1) % kRegisterCount;
    bitCount_ = 0;
    pullsDataLow_ = (outgoing_ & 0x80) == 0;
    state_ = BusState::Transmit;
}

void SimulatedClockChip::FinishTransaction() {
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    if (transactions_.size() >= kTransactionsKept)
        transactions_.erase(transactions_.begin());
    transactions_.push_back(std::move(current_));
    current_ = Transaction{};
}

} // namespace platform
