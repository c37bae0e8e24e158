#pragma once

#include "sim/CableModel.h"
#include "sim/Task.h"

#include <QByteArray>

#include <random>

namespace sim {

// The receiver's gain: at code 0 the launch amplitude reads 64 steps of the converter;
// every code step adds 0.25 dB (code 255: +63.75 dB).
inline constexpr double kStepsPerLaunchAtGainZero = 64.0;
inline constexpr double kGainDbPerCode = 0.25;
double GainStepsPerUnit(int gainCode);

struct ReceiverSettings {
    double pulseWidthNs = 50;
    int averaging = 1;
    int gainCode = 100;
    double noise = 0; // rms at the receiver input for one shot, relative to the launch amplitude
    ReceiverTraits traits;
};

// Samples one line over a window: the noiseless signal, plus noise that averaging reduces
// by 1 / sqrt(count), times the gain, rounded to signed 8-bit samples and clipped there.
// Draws one noise value per sample from `random` when noise is not zero; the traits draw
// their own values only when they are set. With the traits: correlated noise (also reduced by
// averaging), a slow baseline drift (not reduced), and a receiver that comes back from
// clipping only slowly.
QByteArray FormTrace(const CableModel& cable, Path path, const SampleWindow& window, const ReceiverSettings& settings,
                     std::mt19937& random);

} // namespace sim
