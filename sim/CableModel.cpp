#include "sim/CableModel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>

namespace sim {

namespace {

constexpr double kLightMetresPerNs = 0.3;
constexpr double kNepersPerDb = 1.0 / (20.0 / std::numbers::ln10);
constexpr double kReferenceHz = 1e6;
constexpr double kEpsilonMetres = 1e-6;
// Repeat echoes: at most this many passes, and none below this share of the launch.
constexpr int kMaxPasses = 4;
constexpr double kLeastRepeat = 1e-5;
// How much a mismatched output adds to the launch's recovery tail, per unit of |rho|.
constexpr double kRecoveryPerMismatch = 3.0;
// Time constants after which a response has settled for good.
constexpr double kSettledTimes = 50.0;

// Impedance of the line at `x` metres: the cable's own, changed by lasting steps (a splice
// of no length, the split pair beyond the split) and overridden inside sections
// (a splice section, a wet section; a later section in the list wins).
class ImpedanceProfile {
public:
    ImpedanceProfile(const Cable& cable, const std::optional<PairSplit>& pairSplit) : cable_(cable) {
        for (const CableEvent& event : cable.events) {
            const bool section =
                event.kind == CableEvent::Kind::Wet || (event.kind == CableEvent::Kind::Splice && event.length > 0);
            if (section)
                sections_.push_back(&event);
            else if (event.kind == CableEvent::Kind::Splice)
                steps_.push_back({event.position, event.impedance, 0});
        }
        if (pairSplit)
            steps_.push_back({pairSplit->distance, 0, pairSplit->impedanceRatio});
        std::stable_sort(steps_.begin(), steps_.end(),
                         [](const Step& a, const Step& b) { return a.position < b.position; });
    }

    double At(double x) const {
        double impedance = cable_.impedance;
        for (const Step& step : steps_) {
            if (step.position >= x)
                break;
            impedance = step.ratio > 0 ? impedance * step.ratio : step.impedance;
        }
        for (const CableEvent* section : sections_) {
            if (section->position < x && x < section->position + section->length)
                impedance = section->impedance;
        }
        return impedance;
    }

private:
    struct Step {
        double position;
        double impedance; // the new impedance, or
        double ratio;     // a factor on the old one when > 0
    };
    const Cable& cable_;
    std::vector<Step> steps_;
    std::vector<const CableEvent*> sections_;
};

std::vector<double> ChangePoints(const Cable& cable, const std::optional<PairSplit>& pairSplit) {
    std::vector<double> points;
    for (const CableEvent& event : cable.events) {
        points.push_back(event.position);
        if (event.length > 0)
            points.push_back(event.position + event.length);
    }
    if (pairSplit)
        points.push_back(pairSplit->distance);
    std::sort(points.begin(), points.end());
    points.erase(
        std::unique(points.begin(), points.end(), [](double a, double b) { return std::abs(a - b) < kEpsilonMetres; }),
        points.end());
    std::erase_if(points, [&](double p) { return p >= cable.length; });
    return points;
}

double EndReflection(const Cable& cable, double impedance) {
    switch (cable.termination) {
    case Termination::Open:
        return 1.0;
    case Termination::Short:
        return -1.0;
    case Termination::Matched:
        return 0.0;
    case Termination::Load:
        return (cable.loadResistance - impedance) / (cable.loadResistance + impedance);
    }
    return 0.0;
}

// The smoothing of an echo that went `metres` along the line and back: the receiver's own
// and the line's dispersion.
double SmoothingOver(double metres, double attenuationDbPerKm) {
    return kReceiverSmoothingNs + DispersionNs(2.0 * metres / 1000.0, attenuationDbPerKm);
}

// Walks the line from the instrument to its end and collects one echo per discontinuity.
class EchoCollector {
public:
    explicit EchoCollector(const Cable& cable) : cable_(cable) {}

    void Add(double position, double reflection, double roundTripTransmission) {
        if (reflection == 0.0)
            return;
        echoes_.push_back({EchoDelayNs(position, cable_.ku), reflection * transmission_, SmoothingAt(position)});
        transmission_ *= roundTripTransmission;
    }

    double SmoothingAt(double position) const { return SmoothingOver(position, cable_.attenuation); }

