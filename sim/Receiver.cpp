#include "sim/Receiver.h"

#include <algorithm>
#include <cmath>

namespace sim {

double GainStepsPerUnit(int gainCode) {
    return kStepsPerLaunchAtGainZero * std::pow(10.0, kGainDbPerCode * gainCode / 20.0);
}

QByteArray FormTrace(const CableModel& cable, Path path, const SampleWindow& window, const ReceiverSettings& settings,
                     std::mt19937& random) {
    const double gain = GainStepsPerUnit(settings.gainCode);
    const double deviation = settings.noise / std::sqrt(static_cast<double>(std::max(1, settings.averaging)));
    std::normal_distribution<double> noise(0.0, deviation > 0.0 ? deviation : 1.0);

    QByteArray samples(window.count, '\0');
    for (int k = 0; k < window.count; ++k) {
        const double timeNs = static_cast<double>(window.firstBaseSample + k * window.step) * kBaseSampleNs;
        double input = cable.Signal(timeNs, settings.pulseWidthNs, path);
        if (deviation > 0.0)
            input += noise(random);
        const double level = std::clamp(std::round(input * gain), -128.0, 127.0);
        samples[k] = static_cast<char>(static_cast<signed char>(level));
    }
    return samples;
}

} // namespace sim
