#pragma once

// The processor's general-purpose I/O pins as the device services use them: the mains
// adapter sense, the charger's status lines and the power-on line.

#include "platform/Gpio.h"

class GPIOLib {
public:
    // On the process-wide pins.
    GPIOLib();
    // On `pins`; null means there are no pins (the program then runs without charger
    // supervision).
    explicit GPIOLib(platform::GpioBackend* pins);

    // Whether there are pins at all. Without them nothing is driven and every pin reads low.
    bool IsAvailable() const { return pins_ != nullptr; }

    // Pins above 120 are ignored.
    void SetPinDirection(int pin, bool output);
    void SetPinLevel(int pin, bool high);
    bool GetPinLevel(int pin) const;

private:
    platform::GpioBackend* pins_; // process-wide or owned by the caller, outlives this
};
