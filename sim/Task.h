#pragma once

#include "sim/CableModel.h"

#include <QByteArray>

#include <array>
#include <chrono>
#include <cstdint>
#include <variant>
#include <vector>

namespace sim {

// A measurement task as the 'D' frame sets it.
struct Task {
    char mode = 'Y';   // 'Y': a 500-sample window; 'L': 8000 samples of the whole length
    int generator = 1; // line bit set that transmits (bit 0 line 1, bit 1 line 2)
    int receiver = 1;  // line bit set that is measured
    int averaging = 1;
    int gainCode = 0;
    int decimation = 0;           // 2^k - 1: take every (decimation + 1)-th base sample
    int pulseCode = 5;            // pulse width in units of 10 ns
    std::uint32_t microplan = 38; // 'Y' window: the first sample is base sample microplan - 38

    double PulseWidthNs() const { return pulseCode * 10.0; }

    bool operator==(const Task&) const = default;
};

// Why a 'D' frame was refused: the two code bytes of the ":E" reply.
struct TaskError {
    char field;  // 'M' mode, 'G' generator line, 'R' receiver line, 'N' averaging, 'K' decimation, 'P' pulse
    char reason; // '0' below the range, '1' above the range, '2' inside the range but not an allowed value

    bool operator==(const TaskError&) const = default;
};

inline constexpr int kTaskFrameLength = 16;
inline constexpr int kWindowSamples = 500;
inline constexpr int kFullLengthSamples = 8000;
inline constexpr int kMicroplanLead = 38;
inline constexpr std::array<int, 12> kPulseCodes = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};

// Reads and checks a complete 16-byte 'D' frame.
std::variant<Task, TaskError> DecodeTask(const QByteArray& frame);

// The base samples a task reads: first, step and count.
struct SampleWindow {
    std::int64_t firstBaseSample = 0;
    std::int64_t step = 1;
    int count = 0;

    std::int64_t LastBaseSample() const { return firstBaseSample + (count - 1) * step; }
};
SampleWindow WindowOf(const Task& task);

// The lines a trace reply carries, in order, and how each is driven.
struct MeasuredLine {
    int index; // 0 = line 1, 1 = line 2
    Path path;

    bool operator==(const MeasuredLine&) const = default;
};
std::vector<MeasuredLine> MeasuredLines(const Task& task);

// Time the board spends acquiring before the trace reply starts: every averaged shot waits
// for the round trip up to the window's last sample; plus a fixed overhead; never over 100 ms.
std::chrono::microseconds AcquisitionDelay(const Task& task);

} // namespace sim
