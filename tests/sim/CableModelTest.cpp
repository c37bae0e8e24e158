#include "sim/CableModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

sim::Cable PlainCable(double length, sim::Termination termination) {
    sim::Cable cable;
    cable.ku = 1.5;
    cable.impedance = 100;
    cable.attenuation = 15;
    cable.length = length;
    cable.termination = termination;
    return cable;
}

double PeakOf(double widthNs, double smoothingNs) {
    double peak = 0;
    for (double t = 0; t < widthNs + 10 * smoothingNs; t += 0.25)
        peak = std::max(peak, sim::PulseResponse(t, widthNs, smoothingNs));
    return peak;
}

} // namespace

TEST(CableGeometry, EchoDelayIsTheRoundTripAtTheLinesVelocity) {
    // 0.125 m per 1.25 ns base sample at KU 1.5; proportionally less at a higher KU.
    EXPECT_DOUBLE_EQ(sim::EchoDelayNs(1234, 1.5) / sim::kBaseSampleNs, 9872.0);
    EXPECT_DOUBLE_EQ(sim::EchoDelayNs(100, 1.5) / sim::kBaseSampleNs, 800.0);
    EXPECT_DOUBLE_EQ(sim::EchoDelayNs(100, 2.0) / sim::kBaseSampleNs, 100 / (0.125 * 1.5 / 2.0));
}

TEST(CableReflections, EndsReflectByTheirImpedance) {
    struct Case {
        sim::Termination termination;
        double load;
        double reflection;
    };
    for (const Case c : {Case{sim::Termination::Open, 0, 1.0}, Case{sim::Termination::Short, 0, -1.0},
                         Case{sim::Termination::Load, 300, 0.5}, Case{sim::Termination::Load, 50, -1.0 / 3}}) {
        sim::Cable cable = PlainCable(500, c.termination);
        cable.loadResistance = c.load;
        const sim::CableModel model(cable, std::nullopt);
        const auto& echoes = model.Echoes(sim::Path::Direct);
        ASSERT_EQ(echoes.size(), 2u); // launch, end
        EXPECT_NEAR(echoes[1].amplitude, c.reflection, 1e-12);
        EXPECT_DOUBLE_EQ(echoes[1].delayNs, sim::EchoDelayNs(500, 1.5));
    }
    const sim::CableModel matched(PlainCable(500, sim::Termination::Matched), std::nullopt);
    EXPECT_EQ(matched.Echoes(sim::Path::Direct).size(), 1u); // only the launch pulse
}

TEST(CableReflections, FaultsReflectAndPassTheRestOn) {
    // A 50 ohm shunt across 100 ohm looks like 33.3 ohm: rho -1/2, and half the voltage goes
    // on, each way. A 100 ohm series resistance looks like 200 ohm: rho 1/3, 2/3 goes on.
    sim::Cable shunted = PlainCable(800, sim::Termination::Open);
    shunted.events = {{sim::CableEvent::Kind::Shunt, 200, 0, 0, 50}};
    const sim::CableModel shuntModel(shunted, std::nullopt);
    const auto& shunt = shuntModel.Echoes(sim::Path::Direct);
    ASSERT_EQ(shunt.size(), 3u);
    EXPECT_NEAR(shunt[1].amplitude, -0.5, 1e-12);
    EXPECT_NEAR(shunt[2].amplitude, 0.25, 1e-12);

    sim::Cable joint = PlainCable(800, sim::Termination::Short);
    joint.events = {{sim::CableEvent::Kind::Series, 200, 0, 0, 100}};
    const sim::CableModel seriesModel(joint, std::nullopt);
    const auto& series = seriesModel.Echoes(sim::Path::Direct);
    ASSERT_EQ(series.size(), 3u);
    EXPECT_NEAR(series[1].amplitude, 1.0 / 3, 1e-12);
    EXPECT_NEAR(series[2].amplitude, -4.0 / 9, 1e-12);
}

TEST(CableReflections, SectionsReflectAtBothEnds) {
    // 100 -> 60 ohm at the wet section: rho -1/4 there, +1/4 back; each passes 1 - rho^2 = 15/16.
    sim::Cable wet = PlainCable(1000, sim::Termination::Open);
    wet.events = {{sim::CableEvent::Kind::Wet, 300, 20, 60, 0}};
    const sim::CableModel echoesModel(wet, std::nullopt);
    const auto& echoes = echoesModel.Echoes(sim::Path::Direct);
    ASSERT_EQ(echoes.size(), 4u);
    EXPECT_NEAR(echoes[1].amplitude, -0.25, 1e-12);
    EXPECT_NEAR(echoes[2].amplitude, 0.25 * 15 / 16, 1e-12);
    EXPECT_NEAR(echoes[3].amplitude, 15.0 / 16 * 15 / 16, 1e-12);
    EXPECT_DOUBLE_EQ(echoes[2].delayNs - echoes[1].delayNs, sim::EchoDelayNs(20, 1.5));

    // A splice of no length is a lasting step: one echo, and the end reflects against 150 ohm.
    sim::Cable spliced = PlainCable(1000, sim::Termination::Load);
    spliced.loadResistance = 150;
    spliced.events = {{sim::CableEvent::Kind::Splice, 300, 0, 150, 0}};
    const sim::CableModel stepModel(spliced, std::nullopt);
    const auto& step = stepModel.Echoes(sim::Path::Direct);
    ASSERT_EQ(step.size(), 2u);
    EXPECT_NEAR(step[1].amplitude, 0.2, 1e-12);
}

