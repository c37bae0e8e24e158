#include "analysis/EventFinder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

namespace analysis {

namespace {

// Rms of one step of a uniform quantiser: the least noise a converter trace can have.
constexpr double kQuantisationNoise = 0.2887;
// Share of the differences kept for the noise estimate, and the factor that restores the
// rms of a normal distribution cut at that quantile (|z| < 1.645).
constexpr double kKeptShare = 0.9;
constexpr double kTruncatedRms = 0.789;
// The 20th percentile of |z| for a normal z, and the longest lag the noise is estimated over.
constexpr double kFifthOfNormalMagnitude = 0.2533;
constexpr int kMaxNoiseLag = 8;
// A step is detected where the step detector exceeds this many of its own noise rms (and
// at least kMinimumThreshold steps); it lasts until the detector falls below half of that.
constexpr double kDetectionRatio = 4.5;
constexpr double kMinimumThreshold = 0.5;
// A detector half as wide looks for reflections on the tail of another where the detector is
// at least this wide, and at this many of its own noise rms.
constexpr int kLeastShoulderWindow = 4;
constexpr double kShoulderDetectionRatio = 2.5 * kDetectionRatio;
// A reflection rises at least this many times the noise, and at least this many converter
// steps: below that a slowly changing trace's quantisation stairs look alike.
constexpr double kMinimumNoiseRatio = 2.0;
constexpr double kMinimumSteps = 1.5;
// Major: the step detector at least this many times its noise, and this share of the largest
// reflection.
constexpr double kMajorNoiseRatio = 6.0;
constexpr double kMajorShare = 0.1;
// A reflection at least this share of the largest is as bad a fault as the largest.
constexpr double kWorstFaultShare = 0.5;
// A step is a trailing edge when one pulse width earlier there was an opposite step of at
// least this share of its size (a pulse that ends as another begins has both in one step,
// twice the size of the first).
constexpr double kMirroredShare = 0.6;
// A step that takes the trace no further than this many location thresholds beyond the
// level before the last reflection only brings the trace back.
constexpr double kReturnMargin = 1.5;
// The foot of a rise: where the slope has fallen below this share of its steepest.
constexpr double kFootSlopeShare = 0.4;
// A dip in the slope shorter than half the slope's span is noise on one rise when the trace
// before it lies this many times the smoothed trace's noise lower.
constexpr double kFootLevelNoiseRatio = 3.0;
// A trend before a rise counts when it is this many times its noise.
constexpr double kTrendNoiseRatio = 3.0;
// The two points of a rise whose line is followed back to the foot's level.
constexpr double kLowShare = 0.1;
constexpr double kHighShare = 0.4;
constexpr int kMaxLocationWindow = 25;
// The rise fitted as a level and a ramp: over its samples up to this share of it (and, before
// its edge, as many as it takes from a tenth to four tenths), when they are at least this many;
// the ramp's start is searched in steps of this many samples. The trace before the start counts
// as still rising when its slope is this many standard errors.
constexpr double kKneeTopShare = 0.5;
constexpr int kLeastKneeSamples = 4;
constexpr double kKneeStep = 0.25;
constexpr double kRisingSignificance = 2.0;
// A swing right after a reflection that takes the trace no further than this share of it
// past its level before that reflection is its side lobe.
constexpr double kSideLobeShare = 0.4;
// A clipped echo's recovery swing may outgo the launch's own, as a share, by this much (the
// clipped launch was larger than it reads).
constexpr double kSwingMargin = 1.25;
// Side lobes come within the pulse and this long after the edge.
constexpr int kLeastRingSamples = 24;
// The longest the launch pulse's ringing is followed, in samples.
constexpr int kMostRingSamples = 64;
// Repeat echoes: up to this many passes, found within this many samples or this share of
// their distance.
constexpr int kMaxRepeatPass = 4;
constexpr double kRepeatToleranceSamples = 3;
constexpr double kRepeatToleranceShare = 0.01;
constexpr double kRepeatPulseShare = 4.0;
constexpr double kRepeatNoiseAllowance = 3.0;
constexpr double kRepeatSizeMargin = 1.3;
// The most an instrument's output reflects of a returning echo (a 2.5 : 1 mismatch).
constexpr double kMostOutputReflection = 0.5;
constexpr double kConverterHigh = 127;
constexpr double kConverterLow = -128;

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Rms of values around zero from the smallest kKeptShare of their magnitudes, scaled back to
// the rms of a normal distribution: edges and pulses among them do not count.
double TruncatedRms(std::vector<double> magnitudes) {
    if (magnitudes.empty())
        return 0.0;
    std::sort(magnitudes.begin(), magnitudes.end());
    const std::size_t kept =
        std::max<std::size_t>(1, static_cast<std::size_t>(static_cast<double>(magnitudes.size()) * kKeptShare));
    double sum = 0;
    for (std::size_t i = 0; i < kept; ++i)
        sum += magnitudes[i] * magnitudes[i];
    return std::sqrt(sum / static_cast<double>(kept)) / kTruncatedRms;
}

// Rms of values around zero from the lowest fifth of their magnitudes: robust while most of
// them belong to something else (the step detector is wide around every edge, and a long
// tail keeps it off zero).
double LowQuantileRms(const std::vector<double>& values, int from) {
    std::vector<double> magnitudes;
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)); i < values.size(); ++i)
        magnitudes.push_back(std::abs(values[i]));
    if (magnitudes.empty())
        return 0.0;
    const auto at = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 5);
    std::nth_element(magnitudes.begin(), at, magnitudes.end());
    return *at / kFifthOfNormalMagnitude;
}

