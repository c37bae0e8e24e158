#include "platform/Gpio.h"

#include "platform/MappedGpio.h"
#include "platform/Power.h"
#include "platform/SimulatedGpio.h"
#include "platform/Trace.h"

#include <memory>

namespace platform {

namespace {

std::optional<GpioBackend*>& Replacement() {
    static std::optional<GpioBackend*> pins;
    return pins;
}

GpioBackend* InstrumentPins() {
    static const std::unique_ptr<MappedGpio> controller = MappedGpio::Open();
    if (!controller)
        Trace("GPIO controller cannot be mapped: no pins\n");
    return controller.get();
}

} // namespace

GpioBackend* Gpio() {
    if (Replacement())
        return *Replacement();
    static GpioBackend* const backend = RunsOnInstrument() ? InstrumentPins() : &SimulatedPins();
    return backend;
}

SimulatedGpio& SimulatedPins() {
    static SimulatedGpio simulated;
    return simulated;
}

void ReplaceGpioForTesting(std::optional<GpioBackend*> pins) {
    Replacement() = pins;
}

} // namespace platform
