#include "document/TwoWireBus.h"

namespace {

std::uint8_t WriteAddressByte(std::uint8_t deviceAddress) {
    return static_cast<std::uint8_t>(deviceAddress << 1);
}

std::uint8_t ReadAddressByte(std::uint8_t deviceAddress) {
    return static_cast<std::uint8_t>(deviceAddress << 1 | 1);
}

} // namespace

TwoWireBus::TwoWireBus(platform::GpioBackend& pins, int clockPin, int dataPin, std::chrono::nanoseconds pause)
    : pins_(pins), clockPin_(clockPin), dataPin_(dataPin), pause_(pause) {}

// A few microseconds keep each clock phase within the devices' timing; the GPIO writes
// themselves are far quicker than a slow bus needs. A sleep would be far too coarse.
void TwoWireBus::Pause() const {
    if (pause_.count() <= 0)
        return;
    const auto until = std::chrono::steady_clock::now() + pause_;
    while (std::chrono::steady_clock::now() < until) {
    }
}

void TwoWireBus::SetClock(bool high) {
    pins_.SetPinLevel(clockPin_, high);
}

void TwoWireBus::SetData(bool high) {
    pins_.SetPinLevel(dataPin_, high);
}

void TwoWireBus::SetUp() {
    // Latches first, so the lines come up high when the pins turn into outputs.
    SetData(true);
    SetClock(true);
    pins_.SetPinDirection(dataPin_, true);
    pins_.SetPinDirection(clockPin_, true);
}

void TwoWireBus::Start() {
    SetData(true);
    SetClock(true);
    Pause();
    SetData(false); // data falling while the clock is high
    Pause();
    SetClock(false);
    Pause();
}

void TwoWireBus::Stop() {
    SetData(false);
    SetClock(true);
    Pause();
    SetData(true); // data rising while the clock is high
}

bool TwoWireBus::SendByte(std::uint8_t byte) {
    pins_.SetPinDirection(dataPin_, true);
    SetClock(false);
    for (int bit = 7; bit >= 0; --bit) {
        SetData(((byte >> bit) & 1) != 0);
        SetClock(true);
        Pause();
        SetClock(false);
        Pause();
    }
    pins_.SetPinDirection(dataPin_, false); // release the line for the acknowledge
    SetClock(true);
    Pause();
    const bool acknowledged = !pins_.GetPinLevel(dataPin_);
    SetClock(false);
    pins_.SetPinDirection(dataPin_, true);
    return acknowledged;
}

std::uint8_t TwoWireBus::ReceiveByte(bool lastByte) {
    pins_.SetPinDirection(dataPin_, false);
    std::uint8_t value = 0;
    for (int bit = 0; bit < 8; ++bit) {
        SetClock(true);
        Pause();
        value = static_cast<std::uint8_t>(value << 1 | (pins_.GetPinLevel(dataPin_) ? 1 : 0));
        SetClock(false);
        Pause();
    }
    pins_.SetPinDirection(dataPin_, true);
    SetData(lastByte); // high: no acknowledge, the device stops sending
    SetClock(true);
    Pause();
    SetClock(false);
    return value;
}

bool TwoWireBus::WriteRegisters(std::uint8_t deviceAddress, std::uint8_t firstRegister,
                                std::span<const std::uint8_t> bytes) {
    Start();
    bool acknowledged = SendByte(WriteAddressByte(deviceAddress)) && SendByte(firstRegister);
    for (std::size_t i = 0; acknowledged && i < bytes.size(); ++i)
        acknowledged = SendByte(bytes[i]);
    Stop();
    return acknowledged;
}

bool TwoWireBus::ReadRegisters(std::uint8_t deviceAddress, std::uint8_t firstRegister, std::span<std::uint8_t> buffer) {
    Start();
    const bool pointerSet = SendByte(WriteAddressByte(deviceAddress)) && SendByte(firstRegister);
    Stop();
    if (!pointerSet)
        return false;
    Start();
    const bool addressed = SendByte(ReadAddressByte(deviceAddress));
    for (std::size_t i = 0; addressed && i < buffer.size(); ++i)
        buffer[i] = ReceiveByte(i + 1 == buffer.size());
    Stop();
    return addressed;
}
