#include "platform/Gpio.h"

#include "platform/GpiodGpio.h"
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

// The kernel's character devices when the configuration file names lines that can be had;
// otherwise the original board's controller through physical memory (which needs root).
std::unique_ptr<GpioBackend> OpenInstrumentPins() {
    QString why;
    if (auto lines = OpenConfiguredGpio(QString::fromLatin1(kGpioConfigPath), why)) {
        Trace("GPIO: the lines of %s\n", kGpioConfigPath);
        return lines;
    }
    Trace("GPIO: %s; trying the mapped controller\n", qUtf8Printable(why));
    auto controller = MappedGpio::Open();
    if (!controller)
        Trace("GPIO controller cannot be mapped: no pins\n");
    return controller;
}

GpioBackend* InstrumentPins() {
    static const std::unique_ptr<GpioBackend> pins = OpenInstrumentPins();
    return pins.get();
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
