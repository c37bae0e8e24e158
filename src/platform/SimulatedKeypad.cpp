#include "platform/SimulatedKeypad.h"

#include "platform/SimulatedGpio.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

// Where a key from the keypad would go: the focus widget, else the active window, else
// any window on the screen (a workstation's window need not have the focus). Every one of
// them passes the program's key filter, which takes the battery codes.
QWidget* KeypadReceiver() {
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto shown = std::find_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
    return shown != windows.end() ? *shown : nullptr;
}

bool SimulatedAdapterPlugged() {
    return !SimulatedPins().GetPinLevel(pins::kAdapterSense);
}

} // namespace

int NextSimulatedBatteryCode(int code, bool adapterPlugged) {
    return std::clamp(code + (adapterPlugged ? 1 : -1), kBatteryExhaustedCode, kBatteryFullCode);
}

SimulatedKeypad::SimulatedKeypad(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &SimulatedKeypad::OnReport);
}

void SimulatedKeypad::Start() {
    sinceStep_.start();
    timer_.start(kFirstReportMs);
}

void SimulatedKeypad::Stop() {
    timer_.stop();
}

void SimulatedKeypad::SetLevelCode(int code) {
    if (exhaustedKeyDown_ && code != code_) {
        Post(QEvent::KeyRelease, code_);
        exhaustedKeyDown_ = false;
    }
    code_ = std::clamp(code, kBatteryExhaustedCode, kBatteryFullCode);
}

void SimulatedKeypad::SendNow() {
    Post(QEvent::KeyPress, code_);
    Post(QEvent::KeyRelease, code_);
}

void SimulatedKeypad::OnReport() {
    if (sinceStep_.hasExpired(kLevelStepMs)) {
        SetLevelCode(NextSimulatedBatteryCode(code_, SimulatedAdapterPlugged()));
        sinceStep_.restart();
    }
    if (code_ == kBatteryExhaustedCode) {
        Post(exhaustedKeyDown_ ? QEvent::KeyRelease : QEvent::KeyPress, code_);
        exhaustedKeyDown_ = !exhaustedKeyDown_;
        timer_.start(kExhaustedReportMs);
        return;
    }
    SendNow();
    timer_.start(kReportPeriodMs);
}

void SimulatedKeypad::Post(QEvent::Type type, int code) {
    QWidget* receiver = KeypadReceiver();
    if (receiver == nullptr)
        return; // no window yet: the report is lost, as a key would be
    const auto key = static_cast<Qt::Key>(Qt::Key_A + (code - 'A'));
    QCoreApplication::postEvent(receiver, new QKeyEvent(type, key, Qt::NoModifier, QString(QChar(code)).toLower()));
}

} // namespace platform
