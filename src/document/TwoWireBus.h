#pragma once

// A two-wire serial bus master bit-banged on two GPIO pins. The data line is open-drain:
// the master drives it low as an output and releases it by making the pin an input, so
// that the pull-up or a device holding it low decides its level.

#include "platform/Gpio.h"

#include <chrono>
#include <cstdint>
#include <span>

class TwoWireBus {
public:
    TwoWireBus(platform::GpioBackend& pins, int clockPin, int dataPin, std::chrono::nanoseconds pause);

    // Both lines high, both pins outputs: the bus idles.
    void SetUp();

    void Start();
    void Stop();
    // Returns whether the device acknowledged the byte.
    bool SendByte(std::uint8_t byte);
    // Acknowledges the byte unless it is the last one the master wants.
    std::uint8_t ReceiveByte(bool lastByte);

    // One write transaction: the register number, then the bytes stored from it on.
    bool WriteRegisters(std::uint8_t deviceAddress, std::uint8_t firstRegister, std::span<const std::uint8_t> bytes);
    // Sets the register pointer in one transaction, then reads from it in a second one.
    bool ReadRegisters(std::uint8_t deviceAddress, std::uint8_t firstRegister, std::span<std::uint8_t> buffer);

private:
    void Pause() const;
    void SetClock(bool high);
    void SetData(bool high);

    platform::GpioBackend& pins_;
    int clockPin_;
    int dataPin_;
    std::chrono::nanoseconds pause_;
};
