#pragma once

// Automatic fault finding on one reflectogram: the noise is estimated from the trace
// itself, the launch pulse is skipped, and every reflection that stands clear of the
// noise is listed with the sample of its leading edge, its sign and its size.

#include <vector>

namespace analysis {

struct TraceGeometry {
    double nsPerSample = 1.25; // echo (round-trip) delay between two samples
    double pulseNs = 10;       // width of the probing pulse
};

struct Reflection {
    double sample = 0;      // leading edge, as a fractional sample index
    int sign = 0;           // +1: higher impedance (open, break); -1: lower (short, wet, insulation)
    double amplitude = 0;   // converter steps above the level before the edge, signed
    double noiseRatio = 0;  // |amplitude| / noise
    bool major = false;     // stands far above the noise
    bool likelyEnd = false; // the line's end or the worst fault: where to send the crew
    int repeatOf = 0;       // 1-based number of the earlier event this one repeats (the pulse
                            // bouncing between it and the instrument), 0 when it is an event of its own
};

struct EventReport {
    double noise = 0;    // rms of the trace's noise in converter steps
    double baseline = 0; // the trace's resting level
    int deadZone = 0;    // first sample after the launch pulse and its tail
    double launchAmplitude = 0;
    bool launchClipped = false; // the launch pulse reached the converter's limits
    std::vector<Reflection> reflections;
};

// Samples are signed converter values (-128..127).
EventReport FindEvents(const std::vector<double>& samples, const TraceGeometry& geometry);

// Rms noise of samples[from..], estimated from the sample-to-sample differences with the
// largest tenth left out, so that edges and pulses do not count as noise; never below the
// converter's own quantisation noise.
double EstimateNoise(const std::vector<double>& samples, int from);

} // namespace analysis
