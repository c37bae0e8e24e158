#include "platform/SimulatedGpio.h"

#include <utility>

namespace platform {

SimulatedGpio::SimulatedGpio() : SimulatedGpio(SimulatedClockChip()) {}

SimulatedGpio::SimulatedGpio(SimulatedClockChip chip) : chip_(std::move(chip)) {
    SetAdapterPlugged(false);
    SetChargerLines(false, false);
}

bool SimulatedGpio::IsPin(int pin) {
    return pin >= 0 && pin <= pins::kHighest;
}

void SimulatedGpio::SetPinDirection(int pin, bool output) {
    if (!IsPin(pin))
        return;
    pins_[static_cast<std::size_t>(pin)].output = output;
    BusLinesMayHaveChanged();
}

void SimulatedGpio::SetPinLevel(int pin, bool high) {
    if (!IsPin(pin))
        return;
    pins_[static_cast<std::size_t>(pin)].latch = high;
    BusLinesMayHaveChanged();
}

bool SimulatedGpio::GetPinLevel(int pin) {
    if (pin == pins::kClockBusClock)
        return BusClockLevel();
    if (pin == pins::kClockBusData)
        return BusDataLevel();
    if (!IsPin(pin))
        return false;
    const Pin& state = pins_[static_cast<std::size_t>(pin)];
    return state.output ? state.latch : state.externalLevel;
}

void SimulatedGpio::SetInputLevel(int pin, bool high) {
    if (IsPin(pin))
        pins_[static_cast<std::size_t>(pin)].externalLevel = high;
}

void SimulatedGpio::SetChargerLines(bool lineBHigh, bool lineAHigh) {
    SetInputLevel(pins::kChargerLineB, lineBHigh);
    SetInputLevel(pins::kChargerLineA, lineAHigh);
}

bool SimulatedGpio::IsOutput(int pin) const {
    return IsPin(pin) && pins_[static_cast<std::size_t>(pin)].output;
}

bool SimulatedGpio::PowerOnDrivenHigh() const {
    const Pin& powerOn = pins_[pins::kPowerOn];
    return powerOn.output && powerOn.latch;
}

// Both bus lines have pull-ups: a pin that is not an output leaves its line high. The
// chip never holds the clock; it only pulls the data line low.
bool SimulatedGpio::BusClockLevel() const {
    const Pin& clock = pins_[pins::kClockBusClock];
    return !clock.output || clock.latch;
}

bool SimulatedGpio::BusDataLevel() const {
    const Pin& data = pins_[pins::kClockBusData];
    return (!data.output || data.latch) && !chip_.PullsDataLow();
}

void SimulatedGpio::BusLinesMayHaveChanged() {
    // The chip may answer a clock edge by pulling or releasing the data line (only while
    // the clock is low); it then sees that change as well, so it always knows the lines.
    // Its answer never causes a further one, so two rounds settle the lines.
    for (int round = 0; round < 3; ++round) {
        const bool clock = BusClockLevel();
        const bool data = BusDataLevel();
        if (clock == lastBusClock_ && data == lastBusData_)
            return;
        lastBusClock_ = clock;
        lastBusData_ = data;
        chip_.OnBusLevels(clock, data);
    }
}

} // namespace platform
