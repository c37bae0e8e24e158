#include "sim/BoardModel.h"

#include "sim/Receiver.h"

namespace sim {

namespace {

const QByteArray kOk = QByteArrayLiteral(":OK");
const QByteArray kNoTask = QByteArrayLiteral(":?");

std::mt19937 SeededRandom(const std::optional<std::uint32_t>& seed) {
    if (seed)
        return std::mt19937(*seed);
    std::random_device device;
    return std::mt19937(device());
}

Reply Immediate(const QByteArray& bytes) {
    return Reply{bytes, std::chrono::microseconds{0}, false};
}

} // namespace

BoardModel::BoardModel(Scenario scenario)
    : scenario_(std::move(scenario)), cables_{CableModel(scenario_.lines[0], scenario_.pairSplit, scenario_.launch),
                                              CableModel(scenario_.lines[1], scenario_.pairSplit, scenario_.launch)},
      random_(SeededRandom(scenario_.seed)) {}

QByteArray BoardModel::Identification() {
    return QByteArrayLiteral("Simulated two-channel pulse reflectometer board, model 1.0");
}

std::optional<Reply> BoardModel::Handle(const QByteArray& frame) {
    if (frame.size() < 2)
        return std::nullopt;
    const auto length = CommandFrameLength(frame.at(0));
    if (!length || frame.size() != *length || static_cast<unsigned char>(frame.at(1)) != *length)
        return std::nullopt;

    switch (frame.at(0)) {
    case 'V':
        return Immediate(Identification() + '\0');
    case 'R':
        task_.reset();
        return Immediate(kOk);
    case 'A':
    case 'S':
        return Immediate(kOk);
    case 'D': {
        const auto decoded = DecodeTask(frame);
        if (const auto* error = std::get_if<TaskError>(&decoded)) {
            task_.reset();
            return Immediate(QByteArray(":E") + error->field + error->reason);
        }
        task_ = std::get<Task>(decoded);
        return Immediate(kOk);
    }
    case 'Z':
        if (!task_)
            return Immediate(kNoTask);
        return Trace(*task_);
    default:
        return std::nullopt;
    }
}

Reply BoardModel::Trace(const Task& task) {
    const ReceiverSettings settings{task.PulseWidthNs(), task.averaging, task.gainCode, scenario_.noise,
                                    scenario_.receiver};
    const SampleWindow window = WindowOf(task);
    const std::vector<MeasuredLine> lines = MeasuredLines(task);

    Reply reply{QByteArray(), AcquisitionDelay(task), true};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            reply.bytes.append(2, '\0'); // filler between the two lines' samples
        const MeasuredLine& line = lines[i];
        reply.bytes.append(
            FormTrace(cables_[static_cast<std::size_t>(line.index)], line.path, window, settings, random_));
    }
    for (const Cable& cable : scenario_.lines)
        reply.bytes.append(static_cast<char>(static_cast<unsigned char>(cable.matching)));
    return reply;
}

} // namespace sim