TEST(CableDispersion, FurtherEchoesAreLowerAndWider) {
    sim::Cable cable = PlainCable(2000, sim::Termination::Open);
    cable.events = {{sim::CableEvent::Kind::Splice, 200, 0, 120, 0}, {sim::CableEvent::Kind::Splice, 1000, 0, 100, 0}};
    const sim::CableModel echoesModel(cable, std::nullopt);
    const auto& echoes = echoesModel.Echoes(sim::Path::Direct);
    ASSERT_EQ(echoes.size(), 4u);
    for (std::size_t i = 1; i + 1 < echoes.size(); ++i)
        EXPECT_LT(echoes[i].smoothingNs, echoes[i + 1].smoothingNs);
    // The same 50 ns pulse comes back lower from further away; a wider pulse keeps more height.
    EXPECT_GT(PeakOf(50, echoes[1].smoothingNs), PeakOf(50, echoes[2].smoothingNs));
    EXPECT_GT(PeakOf(50, echoes[2].smoothingNs), PeakOf(50, echoes[3].smoothingNs));
    EXPECT_GT(PeakOf(1000, echoes[3].smoothingNs), 5 * PeakOf(50, echoes[3].smoothingNs));
    // A loss-free line does not smooth.
    EXPECT_DOUBLE_EQ(sim::DispersionNs(2.0, 0.0), 0.0);
    EXPECT_GT(sim::DispersionNs(2.0, 30.0), sim::DispersionNs(2.0, 15.0));
}

TEST(CableDispersion, PulseResponseIsCausalAndKeepsItsArea) {
    EXPECT_EQ(sim::PulseResponse(-1.0, 50, 20), 0.0);
    EXPECT_EQ(sim::PulseResponse(0.0, 50, 20), 0.0);
    EXPECT_GT(sim::PulseResponse(0.5, 50, 20), 0.0);
    // Smoothing spreads the pulse but keeps its area (the low frequencies pass).
    for (const double smoothing : {1.0, 20.0, 300.0}) {
        double area = 0;
        const double step = 0.05;
        for (double t = step / 2; t < 50 + 30 * smoothing; t += step)
            area += sim::PulseResponse(t, 50, smoothing) * step;
        EXPECT_NEAR(area, 50.0, 0.1) << smoothing;
    }
}

TEST(CableReflections, AMismatchedOutputSendsRepeatEchoes) {
    sim::Cable cable = PlainCable(400, sim::Termination::Open);
    const sim::CableModel matched(cable, std::nullopt);
    EXPECT_EQ(matched.Echoes(sim::Path::Direct).size(), 2u); // launch and end

    cable.matching = 50; // rho = (50 - 100) / (50 + 100) = -1/3
    const sim::CableModel model(cable, std::nullopt);
    EXPECT_DOUBLE_EQ(model.OutputReflection(), -1.0 / 3.0);
    const auto& echoes = model.Echoes(sim::Path::Direct);
    ASSERT_GE(echoes.size(), 4u);
    const sim::Echo& end = echoes[1];
    for (std::size_t k = 2; k < echoes.size(); ++k) {
        const sim::Echo& repeat = echoes[k];
        EXPECT_EQ(repeat.repeatOf, 1);
        EXPECT_DOUBLE_EQ(repeat.delayNs, repeat.pass * end.delayNs);
        EXPECT_NEAR(repeat.amplitude, std::pow(end.amplitude, repeat.pass) * std::pow(-1.0 / 3.0, repeat.pass - 1),
                    1e-12);
        EXPECT_GT(repeat.smoothingNs, echoes[k - 1].smoothingNs);
    }
}

TEST(CableDispersion, ShapedEdgesRiseInTheirTimeOvershootAndKeepTheArea) {
    const sim::EdgeShape shape(4.0, 0.2);
    const sim::EdgeShape::Response sharp = shape.ResponseFor(0.0);
    double peak = 0, tenth = -1, ninetieth = -1;
    for (double t = 0; t < 60; t += 0.01) {
        const double y = sim::EdgeShape::Step(t, sharp);
        peak = std::max(peak, y);
        tenth = tenth < 0 && y >= 0.1 ? t : tenth;
        ninetieth = ninetieth < 0 && y >= 0.9 ? t : ninetieth;
    }
    EXPECT_NEAR(peak, 1.2, 0.01);
    EXPECT_NEAR(ninetieth - tenth, 4.0, 0.4);
    EXPECT_NEAR(sim::EdgeShape::Step(200, sharp), 1.0, 1e-9);
    for (const double smoothing : {1.0, 40.0}) {
        double area = 0;
        for (double t = 0.025; t < 50 + 60 * smoothing; t += 0.05)
            area += sim::PulseResponse(t, 50, smoothing, shape) * 0.05;
        EXPECT_NEAR(area, 50.0, 0.1) << smoothing;
    }
}
