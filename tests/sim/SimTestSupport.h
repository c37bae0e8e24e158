#pragma once

#include "sim/BoardModel.h"
#include "sim/Scenario.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace simtest {

// The bytes of a 'D' frame, field by field.
struct TaskFields {
    char mode = 'Y';
    int generator = 1;
    int receiver = 1;
    int averaging = 1;
    int gain = 100;
    int decimation = 0;
    int pulseCode = 5;
    std::uint32_t microplan = 38;

    QByteArray Frame() const {
        QByteArray frame(16, '\0');
        frame[0] = 'D';
        frame[1] = 0x10;
        frame[2] = mode;
        frame[3] = static_cast<char>(generator);
        frame[4] = static_cast<char>(receiver);
        frame[5] = static_cast<char>(averaging);
        frame[6] = static_cast<char>(gain);
        frame[7] = static_cast<char>(decimation & 0xFF);
        frame[8] = static_cast<char>(decimation >> 8);
        frame[9] = static_cast<char>(pulseCode & 0xFF);
        frame[10] = static_cast<char>(pulseCode >> 8);
        frame[11] = static_cast<char>(microplan & 0xFF);
        frame[12] = static_cast<char>((microplan >> 8) & 0xFF);
        frame[13] = static_cast<char>((microplan >> 16) & 0xFF);
        return frame;
    }

    // A 'Y' window whose first sample is base sample `first`.
    TaskFields& StartingAt(std::int64_t first) {
        microplan = static_cast<std::uint32_t>(first + 38);
        return *this;
    }
};

inline const QByteArray kZ = QByteArrayLiteral("Z\x02");
inline const QByteArray kR = QByteArrayLiteral("R\x02");
inline const QByteArray kV = QByteArrayLiteral("V\x02");
inline const QByteArray kS = QByteArrayLiteral("S\x02");
inline const QByteArray kA = QByteArrayLiteral("A\x03\x01");

// Signed samples of `bytes` from `from`, `count` of them.
inline std::vector<int> Samples(const QByteArray& bytes, qsizetype from, qsizetype count) {
    std::vector<int> samples;
    for (qsizetype i = from; i < from + count; ++i)
        samples.push_back(static_cast<signed char>(bytes.at(i)));
    return samples;
}

// Sends the task and a 'Z' and returns the first line's samples (empty if refused).
inline std::vector<int> MeasureFirstLine(sim::BoardModel& board, const TaskFields& task) {
    const auto accepted = board.Handle(task.Frame());
    if (!accepted || accepted->bytes != ":OK")
        return {};
    const auto trace = board.Handle(kZ);
    if (!trace || !trace->trace)
        return {};
    const qsizetype count = task.mode == 'L' ? 8000 : 500;
    return Samples(trace->bytes, 0, count);
}

// Where the strongest echo of polarity `sign` (+1 or -1) begins, as a fractional sample
// index: its rising edge through 20 % and 80 % of its peak, extrapolated back to zero, as a
// technician lays a ruler along the edge. Negative when no echo is found.
inline double LeadingEdge(const std::vector<int>& samples, int sign) {
    std::size_t peak = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (sign * samples[i] > sign * samples[peak])
            peak = i;
    }
    const double top = sign * samples[peak];
    if (top <= 0)
        return -1;
    auto crossing = [&](double level) {
        for (std::size_t j = peak; j > 0; --j) {
            const double below = sign * samples[j - 1];
            const double above = sign * samples[j];
            if (below < level && above >= level)
                return static_cast<double>(j - 1) + (level - below) / (above - below);
        }
        return -1.0;
    };
    const double low = crossing(0.2 * top);
    const double high = crossing(0.8 * top);
    if (low < 0 || high < 0)
        return -1;
    return low - (high - low) * (0.2 / 0.6);
}

} // namespace simtest
