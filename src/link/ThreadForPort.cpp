#include "link/ThreadForPort.h"

#include "platform/Trace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// The worker's notice that a reply burst waits in the hand-off buffer.
const QEvent::Type kPortReplyEvent = static_cast<QEvent::Type>(QEvent::User + 0x0001);

constexpr int kReadChunkBytes = 10;
constexpr int kInterByteGapMs = 10;
constexpr int kTimeoutTicks = 3;
constexpr int kTimerPeriodFactor = 20; // timer period = busy sleep * 20 ms
constexpr auto kReopenInterval = std::chrono::seconds(1);

} // namespace

CThreadForPort::CThreadForPort(QObject* parent) : QObject(parent) {}

CThreadForPort::~CThreadForPort() {
    // The worker ends between frames: a frame write is never cut.
    quit_.store(true);
    port_.Shutdown();
    sleepWake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    port_.Close();
    platform::Trace("~%s\n", "CThreadForPort");
}

bool CThreadForPort::Open(const QString& portPath, int baudRate, int byteSize, int parity, int stopBits,
                          int busySleepMs, int idleSleepMs) {
    busySleepMs_ = busySleepMs;
    idleSleepMs_ = idleSleepMs;
    portPath_ = portPath;
    baudRate_ = baudRate;
    byteSize_ = byteSize;
    parity_ = parity;
    stopBits_ = stopBits;
    const bool opened = TryOpenPort();
    if (!worker_.joinable())
        worker_ = std::thread(&CThreadForPort::WorkerLoop, this);
    return opened;
}

bool CThreadForPort::TryOpenPort() {
    const bool opened = port_.Open(portPath_, baudRate_, byteSize_, parity_, stopBits_);
    portOpen_.store(opened);
    if (opened) {
        reportedOpenError_ = 0;
        return true;
    }
    const int error = port_.OpenError();
    if (error != reportedOpenError_) {
        platform::Trace("Open port %s failed: %s\n", qUtf8Printable(portPath_),
                        error == EBUSY ? "device busy" : std::strerror(error));
        reportedOpenError_ = error;
    }
    return false;
}

int CThreadForPort::RegisterCommand(std::uint16_t id, Builder builder, Parser parser) {
    builders_[id] = std::move(builder);
    parsers_[id] = std::move(parser);
    return 1;
}

void CThreadForPort::OnUpdate(CView*, long hint, void*) {
    const auto id = static_cast<std::uint16_t>(hint & 0xFFFF);
    if (RefuseCommand(id))
        return;
    {
        std::lock_guard lock(taskLock_);
        const auto builder = builders_.find(id);
        if (builder == builders_.end())
            return;
        QByteArray frame;
        builder->second(frame, *this);
        pending_.Insert(id, std::move(frame));
        pendingCount_.store(pending_.Size());
        if (id == currentCommand_)
            inProgress_.store(false); // the worker sends the new frame on its next pass
        if (currentCommand_ == 0)
            currentCommand_ = id;
    }
    if (qtReplyTimer_ == 0)
        qtReplyTimer_ = startTimer(busySleepMs_ * kTimerPeriodFactor);
}

bool CThreadForPort::IsPending(std::uint16_t id) const {
    std::lock_guard lock(taskLock_);
    return pending_.Contains(id);
}

int CThreadForPort::CheckReply(const QByteArray&) {
    return 0;
}

bool CThreadForPort::RefuseCommand(std::uint16_t) {
    return false;
}

int CThreadForPort::Stop() {
    // The flag is read under the lock: the worker sets it while it takes the current frame,
    // and a frame taken just before is on its way, its reply to be discarded.
    std::lock_guard lock(taskLock_);
    if (inProgress_.load())
        abort_ = true;
    inProgress_.store(false);
    pending_.Clear();
    pendingCount_.store(0);
    currentCommand_ = 0;
    return 0;
}

void CThreadForPort::OnTimer(int timerId) {
    if (timerId != kReplyTimerId || !waiting_.load())
        return;
    if (tickCounter_.load() % kTimeoutTicks == 0)
        port_.AbortWait();
    tickCounter_.fetch_add(1);
}

void CThreadForPort::timerEvent(QTimerEvent* event) {
    if (event->timerId() == qtReplyTimer_)
        OnTimer(kReplyTimerId);
}

bool CThreadForPort::event(QEvent* event) {
    if (event->type() == kPortReplyEvent) {
        OnPortReply();
        return true;
    }
    return QObject::event(event);
}

