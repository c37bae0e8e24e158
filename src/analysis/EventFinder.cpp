#include "analysis/EventFinder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace analysis {

namespace {

// Rms of one step of a uniform quantiser: the least noise a converter trace can have.
constexpr double kQuantisationNoise = 0.2887;
// Share of the differences kept for the noise estimate, and the factor that restores the
// rms of a normal distribution cut at that quantile (|z| < 1.645).
constexpr double kKeptShare = 0.9;
constexpr double kTruncatedRms = 0.789;
// A reflection is detected where the pulse-long average exceeds this many of its own
// noise rms; the average must fall below half of it before the reflection ends.
constexpr double kDetectionRatio = 4.5;
constexpr double kMinimumThreshold = 0.5;
// A reflection rises at least this many times the noise, and at least this many converter
// steps: below that a slowly changing trace's quantisation stairs look alike.
constexpr double kMinimumNoiseRatio = 2.0;
constexpr double kMinimumSteps = 1.5;
// Major: at least this many times the noise, and this share of the largest reflection.
constexpr double kMajorNoiseRatio = 8.0;
constexpr double kMajorShare = 0.1;
constexpr int kMaxDetectionWindow = 64;
// A step is a trailing edge when one pulse width earlier there was an opposite step of at
// least this share of its size (a pulse that ends as another begins has both in one step,
// twice the size of the first).
constexpr double kMirroredShare = 0.6;
// A step that takes the trace no further than this many location thresholds beyond the
// level before the last reflection only brings the trace back.
constexpr double kReturnMargin = 1.5;
// The foot of a rise: where the slope has fallen to this share of its steepest.
constexpr double kFootSlopeShare = 0.3;
constexpr int kMaxLocationWindow = 9;
constexpr double kConverterHigh = 127;
constexpr double kConverterLow = -128;

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Centred moving average of `width` samples; near the ends the window shrinks.
std::vector<double> MovingAverage(const std::vector<double>& values, int width) {
    const int n = static_cast<int>(values.size());
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (int i = 0; i < n; ++i)
        prefix[static_cast<std::size_t>(i) + 1] =
            prefix[static_cast<std::size_t>(i)] + values[static_cast<std::size_t>(i)];
    std::vector<double> result(values.size(), 0.0);
    const int before = (width - 1) / 2;
    const int after = width - 1 - before;
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - before);
        const int to = std::min(n - 1, i + after);
        result[static_cast<std::size_t>(i)] =
            (prefix[static_cast<std::size_t>(to) + 1] - prefix[static_cast<std::size_t>(from)]) / (to - from + 1);
    }
    return result;
}

// The step detector: mean of the `width` samples from i on, less the mean of the `width`
// samples before i. Zero where either window would leave the trace.
std::vector<double> EdgeSteps(const std::vector<double>& values, int width) {
    const int n = static_cast<int>(values.size());
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (int i = 0; i < n; ++i)
        prefix[static_cast<std::size_t>(i) + 1] =
            prefix[static_cast<std::size_t>(i)] + values[static_cast<std::size_t>(i)];
    std::vector<double> result(values.size(), 0.0);
    for (int i = width; i + width <= n; ++i) {
        const double after = prefix[static_cast<std::size_t>(i + width)] - prefix[static_cast<std::size_t>(i)];
        const double before = prefix[static_cast<std::size_t>(i)] - prefix[static_cast<std::size_t>(i - width)];
        result[static_cast<std::size_t>(i)] = (after - before) / width;
    }
    return result;
}

// Mean of values[from..to); values[to] alone when the range is empty.
double MeanOf(const std::vector<double>& values, int from, int to) {
    if (to <= from)
        return values[static_cast<std::size_t>(std::min(to, static_cast<int>(values.size()) - 1))];
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += values[static_cast<std::size_t>(i)];
    return sum / (to - from);
}

// A run of the detection signal beyond the threshold with one sign.
struct Lobe {
    int first = 0;
    int last = 0;
    int sign = 0;
};

std::vector<Lobe> FindLobes(const std::vector<double>& detection, int from, double threshold) {
    std::vector<Lobe> lobes;
    const int n = static_cast<int>(detection.size());
    auto at = [&](int i) { return detection[static_cast<std::size_t>(i)]; };
    int i = from;
    while (i < n) {
        if (std::abs(at(i)) <= threshold) {
            ++i;
            continue;
        }
        Lobe lobe;
        lobe.sign = at(i) > 0 ? 1 : -1;
        const int floor = lobes.empty() ? from : lobes.back().last + 1;
        lobe.first = i;
        while (lobe.first - 1 >= floor && lobe.sign * at(lobe.first - 1) > threshold / 2)
            --lobe.first;
        lobe.last = i;
        while (lobe.last + 1 < n && lobe.sign * at(lobe.last + 1) > threshold / 2)
            ++lobe.last;
        lobes.push_back(lobe);
        i = lobe.last + 1;
    }
    return lobes;
}

