#include "sim/SimulatedBoard.h"

#include <pthread.h>
#include <sched.h>

#include "sim/PacedWriter.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sim {

namespace {

// A frame left unfinished for this long is dropped: the program has given up on it.
constexpr int kPartialFrameTimeoutMs = 50;
constexpr std::chrono::milliseconds kHangupBackoff{10};

std::mt19937 FaultRandom(const std::optional<std::uint32_t>& seed) {
    if (seed)
        return std::mt19937(*seed ^ 0x5eedu);
    std::random_device device;
    return std::mt19937(device());
}

} // namespace

SimulatedBoard::SimulatedBoard(Scenario scenario) : model_(scenario), faultRandom_(FaultRandom(scenario.seed)) {}

SimulatedBoard::~SimulatedBoard() {
    if (thread_.joinable()) {
        stopping_.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
        thread_.join();
    }
}

bool SimulatedBoard::Start(const QString& linkPath) {
    if (thread_.joinable()) {
        SetError(QStringLiteral("the board is already running"));
        return false;
    }
    QString error;
    auto terminal = PseudoTerminal::Open(&error);
    if (!terminal) {
        SetError(error);
        return false;
    }
    if (!linkPath.isEmpty() && !link_.PointAt(linkPath, terminal->SlaveName(), &error)) {
        SetError(error);
        return false;
    }
    wake_.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_.IsOpen()) {
        SetError(QStringLiteral("eventfd: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        linkPath_ = linkPath;
        devicePath_ = terminal->SlaveName();
    }
    terminal_ = std::move(terminal);
    thread_ = std::thread(&SimulatedBoard::Serve, this);
    return true;
}

QString SimulatedBoard::SlavePath() const {
    const std::lock_guard lock(mutex_);
    return linkPath_.isEmpty() ? devicePath_ : linkPath_;
}

QString SimulatedBoard::DevicePath() const {
    const std::lock_guard lock(mutex_);
    return devicePath_;
}

QString SimulatedBoard::ErrorString() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

void SimulatedBoard::SetError(const QString& error) {
    const std::lock_guard lock(mutex_);
    error_ = error;
}

void SimulatedBoard::SetFault(Fault fault) {
    fault_.store(fault);
    if (wake_.IsOpen()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
    }
}

Fault SimulatedBoard::GetFault() const {
    return fault_.load();
}

std::vector<QByteArray> SimulatedBoard::Received() const {
    const std::lock_guard lock(mutex_);
    return std::vector<QByteArray>(received_.begin(), received_.end());
}

void SimulatedBoard::ClearReceived() {
    const std::lock_guard lock(mutex_);
    received_.clear();
}

std::size_t SimulatedBoard::TracesSent() const {
    return tracesSent_.load();
}

void SimulatedBoard::Serve() {
    // A serial port's bytes leave at the line's pace whatever else the machine does.
    // Where it is allowed, the pacing thread gets a real-time priority so that a busy
    // machine does not stall a reply long enough to look like its end; elsewhere the
    // request fails quietly and the thread runs at normal priority.
    sched_param realTime{};
    realTime.sched_priority = 1;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime);
    while (!stopping_.load()) {
        if (fault_.load() == Fault::ReopenLink) {
            ReopenLink();
            continue;
        }
        std::array<pollfd, 2> watched{{{terminal_->Master(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}}};
        const int timeout = splitter_.HasPartialFrame() ? kPartialFrameTimeoutMs : -1;
        const int ready = ::poll(watched.data(), watched.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            SetError(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            return;
        }
        if (ready == 0) {
            splitter_.DropPartialFrame();
            continue;
        }
        if (watched[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wake_.Get(), &count, sizeof count);
        }
        if (watched[0].revents & POLLIN)
            ReadAvailable();
        else if (watched[0].revents & (POLLHUP | POLLERR))
            SleepUntil(std::chrono::steady_clock::now() + kHangupBackoff, stopping_);
    }
}

void SimulatedBoard::ReadAvailable() {
    QByteArray bytes;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t got = ::read(terminal_->Master(), buffer.data(), buffer.size());
        if (got > 0) {
            bytes.append(buffer.data(), got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: all read
    }
    auto start = std::chrono::steady_clock::now();
    for (const QByteArray& frame : splitter_.Feed(bytes)) {
        {
            const std::lock_guard lock(mutex_);
            received_.push_back(frame);
            if (received_.size() > kFramesKept)
                received_.pop_front();
        }
        Answer(frame, start);
        // A frame that came in while the board was busy is handled after the previous reply.
        start = std::chrono::steady_clock::now();
        if (stopping_.load())
            return;
    }
}

void SimulatedBoard::Answer(const QByteArray& frame, std::chrono::steady_clock::time_point start) {
    const auto transmission = Respond(model_, frame, fault_.load(), faultRandom_);
    if (!transmission)
        return;
    const PacedWriter writer(stopping_);
    const auto countTrace = [this] { tracesSent_.fetch_add(1); };
    writer.Send(terminal_->Master(), *transmission, start,
                transmission->trace ? std::function<void()>(countTrace) : std::function<void()>());
    if (transmission->hangUpAfter) {
        // The line goes down right behind the last byte, while the program is still reading.
        Fault expected = Fault::HangUpInReply;
        if (fault_.compare_exchange_strong(expected, Fault::ReopenLink))
            ReopenLink();
    }
}

void SimulatedBoard::ReopenLink() {
    // The new pseudo-terminal is opened before the old one closes, so its slave gets a new
    // name and a program holding the old one cannot mistake it for the new.
    QString error;
    auto fresh = PseudoTerminal::Open(&error);
    if (fresh) {
        QString linkPath;
        {
            const std::lock_guard lock(mutex_);
            linkPath = linkPath_;
        }
        if (!linkPath.isEmpty() && !link_.PointAt(linkPath, fresh->SlaveName(), &error))
            SetError(error);
        {
            const std::lock_guard lock(mutex_);
            devicePath_ = fresh->SlaveName();
        }
        terminal_ = std::move(fresh);
        splitter_.DropPartialFrame();
    } else {
        SetError(error);
    }
    Fault expected = Fault::ReopenLink;
    fault_.compare_exchange_strong(expected, Fault::None);
}

} // namespace sim
