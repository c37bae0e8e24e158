#pragma once

// Scores the fault finder against what the simulated board's cable model put into a trace.

#include "analysis/EventFinder.h"
#include "sim/CableModel.h"
#include "sim/Receiver.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace event_score {

// How a full-length trace of one line was taken.
struct Capture {
    double nsPerSample = 1.25;
    double pulseNs = 100;
    int gainCode = 100;
    int averaging = 1;
    int samples = 8000;
    sim::ReceiverTraits traits;
};

// One echo of the cable model as the trace shows it.
struct Expected {
    double sample = 0; // leading edge
    int sign = 0;
    double peakSteps = 0; // the highest the echo alone rises in the noiseless trace
    bool required = false;
    int repeatOf = -1;  // a repeat echo: the index (in the expected list) of the echo it repeats
    int sectionOf = -1; // the index of the echo less than a pulse before it: the two edges of a
                        // section shorter than the pulse, which a pulse reflectometer sees as one
};

// A formed trace's bytes as the signed converter values the fault finder takes.
inline std::vector<double> SignedSamples(const QByteArray& bytes) {
    std::vector<double> values;
    for (const char b : bytes)
        values.push_back(static_cast<signed char>(b));
    return values;
}

// The trace's noise in converter steps: the board's noise after averaging and gain, with the
// converter's quantisation.
inline double NoiseSteps(double boardNoise, const Capture& capture) {
    const double input = std::hypot(boardNoise, capture.traits.correlatedNoise);
    const double noise =
        input / std::sqrt(static_cast<double>(capture.averaging)) * sim::GainStepsPerUnit(capture.gainCode);
    // The converter's step bounds what can be told from noise: never below half a step.
    return std::max(std::sqrt(noise * noise + 1.0 / 12.0), 0.5);
}

// The trace without noise, as the converter gives it (clipping and the receiver's recovery
// from it included).
inline std::vector<double> NoiselessTrace(const sim::CableModel& cable, const Capture& capture) {
    std::mt19937 unused(1);
    sim::ReceiverTraits traits;
    traits.clipRecoveryNs = capture.traits.clipRecoveryNs;
    const auto step = static_cast<std::int64_t>(std::lround(capture.nsPerSample / sim::kBaseSampleNs));
    const QByteArray bytes =
        sim::FormTrace(cable, sim::Path::Direct, {0, step, capture.samples},
                       {capture.pulseNs, capture.averaging, capture.gainCode, 0.0, traits}, unused);
    return SignedSamples(bytes);
}

// Every echo after the launch pulse, repeats included. Required: an echo of its own (not a
// repeat) that reaches three times the noise, starts after the launch pulse has ended, is not
// closer to the previous echo than one pulse width (no pulse reflectometer resolves that),
// does not arrive while the trace is clipped or coming back from it, and whose pulse lies
// within the trace.
inline std::vector<Expected> ExpectedEvents(const sim::CableModel& cable, const Capture& capture, double noiseSteps) {
    std::vector<Expected> expected;
    const std::vector<sim::Echo>& echoes = cable.Echoes(sim::Path::Direct);
    const double gain = sim::GainStepsPerUnit(capture.gainCode);
    const std::vector<double> noiseless = NoiselessTrace(cable, capture);
    const int pulseSamples = std::max(1, static_cast<int>(std::lround(capture.pulseNs / capture.nsPerSample)));
    double previousDelay = 0; // the launch pulse
    int previous = -1;
    for (std::size_t i = 1; i < echoes.size(); ++i) {
        const sim::Echo& echo = echoes[i];
        Expected event;
        event.sample = echo.delayNs / capture.nsPerSample;
        event.sign = echo.amplitude > 0 ? 1 : -1;
        event.repeatOf = echo.repeatOf >= 1 ? echo.repeatOf - 1 : -1;
        double peak = 0;
        for (int k = 0; k < capture.samples; ++k) {
            const double t = k * capture.nsPerSample - echo.delayNs;
            if (t > capture.pulseNs + 5 * echo.smoothingNs)
                break;
            peak = std::max(peak, std::abs(echo.amplitude) *
                                      sim::PulseResponse(t, capture.pulseNs, echo.smoothingNs, cable.Shape()));
        }
        event.peakSteps = std::min(peak * gain, 128.0);
        const bool separate = echo.delayNs - previousDelay >= capture.pulseNs;
        const bool inside = echo.delayNs + capture.pulseNs < (capture.samples - 1) * capture.nsPerSample;
        // Hidden when the trace is held at the limit the echo would take it towards, or at the
        // other limit for the whole of its pulse.
        const int at = static_cast<int>(event.sample);
        auto railOf = [&](int k) {
            const double v = noiseless[static_cast<std::size_t>(std::clamp(k, 0, capture.samples - 1))];
            return v >= 127 ? 1 : v <= -128 ? -1 : 0;
        };
        bool seen = railOf(at) != event.sign && railOf(at - 1) != event.sign;
        if (seen && railOf(at) == -event.sign) {
            seen = false;
            for (int k = at; k <= at + pulseSamples && !seen; ++k)
                seen = railOf(k) == 0;
        }
        event.required = echo.pass == 1 && separate && inside && seen && event.peakSteps >= 3 * noiseSteps &&
                         echo.delayNs > 2 * capture.pulseNs;
        event.sectionOf = !separate && echo.pass == 1 ? previous : -1;
        if (event.peakSteps >= 3 * noiseSteps) {
            previousDelay = echo.delayNs;
            previous = echo.pass == 1 ? static_cast<int>(expected.size()) : -1;
        }
        expected.push_back(event);
    }
    return expected;
}