// The fractional index, searching back from `peak` to `floor`, where `relative` last rose
// through `level`.
double CrossingBefore(const std::vector<double>& relative, int peak, int floor, double level) {
    for (int i = peak - 1; i >= floor; --i) {
        const double low = relative[static_cast<std::size_t>(i)];
        if (low < level) {
            const double high = relative[static_cast<std::size_t>(i) + 1];
            return high > low ? i + (level - low) / (high - low) : i;
        }
    }
    return floor;
}

} // namespace

double EstimateNoise(const std::vector<double>& samples, int from) {
    std::vector<double> steps;
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)) + 1; i < samples.size(); ++i)
        steps.push_back(std::abs(samples[i] - samples[i - 1]));
    if (steps.size() < 10)
        return kQuantisationNoise;
    std::sort(steps.begin(), steps.end());
    const std::size_t kept = static_cast<std::size_t>(static_cast<double>(steps.size()) * kKeptShare);
    double sum = 0;
    for (std::size_t i = 0; i < kept; ++i)
        sum += steps[i] * steps[i];
    const double stepRms = std::sqrt(sum / static_cast<double>(kept)) / kTruncatedRms;
    // The difference of two independent samples has twice the variance of one.
    return std::max(stepRms / std::sqrt(2.0), kQuantisationNoise);
}

