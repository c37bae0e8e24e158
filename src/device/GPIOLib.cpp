#include "device/GPIOLib.h"

#include "platform/Trace.h"

namespace {

bool IsPin(int pin) {
    return pin >= 0 && pin <= platform::pins::kHighest;
}

} // namespace

GPIOLib::GPIOLib() : GPIOLib(platform::Gpio()) {}

GPIOLib::GPIOLib(platform::GpioBackend* pins) : pins_(pins) {
    if (!pins_)
        platform::Trace("GPIO pins unavailable: running without charger supervision\n");
}

void GPIOLib::SetPinDirection(int pin, bool output) {
    if (pins_ && IsPin(pin))
        pins_->SetPinDirection(pin, output);
}

void GPIOLib::SetPinLevel(int pin, bool high) {
    if (pins_ && IsPin(pin))
        pins_->SetPinLevel(pin, high);
}

bool GPIOLib::GetPinLevel(int pin) const {
    return pins_ && IsPin(pin) && pins_->GetPinLevel(pin);
}
