#pragma once

// Scores the fault finder against what the simulated board's cable model put into a trace.

#include "analysis/EventFinder.h"
#include "sim/CableModel.h"
#include "sim/Receiver.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace event_score {

// How a full-length trace of one line was taken.
struct Capture {
    double nsPerSample = 1.25;
    double pulseNs = 100;
    int gainCode = 100;
    int averaging = 1;
    int samples = 8000;
};

// One echo of the cable model as the trace shows it.
struct Expected {
    double sample = 0; // leading edge
    int sign = 0;
    double peakSteps = 0; // the highest the echo alone rises in the noiseless trace
    bool required = false;
};

// The trace's noise in converter steps: the board's noise after averaging and gain, with the
// converter's quantisation.
inline double NoiseSteps(double boardNoise, const Capture& capture) {
    const double noise =
        boardNoise / std::sqrt(static_cast<double>(capture.averaging)) * sim::GainStepsPerUnit(capture.gainCode);
    // The converter's step bounds what can be told from noise: never below half a step.
    return std::max(std::sqrt(noise * noise + 1.0 / 12.0), 0.5);
}

// Every echo after the launch pulse. Required: it reaches three times the noise, it starts
// after the launch pulse has ended, it is not closer to the previous echo than one pulse
// width (no pulse reflectometer resolves that), and its pulse lies within the trace.
inline std::vector<Expected> ExpectedEvents(const sim::CableModel& cable, const Capture& capture, double noiseSteps) {
    std::vector<Expected> expected;
    const std::vector<sim::Echo>& echoes = cable.Echoes(sim::Path::Direct);
    const double gain = sim::GainStepsPerUnit(capture.gainCode);
    double previousDelay = 0; // the launch pulse
    for (std::size_t i = 1; i < echoes.size(); ++i) {
        const sim::Echo& echo = echoes[i];
        Expected event;
        event.sample = echo.delayNs / capture.nsPerSample;
        event.sign = echo.amplitude > 0 ? 1 : -1;
        double peak = 0;
        for (int k = 0; k < capture.samples; ++k) {
            const double t = k * capture.nsPerSample - echo.delayNs;
            if (t > capture.pulseNs + 5 * echo.smoothingNs)
                break;
            peak = std::max(peak, std::abs(echo.amplitude) * sim::PulseResponse(t, capture.pulseNs, echo.smoothingNs));
        }
        event.peakSteps = std::min(peak * gain, 128.0);
        const bool separate = echo.delayNs - previousDelay >= capture.pulseNs;
        const bool inside = echo.delayNs + capture.pulseNs < (capture.samples - 1) * capture.nsPerSample;
        event.required = separate && inside && event.peakSteps >= 3 * noiseSteps && echo.delayNs > 2 * capture.pulseNs;
        previousDelay = echo.delayNs;
        expected.push_back(event);
    }
    return expected;
}

struct Score {
    int found = 0;
    int missed = 0;
    int falseEvents = 0;
    double worstErrorMetres = 0;
    double worstErrorShare = 0; // of the allowed error
    QString details;

    void Add(const Score& other) {
        found += other.found;
        missed += other.missed;
        falseEvents = std::max(falseEvents, other.falseEvents);
        worstErrorMetres = std::max(worstErrorMetres, other.worstErrorMetres);
        worstErrorShare = std::max(worstErrorShare, other.worstErrorShare);
        details += other.details;
    }
};

// Allowed error of an event: one sample, or half a percent of its distance if more.
inline double Tolerance(double sample) {
    return std::max(1.0, 0.005 * sample);
}

// A found reflection matches an expected echo of its sign within the tolerance. A required
// echo without a match is missed; a reflection that matches no echo at all is false.
inline Score ScoreReport(const std::vector<Expected>& expected, const analysis::EventReport& report,
                         double metresPerSample) {
    Score score;
    std::vector<bool> used(report.reflections.size(), false);
    for (const Expected& event : expected) {
        int best = -1;
        for (std::size_t i = 0; i < report.reflections.size(); ++i) {
            const analysis::Reflection& found = report.reflections[i];
            if (found.sign != event.sign || std::abs(found.sample - event.sample) > Tolerance(event.sample))
                continue;
            if (best < 0 || std::abs(found.sample - event.sample) <
                                std::abs(report.reflections[static_cast<std::size_t>(best)].sample - event.sample))
                best = static_cast<int>(i);
        }
        if (best >= 0) {
            used[static_cast<std::size_t>(best)] = true;
            if (event.required) {
                ++score.found;
                const double error = std::abs(report.reflections[static_cast<std::size_t>(best)].sample - event.sample);
                score.worstErrorMetres = std::max(score.worstErrorMetres, error * metresPerSample);
                score.worstErrorShare = std::max(score.worstErrorShare, error / Tolerance(event.sample));
            }
        } else if (event.required) {
            ++score.missed;
            score.details += QStringLiteral("  missed %1 m sign %2 peak %3 steps\n")
                                 .arg(event.sample * metresPerSample, 0, 'f', 2)
                                 .arg(event.sign)
                                 .arg(event.peakSteps, 0, 'f', 1);
        }
    }
    for (std::size_t i = 0; i < report.reflections.size(); ++i) {
        if (!used[i]) {
            ++score.falseEvents;
            score.details += QStringLiteral("  false %1 m sign %2 amplitude %3\n")
                                 .arg(report.reflections[i].sample * metresPerSample, 0, 'f', 2)
                                 .arg(report.reflections[i].sign)
                                 .arg(report.reflections[i].amplitude, 0, 'f', 1);
        }
    }
    return score;
}

} // namespace event_score
