#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

// The instrument's local time: the host's time plus an offset. Setting the clock
// changes the offset; on the instrument (SetRunsOnInstrument) it sets the host clock
// instead, so that file times and everything else on the system follow the chip.
QDateTime LocalNow();

// Makes LocalNow() read `localTime` from now on. Returns false only when the host
// clock was to be written and refused; the program then keeps the time by the offset.
bool SetLocalTime(const QDateTime& localTime);

// The difference LocalNow() - host time, in milliseconds.
qint64 LocalTimeOffsetMs();

void SetHostClockWritable(bool writable);

// What writes the host clock: true when the system took the time. Tests put their own
// here so that no test ever changes the machine's clock; an empty one restores the system's.
using HostClockSetter = std::function<bool(const QDateTime& localTime)>;
void SetHostClockSetter(HostClockSetter setter);

} // namespace platform
