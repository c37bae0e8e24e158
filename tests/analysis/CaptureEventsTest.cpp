// Fault finding on full-length captures taken by the whole program, driven by keys, from the
// simulated board: the reflections the board's cable model put into each capture are found
// with their signs, at their distances.
#include "Cables.h"
#include "EventScore.h"

#include "analysis/EventFinder.h"
#include "analysis/StoredTrace.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "scenario/Harness.h"
#include "tool/PelTool.h"
#include "ui/MainFrm.h"
#include "ui/PELView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

struct Settings {
    int range;
    int pulse;     // index
    int averaging; // index
    int gain;
    double ku;
};

struct ScenarioCase {
    const char* name;
    sim::Scenario scenario;
    Settings settings;
};

sim::Scenario OneLine(const sim::Cable& cable, double noise, std::uint32_t seed) {
    sim::Scenario scenario = sim::Scenario::Default();
    scenario.lines[0] = cable;
    scenario.pairSplit.reset();
    scenario.noise = noise;
    scenario.seed = seed;
    return scenario;
}

std::vector<ScenarioCase> Cases() {
    sim::Scenario standard = sim::Scenario::Default();
    standard.seed = 11;
    return {
        {"default scenario, 1000 m, 100 ns, averaging 16", standard, {4, 3, 4, 100, 1.5}},
        {"short drop, 125 m, 10 ns, no averaging", OneLine(cables::ShortDrop(), 0.004, 12), {1, 0, 0, 60, 1.5}},
        {"long line, 8000 m, 1 us, averaging 64", OneLine(cables::LongLine(), 0.002, 13), {7, 6, 6, 80, 1.52}},
        {"noisy line, 500 m, 50 ns, no averaging", OneLine(cables::NoisyLine(), 0.01, 14), {3, 2, 0, 60, 1.45}},
    };
}

class CaptureEvents : public ::testing::TestWithParam<int> {
protected:
    // Steps the selected parameter with the digit keys until `value` reads `target`.
    void StepTo(int softKey, const std::function<double()>& value, double target, double step) {
        h_->Tap(softKey);
        for (int guard = 0; guard < 400 && std::abs(value() - target) > step / 2; ++guard)
            h_->Tap(value() < target ? '1' : '7');
        ASSERT_NEAR(value(), target, step / 2);
    }

    // F11 and its question answered: the capture lands in "[save].pel".
    QString Capture() {
        const QString saved = h_->Doc().storageFolder + QStringLiteral("[save].pel");
        // The board's replies come at the line's pace; a reply cut by a stall under load is
        // refused by the program, and the operator saves again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            platform::DeleteFile(saved);
            h_->Tap(vk::kF11);
            if (h_->RunUntil([&] { return h_->App().IsInputEnabled() && platform::FileExists(saved); }, 30000))
                return saved;
            h_->RunUntil([&] { return h_->App().IsInputEnabled(); }, 15000);
        }
        return QString();
    }

    std::unique_ptr<Harness> h_;
};

TEST_P(CaptureEvents, FindsTheCablesReflections) {
    const ScenarioCase c = Cases()[static_cast<std::size_t>(GetParam())];
    h_ = std::make_unique<Harness>(QString(), c.scenario);
    h_->Tap(vk::kF5); // the measurement view
    ASSERT_EQ(h_->Frame().GetActiveView(), static_cast<CFormView*>(h_->Frame().pelView));
    CChannel& line = h_->Doc().ch[0];
    StepTo(
        vk::kF6, [&] { return line.scale.GetIndex(); }, c.settings.range, 1);
    StepTo(
        vk::kF6 + 1, [&] { return line.pulse.GetIndex(); }, c.settings.pulse, 1);
    StepTo(
        vk::kF6 + 2, [&] { return line.scale.vfactor.GetKU(); }, c.settings.ku, 0.001);
    StepTo(
        vk::kF6 + 3, [&] { return line.average.GetIndex(); }, c.settings.averaging, 1);
    StepTo(
        vk::kF10, [&] { return line.gain.GetIndex(); }, c.settings.gain, 1);

    const QString path = Capture();
    ASSERT_FALSE(path.isEmpty()) << "no capture saved";
    QString error;
    const auto trace = analysis::LoadStoredTrace(path, &error);
    ASSERT_TRUE(trace) << error.toStdString();
    EXPECT_EQ(trace->header.range, c.settings.range);
    EXPECT_EQ(trace->header.gain, c.settings.gain);
    EXPECT_EQ(trace->header.sampleCount, 8000);

    const analysis::EventReport report = analysis::FindEvents(trace->values, {trace->NsPerSample(), trace->PulseNs()});
    event_score::Capture capture;
    capture.nsPerSample = trace->NsPerSample();
    capture.pulseNs = trace->PulseNs();
    capture.gainCode = trace->header.gain;
    capture.averaging = trace->AverageCount();
    capture.samples = trace->header.sampleCount;
    const sim::CableModel model(c.scenario.lines[0], c.scenario.pairSplit);
    const auto expected =
        event_score::ExpectedEvents(model, capture, event_score::NoiseSteps(c.scenario.noise, capture));
    const analysis::SampleDistance distance(*trace, trace->KU());
    const event_score::Score score = event_score::ScoreReport(expected, report, distance.Metres(1.0));
    std::printf("%s: found %d, missed %d, false %d, worst error %.2f m (%.2f of allowed)\n%s", c.name, score.found,
                score.missed, score.falseEvents, score.worstErrorMetres, score.worstErrorShare,
                score.details.toStdString().c_str());
    int required = 0;
    for (const auto& event : expected)
        required += event.required ? 1 : 0;
    EXPECT_GT(required, 0);
    EXPECT_EQ(score.missed, 0);
    EXPECT_LE(score.falseEvents, 1);

    // The tool reports the same reflections, the furthest major one marked.
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(tool::RunPelTool({QStringLiteral("events"), path}, out, err), tool::kDone) << errText.toStdString();
    out.flush();
    ASSERT_FALSE(report.reflections.empty());
    for (const analysis::Reflection& reflection : report.reflections)
        EXPECT_TRUE(outText.contains(QString::number(distance.Metres(reflection.sample), 'f', 2)))
            << outText.toStdString();
    EXPECT_EQ(outText.count(QStringLiteral("likely end or fault")), 1) << outText.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CaptureEvents, ::testing::Range(0, 4));

} // namespace
