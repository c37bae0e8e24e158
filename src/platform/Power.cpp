#include "platform/Power.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

namespace platform {

namespace {

bool onInstrument = false;

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}

} // namespace

void RequestPowerOff() {
    if (Handler()) {
        Handler()();
        return;
    }
    if (onInstrument)
        QProcess::startDetached(QStringLiteral("poweroff"), {});
    // Leave the event loop once the current handler has returned.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void SetRunsOnInstrument(bool value) {
    onInstrument = value;
    SetHostClockWritable(value);
}

bool RunsOnInstrument() {
    return onInstrument;
}

void SetPowerOffHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}

} // namespace platform