EventReport FindEvents(const std::vector<double>& samples, const TraceGeometry& geometry) {
    EventReport report;
    const int n = static_cast<int>(samples.size());
    if (n == 0 || !(geometry.nsPerSample > 0))
        return report;

    const int pulse = std::max(1, static_cast<int>(std::lround(geometry.pulseNs / geometry.nsPerSample)));
    const int detectionWidth = std::clamp(pulse, 1, kMaxDetectionWindow);
    const int locationWidth = std::clamp((pulse / 8) | 1, 1, kMaxLocationWindow);
    const int slopeSpan = std::max(1, detectionWidth / 4);
    const int launchEnd = std::min(n, pulse + 1);

    report.noise = EstimateNoise(samples, launchEnd);
    report.baseline = Median(std::vector<double>(samples.begin() + launchEnd, samples.end()));
    std::vector<double> level(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        level[i] = samples[i] - report.baseline;
    for (int i = 0; i < launchEnd; ++i) {
        const double sample = samples[static_cast<std::size_t>(i)];
        report.launchAmplitude = std::max(report.launchAmplitude, std::abs(level[static_cast<std::size_t>(i)]));
        if (sample >= kConverterHigh || sample <= kConverterLow)
            report.launchClipped = true;
    }

    const std::vector<double> location = MovingAverage(level, locationWidth);
    const std::vector<double> steps = EdgeSteps(level, detectionWidth);
    // The step detector's noise: the difference of two means of `detectionWidth` samples.
    const double detectionThreshold =
        std::max(kDetectionRatio * report.noise * std::sqrt(2.0 / detectionWidth), kMinimumThreshold);
    const double locationThreshold =
        std::max(kDetectionRatio * report.noise / std::sqrt(locationWidth), kMinimumThreshold);

    // The launch pulse's tail: as long as it stands above the noise, nothing can be told apart.
    int tailEnd = launchEnd;
    while (tailEnd < n && std::abs(location[static_cast<std::size_t>(tailEnd)]) > locationThreshold)
        ++tailEnd;
    report.deadZone = std::min(n, tailEnd + detectionWidth);

    double largest = 0;
    std::vector<double> relative(samples.size(), 0.0);
    // The steps reported as reflections so far.
    struct Leading {
        int centre;
        double step;
        int sign;
        double level;
    };
    std::vector<Leading> reported;
    reported.reserve(steps.size());
    const Leading* lastReported = nullptr;
    for (const Lobe& lobe : FindLobes(steps, report.deadZone, detectionThreshold)) {
        int centre = lobe.first;
        for (int i = lobe.first; i <= lobe.last; ++i) {
            if (lobe.sign * steps[static_cast<std::size_t>(i)] > lobe.sign * steps[static_cast<std::size_t>(centre)])
                centre = i;
        }
        const double step = std::abs(steps[static_cast<std::size_t>(centre)]);

        // A pulse ends one pulse width after it began: a step of the opposite sign there is
        // an earlier step's trailing edge. So is a step soon after the last reflection that
        // only takes the trace back towards where it was before that reflection.
        // A pulse's trailing edge mirrors its leading edge one pulse width earlier.
        double mirrored = 0;
        const int tolerance = std::max(2, pulse / 8);
        for (int i = std::max(0, centre - pulse - tolerance); i <= std::min(n - 1, centre - pulse + tolerance); ++i)
            mirrored = std::max(mirrored, -lobe.sign * steps[static_cast<std::size_t>(i)]);
        const bool pulseEnd = mirrored >= kMirroredShare * step;
        if (pulseEnd)
            continue;
        if (lastReported != nullptr && lastReported->sign == -lobe.sign &&
            centre <= lastReported->centre + pulse + 2 * detectionWidth) {
            double beyond = 0;
            for (int i = lobe.first; i <= std::min(n - 1, lobe.last + detectionWidth); ++i)
                beyond = std::max(beyond, lobe.sign * (location[static_cast<std::size_t>(i)] - lastReported->level));
            if (beyond < kReturnMargin * locationThreshold)
                continue;
        }

        // The rise: its steepest point, then back to its foot, where the trace's slope drops
        // below a third of that. The level at the foot is what the reflection is measured
        // from, so that an edge on the tail of an earlier reflection is measured from that tail.
        const int searchFrom = std::max(tailEnd + 1, centre - detectionWidth);
        const int searchTo = std::min(n - 2, centre + pulse);
        int peak = searchFrom;
        int steepest = searchFrom;
        for (int i = searchFrom; i <= searchTo; ++i) {
            if (lobe.sign * location[static_cast<std::size_t>(i)] >
                lobe.sign * location[static_cast<std::size_t>(peak)])
                peak = i;
        }
        auto slope = [&](int i) {
            const int from = std::max(0, i - slopeSpan);
            const int to = std::min(n - 1, i + slopeSpan);
            return lobe.sign * (location[static_cast<std::size_t>(to)] - location[static_cast<std::size_t>(from)]) /
                   (to - from);
        };
        for (int i = searchFrom; i <= peak; ++i) {
            if (slope(i) > slope(steepest))
                steepest = i;
        }
        const double steepestSlope = slope(steepest);
        int foot = steepest;
        const int footLimit = std::max(tailEnd, centre - 2 * detectionWidth);
        while (foot > footLimit && slope(foot) > kFootSlopeShare * steepestSlope)
            --foot;
        // A trace that was rising just as steeply long before is bending (the tail of an
        // earlier reflection), not starting a new rise.
        if (!(steepestSlope > 0) || slope(foot) > kFootSlopeShare * steepestSlope)
            continue;
        const double level = MeanOf(location, std::max(tailEnd, foot - locationWidth), foot + 1);

        const int floor = foot;
        for (int i = floor; i <= peak; ++i)
            relative[static_cast<std::size_t>(i)] = lobe.sign * (location[static_cast<std::size_t>(i)] - level);
        const double amplitude = relative[static_cast<std::size_t>(peak)];
        if (amplitude < std::max(kMinimumNoiseRatio * report.noise, kMinimumSteps))
            continue;
        const double at80 = CrossingBefore(relative, peak, floor, 0.8 * amplitude);
        const double at20 = CrossingBefore(relative, peak, floor, 0.2 * amplitude);
        const double edge = std::max<double>(floor, at20 - (at80 - at20) / 3.0);

        Reflection reflection;
        reflection.sample = edge;
        reflection.sign = lobe.sign;
        reflection.amplitude = lobe.sign * amplitude;
        reflection.noiseRatio = amplitude / report.noise;
        largest = std::max(largest, amplitude);
        report.reflections.push_back(reflection);
        reported.push_back({centre, step, lobe.sign, level});
        lastReported = &reported.back();
    }

    Reflection* furthestMajor = nullptr;
    for (Reflection& reflection : report.reflections) {
        const double size = std::abs(reflection.amplitude);
        reflection.major = size >= kMajorNoiseRatio * report.noise && size >= kMajorShare * largest;
        if (reflection.major)
            furthestMajor = &reflection;
    }
    if (furthestMajor == nullptr && !report.reflections.empty()) {
        furthestMajor = &*std::max_element(
            report.reflections.begin(), report.reflections.end(),
            [](const Reflection& a, const Reflection& b) { return std::abs(a.amplitude) < std::abs(b.amplitude); });
    }
    if (furthestMajor != nullptr)
        furthestMajor->likelyEnd = true;
    return report;
}

} // namespace analysis
