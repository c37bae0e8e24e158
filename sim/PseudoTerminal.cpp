#include "sim/PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace sim {

namespace {

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

std::optional<PseudoTerminal> PseudoTerminal::Open(QString* error) {
    auto fail = [error](const char* what) {
        if (error)
            *error = SystemError(what);
        return std::nullopt;
    };
    PseudoTerminal terminal;
    terminal.master_.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!terminal.master_.IsOpen())
        return fail("posix_openpt");
    if (grantpt(terminal.Master()) != 0)
        return fail("grantpt");
    if (unlockpt(terminal.Master()) != 0)
        return fail("unlockpt");
    std::array<char, 128> name{};
    if (ptsname_r(terminal.Master(), name.data(), name.size()) != 0)
        return fail("ptsname_r");
    terminal.slaveName_ = QString::fromLocal8Bit(name.data());
    terminal.slave_.Reset(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!terminal.slave_.IsOpen())
        return fail("open slave");
    if (!MakeRaw(terminal.slave_.Get()))
        return fail("tcsetattr");
    const int flags = fcntl(terminal.Master(), F_GETFL);
    if (flags < 0 || fcntl(terminal.Master(), F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    return terminal;
}

} // namespace sim
