#include "platform/Power.h"

#include "platform/Clock.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProcess>

namespace platform {

namespace {

bool onInstrument = false;

// The system acknowledges a power-off at once; it then stops the program itself.
constexpr int kPowerOffCommandMs = 10000;

std::function<bool()>& Handler() {
    static std::function<bool()> handler;
    return handler;
}

// Through the service manager: the program runs as its own unprivileged user, and the
// login manager decides (by its policy rules) whether that user may switch the system off.
bool SystemPowersOff() {
    QProcess command;
    command.start(QStringLiteral("systemctl"), {QStringLiteral("poweroff")});
    if (!command.waitForStarted(kPowerOffCommandMs)) {
        Trace("Power: systemctl poweroff cannot be run: %s\n", qUtf8Printable(command.errorString()));
        return false;
    }
    if (!command.waitForFinished(kPowerOffCommandMs) || command.exitStatus() != QProcess::NormalExit ||
        command.exitCode() != 0) {
        Trace("Power: systemctl poweroff refused (exit %d): %s\n", command.exitCode(),
              command.readAllStandardError().trimmed().constData());
        return false;
    }
    return true;
}

} // namespace

bool RequestPowerOff() {
    if (Handler())
        return Handler()();
    if (onInstrument && !SystemPowersOff())
        return false;
    // Leave the event loop once the current handler has returned.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return true;
}

void SetRunsOnInstrument(bool value) {
    onInstrument = value;
    SetHostClockWritable(value);
}

bool RunsOnInstrument() {
    return onInstrument;
}

void SetPowerOffHandler(std::function<bool()> handler) {
    Handler() = std::move(handler);
}

} // namespace platform
