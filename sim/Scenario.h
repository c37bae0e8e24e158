#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// Something along a cable that reflects part of the pulse.
struct CableEvent {
    enum class Kind {
        Splice, // a joint: a short section of another impedance, or (length 0) a lasting step
        Wet,    // water in the cable: lower impedance from `position` to `position + length`
        Shunt,  // insulation fault: a resistance across the pair
        Series, // bad joint: a resistance in series with the pair
    };
    Kind kind = Kind::Splice;
    double position = 0;   // metres from the instrument
    double length = 0;     // metres (splice section, wet section)
    double impedance = 0;  // ohms (splice, wet)
    double resistance = 0; // ohms (shunt, series)

    bool operator==(const CableEvent&) const = default;
};

enum class Termination { Open, Short, Matched, Load };

// One measured line: a copper pair from the instrument to its far end.
struct Cable {
    double ku = 1.5;         // velocity factor: the wave travels at 300 / ku metres per microsecond
    double impedance = 100;  // characteristic impedance, ohms
    double attenuation = 15; // dB per km at 1 MHz; grows with the square root of frequency
    double length = 1000;    // metres
    Termination termination = Termination::Open;
    double loadResistance = 0; // ohms, for Termination::Load
    std::vector<CableEvent> events;
    int matching = 100; // the board's "matching" status byte for this line: its output resistance
                        // in ohms (a line of another impedance sends repeat echoes back)

    bool operator==(const Cable&) const = default;
};

// Line 1 and line 2 run in one cable; at the split point their wires are crossed over.
struct PairSplit {
    double distance = 0;          // metres from the instrument
    double coupling = 0.3;        // share of the pulse crossing to the other pair at the split
    double nearCrosstalk = 0.03;  // launch pulse leaking into the other pair at the near end
    double impedanceRatio = 1.05; // a split pair looks slightly higher in impedance beyond the split

    bool operator==(const PairSplit&) const = default;
};

// The pulse the board sends. All zero: ideal rectangular edges and no recovery tail.
struct Launch {
    double riseNs = 0;        // 10-90 % rise (and fall) of its edges; 0: ideal edges
    double overshoot = 0;     // share of an edge's height it overshoots by, then rings (0..0.6)
    double recovery = 0;      // the coupling's recovery tail after the pulse, share of the launch
                              // height on a matched line; a mismatched output makes it larger
    double recoveryNs = 1500; // its time constant

    bool operator==(const Launch&) const = default;
};

// What the board's receiver adds besides white noise. All zero: nothing.
struct ReceiverTraits {
    double clipRecoveryNs = 0;  // after a clipped stretch the receiver stays at its limit and
                                // comes back with this time constant (longer after longer stretches)
    double correlatedNoise = 0; // rms relative to the launch amplitude for one shot, not white:
    double correlationNs = 20;  // each sample keeps exp(-dt / correlationNs) of the one before
    double drift = 0;           // slow baseline wander, rms relative to the launch; averaging keeps it

    bool operator==(const ReceiverTraits&) const = default;
};

struct Scenario {
    std::array<Cable, 2> lines;
    std::optional<PairSplit> pairSplit;
    Launch launch;
    ReceiverTraits receiver;
    double noise = 1.25e-3;            // receiver noise, rms, relative to the launch amplitude
    std::optional<std::uint32_t> seed; // reproducible noise when set

    bool operator==(const Scenario&) const = default;

    static Scenario Default();
    static std::optional<Scenario> FromJson(const QByteArray& json, QString* error = nullptr);
    static std::optional<Scenario> LoadFile(const QString& path, QString* error = nullptr);
};

} // namespace sim
