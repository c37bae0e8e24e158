#include "sim/BoardModel.h"
#include "sim/Receiver.h"

#include "SimTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using simtest::LeadingEdge;
using simtest::MeasureFirstLine;
using simtest::TaskFields;

namespace {

// Base sample of an echo from `distance` metres: 0.125 m per base sample at KU 1.5.
double BaseSampleAt(double distance, double ku = 1.5) {
    return distance / (0.125 * 1.5 / ku);
}

sim::Scenario SeededDefault(std::uint32_t seed = 5) {
    sim::Scenario scenario = sim::Scenario::Default();
    scenario.seed = seed;
    return scenario;
}

// A clean, narrow look at one line: 10 ns pulse, 128 averages, full time resolution.
TaskFields CloseLook(int line, std::int64_t firstBaseSample, int gain) {
    TaskFields task;
    task.generator = task.receiver = line;
    task.pulseCode = 1;
    task.averaging = 128;
    task.gain = gain;
    task.decimation = 0;
    task.StartingAt(firstBaseSample);
    return task;
}

double Deviation(const std::vector<int>& samples) {
    const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
    double sum = 0;
    for (const int s : samples)
        sum += (s - mean) * (s - mean);
    return std::sqrt(sum / (samples.size() - 1));
}

int Extreme(const std::vector<int>& samples, std::size_t from, std::size_t to, int sign) {
    int best = 0;
    for (std::size_t i = from; i < to && i < samples.size(); ++i)
        best = std::max(best, sign * samples[i]);
    return sign * best;
}

} // namespace

TEST(TraceGeometry, SampleKIsBaseSampleStartPlusKSteps) {
    // Line 2's short seen through two different windows lands on the same base sample.
    sim::BoardModel board(SeededDefault());
    const double shortAt = BaseSampleAt(870);
    struct Window {
        std::int64_t first;
        int decimation;
    };
    for (const Window w : {Window{6800, 0}, Window{6000, 3}, Window{5500, 7}}) {
        TaskFields task = CloseLook(2, w.first, 200);
        task.decimation = w.decimation;
        task.pulseCode = 5; // wide enough to be seen at every step
        const std::vector<int> samples = MeasureFirstLine(board, task);
        ASSERT_EQ(samples.size(), 500u);
        const double edge = LeadingEdge(samples, -1);
        ASSERT_GE(edge, 0) << w.first;
        const double base = static_cast<double>(w.first) + edge * (w.decimation + 1);
        EXPECT_NEAR(base, shortAt, w.decimation + 1.0) << "window from " << w.first << " step " << w.decimation + 1;
    }
}

TEST(TracePhysics, EchoesStartWhereTheirDiscontinuitiesAre) {
    struct Case {
        const char* what;
        int line;
        double distance;
        int sign;
    };
    for (const Case c : {Case{"splice", 1, 310, +1}, Case{"wet section", 1, 610, -1}, Case{"open end", 1, 1234, +1},
                         Case{"short", 2, 870, -1}}) {
        sim::BoardModel board(SeededDefault());
        const double expected = BaseSampleAt(c.distance);
        const auto first = static_cast<std::int64_t>(expected) - 100;
        const std::vector<int> samples = MeasureFirstLine(board, CloseLook(c.line, first, 200));
        ASSERT_EQ(samples.size(), 500u) << c.what;
        const double edge = LeadingEdge(samples, c.sign);
        ASSERT_GE(edge, 0) << c.what;
        EXPECT_NEAR(static_cast<double>(first) + edge, expected, 1.0) << c.what;
    }
}

