#pragma once

// Cables for the fault-finding tests, built like the simulated board's scenario files.

#include "sim/Scenario.h"

#include <utility>
#include <vector>

namespace cables {

inline sim::CableEvent Splice(double at, double length, double impedance) {
    sim::CableEvent event;
    event.kind = sim::CableEvent::Kind::Splice;
    event.position = at;
    event.length = length;
    event.impedance = impedance;
    return event;
}

inline sim::CableEvent Wet(double from, double to, double impedance) {
    sim::CableEvent event = Splice(from, to - from, impedance);
    event.kind = sim::CableEvent::Kind::Wet;
    return event;
}

inline sim::CableEvent Resistance(sim::CableEvent::Kind kind, double at, double ohms) {
    sim::CableEvent event;
    event.kind = kind;
    event.position = at;
    event.resistance = ohms;
    return event;
}

inline sim::Cable Cable(double ku, double attenuation, double length, sim::Termination end,
                        std::vector<sim::CableEvent> events) {
    sim::Cable cable;
    cable.ku = ku;
    cable.attenuation = attenuation;
    cable.length = length;
    cable.termination = end;
    cable.events = std::move(events);
    return cable;
}

// A 95 m drop cable with a bad joint (series resistance) and an insulation fault.
inline sim::Cable ShortDrop() {
    return Cable(
        1.5, 20, 95, sim::Termination::Open,
        {Resistance(sim::CableEvent::Kind::Series, 30, 40), Resistance(sim::CableEvent::Kind::Shunt, 62, 300)});
}

// A 5.6 km trunk line with a splice step, a wet stretch, an insulation fault and a short end.
inline sim::Cable LongLine() {
    return Cable(1.52, 6, 5600, sim::Termination::Short,
                 {Splice(1500, 0, 110), Wet(2900, 3150, 70), Resistance(sim::CableEvent::Kind::Shunt, 4200, 500)});
}

// A 420 m line with a splice step and a short wet stretch.
inline sim::Cable NoisyLine() {
    return Cable(1.45, 12, 420, sim::Termination::Open, {Splice(120, 0, 120), Wet(250, 262, 80)});
}

} // namespace cables
