#include "support/PtyPeer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer() {
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
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    if (master_ >= 0)
        ::close(master_);
}

QByteArray PtyPeer::ReadAvailable(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            buffered_.append(chunk, n);
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd in{master_, POLLIN, 0};
        ::poll(&in, 1, static_cast<int>(left.count()));
    }
    QByteArray all = buffered_;
    buffered_.clear();
    return all;
}

std::optional<QByteArray> PtyPeer::ReadFrame(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        if (buffered_.size() >= 2 && buffered_.size() >= static_cast<unsigned char>(buffered_[1])) {
            const int length = static_cast<unsigned char>(buffered_[1]);
            QByteArray frame = buffered_.left(length < 2 ? 2 : length);
            buffered_.remove(0, frame.size());
            return frame;
        }
        char chunk[256];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            buffered_.append(chunk, n);
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd in{master_, POLLIN, 0};
        ::poll(&in, 1, static_cast<int>(std::min<long>(left.count(), 5)));
    }
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