TEST(TracePhysics, OpenEndEchoesPositiveShortNegative) {
    // Whole lines at the program's usual settings: 50 ns, gain 100, 2 m a sample.
    sim::BoardModel board(SeededDefault());
    TaskFields task;
    task.generator = task.receiver = 3;
    task.decimation = 15;
    task.averaging = 16;
    ASSERT_EQ(board.Handle(task.Frame())->bytes, ":OK");
    const QByteArray reply = board.Handle(simtest::kZ)->bytes;
    const std::vector<int> first = simtest::Samples(reply, 0, 500);
    const std::vector<int> second = simtest::Samples(reply, 502, 500);
    const auto index = [](double distance) { return static_cast<std::size_t>(BaseSampleAt(distance) / 16); };

    // Line 1 runs to 1234 m, beyond this window's 1000 m: look at it further out.
    task.generator = task.receiver = 1;
    task.StartingAt(static_cast<std::int64_t>(BaseSampleAt(1000)));
    const std::vector<int> end = MeasureFirstLine(board, task);
    const std::size_t endIndex = static_cast<std::size_t>((BaseSampleAt(1234) - BaseSampleAt(1000)) / 16);
    EXPECT_GT(Extreme(end, endIndex, endIndex + 10, +1), 20);
    EXPECT_GT(Extreme(end, endIndex, endIndex + 10, -1), -5);

    EXPECT_LT(Extreme(second, index(870), index(870) + 10, -1), -20);
    EXPECT_LT(Extreme(second, index(870), index(870) + 10, +1), 5);

    // The launch pulse saturates at this gain; the echoes do not.
    EXPECT_TRUE(first[0] == 127 || first[1] == 127);
    for (std::size_t i = index(100); i < 500; ++i) {
        EXPECT_LT(std::abs(first[i]), 127) << i;
        EXPECT_LT(std::abs(second[i]), 127) << i;
    }
}

TEST(TracePhysics, WetSectionDipsAndComesBack) {
    sim::BoardModel board(SeededDefault());
    TaskFields task = CloseLook(1, static_cast<std::int64_t>(BaseSampleAt(600)), 160);
    task.pulseCode = 2;
    task.averaging = 64;
    const std::vector<int> samples = MeasureFirstLine(board, task);
    ASSERT_EQ(samples.size(), 500u);
    const auto index = [](double distance) { return static_cast<std::size_t>(BaseSampleAt(distance - 600)); };
    // Down at its start, back up at its end, each well clear of the noise.
    const int dip = Extreme(samples, index(610), index(615), -1);
    const int rise = Extreme(samples, index(640), index(645), +1);
    EXPECT_LT(dip, -20);
    EXPECT_GT(rise, 10);
    EXPECT_GT(Extreme(samples, 0, index(609), -1), dip / 4); // quiet before it
    const std::size_t lowest =
        static_cast<std::size_t>(std::min_element(samples.begin(), samples.end()) - samples.begin());
    const std::size_t highest =
        static_cast<std::size_t>(std::max_element(samples.begin(), samples.end()) - samples.begin());
    EXPECT_LT(lowest, highest);
}

TEST(TracePhysics, LaunchPulseHasThePulseWidth) {
    sim::BoardModel board(SeededDefault());
    for (const int pulse : {1, 5, 20, 50}) {
        for (const int gain : {0, 100}) {
            TaskFields task = CloseLook(1, 0, gain);
            task.pulseCode = pulse;
            const std::vector<int> samples = MeasureFirstLine(board, task);
            ASSERT_EQ(samples.size(), 500u);
            const int top = *std::max_element(samples.begin(), samples.end());
            const auto high = std::count_if(samples.begin(), samples.end(), [&](int s) { return s > top / 2; });
            // width in base samples: 10 ns per code, 1.25 ns a sample
            EXPECT_NEAR(static_cast<double>(high), pulse * 10 / 1.25, 2.0) << pulse << " " << gain;
            if (gain == 0)
                EXPECT_LT(top, 127); // low gain shows the pulse's real height
            else
                EXPECT_EQ(top, 127); // the usual gain saturates on it
        }
    }
}

TEST(TracePhysics, NoiseFallsAsTheSquareRootOfAveraging) {
    // Far beyond both lines' ends only noise is left.
    sim::BoardModel board(SeededDefault());
    auto deviation = [&](int averaging) {
        std::vector<int> all;
        for (int repeat = 0; repeat < 3; ++repeat) {
            TaskFields task = CloseLook(1, 40000, 200);
            task.averaging = averaging;
            const std::vector<int> samples = MeasureFirstLine(board, task);
            EXPECT_EQ(samples.size(), 500u);
            EXPECT_NEAR(std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size(), 0.0, 3.0);
            all.insert(all.end(), samples.begin(), samples.end());
        }
        return Deviation(all);
    };
    const double single = deviation(1);
    const double averaged = deviation(64);
    EXPECT_GT(averaged, 1.0); // still measurable after rounding to whole steps
    EXPECT_NEAR(single / averaged, 8.0, 1.0);
}