struct Score {
    int found = 0;
    int missed = 0;
    int falseEvents = 0;
    int repeatsFound = 0; // found reflections that are repeat echoes
    int repeatsNamed = 0; // of these, those the finder named as repeats
    bool endRight = true; // the likely-end mark is on the line's end or its worst fault
    bool endOnRepeat = false;
    bool endOnNothing = false; // the mark is on no echo at all (a trailing edge, a side lobe, noise)
    double worstErrorMetres = 0;
    double worstErrorShare = 0; // of the allowed error
    QString details;

    void Add(const Score& other) {
        found += other.found;
        missed += other.missed;
        falseEvents = std::max(falseEvents, other.falseEvents);
        repeatsFound += other.repeatsFound;
        repeatsNamed += other.repeatsNamed;
        worstErrorMetres = std::max(worstErrorMetres, other.worstErrorMetres);
        worstErrorShare = std::max(worstErrorShare, other.worstErrorShare);
        details += other.details;
    }
};

// Echoes at least this share of the highest count as the worst fault.
inline constexpr double kWorstShare = 0.5;

// Allowed error of an event: one sample, or half a percent of its distance if more.
inline double Tolerance(double sample) {
    return std::max(1.0, 0.005 * sample);
}

// Where the crew should be sent: the line's end (its own last echo), or its worst fault: an
// echo of its own that the trace shows at least half as high as the highest (echoes that
// clip all read alike, and so do echoes of about one size within the noise).
struct CrewTargets {
    int end = -1;
    std::vector<int> worst;
};

inline CrewTargets CrewTargetsOf(const std::vector<Expected>& expected) {
    CrewTargets targets;
    double highest = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].repeatOf >= 0)
            continue;
        targets.end = static_cast<int>(i);
        if (expected[i].required)
            highest = std::max(highest, expected[i].peakSteps);
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].repeatOf < 0 && expected[i].required && expected[i].peakSteps >= kWorstShare * highest)
            targets.worst.push_back(static_cast<int>(i));
    }
    // A section shorter than the pulse is one fault: its far edge is as good a place as its near one.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::find(targets.worst.begin(), targets.worst.end(), expected[i].sectionOf) != targets.worst.end())
            targets.worst.push_back(static_cast<int>(i));
    }
    return targets;
}

// A found reflection matches an expected echo of its sign within the tolerance. A required
// echo without a match is missed; a reflection that matches no echo at all is false.
inline Score ScoreReport(const std::vector<Expected>& expected, const analysis::EventReport& report,
                         double metresPerSample) {
    Score score;
    std::vector<bool> used(report.reflections.size(), false);
    std::vector<int> matchOf(report.reflections.size(), -1);
    // An echo of its own is matched before a repeat that arrives at the same time.
    std::vector<std::size_t> order;
    for (const bool repeats : {false, true})
        for (std::size_t e = 0; e < expected.size(); ++e)
            if ((expected[e].repeatOf >= 0) == repeats)
                order.push_back(e);
    for (const std::size_t e : order) {
        const Expected& event = expected[e];
        int best = -1;
        for (std::size_t i = 0; i < report.reflections.size(); ++i) {
            const analysis::Reflection& found = report.reflections[i];
            if (used[i] || found.sign != event.sign || std::abs(found.sample - event.sample) > Tolerance(event.sample))
                continue;
            if (best < 0 || std::abs(found.sample - event.sample) <
                                std::abs(report.reflections[static_cast<std::size_t>(best)].sample - event.sample))
                best = static_cast<int>(i);
        }
        if (best >= 0) {
            used[static_cast<std::size_t>(best)] = true;
            matchOf[static_cast<std::size_t>(best)] = static_cast<int>(e);
            if (event.repeatOf >= 0) {
                ++score.repeatsFound;
                score.repeatsNamed += report.reflections[static_cast<std::size_t>(best)].repeatOf > 0 ? 1 : 0;
            }
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

    // The mark is right on the line's end (when the finder found it) or on its worst fault; with
    // neither shown, only no mark is right.
    const CrewTargets targets = CrewTargetsOf(expected);
    int marked = -1;
    for (std::size_t i = 0; i < report.reflections.size(); ++i)
        marked = report.reflections[i].likelyEnd ? static_cast<int>(i) : marked;
    const bool endShown = targets.end >= 0 && (expected[static_cast<std::size_t>(targets.end)].required ||
                                               std::find(matchOf.begin(), matchOf.end(), targets.end) != matchOf.end());
    if (marked < 0) {
        score.endRight = !endShown && targets.worst.empty();
    } else {
        const int echo = matchOf[static_cast<std::size_t>(marked)];
        score.endOnNothing = echo < 0;
        score.endOnRepeat = echo >= 0 && expected[static_cast<std::size_t>(echo)].repeatOf >= 0;
        score.endRight = echo >= 0 && (echo == targets.end || std::find(targets.worst.begin(), targets.worst.end(),
                                                                        echo) != targets.worst.end());
    }
    if (!score.endRight) {
        score.details +=
            QStringLiteral("  likely end%1 at %2 m, ")
                .arg(score.endOnRepeat ? QStringLiteral(" on a repeat") : QString())
                .arg(marked < 0 ? -1.0 : report.reflections[static_cast<std::size_t>(marked)].sample * metresPerSample,
                     0, 'f', 2);
        std::vector<int> wanted = targets.worst;
        wanted.insert(wanted.begin(), targets.end);
        for (const int target : wanted)
            if (target >= 0)
                score.details +=
                    QStringLiteral("wanted %1 m ")
                        .arg(expected[static_cast<std::size_t>(target)].sample * metresPerSample, 0, 'f', 2);
        score.details += QStringLiteral("\n");
    }
    return score;
}

} // namespace event_score
