#pragma once

#include "sim/Scenario.h"

#include <complex>
#include <optional>
#include <vector>

namespace sim {

// One base sample of the board's time grid is 1.25 ns of echo (round-trip) delay.
inline constexpr double kBaseSampleNs = 1.25;

// Round-trip delay of an echo from `distance` metres down a line of velocity factor `ku`
// (the wave travels at 300 / ku metres per microsecond).
double EchoDelayNs(double distance, double ku);

// Time constant of the low-pass smoothing that a pulse suffers over `roundTripKm` of cable
// whose loss is `attenuationDbPerKm` at 1 MHz and grows with the square root of frequency.
double DispersionNs(double roundTripKm, double attenuationDbPerKm);

// The receiver's own bandwidth smooths even the launch pulse a little.
inline constexpr double kReceiverSmoothingNs = 1.0;

// The edges of the launched pulse: a second-order response with a finite rise, an overshoot
// and ringing, or ideal (the default).
class EdgeShape {
public:
    EdgeShape() = default;
    EdgeShape(double riseNs, double overshoot);

    bool Ideal() const { return naturalRadPerNs_ <= 0; }
    // Time constant of the ringing's decay.
    double DecayNs() const { return Ideal() ? 0.0 : 1.0 / (damping_ * naturalRadPerNs_); }

    // What a unit step at time 0 becomes through these edges and then a first-order low-pass
    // of time constant `smoothingNs`, worked out once for many times.
    struct Response {
        std::complex<double> pole;
        std::complex<double> complexResidue;
        double realPole = 0;
        double realResidue = 0;
        double settledNs = 0;
    };
    Response ResponseFor(double smoothingNs) const;
    static double Step(double timeNs, const Response& response);
    // A rectangular pulse of `widthNs` through the same.
    static double Pulse(double timeNs, double widthNs, const Response& response);

private:
    double naturalRadPerNs_ = 0;
    double damping_ = 1;
};

// What the receiver sees of a rectangular pulse of `widthNs` that went through a first-order
// low-pass of time constant `smoothingNs`, `timeNs` after its leading edge. Unit amplitude, causal:
// zero before the edge, a rise while the pulse lasts, an exponential tail afterwards. With a
// shape, the pulse's edges are that shape's.
double PulseResponse(double timeNs, double widthNs, double smoothingNs, const EdgeShape& shape = {});

// One copy of the launch pulse coming back to the receiver.
struct Echo {
    double delayNs = 0;     // arrival of its leading edge
    double amplitude = 0;   // relative to the launch amplitude; the sign is its polarity
    double smoothingNs = 0; // time constant of the smoothing it went through
    int repeatOf = -1;      // a repeat echo: the index of the echo it repeats (the pulse went
                            // back and forth between that discontinuity and the board's output)
    int pass = 1;           // how many times it travelled there and back

    bool operator==(const Echo&) const = default;
};

// How the receiving line is driven: by its own generator, or from the other pair (split-pair mode).
enum class Path { Direct, Crosstalk };

// The echoes of one line, worked out once from its cable. Each discontinuity reflects
// rho = (Z_L - Z0) / (Z_L + Z0) of what reaches it and passes the rest on, both ways;
// reflections between discontinuities are left out (they are far below the first echoes).
// An echo that comes back to a board output of another resistance than the line (its
// matching) is reflected there again and returns as repeat echoes at 2x, 3x its delay.
class CableModel {
public:
    CableModel(const Cable& cable, const std::optional<PairSplit>& pairSplit, const Launch& launch = {});

    // Direct: the launch pulse at time 0, then the echoes (one per discontinuity, and their
    // repeats) in order of delay.
    // Crosstalk: the near-end crosstalk blip at time 0 and the echo of the split point.
    const std::vector<Echo>& Echoes(Path path) const { return path == Path::Direct ? direct_ : crosstalk_; }

    // Noiseless receiver input at `timeNs` after launch, relative to the launch amplitude.
    double Signal(double timeNs, double pulseWidthNs, Path path) const;

    const EdgeShape& Shape() const { return shape_; }

    // Reflection coefficient of the board's output seen from the line.
    double OutputReflection() const { return outputReflection_; }

private:
    void AddRepeats(const Cable& cable);
    double LaunchRecovery(double timeNs, double pulseWidthNs) const;

    EdgeShape shape_;
    double outputReflection_ = 0;
    double recovery_ = 0; // the launch's recovery tail, share of the launch height
    double recoveryNs_ = 1;
    std::vector<Echo> direct_;
    std::vector<EdgeShape::Response> directResponses_; // per echo, for shaped edges
    std::vector<EdgeShape::Response> crosstalkResponses_;
    std::vector<Echo> crosstalk_;
};

} // namespace sim
