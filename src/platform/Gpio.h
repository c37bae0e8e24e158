#pragma once

// The processor's general-purpose I/O pins as the program sees them: three operations
// on a pin, behind an interface so that a workstation runs on simulated pins and the
// instrument on its GPIO lines (the kernel's character devices, or the controller's
// registers).

#include <optional>

namespace platform {

// Pin numbers of the instrument's wiring.
namespace pins {
constexpr int kAdapterSense = 48; // low = mains adapter plugged in
constexpr int kChargerLineA = 50;
constexpr int kChargerLineB = 51;
constexpr int kPowerOn = 55;        // driven high to keep the instrument on without an adapter
constexpr int kClockBusClock = 117; // two-wire bus of the real-time clock chip
constexpr int kClockBusData = 118;
constexpr int kHighest = 120; // the controller has no pins above
} // namespace pins

class GpioBackend {
public:
    virtual ~GpioBackend() = default;
    GpioBackend() = default;
    GpioBackend(const GpioBackend&) = delete;
    GpioBackend& operator=(const GpioBackend&) = delete;

    // Pins outside 0..pins::kHighest are ignored (and read low).
    virtual void SetPinDirection(int pin, bool output) = 0;
    // Sets the pin's output latch; it shows on the pin while the pin is an output.
    virtual void SetPinLevel(int pin, bool high) = 0;
    virtual bool GetPinLevel(int pin) = 0;
};

class SimulatedGpio;

// The process-wide pins, chosen at the first call. On the instrument: the lines that
// kGpioConfigPath names, through the kernel's GPIO character devices, when the file is there
// and its lines can be had; otherwise the GPIO controller mapped from physical memory. On a
// workstation: the simulated pins (SimulatedPins). Null when neither opens on the
// instrument; the program then runs without the pins.
GpioBackend* Gpio();

// The process-wide simulation; tests drive its adapter and charger lines.
SimulatedGpio& SimulatedPins();

// Tests start the whole program on pins of their choosing, or on none (null) as on an
// instrument whose controller cannot be opened; std::nullopt gives back the real choice.
void ReplaceGpioForTesting(std::optional<GpioBackend*> pins);

} // namespace platform