TEST(TracePhysics, NoiseIsReproducibleWithASeedOnly) {
    TaskFields task = CloseLook(1, 40000, 200);
    auto trace = [&](std::optional<std::uint32_t> seed) {
        sim::Scenario scenario = sim::Scenario::Default();
        scenario.seed = seed;
        sim::BoardModel board(scenario);
        return MeasureFirstLine(board, task);
    };
    EXPECT_EQ(trace(11), trace(11));
    EXPECT_NE(trace(11), trace(12));
    EXPECT_NE(trace(std::nullopt), trace(std::nullopt));
}

TEST(TracePhysics, SplitPairModeShowsCrosstalkAndTheSplit) {
    sim::BoardModel board(SeededDefault());
    const double splitAt = BaseSampleAt(450);
    for (const auto& [generator, receiver] : {std::pair{2, 1}, {1, 2}}) {
        TaskFields task = CloseLook(receiver, 0, 100);
        task.generator = generator;
        task.pulseCode = 5;
        task.decimation = 7; // 1 m a sample, 0..500 m
        task.averaging = 32;
        const std::vector<int> split = MeasureFirstLine(board, task);
        ASSERT_EQ(split.size(), 500u);

        // A small near-end blip, not the saturated launch pulse of the normal mode.
        const int blip = Extreme(split, 0, 10, +1);
        EXPECT_GT(blip, 5);
        EXPECT_LT(blip, 127);

        // A clear echo starting at the split.
        const auto from = static_cast<std::size_t>(splitAt / 8) - 50;
        const std::vector<int> around(split.begin() + static_cast<std::ptrdiff_t>(from), split.end());
        const double edge = LeadingEdge(around, +1);
        ASSERT_GE(edge, 0);
        EXPECT_NEAR((static_cast<double>(from) + edge) * 8, splitAt, 8.0);

        // Much bigger than what the split shows in the normal mode.
        task.generator = receiver;
        const std::vector<int> normal = MeasureFirstLine(board, task);
        const std::size_t at = static_cast<std::size_t>(splitAt / 8);
        EXPECT_GT(Extreme(split, at, at + 30, +1), 4 * std::abs(Extreme(normal, at, at + 30, +1)) + 10);
    }
}

TEST(TracePhysics, ReceiverTraitsShowInTheTrace) {
    sim::Cable cable;
    cable.length = 300;
    const sim::CableModel model(cable, std::nullopt);
    const sim::SampleWindow window{0, 1, 8000};
    auto form = [&](const sim::ReceiverTraits& traits, double noise, int gain) {
        std::mt19937 random(7);
        const QByteArray bytes = sim::FormTrace(model, sim::Path::Direct, window, {50, 1, gain, noise, traits}, random);
        std::vector<double> values;
        for (const char b : bytes)
            values.push_back(static_cast<signed char>(b));
        return values;
    };
    auto railUntil = [](const std::vector<double>& values, int from) {
        while (from + 1 < static_cast<int>(values.size()) && values[static_cast<std::size_t>(from) + 1] >= 127)
            ++from;
        return from;
    };
    // The launch clips; a receiver that recovers slowly comes back from the limit slowly.
    sim::ReceiverTraits slow;
    slow.clipRecoveryNs = 100;
    const std::vector<double> quick = form({}, 0, 100);
    const std::size_t after = static_cast<std::size_t>(railUntil(quick, 1)) + 20;
    EXPECT_LT(quick[after], 5);
    EXPECT_GT(form(slow, 0, 100)[after], 50);

    // Correlated noise: neighbouring samples move together; white noise: they do not.
    auto neighbourCorrelation = [](const std::vector<double>& v) {
        double product = 0, square = 0;
        for (std::size_t i = 4000; i + 1 < 7000; ++i) {
            product += v[i] * v[i + 1];
            square += v[i] * v[i];
        }
        return product / square;
    };
    sim::ReceiverTraits correlated;
    correlated.correlatedNoise = 0.01;
    correlated.correlationNs = 20;
    EXPECT_GT(neighbourCorrelation(form(correlated, 0, 60)), 0.8);
    EXPECT_LT(std::abs(neighbourCorrelation(form({}, 0.01, 60))), 0.1);
}
