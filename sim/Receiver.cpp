#include "sim/Receiver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace sim {

double GainStepsPerUnit(int gainCode) {
    return kStepsPerLaunchAtGainZero * std::pow(10.0, kGainDbPerCode * gainCode / 20.0);
}

namespace {

constexpr double kConverterHigh = 127.0;
constexpr double kConverterLow = -128.0;
// A clipped stretch this long doubles the receiver's recovery time; at most four times.
constexpr double kClipStretchNs = 500.0;
constexpr double kMaxRecoveryFactor = 4.0;

// The slow baseline wander: two slow waves of random phase whose rms is `drift`.
class Drift {
public:
    Drift(double drift, double windowNs, std::mt19937& random) : drift_(drift) {
        if (drift_ <= 0.0)
            return;
        std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
        phases_ = {phase(random), phase(random)};
        periodsNs_ = {1.7 * windowNs, 0.6 * windowNs};
    }

    double At(double timeNs) const {
        if (drift_ <= 0.0)
            return 0.0;
        double sum = 0.0;
        for (std::size_t i = 0; i < phases_.size(); ++i)
            sum += std::sin(2.0 * std::numbers::pi * timeNs / periodsNs_[i] + phases_[i]);
        return drift_ * sum;
    }

private:
    double drift_;
    std::array<double, 2> phases_{};
    std::array<double, 2> periodsNs_{1, 1};
};

// Noise whose samples are correlated over `correlationNs`: a first-order autoregression.
class CorrelatedNoise {
public:
    CorrelatedNoise(double rms, double correlationNs, double stepNs) : rms_(rms) {
        keep_ = std::exp(-stepNs / correlationNs);
    }

    double Next(std::mt19937& random) {
        if (rms_ <= 0.0)
            return 0.0;
        const double fresh = normal_(random) * rms_;
        value_ = started_ ? keep_ * value_ + std::sqrt(1.0 - keep_ * keep_) * fresh : fresh;
        started_ = true;
        return value_;
    }

private:
    double rms_;
    double keep_ = 0;
    double value_ = 0;
    bool started_ = false;
    std::normal_distribution<double> normal_{0.0, 1.0};
};

// A receiver overdriven past the converter's limits stays there a while after its input has
// come back, then returns with a time constant that grows with how long it was overdriven.
class ClipRecovery {
public:
    explicit ClipRecovery(double recoveryNs) : recoveryNs_(recoveryNs) {}

    double Apply(double level, double timeNs) {
        if (recoveryNs_ <= 0.0)
            return level;
        const bool clipped = level > kConverterHigh || level < kConverterLow;
        if (clipped) {
            if (!inside_) {
                inside_ = true;
                startNs_ = timeNs;
                overdrive_ = 0.0;
                sign_ = level > 0 ? 1 : -1;
            }
            overdrive_ = std::max(overdrive_, sign_ * level - (sign_ > 0 ? kConverterHigh : -kConverterLow));
            return level;
        }
        if (inside_) {
            inside_ = false;
            endNs_ = timeNs;
            timeConstantNs_ = recoveryNs_ * std::min(kMaxRecoveryFactor, 1.0 + (timeNs - startNs_) / kClipStretchNs);
            owed_ = sign_ * std::min(overdrive_, kConverterHigh);
        }
        if (owed_ == 0.0)
            return level;
        return level + owed_ * std::exp(-(timeNs - endNs_) / timeConstantNs_);
    }

private:
    double recoveryNs_;
    bool inside_ = false;
    int sign_ = 1;
    double startNs_ = 0, endNs_ = 0, overdrive_ = 0, owed_ = 0, timeConstantNs_ = 1;
};

} // namespace

QByteArray FormTrace(const CableModel& cable, Path path, const SampleWindow& window, const ReceiverSettings& settings,
                     std::mt19937& random) {
    const double gain = GainStepsPerUnit(settings.gainCode);
    const double shots = static_cast<double>(std::max(1, settings.averaging));
    const double deviation = settings.noise / std::sqrt(shots);
    std::normal_distribution<double> noise(0.0, deviation > 0.0 ? deviation : 1.0);
    const ReceiverTraits& traits = settings.traits;
    const double stepNs = static_cast<double>(window.step) * kBaseSampleNs;
    CorrelatedNoise correlated(traits.correlatedNoise / std::sqrt(shots), traits.correlationNs, stepNs);
    const Drift drift(traits.drift, window.count * stepNs, random);
    ClipRecovery recovery(traits.clipRecoveryNs);

    QByteArray samples(window.count, '\0');
    for (int k = 0; k < window.count; ++k) {
        const double timeNs = static_cast<double>(window.firstBaseSample + k * window.step) * kBaseSampleNs;
        double input = cable.Signal(timeNs, settings.pulseWidthNs, path);
        if (deviation > 0.0)
            input += noise(random);
        input += correlated.Next(random) + drift.At(timeNs);
        const double level =
            std::clamp(std::round(recovery.Apply(input * gain, timeNs)), kConverterLow, kConverterHigh);
        samples[k] = static_cast<char>(static_cast<signed char>(level));
    }
    return samples;
}

} // namespace sim
