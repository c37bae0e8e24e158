#include "sim/Task.h"

#include <algorithm>
#include <optional>

namespace sim {

namespace {

constexpr int kMaxAveraging = 128;
constexpr int kMaxDecimation = 1023;
constexpr std::chrono::microseconds kAcquisitionOverhead{5000};
constexpr std::chrono::microseconds kAcquisitionCap{100000};

int Byte(const QByteArray& frame, int at) {
    return static_cast<unsigned char>(frame.at(at));
}

int Word(const QByteArray& frame, int at) {
    return Byte(frame, at) | Byte(frame, at + 1) << 8;
}

std::optional<char> RangeFault(int value, int low, int high) {
    if (value < low)
        return '0';
    if (value > high)
        return '1';
    return std::nullopt;
}

bool AllowedDecimation(int value) {
    return (value & (value + 1)) == 0; // 2^k - 1
}

} // namespace

std::variant<Task, TaskError> DecodeTask(const QByteArray& frame) {
    Task task;
    task.mode = frame.at(2);
    task.generator = Byte(frame, 3);
    task.receiver = Byte(frame, 4);
    task.averaging = Byte(frame, 5);
    task.gainCode = Byte(frame, 6);
    task.decimation = Word(frame, 7);
    task.pulseCode = Word(frame, 9);
    task.microplan = static_cast<std::uint32_t>(Byte(frame, 11) | Byte(frame, 12) << 8 | Byte(frame, 13) << 16);

    if (task.mode != 'Y' && task.mode != 'L')
        return TaskError{'M', '2'};
    if (const auto reason = RangeFault(task.generator, 1, 3))
        return TaskError{'G', *reason};
    if (const auto reason = RangeFault(task.receiver, 1, 3))
        return TaskError{'R', *reason};
    if (const auto reason = RangeFault(task.averaging, 1, kMaxAveraging))
        return TaskError{'N', *reason};
    if (const auto reason = RangeFault(task.decimation, 0, kMaxDecimation))
        return TaskError{'K', *reason};
    if (!AllowedDecimation(task.decimation))
        return TaskError{'K', '2'};
    if (const auto reason = RangeFault(task.pulseCode, kPulseCodes.front(), kPulseCodes.back()))
        return TaskError{'P', *reason};
    if (std::find(kPulseCodes.begin(), kPulseCodes.end(), task.pulseCode) == kPulseCodes.end())
        return TaskError{'P', '2'};
    return task;
}

SampleWindow WindowOf(const Task& task) {
    const std::int64_t step = task.decimation + 1;
    if (task.mode == 'L')
        return {0, step, kFullLengthSamples};
    return {static_cast<std::int64_t>(task.microplan) - kMicroplanLead, step, kWindowSamples};
}

std::vector<MeasuredLine> MeasuredLines(const Task& task) {
    // A line is measured directly when its own generator fires, through the split otherwise.
    // The full-length capture carries one line: with both receiver bits set, line 1.
    std::vector<MeasuredLine> lines;
    for (int index = 0; index < 2; ++index) {
        const int bit = 1 << index;
        if ((task.receiver & bit) == 0)
            continue;
        lines.push_back({index, (task.generator & bit) != 0 ? Path::Direct : Path::Crosstalk});
        if (task.mode == 'L')
            break;
    }
    return lines;
}

std::chrono::microseconds AcquisitionDelay(const Task& task) {
    const std::int64_t lastBaseSample = std::max<std::int64_t>(0, WindowOf(task).LastBaseSample());
    // 1.25 ns of round trip per base sample, for every averaged shot.
    const std::chrono::nanoseconds shots{task.averaging * lastBaseSample * 5 / 4};
    const auto acquisition = std::chrono::duration_cast<std::chrono::microseconds>(shots);
    return std::min(kAcquisitionOverhead + acquisition, kAcquisitionCap);
}

} // namespace sim
