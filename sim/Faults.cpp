#include "sim/Faults.h"

#include <array>
#include <utility>

namespace sim {

namespace {

const std::array<std::pair<Fault, const char*>, 10> kFaultNames = {{
    {Fault::None, "none"},
    {Fault::NoAnswer, "no-answer"},
    {Fault::LateAnswer, "late"},
    {Fault::Garbage, "garbage"},
    {Fault::CutReply, "cut"},
    {Fault::NoTaskInsteadOfTrace, "no-task"},
    {Fault::ReopenLink, "reopen"},
    {Fault::ErrorInsteadOfTrace, "error"},
    {Fault::LostHalf, "lost-half"},
    {Fault::HangUpInReply, "hang-up"},
}};

QByteArray RandomBytes(std::mt19937& random) {
    std::uniform_int_distribution<qsizetype> length(1, kLongestGarbage);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes(length(random), '\0');
    for (char& b : bytes)
        b = static_cast<char>(byte(random));
    return bytes;
}

} // namespace

std::optional<Fault> FaultFromName(const QString& name) {
    for (const auto& [fault, text] : kFaultNames) {
        if (name == QLatin1String(text))
            return fault;
    }
    return std::nullopt;
}

QString FaultName(Fault fault) {
    for (const auto& [known, text] : kFaultNames) {
        if (known == fault)
            return QLatin1String(text);
    }
    return QString();
}

std::optional<Transmission> Respond(BoardModel& model, const QByteArray& frame, Fault fault, std::mt19937& random) {
    if (fault == Fault::NoAnswer)
        return std::nullopt;

    std::optional<Reply> reply;
    if (fault == Fault::NoTaskInsteadOfTrace && !frame.isEmpty() && frame.at(0) == 'Z')
        reply = Reply{QByteArrayLiteral(":?"), std::chrono::microseconds{0}, false};
    else if (fault == Fault::ErrorInsteadOfTrace && !frame.isEmpty() && frame.at(0) == 'Z')
        reply = Reply{QByteArrayLiteral(":E") + QByteArray(kTraceErrorCode), std::chrono::microseconds{0}, false};
    else
        reply = model.Handle(frame);
    if (!reply)
        return std::nullopt;

    Transmission out{reply->bytes, reply->delay, std::nullopt, reply->trace};
    switch (fault) {
    case Fault::LateAnswer:
        out.delay = kLateAnswerDelay;
        break;
    case Fault::Garbage:
        out.bytes = RandomBytes(random);
        out.trace = false;
        break;
    case Fault::CutReply:
        if (out.bytes.size() >= kShortestCutReply)
            out.pauseAfter = out.bytes.size() / 2;
        break;
    case Fault::LostHalf:
        if (out.bytes.size() >= kShortestCutReply)
            out.bytes.truncate(out.bytes.size() / 2);
        break;
    case Fault::HangUpInReply:
        if (out.bytes.size() >= kShortestCutReply) {
            out.bytes.truncate(out.bytes.size() / 2);
            out.trace = false;
            out.hangUpAfter = true;
        }
        break;
    default:
        break;
    }
    return out;
}

} // namespace sim