// prefix[i] = values[0] + ... + values[i - 1].
std::vector<double> PrefixSums(const std::vector<double>& values) {
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i)
        prefix[i + 1] = prefix[i] + values[i];
    return prefix;
}

// Centred moving average of `width` samples; near the ends the window shrinks.
std::vector<double> MovingAverage(const std::vector<double>& values, int width) {
    const int n = static_cast<int>(values.size());
    const std::vector<double> prefix = PrefixSums(values);
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
    const std::vector<double> prefix = PrefixSums(values);
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

// A peak of the step detector.
struct Step {
    int centre = 0;
    int sign = 0;
    double size = 0;
};

// The detector's peaks: beyond the threshold, the largest of their sign within `width` / 2
// samples either side, and standing out by the threshold from the detector one window
// either side. An edge makes a peak one window wide at each side; a trace that keeps
// bending the same way (a long tail) makes a broad hump that does not stand out.
std::vector<Step> FindSteps(const std::vector<double>& detection, int from, double threshold, int width) {
    const int n = static_cast<int>(detection.size());
    auto at = [&](int i) { return detection[static_cast<std::size_t>(std::clamp(i, 0, n - 1))]; };
    const int separation = std::max(1, width / 2);
    std::vector<Step> steps;
    for (int i = std::max(from, 0); i < n; ++i) {
        if (std::abs(at(i)) <= threshold)
            continue;
        const int sign = at(i) > 0 ? 1 : -1;
        const double size = sign * at(i);
        bool largest = true;
        for (int j = std::max(0, i - separation); j <= std::min(n - 1, i + separation) && largest; ++j)
            largest = sign * at(j) < size || (sign * at(j) == size && j >= i);
        const double sides = std::max(sign * at(i - width), sign * at(i + width));
        if (largest && size - sides > threshold)
            steps.push_back({i, sign, size});
    }
    return steps;
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

// Where a rising curve crosses `level` on its way to relative[top]: where it crosses once, the
// crossing; where noise makes it cross back and forth, after as many samples as lie below the
// level (the last crossing alone would be late).
double CrossingOfRise(const std::vector<double>& relative, int top, double level) {
    const double last = CrossingBefore(relative, top, 0, level);
    int below = 0;
    for (int i = 0; i <= top; ++i)
        below += relative[static_cast<std::size_t>(i)] < level ? 1 : 0;
    if (below == 0 || std::abs(last - below) < 1.0)
        return last;
    return below - 0.5;
}

// A least-squares line y = level + slope * x through the points added to it.
class LineFit {
public:
    void Add(double x, double y) {
        n_ += 1;
        sumX_ += x;
        sumXX_ += x * x;
        sumY_ += y;
        sumXY_ += x * y;
        sumYY_ += y * y;
    }
    // False when the x do not spread (no slope can be told).
    bool Spread() const { return n_ * sumXX_ - sumX_ * sumX_ > 0; }
    double Slope() const { return (n_ * sumXY_ - sumX_ * sumY_) / (n_ * sumXX_ - sumX_ * sumX_); }
    double Level() const { return (sumY_ - Slope() * sumX_) / n_; }
    // The sum of the squared distances of the points from the line.
    double Residual() const { return sumYY_ - Slope() * sumXY_ - Level() * sumY_; }

private:
    double n_ = 0, sumX_ = 0, sumXX_ = 0, sumY_ = 0, sumXY_ = 0, sumYY_ = 0;
};

// The start of a rise in `values` fitted, by least squares, as a level followed by a straight
// ramp; searched from `from` to `to` in steps of kKneeStep.
double FitKnee(const std::vector<double>& values, double from, double to) {
    double best = from;
    double leastResidual = std::numeric_limits<double>::infinity();
    for (double start = from; start <= to; start += kKneeStep) {
        LineFit fit;
        for (std::size_t i = 0; i < values.size(); ++i)
            fit.Add(std::max(0.0, static_cast<double>(i) - start), values[i]);
        if (fit.Spread() && fit.Slope() > 0 && fit.Residual() < leastResidual) {
            leastResidual = fit.Residual();
            best = start;
        }
    }
    return best;
}

// Whether values[0..count) still rise: their fitted slope is kRisingSignificance standard errors
// above zero for white noise of `noise` rms.
bool StillRising(const std::vector<double>& values, int count, double noise) {
    if (count < kLeastKneeSamples)
        return false;
    LineFit fit;
    for (int i = 0; i < count; ++i)
        fit.Add(i, values[static_cast<std::size_t>(i)]);
    const double standardError = noise * std::sqrt(12.0 / (static_cast<double>(count) * count * count));
    return fit.Slope() > kRisingSignificance * standardError;
}

} // namespace

double EstimateNoise(const std::vector<double>& samples, int from) {
    // Noise that is not white (correlated from sample to sample, as on an oversampled trace)
    // looks smaller in the differences of neighbours than it is: the differences over a few
    // lags are taken too, and the largest estimate wins. Slow changes (tails, drift) add little
    // over so short a lag.
    double estimate = kQuantisationNoise;
    for (int lag = 1; lag <= kMaxNoiseLag; lag *= 2) {
        std::vector<double> steps;
        for (std::size_t i = static_cast<std::size_t>(std::max(from, 0) + lag); i < samples.size(); ++i)
            steps.push_back(std::abs(samples[i] - samples[i - static_cast<std::size_t>(lag)]));
        if (steps.size() < 10)
            break;
        // The difference of two independent samples has twice the variance of one.
        estimate = std::max(estimate, TruncatedRms(std::move(steps)) / std::sqrt(2.0));
    }
    return estimate;
}

namespace {

// What the trace does around one step: where the rise starts, how high it goes, and the
// level it starts from.
struct Rise {
    double edge = 0;
    double amplitude = 0;
    double level = 0;
};

// The pulse width in samples: at least one, at most the trace.
int PulseSamples(const TraceGeometry& geometry, int samples) {
    const double width = std::min(geometry.pulseNs / geometry.nsPerSample, static_cast<double>(samples));
    return std::max(1, static_cast<int>(std::lround(width)));
}

// The finder's view of one trace: the signals it works on, computed once.
class Finder {
public:
    Finder(const std::vector<double>& samples, const TraceGeometry& geometry)
        : samples_(samples), n_(static_cast<int>(samples.size())), pulse_(PulseSamples(geometry, n_)),
          detectionWidth_(std::clamp(pulse_, 1, std::max(1, n_ / 8))),
          locationWidth_(std::clamp((pulse_ / 8) | 1, 1, kMaxLocationWindow)),
          slopeSpan_(std::max(1, detectionWidth_ / 4)), launchEnd_(std::min(n_, pulse_ + 1)) {}

    EventReport Run() {
        MeasureLaunch();
        for (const Step& step : CandidateSteps()) {
            if (IsTrailingEdge(step))
                continue;
            leading_.push_back(step);
            if (OnlyReturns(step) || PartOfClippedReflection(step))
                continue;
            const std::optional<Rise> rise = MeasureRise(step.sign, step.centre);
            if (!rise || rise->amplitude < std::max(kMinimumNoiseRatio * report_.noise, kMinimumSteps) ||
                IsSideLobe(step) || MirrorsAReflection(step, *rise) || AlreadyListed(step.sign, rise->edge))
                continue;
            Reflection reflection;
            reflection.sample = rise->edge;
            reflection.sign = step.sign;
            reflection.amplitude = step.sign * rise->amplitude;
            reflection.noiseRatio = rise->amplitude / report_.noise;
            report_.reflections.push_back(reflection);
            reported_.push_back(
                {step.centre, rise->level, ClippedUntil(step), step.size / detectorNoise_, MaySwingBack(step)});
        }
        for (const Reflection& reflection : report_.reflections)
            largest_ = std::max(largest_, std::abs(reflection.amplitude));
        MarkRepeats();
        MarkLikelyEnd();
        return report_;
    }

private:
    struct Reported {
        int centre;
        double level;      // the trace's level before the reflection
        int clippedUntil;  // the last sample of its clipped stretch, -1 when it did not clip
        double standing;   // the step detector's peak in multiples of the detector's noise
        bool maySwingBack; // it may be the receiver coming back from an earlier clipped reflection
    };

    static double At(const std::vector<double>& values, int i) { return values[static_cast<std::size_t>(i)]; }

    // Whether sample i holds the trace at the converter's limit in the direction of `sign`.
    bool AtLimit(int i, int sign) const {
        return sign > 0 ? At(samples_, i) >= kConverterHigh : At(samples_, i) <= kConverterLow;
    }

    // The rms of a step detector `width` samples wide: the difference of two means of `width`
    // samples of white noise, or what the detector itself shows where the noise is not white.
    double DetectorNoise(const std::vector<double>& detector, int width) const {
        return std::max(report_.noise * std::sqrt(2.0 / width), LowQuantileRms(detector, launchEnd_));
    }

    // The step detector's peaks, in order. A reflection that arrives on the tail of an earlier
    // one, within a window of it, shows on the detector only as a shoulder of that tail's
    // hump: a detector half as wide, with a stricter threshold for its larger noise, finds it
    // as a peak of its own. Such a peak more than a window from every peak of the detector
    // counts where the detector itself is beyond its threshold there.
    std::vector<Step> CandidateSteps() const {
        std::vector<Step> steps = FindSteps(steps_, report_.deadZone, detectionThreshold_, detectionWidth_);
        const int half = detectionWidth_ / 2;
        if (half < kLeastShoulderWindow)
            return steps;
        const std::vector<double> narrow = EdgeSteps(level_, half);
        const double threshold = std::max(kShoulderDetectionRatio * DetectorNoise(narrow, half), kMinimumThreshold);
        const std::size_t found = steps.size();
        for (Step shoulder : FindSteps(narrow, report_.deadZone, threshold, half)) {
            const bool apart =
                std::none_of(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(found), [&](const Step& step) {
                    return std::abs(step.centre - shoulder.centre) <= detectionWidth_;
                });
            shoulder.size = shoulder.sign * At(steps_, shoulder.centre);
            if (apart && shoulder.size > detectionThreshold_)
                steps.push_back(shoulder);
        }
        std::sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.centre < b.centre; });
        return steps;
    }

    // Noise, resting level, the launch pulse and its tail, and the signals that follow from them.
    void MeasureLaunch() {
        report_.noise = EstimateNoise(samples_, launchEnd_);
        report_.baseline = Median(std::vector<double>(samples_.begin() + launchEnd_, samples_.end()));
        level_.resize(samples_.size());
        for (std::size_t i = 0; i < samples_.size(); ++i)
            level_[i] = samples_[i] - report_.baseline;
        double launchSigned = 0; // the launch pulse's largest sample, with its sign
        for (int i = 0; i < launchEnd_; ++i) {
            if (std::abs(At(level_, i)) > std::abs(launchSigned))
                launchSigned = At(level_, i);
            if (AtLimit(i, 1) || AtLimit(i, -1))
                report_.launchClipped = true;
        }
        report_.launchAmplitude = std::abs(launchSigned);
        location_ = MovingAverage(level_, locationWidth_);
        steps_ = EdgeSteps(level_, detectionWidth_);
        detectorNoise_ = DetectorNoise(steps_, detectionWidth_);
        // The smoothed trace's level is one of the two means a detector as wide subtracts.
        locationNoise_ = DetectorNoise(EdgeSteps(level_, locationWidth_), locationWidth_) / std::sqrt(2.0);
        detectionThreshold_ = std::max(kDetectionRatio * detectorNoise_, kMinimumThreshold);
        locationThreshold_ = std::max(kDetectionRatio * locationNoise_, kMinimumThreshold);

        // As long as the launch pulse's tail is still falling (or rising) faster than the
        // noise, nothing can be told apart.
        tailEnd_ = StillFrom(launchEnd_);
        // The launch pulse's edges ring, and every echo's do alike: the detector swings through
        // zero between the lobes and back above the threshold, each lobe smaller than the one
        // before, until the ringing has died away. A lobe larger than the one before it is an
        // echo arriving.
        int ringing = tailEnd_;
        double previousLobe = std::numeric_limits<double>::infinity();
        double lobe = 0;
        int lobeSign = 0;
        int wholeLobes = 0;
        int lobeStart = tailEnd_;
        for (int i = tailEnd_; i < std::min(n_, tailEnd_ + kMostRingSamples) && i <= ringing + kLeastRingSamples; ++i) {
            const double value = At(steps_, i);
            const int sign = value > 0 ? 1 : -1;
            if (sign != lobeSign) {
                // The lobe the tail ended in is only partly seen: the first whole lobe sets the bound.
                previousLobe = lobeSign == 0 || wholeLobes == 0 ? previousLobe : lobe;
                wholeLobes += lobeSign == 0 ? 0 : 1;
                lobeSign = sign;
                lobe = 0;
                lobeStart = i;
            }
            lobe = std::max(lobe, std::abs(value));
            // Ringing swings quickly; a lobe that lasts, or outgrows the one before, is an echo.
            if (lobe > previousLobe || (wholeLobes > 0 && i - lobeStart > kLeastRingSamples)) {
                ringing = std::min(ringing, lobeStart);
                break;
            }
            if (std::abs(value) > detectionThreshold_)
                ringing = i;
        }
        ringSamples_ = ringing - tailEnd_;
        tailEnd_ = ringing;
        // A receiver overdriven by the launch may swing to the converter's other limit right
        // after it and be held there for longer than the detector's window: nothing can be seen
        // until it comes back, and its coming back belongs to the launch.
        const int otherSign = launchSigned > 0 ? -1 : 1;
        int held = launchEnd_;
        while (held < std::min(n_ - 1, launchEnd_ + detectionWidth_) && !AtLimit(held, otherSign))
            ++held;
        if (held < n_ && AtLimit(held, otherSign)) {
            while (held + 1 < n_ && AtLimit(held + 1, otherSign))
                ++held;
            if (held >= tailEnd_)
                tailEnd_ = StillFrom(held + 1);
        }
        // An overdriven receiver answers a large pulse with a swing of the other sign (the
        // edge's overshoot, held there while it recovers); the launch shows how large, as a
        // share of the pulse, and a large echo's swing is alike.
        if (report_.launchAmplitude > 0) {
            for (int i = launchEnd_; i < tailEnd_; ++i)
                launchSwing_ = std::max(launchSwing_, -At(level_, i) * launchSigned /
                                                          (report_.launchAmplitude * report_.launchAmplitude));
            launchSwing_ = std::min(launchSwing_, 1.0);
        }
        report_.deadZone = std::min(n_, tailEnd_ + detectionWidth_ / 2);
    }

    // The first sample from `from` on where the trace no longer rises or falls faster than the
    // noise.
    int StillFrom(int from) const {
        int i = from;
        while (i < n_ && std::abs(At(steps_, i)) > detectionThreshold_)
            ++i;
        return i;
    }

    // A pulse ends one pulse width after it began: its trailing edge mirrors the detector one
    // pulse width earlier, where a leading edge of the opposite sign was found.
    bool IsTrailingEdge(const Step& step) const {
        const int tolerance = std::max(2, pulse_ / 8);
        const int mirror = step.centre - pulse_;
        double mirrored = 0;
        for (int i = std::max(0, mirror - tolerance); i <= std::min(n_ - 1, mirror + tolerance); ++i)
            mirrored = std::max(mirrored, -step.sign * At(steps_, i));
        const bool leadingThere = std::any_of(leading_.begin(), leading_.end(), [&](const Step& earlier) {
            return earlier.sign == -step.sign && std::abs(earlier.centre - mirror) <= detectionWidth_;
        });
        return leadingThere && mirrored >= kMirroredShare * step.size;
    }

    // The last sample of the stretch in which a reflection starting at `step` holds the trace at
    // the converter's limit in its direction; -1 when it does not reach the limit.
    int ClippedUntil(const Step& step) const {
        auto clipped = [&](int i) { return AtLimit(i, step.sign); };
        int i = std::max(0, step.centre - detectionWidth_);
        const int searchTo = std::min(n_ - 1, step.centre + pulse_ + detectionWidth_);
        while (i <= searchTo && !clipped(i))
            ++i;
        if (i > searchTo)
            return -1;
        // Noise lets the trace off the limit for a sample or two while it is held there.
        const int gap = std::max(2, detectionWidth_ / 4);
        int last = i;
        for (int j = i + 1; j < n_ && j - last <= gap; ++j)
            last = clipped(j) ? j : last;
        return last;
    }

    // A clipped reflection lasts as long as the trace stays at the limit; as the receiver comes
    // back, the trace falls steeply, rings, and may take long to return: steps of the other sign
    // that take the trace back to its level before that reflection (right after the stretch, a
    // ringing swing past it) while the receiver recovers are its trailing edge, not reflections
    // of their own.
    bool PartOfClippedReflection(const Step& step) const {
        for (std::size_t i = 0; i < reported_.size(); ++i) {
            if (!TurnsBackFrom(i, step))
                continue;
            const Reported& earlier = reported_[i];
            // Right after the stretch the trace may ring past its level, but not as far again
            // as the reflection went (that is a reflection of the other sign arriving).
            const double ringing = kSideLobeShare * std::abs(report_.reflections[i].amplitude);
            if (RightAfterStretch(earlier, step)) {
                if (Beyond(step, earlier.level) < std::max(kReturnMargin * locationThreshold_, ringing))
                    return true;
                continue;
            }
            // The longer the receiver was overdriven, the longer it takes to come back.
            const int stretch = earlier.clippedUntil - earlier.centre;
            if (step.centre <= earlier.clippedUntil + stretch &&
                Beyond(step, earlier.level) < kReturnMargin * locationThreshold_)
                return true;
        }
        return false;
    }

    // Right after a clipped reflection, a receiver that answered the launch with a swing of the
    // other sign as large as the launch (overdriven, it comes back past its level and slowly)
    // answers that reflection alike: a step of the other sign there, going no further past the
    // level than the launch's swing would, may be that swing or a reflection; it is listed, but
    // the crew is not sent to it.
    bool MaySwingBack(const Step& step) const {
        for (std::size_t i = 0; i < reported_.size(); ++i) {
            if (TurnsBackFrom(i, step) && RightAfterStretch(reported_[i], step) &&
                Beyond(step, reported_[i].level) <=
                    kSwingMargin * launchSwing_ * std::abs(report_.reflections[i].amplitude))
                return true;
        }
        return false;
    }

    // A step of the other sign after the reported reflection `index`, which clipped.
    bool TurnsBackFrom(std::size_t index, const Step& step) const {
        return reported_[index].clippedUntil >= 0 && step.sign == -report_.reflections[index].sign &&
               step.centre > reported_[index].centre;
    }

    // Within the pulse and two detector windows of the end of a clipped stretch.
    bool RightAfterStretch(const Reported& earlier, const Step& step) const {
        return step.centre <= earlier.clippedUntil + pulse_ + 2 * detectionWidth_;
    }

    // Two peaks of the detector on one slow rise may both lead back to its edge: it is listed
    // once.
    bool AlreadyListed(int sign, double edge) const {
        return std::any_of(report_.reflections.begin(), report_.reflections.end(), [&](const Reflection& earlier) {
            return earlier.sign == sign && std::abs(earlier.sample - edge) < 1.0;
        });
    }

    // A pulse narrower than the detector (a short section's two reflections overlapping into
    // one blip) ends one pulse width after it began: a rise of the other sign that starts one
    // pulse width after a reported reflection, and is no larger than it, is that pulse's end.
    bool MirrorsAReflection(const Step& step, const Rise& rise) const {
        const double tolerance = std::max(2, pulse_ / 8);
        for (const Reflection& earlier : report_.reflections) {
            if (earlier.sign == -step.sign && std::abs(rise.edge - (earlier.sample + pulse_)) <= tolerance &&
                rise.amplitude <= std::abs(earlier.amplitude) / kMirroredShare)
                return true;
        }
        return false;
    }

    // The launch pulse's edges overshoot and ring, and so does every echo of it: right after a
    // reflection, a swing of either sign that stays within what ringing gives is a side lobe
    // of that reflection.
    bool IsSideLobe(const Step& step) const {
        if (reported_.empty())
            return false;
        const Reported& last = reported_.back();
        const int from = std::max(last.centre, last.clippedUntil);
        return step.centre <= from + pulse_ + std::max({kLeastRingSamples, pulse_ / 2, ringSamples_}) &&
               Beyond(step, last.level) <= kSideLobeShare * std::abs(report_.reflections.back().amplitude);
    }

    // An echo at two, three or four times the distance of an earlier major reflection, weaker
    // than it, is that reflection's pulse come back again after a reflection at the instrument's
    // own output (the pulse bounces between the two). Its sign is that of the output's mismatch
    // after two passes, and the reflection's own after three.
    void MarkRepeats() {
        std::vector<Reflection>& found = report_.reflections;
        for (std::size_t j = 0; j < found.size(); ++j) {
            for (std::size_t i = 0; i < j && found[j].repeatOf == 0; ++i) {
                const Reflection& origin = found[i];
                if (origin.repeatOf != 0 || !IsMajor(i) || !(origin.sample > 0))
                    continue;
                const double times = found[j].sample / origin.sample;
                const int pass = static_cast<int>(std::lround(times));
                if (pass < 2 || pass > kMaxRepeatPass)
                    continue;
                // A repeat comes back smoother than its origin and may overlap its neighbours'
                // repeats: its edge is placed less surely, to within a quarter of the pulse.
                const double tolerance = std::max(
                    {kRepeatToleranceSamples, kRepeatToleranceShare * found[j].sample, pulse_ / kRepeatPulseShare});
                const bool there = std::abs(found[j].sample - pass * origin.sample) <= tolerance;
                // Each further pass brings back at most the reflection's share of the launch
                // pulse times the output's reflection (a clipped launch was larger than it
                // reads, which only lets more through).
                const double share = report_.launchAmplitude > 0
                                         ? std::min(1.0, std::abs(origin.amplitude) / report_.launchAmplitude)
                                         : 1.0;
                // A clipped reflection was larger than it reads: its repeats can be as high.
                const double most = reported_[i].clippedUntil >= 0
                                        ? kRepeatSizeMargin * std::abs(origin.amplitude)
                                        : kRepeatSizeMargin * std::abs(origin.amplitude) *
                                              std::pow(kMostOutputReflection * share, pass - 1);
                // A weak repeat reads larger by what the noise of the smoothed trace, on which
                // it is measured, adds to it.
                const bool weaker = std::abs(found[j].amplitude) <= most + kRepeatNoiseAllowance * locationNoise_;
                const bool signFits = pass % 2 == 0 || found[j].sign == origin.sign;
                if (there && weaker && signFits)
                    found[j].repeatOf = static_cast<int>(i) + 1;
            }
        }
    }

    // Major: it stands far above the noise at the pulse's own scale (where a reflection one
    // pulse wide is seen through noise averaged over that width) or it drives the converter to
    // its limit, and it is not small beside the largest reflection.
    bool IsMajor(std::size_t index) const {
        return (reported_[index].standing >= kMajorNoiseRatio || reported_[index].clippedUntil >= 0) &&
               std::abs(report_.reflections[index].amplitude) >= kMajorShare * largest_;
    }

    // A step soon after the last reflection that takes the trace no further than back towards
    // where it was before that reflection: that reflection's tail, or the end of the pulse
    // that a short section (a splice) sends back with both of its edges.
    bool OnlyReturns(const Step& step) const {
        if (reported_.empty())
            return false;
        const Reported& last = reported_.back();
        if (step.centre > last.centre + pulse_ + 2 * detectionWidth_)
            return false;
        return Beyond(step, last.level) < kReturnMargin * locationThreshold_;
    }

    // How far the smoothed trace around a step goes past `level` in the step's direction.
    double Beyond(const Step& step, double level) const {
        double beyond = 0;
        const int from = std::max(0, step.centre - detectionWidth_ / 2);
        for (int i = from; i <= std::min(n_ - 1, step.centre + detectionWidth_ + detectionWidth_ / 2); ++i)
            beyond = std::max(beyond, step.sign * (At(location_, i) - level));
        return beyond;
    }

    // The slope the trace kept before `foot` (the tail of an earlier reflection still coming
    // back), per sample; zero when it cannot be told from the noise.
    double TrendBefore(int foot) const {
        const int span = std::max(2, detectionWidth_ / 4);
        if (foot - 2 * span < tailEnd_)
            return 0.0;
        const double slope =
            (MeanOf(location_, foot - span, foot) - MeanOf(location_, foot - 2 * span, foot - span)) / span;
        const double noise = std::max(report_.noise * std::sqrt(2.0 / span), detectorNoise_) / span;
        return std::abs(slope) > kTrendNoiseRatio * noise ? slope : 0.0;
    }

    double Slope(int sign, int i) const {
        const int from = std::max(0, i - slopeSpan_);
        const int to = std::min(n_ - 1, i + slopeSpan_);
        return sign * (At(location_, to) - At(location_, from)) / (to - from);
    }

    // The rise around a step: its steepest point, its peak within a pulse width after that,
    // and back from the steepest point to its foot, where the slope has dropped below 40 % of
    // the steepest. The level at the foot (continued along the trend before it) is what the
    // reflection is measured from, so that an edge on the tail of an earlier reflection is
    // measured from that tail. The leading edge is where the line through the 15 % and 50 %
    // points of the rise meets that level: low on the rise, where a rise that slows down
    // (a pulse smoothed by the line) is still nearly straight.
    std::optional<Rise> MeasureRise(int sign, int centre) const {
        // The detector peaks at the edge of a sharp rise and up to half a window later on a
        // slow one; the rise peaks at most a pulse width after it is steepest.
        const int searchFrom = std::max(tailEnd_ + 1, centre - detectionWidth_);
        const int searchTo = std::min(n_ - 2, centre + detectionWidth_ / 4);
        if (searchFrom > searchTo)
            return std::nullopt;
        int steepest = searchFrom;
        for (int i = searchFrom; i <= searchTo; ++i) {
            if (Slope(sign, i) > Slope(sign, steepest))
                steepest = i;
        }
        int peak = steepest;
        for (int i = steepest; i <= std::min(n_ - 1, steepest + pulse_ + locationWidth_); ++i) {
            if (sign * At(location_, i) > sign * At(location_, peak))
                peak = i;
        }
        const double steepestSlope = Slope(sign, steepest);
        const double footSlope = kFootSlopeShare * steepestSlope;
        const int footLimit = std::max(tailEnd_, centre - 2 * detectionWidth_);
        auto footFrom = [&](int i) {
            while (i > footLimit && Slope(sign, i) > footSlope)
                --i;
            return i;
        };
        auto levelBefore = [&](int i) { return MeanOf(location_, std::max(tailEnd_, i - locationWidth_), i + 1); };
        int foot = footFrom(steepest);
        // Noise makes a slow rise's slope dip below that share for a few samples on its way
        // up: where it comes back above it within half a slope span, the rise goes on further
        // back, provided the trace there lies lower by more than its noise could make it.
        const int firstFoot = foot;
        for (int i = foot - 1; i > footLimit && i >= foot - slopeSpan_ / 2; i = std::min(i, foot) - 1) {
            if (Slope(sign, i) > footSlope)
                foot = footFrom(i);
        }
        if (sign * (levelBefore(firstFoot) - levelBefore(foot)) < kFootLevelNoiseRatio * locationNoise_)
            foot = firstFoot;
        // A trace that was rising just as steeply long before is bending (the tail of an
        // earlier reflection), not starting a new rise.
        if (!(steepestSlope > 0) || Slope(sign, foot) > footSlope)
            return std::nullopt;

        Rise rise;
        rise.level = levelBefore(foot);
        const double trend = TrendBefore(foot);
        // The rise relative to the level (and trend) before it, on the trace averaged over
        // `width` samples around each.
        auto relativeRise = [&](int width) {
            const int half = (width - 1) / 2;
            std::vector<double> relative(static_cast<std::size_t>(peak - foot + 1));
            for (int i = foot; i <= peak; ++i) {
                const double smoothed = width == locationWidth_
                                            ? At(location_, i)
                                            : MeanOf(level_, std::max(0, i - half), std::min(n_, i + half + 1));
                relative[static_cast<std::size_t>(i - foot)] = sign * (smoothed - rise.level - trend * (i - foot));
            }
            return relative;
        };
        std::vector<double> relative = relativeRise(locationWidth_);
        // The trend before the rise is followed only a little way on: further out it is a
        // guess, and a steep one would make a rise larger than the trace ever moved (or than
        // the converter can show).
        const double moved = sign * (At(location_, peak) - rise.level);
        rise.amplitude = std::min({relative.back(), moved + std::abs(trend) * std::min(peak - foot, slopeSpan_),
                                   kConverterHigh - kConverterLow});
        const int top = peak - foot;
        double high = 0, low = 0;
        auto locate = [&]() {
            high = foot + CrossingOfRise(relative, top, kHighShare * rise.amplitude);
            low = foot + CrossingOfRise(relative, top, kLowShare * rise.amplitude);
            rise.edge = std::max<double>(foot, low - (high - low) * kLowShare / (kHighShare - kLowShare));
        };
        locate();
        // Averaging spreads a rise sharper than its window over the window and moves its foot
        // early by up to half of it: a rise that goes from a tenth to four tenths of its height
        // within half a window is located again on the trace averaged over no more than that.
        for (int width = locationWidth_; width > 1 && high - low < (width - 1) / 2.0;) {
            width = std::max(1, 2 * static_cast<int>(std::floor((high - low) / 2)) + 1);
            relative = relativeRise(width);
            locate();
        }
        // The line through two points of a slow rise is placed by those few samples, and noise
        // moves them. The rise fitted as a level and a ramp, over its lower half and the stretch
        // before it, is placed by every sample there. The fit takes the trace before the rise
        // as level: where it is still rising there (the tail of an earlier reflection), the fit
        // would start the rise on that tail, and may only move the edge later.
        const double span = high - low;
        const int from = std::max(tailEnd_, static_cast<int>(std::floor(rise.edge - span)));
        const int to =
            foot + static_cast<int>(std::ceil(CrossingBefore(relative, top, 0, kKneeTopShare * rise.amplitude)));
        if (span >= 1 && to - from >= kLeastKneeSamples) {
            std::vector<double> lower;
            for (int i = from; i <= to; ++i)
                lower.push_back(sign * (At(level_, i) - rise.level - trend * (i - foot)));
            const double knee = from + FitKnee(lower, rise.edge - span - from, rise.edge + span / 2 - from);
            const bool onTail = StillRising(lower, static_cast<int>(std::floor(knee - from)), report_.noise);
            rise.edge = onTail ? std::max(rise.edge, knee) : knee;
        }
        return rise;
    }

    // The likely end or fault is the furthest major reflection that is not a repeat nor may be
    // the receiver swinging back. When that one is under half the largest of them, it is a
    // lesser fault, or an end the line has all but hidden: the largest, the line's worst fault,
    // is marked instead. When no reflection stands out, none is marked.
    void MarkLikelyEnd() {
        std::vector<std::size_t> candidates;
        for (std::size_t i = 0; i < report_.reflections.size(); ++i) {
            Reflection& reflection = report_.reflections[i];
            reflection.major = IsMajor(i);
            if (reflection.major && reflection.repeatOf == 0 && !reported_[i].maySwingBack)
                candidates.push_back(i);
        }
        if (candidates.empty())
            return;
        // A rise from one of the converter's limits to the other reads larger than any one
        // reflection can show: it is as large as a clipped one, no larger.
        auto size = [&](std::size_t i) { return std::min(std::abs(report_.reflections[i].amplitude), -kConverterLow); };
        std::size_t likely = candidates.back();
        const std::size_t largest = *std::max_element(candidates.begin(), candidates.end(),
                                                      [&](std::size_t a, std::size_t b) { return size(a) < size(b); });
        if (size(likely) < kWorstFaultShare * size(largest))
            likely = largest;
        report_.reflections[likely].likelyEnd = true;
    }

    const std::vector<double>& samples_;
    const int n_;
    const int pulse_;          // the pulse width in samples
    const int detectionWidth_; // the step detector's window
    const int locationWidth_;  // the smoothing for locating edges
    const int slopeSpan_;
    const int launchEnd_;
    int tailEnd_ = 0;
    int ringSamples_ = 0;      // how long the launch pulse rings after its tail
    double launchSwing_ = 0;   // the launch's swing of the other sign after it, as a share of it
    double largest_ = 0;       // the largest reflection's size
    double detectorNoise_ = 0; // rms of the step detector where no edge is
    double locationNoise_ = 0; // rms of the smoothed trace's level
    double detectionThreshold_ = 0;
    double locationThreshold_ = 0;
    std::vector<double> level_; // the samples less the resting level
    std::vector<double> location_;
    std::vector<double> steps_;
    std::vector<Step> leading_; // steps that are not trailing edges
    std::vector<Reported> reported_;
    EventReport report_;
};

} // namespace

EventReport FindEvents(const std::vector<double>& samples, const TraceGeometry& geometry) {
    if (samples.empty() || !std::isfinite(geometry.nsPerSample) || !(geometry.nsPerSample > 0) ||
        !std::isfinite(geometry.pulseNs) || !(geometry.pulseNs >= 0))
        return EventReport();
    return Finder(samples, geometry).Run();
}

} // namespace analysis
