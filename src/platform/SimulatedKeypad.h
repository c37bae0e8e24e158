#pragma once

// The keypad driver's battery reports on a workstation. The instrument's driver sends the
// battery level as a key code 'A' (exhausted) to 'F' (full); here a battery drains slowly
// from full while the simulated mains adapter is out, and charges back while it is in.
// The codes enter the program as key presses and releases, the way the real driver's do.

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>

namespace platform {

inline constexpr int kBatteryExhaustedCode = 'A';
inline constexpr int kBatteryFullCode = 'F';

// The battery code one level step after `code`: one level down on the battery, one up
// while the adapter charges it; it stays within 'A'..'F'.
int NextSimulatedBatteryCode(int code, bool adapterPlugged);

class SimulatedKeypad : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstReportMs = 1000;
    static constexpr int kReportPeriodMs = 60 * 1000;
    static constexpr int kLevelStepMs = 4 * kReportPeriodMs;
    // An exhausted battery is reported twice a second, press and release apart, so the
    // status line's picture blinks.
    static constexpr int kExhaustedReportMs = 500;

    explicit SimulatedKeypad(QObject* parent = nullptr);

    // The first report a second from now, then every minute.
    void Start();
    void Stop();

    int GetLevelCode() const { return code_; }
    void SetLevelCode(int code);
    // A press and a release of the current code, posted at once.
    void SendNow();

private:
    void OnReport();
    void Post(QEvent::Type type, int code);

    QTimer timer_;
    QElapsedTimer sinceStep_;
    int code_ = kBatteryFullCode;
    bool exhaustedKeyDown_ = false; // the exhausted code's press went out, its release not yet
};

} // namespace platform
