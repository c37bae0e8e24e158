#pragma once

// A battery-backed real-time clock chip on a two-wire bus, simulated at the level of the
// bus lines: it decodes start and stop conditions, its address, the register pointer and
// the data bytes from the clock and data levels, acknowledges by pulling the data line
// low, and sends register contents bit by bit. It keeps time in BCD registers 0-6
// (second with the oscillator-halted bit, minute, hour with the 12-hour mode bits, day of
// week 1-7, day, month, year of the century) and has a control register 7.

#include <QDate>
#include <QDateTime>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

class SimulatedClockChip {
public:
    static constexpr int kBusAddress = 0x68;
    static constexpr int kRegisterCount = 8;
    // Milliseconds of a steadily running clock; the chip's oscillator follows it.
    using MillisecondClock = std::function<std::int64_t()>;

    // Keeps time from the host's local time, running, in 24-hour mode.
    SimulatedClockChip();
    SimulatedClockChip(const QDateTime& start, MillisecondClock clock);

    // The bus side: the line levels after every change of either line.
    void OnBusLevels(bool clockHigh, bool dataHigh);
    bool PullsDataLow() const { return pullsDataLow_; }

    // The test side: registers as they are now, bypassing the bus.
    std::uint8_t Register(int index);
    void SetRegister(int index, std::uint8_t value);
    // Sets the time in 24-hour mode with the oscillator running; its seconds turn over
    // when those of `time` do.
    void SetTime(const QDateTime& time);

    // Every transaction addressed to the chip, as the chip understood it: for a write the
    // register pointer and the bytes stored from it on; for a read the register the read
    // started at and the bytes sent.
    struct Transaction {
        bool read = false;
        int firstRegister = -1;
        std::vector<std::uint8_t> data;
        bool operator==(const Transaction&) const = default;
    };
    const std::vector<Transaction>& Transactions() const { return transactions_; }
    void ClearTransactions() { transactions_.clear(); }

private:
    enum class BusState { Idle, ReceiveAddress, ReceiveByte, SendAck, Transmit, ReceiveMasterAck };

    void OnStart();
    void OnStop();
    void OnClockRising(bool dataHigh);
    void OnClockFalling();
    void ByteReceived(std::uint8_t byte);
    void BeginTransmit();
    void FinishTransaction();

    void CatchUp();
    void Advance(std::int64_t seconds);

    // Time keeping.
    std::array<std::uint8_t, kRegisterCount> registers_{};
    MillisecondClock clock_;
    std::int64_t syncedAtMs_ = 0;
    std::int64_t fractionMs_ = 0;

    // Bus.
    bool lastClockHigh_ = true;
    bool lastDataHigh_ = true;
    bool pullsDataLow_ = false;
    BusState state_ = BusState::Idle;
    int bitCount_ = 0;
    std::uint8_t shift_ = 0;
    std::uint8_t outgoing_ = 0;
    bool reading_ = false;
    bool expectingPointer_ = false;
    bool masterAcknowledged_ = false;
    int pointer_ = 0;
    bool inTransaction_ = false;
    Transaction current_;
    std::vector<Transaction> transactions_;
};

} // namespace platform