    double Transmission() const { return transmission_; }
    std::vector<Echo> Take() { return std::move(echoes_); }

private:
    const Cable& cable_;
    double transmission_ = 1.0; // the share of the launch pulse that gets there and back
    std::vector<Echo> echoes_;
};

} // namespace

double EchoDelayNs(double distance, double ku) {
    return 2.0 * distance * ku / kLightMetresPerNs;
}

double DispersionNs(double roundTripKm, double attenuationDbPerKm) {
    // A line whose loss grows with sqrt(f) passes a pulse through exp(-a * sqrt(s)): the
    // diffusion of the skin effect, with a = loss in nepers / sqrt(pi * f) at the reference
    // frequency. Its characteristic time a^2 / 4 grows with the square of the distance; we
    // take it as the time constant of a single low-pass, which keeps the echo's leading
    // edge where the discontinuity is and spreads its tail the further it travelled.
    const double nepers = attenuationDbPerKm * roundTripKm * kNepersPerDb;
    const double a = nepers / std::sqrt(std::numbers::pi * kReferenceHz);
    return a * a / 4.0 * 1e9;
}

EdgeShape::EdgeShape(double riseNs, double overshoot) {
    if (!(riseNs > 0))
        return;
    // Damping from the overshoot of a second-order step response; a tiny overshoot is
    // nearly critical damping.
    const double logShare = std::log(std::clamp(overshoot, 1e-4, 0.9));
    damping_ = std::min(0.9, -logShare / std::sqrt(std::numbers::pi * std::numbers::pi + logShare * logShare));
    // The usual fit of the 10-90 % rise time of a second-order step response.
    naturalRadPerNs_ = (1.0 - 0.4167 * damping_ + 2.917 * damping_ * damping_) / riseNs;
}

EdgeShape::Response EdgeShape::ResponseFor(double smoothingNs) const {
    using Complex = std::complex<double>;
    Response response;
    const double wn = naturalRadPerNs_;
    response.pole = Complex(-damping_ * wn, wn * std::sqrt(1.0 - damping_ * damping_));
    const Complex p2 = std::conj(response.pole);
    response.settledNs = kSettledTimes * std::max(smoothingNs, DecayNs());
    if (smoothingNs <= 0.0) {
        response.complexResidue = wn * wn / (response.pole * (response.pole - p2));
        return response;
    }
    // Partial fractions of wn^2 / ((s - p1)(s - p2)) * (1 / tau) / (s - p3) / s.
    response.realPole = -1.0 / smoothingNs;
    const double gain = wn * wn / smoothingNs;
    response.complexResidue = gain / (response.pole * (response.pole - p2) * (response.pole - response.realPole));
    response.realResidue =
        (gain / (response.realPole * (response.realPole - response.pole) * (response.realPole - p2))).real();
    return response;
}

double EdgeShape::Step(double timeNs, const Response& response) {
    if (timeNs <= 0.0)
        return 0.0;
    const double complexPart = (response.complexResidue * std::exp(response.pole * timeNs)).real();
    const double realPart =
        response.realResidue == 0.0 ? 0.0 : response.realResidue * std::exp(response.realPole * timeNs);
    return 1.0 + 2.0 * complexPart + realPart;
}

double EdgeShape::Pulse(double timeNs, double widthNs, const Response& response) {
    // Long after the pulse nothing of it is left (e^-50 of its height).
    if (timeNs <= 0.0 || timeNs > widthNs + response.settledNs)
        return 0.0;
    return Step(timeNs, response) - Step(timeNs - widthNs, response);
}

double PulseResponse(double timeNs, double widthNs, double smoothingNs, const EdgeShape& shape) {
    if (!shape.Ideal())
        return EdgeShape::Pulse(timeNs, widthNs, shape.ResponseFor(smoothingNs));
    if (timeNs <= 0.0)
        return 0.0;
    if (smoothingNs <= 0.0)
        return timeNs < widthNs ? 1.0 : 0.0;
    if (timeNs < widthNs)
        return 1.0 - std::exp(-timeNs / smoothingNs);
    return (1.0 - std::exp(-widthNs / smoothingNs)) * std::exp(-(timeNs - widthNs) / smoothingNs);
}

CableModel::CableModel(const Cable& cable, const std::optional<PairSplit>& pairSplit, const Launch& launch)
    : shape_(launch.riseNs, launch.overshoot) {
    const double output = cable.matching;
    outputReflection_ = (output - cable.impedance) / (output + cable.impedance);
    recovery_ = launch.recovery * (1.0 + kRecoveryPerMismatch * std::abs(outputReflection_));
    recoveryNs_ = launch.recoveryNs;
    const ImpedanceProfile profile(cable, pairSplit);
    EchoCollector collector(cable);
    direct_.push_back({0.0, 1.0, kReceiverSmoothingNs});

    double transmissionToSplit = 1.0;
    for (const double point : ChangePoints(cable, pairSplit)) {
        // Resistances at a point first: a shunt keeps the voltage (T = 1 + rho), a series
        // resistance keeps the current (T = 1 - rho).
        const double impedance = profile.At(point - kEpsilonMetres);
        for (const CableEvent& event : cable.events) {
            if (std::abs(event.position - point) >= kEpsilonMetres)
                continue;
            if (event.kind == CableEvent::Kind::Shunt) {
                const double rho = -impedance / (2.0 * event.resistance + impedance);
                collector.Add(point, rho, (1.0 + rho) * (1.0 + rho));
            } else if (event.kind == CableEvent::Kind::Series) {
                const double rho = event.resistance / (2.0 * impedance + event.resistance);
                collector.Add(point, rho, (1.0 - rho) * (1.0 - rho));
            }
        }
        if (pairSplit && std::abs(pairSplit->distance - point) < kEpsilonMetres)
            transmissionToSplit = collector.Transmission();
        const double before = profile.At(point - kEpsilonMetres);
        const double after = profile.At(point + kEpsilonMetres);
        const double rho = (after - before) / (after + before);
        collector.Add(point, rho, 1.0 - rho * rho);
    }
    collector.Add(cable.length, EndReflection(cable, profile.At(cable.length - kEpsilonMetres)), 0.0);
    std::vector<Echo> echoes = collector.Take();
    direct_.insert(direct_.end(), echoes.begin(), echoes.end());
    AddRepeats(cable);

    if (pairSplit) {
        crosstalk_.push_back({0.0, pairSplit->nearCrosstalk, kReceiverSmoothingNs});
        if (pairSplit->distance < cable.length) {
            crosstalk_.push_back({EchoDelayNs(pairSplit->distance, cable.ku), pairSplit->coupling * transmissionToSplit,
                                  collector.SmoothingAt(pairSplit->distance)});
        }
    }
    if (!shape_.Ideal()) {
        for (const Echo& echo : direct_)
            directResponses_.push_back(shape_.ResponseFor(echo.smoothingNs));
        for (const Echo& echo : crosstalk_)
            crosstalkResponses_.push_back(shape_.ResponseFor(echo.smoothingNs));
    }
}

// An echo of amplitude a (relative to the launch, the round trip's losses included) comes
// back to the output, is reflected there by rho and travels the same way again: after k
// passes a^k rho^(k-1), k times as late and smoothed over k times the way.
void CableModel::AddRepeats(const Cable& cable) {
    if (outputReflection_ == 0.0)
        return;
    const std::size_t primaries = direct_.size();
    for (std::size_t i = 1; i < primaries; ++i) {
        const Echo echo = direct_[i];
        const double distance = echo.delayNs * kLightMetresPerNs / (2.0 * cable.ku);
        for (int pass = 2; pass <= kMaxPasses; ++pass) {
            const double amplitude = std::pow(echo.amplitude, pass) * std::pow(outputReflection_, pass - 1);
            if (std::abs(amplitude) < kLeastRepeat)
                break;
            direct_.push_back({pass * echo.delayNs, amplitude, SmoothingOver(pass * distance, cable.attenuation),
                               static_cast<int>(i), pass});
        }
    }
    // In order of delay, each repeat still naming its source.
    std::vector<std::size_t> order(direct_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return direct_[a].delayNs < direct_[b].delayNs; });
    std::vector<int> place(direct_.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        place[order[k]] = static_cast<int>(k);
    std::vector<Echo> sorted;
    for (const std::size_t k : order) {
        sorted.push_back(direct_[k]);
        if (sorted.back().repeatOf >= 0)
            sorted.back().repeatOf = place[static_cast<std::size_t>(sorted.back().repeatOf)];
    }
    direct_ = std::move(sorted);
}

double CableModel::LaunchRecovery(double timeNs, double pulseWidthNs) const {
    // The coupling lets no steady level through: the pulse's top droops and, after it, the
    // trace undershoots and comes back with the coupling's time constant.
    if (recovery_ == 0.0 || timeNs <= 0.0)
        return 0.0;
    if (timeNs < pulseWidthNs)
        return -recovery_ * (1.0 - std::exp(-timeNs / recoveryNs_));
    return -recovery_ * (1.0 - std::exp(-pulseWidthNs / recoveryNs_)) *
           std::exp(-(timeNs - pulseWidthNs) / recoveryNs_);
}

double CableModel::Signal(double timeNs, double pulseWidthNs, Path path) const {
    const std::vector<Echo>& echoes = Echoes(path);
    const std::vector<EdgeShape::Response>& responses = path == Path::Direct ? directResponses_ : crosstalkResponses_;
    double sum = 0.0;
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        const double t = timeNs - echoes[i].delayNs;
        sum += echoes[i].amplitude * (shape_.Ideal() ? PulseResponse(t, pulseWidthNs, echoes[i].smoothingNs)
                                                     : EdgeShape::Pulse(t, pulseWidthNs, responses[i]));
    }
    if (path == Path::Direct)
        sum += LaunchRecovery(timeNs, pulseWidthNs);
    return sum;
}

} // namespace sim
