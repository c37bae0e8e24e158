#include "platform/Clock.h"

#include "platform/Trace.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace platform {

namespace {

std::atomic<qint64> offsetMs{0};
std::atomic<bool> hostClockWritable{false};

bool SetSystemClock(const QDateTime& localTime) {
    const qint64 ms = localTime.toMSecsSinceEpoch();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    if (clock_settime(CLOCK_REALTIME, &ts) != 0) {
        Trace("Clock: the system clock cannot be set: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

HostClockSetter& Setter() {
    static HostClockSetter setter = SetSystemClock;
    return setter;
}

} // namespace

QDateTime LocalNow() {
    return QDateTime::currentDateTime().addMSecs(offsetMs.load());
}

bool SetLocalTime(const QDateTime& localTime) {
    if (hostClockWritable.load() && Setter()(localTime)) {
        offsetMs.store(0);
        return true;
    }
    // A refused host clock (no right to set the time) still leaves the program on the
    // time it was given.
    offsetMs.store(QDateTime::currentDateTime().msecsTo(localTime));
    return !hostClockWritable.load();
}

qint64 LocalTimeOffsetMs() {
    return offsetMs.load();
}

void SetHostClockWritable(bool writable) {
    hostClockWritable.store(writable);
}

void SetHostClockSetter(HostClockSetter setter) {
    Setter() = setter ? std::move(setter) : HostClockSetter(SetSystemClock);
}

} // namespace platform
