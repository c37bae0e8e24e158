#include "link/ProtocolKS518_Ref.h"

#include "platform/Trace.h"

#include <algorithm>

namespace {

constexpr int kOneLineTrace = 502;
constexpr int kTwoLineTrace = 1004;
constexpr int kFullTrace = 8002;
constexpr int kLineSamples = 500;
constexpr std::uint8_t kSecondLine = 2;

QByteArray ShortFrame(char letter) {
    QByteArray frame(1, letter);
    frame.append(char(2));
    return frame;
}

bool StartsWith(const QByteArray& reply, char a, char b) {
    return reply.size() >= 2 && reply[0] == a && reply[1] == b;
}

// Copies bytes into a destination, dropping those beyond its end.
void CopyInto(std::span<std::uint8_t> destination, const char* bytes, qsizetype count) {
    const auto n = std::min<std::size_t>(destination.size(), static_cast<std::size_t>(count));
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes), n, destination.begin());
}

} // namespace

CProtocolKS518_Ref::CProtocolKS518_Ref(CPELDoc* document, QObject* parent)
    : CThreadForPort(parent), document_(document) {
    document_->AddView(this);
    SetLongestReply(kFullTrace);
    // Registered at once, so that commands queued before the port opens are kept.
    RegisterCommands();
}

bool CProtocolKS518_Ref::IsOkReply(const QByteArray& reply) {
    return reply.startsWith(":OK");
}

QByteArray CProtocolKS518_Ref::BuildTaskFrame(const OutParams& out) {
    QByteArray frame(16, '\0');
    auto put = [&frame](int offset, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            frame[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    frame[0] = 'D';
    frame[1] = 16;
    put(2, out.mode, 1);
    put(3, out.g, 1);
    put(4, out.r, 1);
    put(5, out.averagingCode, 1);
    put(6, out.gainCode, 1);
    put(7, out.decimation, 2);
    put(9, out.pulseCode, 2);
    put(11, static_cast<std::uint32_t>(out.microplan), 3); // the top byte does not travel
    return frame;
}

void CProtocolKS518_Ref::RegisterCommands() {
    auto okParser = [](int (*onOk)(CProtocolKS518_Ref&)) {
        return [onOk](const QByteArray& reply, CThreadForPort& port) {
            return IsOkReply(reply) ? onOk(static_cast<CProtocolKS518_Ref&>(port)) : 1;
        };
    };
    RegisterCommand(
        command::kIdentify, [](QByteArray& frame, CThreadForPort&) { frame = ShortFrame('V'); },
        [this](const QByteArray& reply, CThreadForPort&) { return ParseIdentification(reply); });
    RegisterCommand(
        command::kReset,
        [this](QByteArray& frame, CThreadForPort&) {
            runFlag_ = 0;
            frame = ShortFrame('R');
        },
        okParser([](CProtocolKS518_Ref&) { return 0; }));
    RegisterCommand(
        command::kStart, [](QByteArray& frame, CThreadForPort&) { frame = ShortFrame('S'); },
        okParser([](CProtocolKS518_Ref& self) {
            self.runFlag_ = 1;
            return 0;
        }));
    RegisterCommand(
        command::kTrace, [](QByteArray& frame, CThreadForPort&) { frame = ShortFrame('Z'); },
        [this](const QByteArray& reply, CThreadForPort&) { return ParseTrace(reply); });
    RegisterCommand(
        command::kTask, [this](QByteArray& frame, CThreadForPort&) { frame = BuildTaskFrame(Doc().outParams); },
        [this](const QByteArray& reply, CThreadForPort&) {
            if (!IsOkReply(reply)) {
                platform::Trace("ERROR\n");
                return 1;
            }
            runFlag_ = 1;
            platform::Trace("OK\n");
            return 0;
        });
    RegisterCommand(
        command::kSetup, [](QByteArray& frame, CThreadForPort&) { frame = QByteArray("\x41\x03\x01", 3); },
        okParser([](CProtocolKS518_Ref&) { return 0; }));
}

int CProtocolKS518_Ref::ParseIdentification(const QByteArray& reply) {
    const qsizetype end = reply.indexOf('\0');
    Doc().inParams.identification = QString::fromLocal8Bit(end < 0 ? reply : reply.left(end));
    Doc().UpdateAllViews(this, hint::kIdentification);
    return 0;
}

int CProtocolKS518_Ref::ParseTrace(const QByteArray& reply) {
    InParams& in = Doc().inParams;
    if (StartsWith(reply, ':', 'E')) {
        in.status1 = reply.size() > 2 ? static_cast<std::uint8_t>(reply[2]) : 0;
        in.status2 = reply.size() > 3 ? static_cast<std::uint8_t>(reply[3]) : 0;
        platform::Trace(":E\n");
        Doc().UpdateAllViews(this, hint::kBoardError);
        return 0;
    }
    const qsizetype n = reply.size();
    in.lastTraceBytes = static_cast<int>(n);
    {
        std::lock_guard receive(receiveLock_);
        const std::span<std::uint8_t> destination =
            Doc().outParams.r == kSecondLine ? in.destinationB : in.destinationA;
        if (n == kTwoLineTrace) {
            CopyInto(destination, reply.constData(), kLineSamples);
            CopyInto(in.destinationB, reply.constData() + kLineSamples + 2, kLineSamples);
        } else if (n == kFullTrace || n == kOneLineTrace) {
            CopyInto(destination, reply.constData(), n - 2);
        }
        if (n == kTwoLineTrace || n == kFullTrace || n == kOneLineTrace) {
            in.status1 = static_cast<std::uint8_t>(reply[n - 2]);
            in.status2 = static_cast<std::uint8_t>(reply[n - 1]);
        }
    }
    runFlag_ = Doc().outParams.continuation;
    Doc().UpdateAllViews(this, hint::kNewTrace);
    platform::Trace("size %d\n", static_cast<int>(n));
    return 0;
}

int CProtocolKS518_Ref::CheckReply(const QByteArray& reply) {
    if (!StartsWith(reply, ':', '?'))
        return 0;
    platform::Trace(":?\n");
    if (GetCurrentCommand() == command::kTrace) {
        // The board lost its task: start acquisition again.
        Stop();
        Doc().UpdateAllViews(nullptr, hint::kQueueReset);
        Doc().UpdateAllViews(nullptr, hint::kQueueTask);
    }
    return 1;
}

bool CProtocolKS518_Ref::RefuseCommand(std::uint16_t id) {
    // No trace can be asked for before a task was ever set up.
    return id == command::kTrace && Doc().outParams.mode == 0 && Doc().outParams.g == 0;
}

int CProtocolKS518_Ref::Stop() {
    runFlag_ = 0;
    return CThreadForPort::Stop();
}

void CProtocolKS518_Ref::OnTimer(int timerId) {
    if (timerId == kReplyTimerId && runFlag_ != 0 && !IsPending(command::kTrace))
        OnUpdate(nullptr, command::kTrace, nullptr);
    CThreadForPort::OnTimer(timerId);
}
