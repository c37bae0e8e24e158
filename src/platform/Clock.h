#pragma once

#include <QDateTime>

namespace platform {

// The instrument's local time: the host's time plus an offset. Setting the clock
// changes the offset; the host clock itself is changed only when the program runs
// on the instrument and has been told so (SetHostClockWritable).
QDateTime LocalNow();

// Makes LocalNow() read `localTime` from now on. Returns false only when the host
// clock was to be written and refused.
bool SetLocalTime(const QDateTime& localTime);

// The difference LocalNow() - host time, in milliseconds.
qint64 LocalTimeOffsetMs();

void SetHostClockWritable(bool writable);

} // namespace platform