int CThreadForPort::OnPortReply() {
    int result = 0;
    {
        std::lock_guard lock(taskLock_);
        QByteArray reply;
        {
            std::lock_guard receive(receiveLock_);
            reply = handOff_;
        }
        if (!abort_ && !reply.isEmpty() && CheckReply(reply) == 0 && inProgress_.load()) {
            const auto parser = parsers_.find(currentCommand_);
            if (parser == parsers_.end()) {
                result = 1;
            } else {
                const Parser parse = parser->second; // the parser may re-register commands
                if (parse(reply, *this) == 0 && !abort_) {
                    pending_.Remove(currentCommand_);
                    pendingCount_.store(pending_.Size());
                    currentCommand_ = pending_.First().value_or(0);
                }
                inProgress_.store(false);
            }
        } else {
            inProgress_.store(false);
            abort_ = false;
        }
    }
    replyPosted_.store(false);
    return result;
}

int CThreadForPort::DeliverReplyForTesting(const QByteArray& reply) {
    {
        std::lock_guard receive(receiveLock_);
        handOff_ = reply;
    }
    inProgress_.store(true);
    replyPosted_.store(true);
    return OnPortReply();
}

std::uint16_t CThreadForPort::GetCurrentCommand() const {
    std::lock_guard lock(taskLock_);
    return currentCommand_;
}

std::vector<std::uint16_t> CThreadForPort::GetPendingIds() const {
    std::lock_guard lock(taskLock_);
    return pending_.Ids();
}

void CThreadForPort::SleepFor(int milliseconds) {
    std::unique_lock lock(sleepMutex_);
    sleepWake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return quit_.load(); });
}

void CThreadForPort::DropLostDevice() {
    port_.Close();
    portOpen_.store(false);
    platform::Trace("Port %s lost\n", qUtf8Printable(portPath_));
    // Not at once: a device that is going away may still open, and fail again at once.
    nextOpenAttempt_ = std::chrono::steady_clock::now() + kReopenInterval;
}

void CThreadForPort::WorkerLoop() {
    int sleepMs = idleSleepMs_;
    nextOpenAttempt_ = std::chrono::steady_clock::now();
    while (!quit_.load()) {
        SleepFor(sleepMs);
        if (quit_.load())
            break;
        if (!portOpen_.load() && std::chrono::steady_clock::now() >= nextOpenAttempt_) {
            TryOpenPort();
            nextOpenAttempt_ = std::chrono::steady_clock::now() + kReopenInterval;
        }
        if (pendingCount_.load() == 0 || inProgress_.load() || replyPosted_.load()) {
            sleepMs = idleSleepMs_;
            continue;
        }
        sleepMs = busySleepMs_;

        QByteArray frame;
        {
            std::lock_guard lock(taskLock_);
            const QByteArray* current = pending_.Find(currentCommand_);
            if (current == nullptr)
                continue;
            inProgress_.store(true);
            frame = *current;
        }
        if (portOpen_.load() && !port_.Write(frame))
            DropLostDevice();
        platform::Trace("Send Command %c\n", frame.isEmpty() ? '?' : frame[0]);

        accumulator_.clear();
        tickCounter_.store(1);
        waiting_.store(true);
        const auto waited = port_.WaitForData();
        waiting_.store(false);
        tickCounter_.store(0);
        if (waited != platform::SerialPort::WaitResult::Data) {
            // A lost device is opened again later; meanwhile the command waits out its
            // time-out on no device and is sent again, as for a device that cannot be opened.
            if (waited == platform::SerialPort::WaitResult::Lost)
                DropLostDevice();
            inProgress_.store(false);
            continue;
        }

        const Burst burst = ReadBurst();
        if (burst == Burst::Stopped)
            break;
        if (burst != Burst::Complete) {
            if (burst == Burst::Lost) {
                DropLostDevice();
            } else {
                platform::Trace("Reply longer than %lld bytes dropped\n", static_cast<long long>(longestReply_));
                port_.DiscardInput();
            }
            accumulator_.clear();
            inProgress_.store(false); // sent again, as after a time-out
            continue;
        }
        {
            std::lock_guard receive(receiveLock_);
            handOff_ = accumulator_;
        }
        if (quit_.load())
            break;
        platform::Trace("Task data\n");
        replyPosted_.store(true);
        QCoreApplication::postEvent(this, new QEvent(kPortReplyEvent));
    }
}

CThreadForPort::Burst CThreadForPort::ReadBurst() {
    // A burst ends at the first gap of more than 10 ms between bytes.
    char chunk[kReadChunkBytes];
    for (;;) {
        const auto read = port_.ReadChunk(chunk, sizeof chunk, kInterByteGapMs);
        accumulator_.append(chunk, static_cast<qsizetype>(read.count));
        if (read.end == platform::SerialPort::ReadEnd::Aborted || quit_.load())
            return Burst::Stopped;
        if (read.end == platform::SerialPort::ReadEnd::Lost)
            return Burst::Lost;
        if (accumulator_.size() > longestReply_)
            return Burst::TooLong;
        if (read.end == platform::SerialPort::ReadEnd::Gap)
            return Burst::Complete;
    }
}
