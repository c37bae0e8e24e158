#include "support/PtyPeer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer() {
    Open();
}

void PtyPeer::Open() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return;
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return;
    slavePath_ = QString::fromLocal8Bit(name);
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (slaveKeeper_ >= 0 && ::tcgetattr(slaveKeeper_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slaveKeeper_, TCSANOW, &raw);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer() {
    HangUp();
}

void PtyPeer::HangUp() {
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    if (master_ >= 0)
        ::close(master_);
    slaveKeeper_ = master_ = -1;
    buffered_.clear();
}

bool PtyPeer::Renew() {
    HangUp();
    Open();
    return IsValid();
}

bool PtyPeer::Fill(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds slice) {
    char chunk[4096];
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n > 0) {
        buffered_.append(chunk, n);
        return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd in{master_, POLLIN, 0};
    ::poll(&in, 1, static_cast<int>(std::min(left, slice).count()));
    return true;
}

QByteArray PtyPeer::ReadAvailable(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (Fill(deadline, within)) {
    }
    QByteArray all = buffered_;
    buffered_.clear();
    return all;
}

std::optional<QByteArray> PtyPeer::ReadFrame(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    do {
        if (buffered_.size() >= 2 && buffered_.size() >= static_cast<unsigned char>(buffered_[1])) {
            const int length = static_cast<unsigned char>(buffered_[1]);
            QByteArray frame = buffered_.left(length < 2 ? 2 : length);
            buffered_.remove(0, frame.size());
            return frame;
        }
    } while (Fill(deadline, std::chrono::milliseconds(5)));
    return std::nullopt;
}

bool PtyPeer::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd out{master_, POLLOUT, 0};
        ::poll(&out, 1, 100);
    }
    return true;
}
