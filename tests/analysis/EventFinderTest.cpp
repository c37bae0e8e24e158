// The fault finder against traces formed by the simulated board's receiver model, over
// cables, ranges, pulses and noise with and without averaging.
#include "Cables.h"
#include "EventScore.h"

#include "analysis/EventFinder.h"
#include "sim/CableModel.h"
#include "sim/Receiver.h"
#include "sim/Scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

using event_score::Capture;

struct Case {
    const char* name;
    sim::Cable cable;
    std::optional<sim::PairSplit> split;
    double noise;
    int range; // 0..10: storage factor 2^(range - 4) from range 5 on
    double pulseNs;
    int gainCode;
    int averaging;
};

std::vector<Case> Cases() {
    const sim::Scenario standard = sim::Scenario::Default();
    std::vector<Case> cases;
    cases.push_back({"default line 1, 1000 m, 100 ns, averaging 16", standard.lines[0], standard.pairSplit,
                     standard.noise, 4, 100, 100, 16});
    cases.push_back({"default line 1, 2000 m, 200 ns, averaging 16", standard.lines[0], standard.pairSplit,
                     standard.noise, 5, 200, 100, 16});
    cases.push_back({"default line 2, 1000 m, 100 ns, averaging 4", standard.lines[1], standard.pairSplit,
                     standard.noise, 4, 100, 100, 4});
    cases.push_back({"short drop, 125 m, 10 ns, no averaging", cables::ShortDrop(), std::nullopt, 0.004, 1, 10, 60, 1});
    cases.push_back(
        {"long line, 8000 m, 1 us, averaging 64", cables::LongLine(), std::nullopt, 0.002, 7, 1000, 80, 64});
    cases.push_back({"noisy line, 500 m, 50 ns, no averaging", cables::NoisyLine(), std::nullopt, 0.01, 3, 50, 60, 1});
    return cases;
}

analysis::EventReport Analyse(const Case& c, std::mt19937& random, Capture& capture) {
    const int storageFactor = c.range >= 5 ? 1 << (c.range - 4) : 1;
    capture.nsPerSample = sim::kBaseSampleNs * storageFactor;
    capture.pulseNs = c.pulseNs;
    capture.gainCode = c.gainCode;
    capture.averaging = c.averaging;
    const sim::CableModel model(c.cable, c.split);
    const sim::SampleWindow window{0, storageFactor, capture.samples};
    const QByteArray bytes =
        sim::FormTrace(model, sim::Path::Direct, window, {c.pulseNs, c.averaging, c.gainCode, c.noise}, random);
    std::vector<double> values;
    for (const char b : bytes)
        values.push_back(static_cast<signed char>(b));
    return analysis::FindEvents(values, {capture.nsPerSample, c.pulseNs});
}

TEST(EventFinder, FindsTheModelsReflectionsOverManyTraces) {
    std::mt19937 random(20261208);
    event_score::Score total;
    for (const Case& c : Cases()) {
        event_score::Score caseScore;
        for (int trial = 0; trial < 10; ++trial) {
            Capture capture;
            const analysis::EventReport report = Analyse(c, random, capture);
            const sim::CableModel model(c.cable, c.split);
            const double noise = event_score::NoiseSteps(c.noise, capture);
            const auto expected = event_score::ExpectedEvents(model, capture, noise);
            const double metresPerSample = capture.nsPerSample * 0.15 / c.cable.ku;
            event_score::Score score = event_score::ScoreReport(expected, report, metresPerSample);
            EXPECT_LE(score.falseEvents, 1) << c.name << "\n" << score.details.toStdString();
            caseScore.Add(score);
        }
        std::printf("%s: found %d, missed %d, worst false %d, worst error %.2f m (%.2f of allowed)\n%s", c.name,
                    caseScore.found, caseScore.missed, caseScore.falseEvents, caseScore.worstErrorMetres,
                    caseScore.worstErrorShare, caseScore.details.toStdString().c_str());
        EXPECT_EQ(caseScore.missed, 0) << c.name;
        total.Add(caseScore);
    }
    EXPECT_GT(total.found, 0);
}

} // namespace
