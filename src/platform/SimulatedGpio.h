#pragma once

// The instrument's pins on a workstation: the mains adapter sense and the charger's two
// status lines are inputs whose levels tests (or a scenario) set; the power-on line shows
// what the program drives; the real-time clock chip hangs on the two-wire bus pins, the
// data line open-drain with a pull-up, so a released line reads high unless the chip
// pulls it low.

#include "platform/Gpio.h"
#include "platform/SimulatedClockChip.h"

#include <array>

namespace platform {

class SimulatedGpio final : public GpioBackend {
public:
    // Starts with no adapter, a quiet charger and the clock chip on the host's time.
    SimulatedGpio();
    // With a clock chip of the caller's choosing (a fixed start and a test's clock).
    explicit SimulatedGpio(SimulatedClockChip chip);

    void SetPinDirection(int pin, bool output) override;
    void SetPinLevel(int pin, bool high) override;
    bool GetPinLevel(int pin) override;

    // Level that the outside world applies to an input pin (adapter sense, charger lines).
    void SetInputLevel(int pin, bool high);
    void SetAdapterPlugged(bool plugged) { SetInputLevel(pins::kAdapterSense, !plugged); }
    void SetChargerLines(bool lineBHigh, bool lineAHigh);

    bool IsOutput(int pin) const;
    // The power-on line: true only while the program drives it high.
    bool PowerOnDrivenHigh() const;

    SimulatedClockChip& ClockChip() { return chip_; }

private:
    struct Pin {
        bool output = false;
        bool latch = false;
        bool externalLevel = false; // what the outside world applies while the pin is an input
    };
    static bool IsPin(int pin);
    bool BusClockLevel() const;
    bool BusDataLevel() const;
    void BusLinesMayHaveChanged();

    std::array<Pin, pins::kHighest + 1> pins_{};
    SimulatedClockChip chip_;
    bool lastBusClock_ = true;
    bool lastBusData_ = true;
};

} // namespace platform
