#include "platform/SerialPort.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

speed_t BaudConstant(int baudRate) {
    switch (baudRate) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 230400:
        return B230400;
    default:
        return B115200;
    }
}

tcflag_t ByteSizeFlag(int byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

SerialPort::SerialPort() : abortFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SerialPort::~SerialPort() {
    Close();
    if (abortFd_ >= 0)
        ::close(abortFd_);
}

bool SerialPort::Open(const QString& path, int baudRate, int byteSize, int parity, int stopBits) {
    Close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openError_ = errno; // EBUSY when another program holds it exclusively
        return false;
    }
    const auto fail = [this, fd](int error) {
        openError_ = error;
        ::close(fd);
        return false;
    };
    // Two locks: the terminal's own exclusive mode keeps out every program without the
    // superuser's rights (a service probing serial ports), and the advisory lock keeps out
    // those that ask for it, a second instance of this program among them, with any rights.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return fail(errno);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, BaudConstant(baudRate));
    ::cfsetospeed(&settings, BaudConstant(baudRate));
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    settings.c_cflag |= ByteSizeFlag(byteSize) | CLOCAL | CREAD;
    if (parity == 1)
        settings.c_cflag |= PARENB | PARODD;
    else if (parity == 2)
        settings.c_cflag |= PARENB;
    if (stopBits == 2)
        settings.c_cflag |= CSTOPB;
    // With one byte as the minimum, a non-blocking read of an empty line fails with EAGAIN,
    // so that a read of 0 bytes can only mean the end of the line: a hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        return fail(errno);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    openError_ = 0;
    return true;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        // The exclusive mode belongs to the terminal, not to this descriptor: it would
        // outlive the close while anybody else keeps the terminal open.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
}

bool SerialPort::Write(const QByteArray& bytes) {
    if (fd_ < 0)
        return false;
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        deviceCalls_.fetch_add(1, std::memory_order_relaxed);
        const ssize_t written = ::write(fd_, data, left);
        if (written > 0) {
            data += written;
            left -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            pollfd out{fd_, POLLOUT, 0};
            if (::poll(&out, 1, 1000) <= 0)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

void SerialPort::DrainAbort() {
    eventfd_t value = 0;
    ::eventfd_read(abortFd_, &value);
}

SerialPort::WaitResult SerialPort::WaitForData() {
    DrainAbort();
    if (shutdown_.load())
        return WaitResult::Aborted;
    pollfd fds[2] = {{abortFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    const nfds_t count = fd_ >= 0 ? 2 : 1; // a lost device waits for the abort only
    for (;;) {
        deviceCalls_.fetch_add(count - 1, std::memory_order_relaxed);
        const int ready = ::poll(fds, count, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return WaitResult::Lost;
        if (fds[0].revents & POLLIN) {
            DrainAbort();
            return WaitResult::Aborted;
        }
        // Before POLLIN: a hung-up terminal is "readable" for ever, and every read returns 0.
        if (count == 2 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)))
            return WaitResult::Lost;
        if (count == 2 && (fds[1].revents & POLLIN))
            return WaitResult::Data;
    }
}

void SerialPort::AbortWait() {
    ::eventfd_write(abortFd_, 1);
}

void SerialPort::Shutdown() {
    // The flag first: a wait that drains this abort still sees the flag.
    shutdown_.store(true);
    ::eventfd_write(abortFd_, 1);
}

SerialPort::ReadResult SerialPort::ReadChunk(char* buffer, std::size_t capacity, int gapMs) {
    ReadResult result;
    while (result.count < capacity) {
        if (shutdown_.load()) {
            result.end = ReadEnd::Aborted;
            return result;
        }
        if (fd_ < 0) {
            result.end = ReadEnd::Lost;
            return result;
        }
        deviceCalls_.fetch_add(1, std::memory_order_relaxed);
        const ssize_t n = ::read(fd_, buffer + result.count, capacity - result.count);
        if (n > 0) {
            result.count += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN) { // the end of the line, or a failed device
            result.end = ReadEnd::Lost;
            return result;
        }
        pollfd in{fd_, POLLIN, 0};
        int ready = 0;
        do {
            deviceCalls_.fetch_add(1, std::memory_order_relaxed);
            ready = ::poll(&in, 1, gapMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0 || (in.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            result.end = ReadEnd::Lost;
            return result;
        }
        if (ready == 0) {
            result.end = ReadEnd::Gap;
            return result;
        }
    }
    result.end = ReadEnd::Full;
    return result;
}

void SerialPort::DiscardInput() {
    if (fd_ >= 0)
        ::tcflush(fd_, TCIFLUSH);
}

} // namespace platform
