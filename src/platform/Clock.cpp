#include "platform/Clock.h"

#include <atomic>
#include <ctime>

namespace platform {

namespace {

std::atomic<qint64> offsetMs{0};
std::atomic<bool> hostClockWritable{false};

} // namespace

QDateTime LocalNow() {
    return QDateTime::currentDateTime().addMSecs(offsetMs.load());
}

bool SetLocalTime(const QDateTime& localTime) {
    if (hostClockWritable.load()) {
        const qint64 ms = localTime.toMSecsSinceEpoch();
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(ms / 1000);
        ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
        if (clock_settime(CLOCK_REALTIME, &ts) != 0)
            return false;
        offsetMs.store(0);
        return true;
    }
    offsetMs.store(QDateTime::currentDateTime().msecsTo(localTime));
    return true;
}

qint64 LocalTimeOffsetMs() {
    return offsetMs.load();
}

void SetHostClockWritable(bool writable) {
    hostClockWritable.store(writable);
}

} // namespace platform
