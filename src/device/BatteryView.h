#pragma once

// The battery and charging screen, and the supervisor of the mains adapter and the
// charger behind it: five polls a second (the frame's status refresh) read the adapter
// sense and the charger's status lines, keep the instrument powered, force the charging
// screen, and power the instrument off when a charging adapter is pulled. It also turns
// the keypad driver's battery codes into the status line's battery picture.

#include "device/ChargerStatus.h"
#include "device/GPIOLib.h"
#include "platform/FormView.h"

#include <array>
#include <cstdint>

class CPELButton;
class CPELDoc;

class CBatteryView : public CFormView {
    Q_OBJECT
public:
    // On the process-wide pins.
    explicit CBatteryView(QWidget* parent = nullptr);
    // On `pins`; null runs without charger supervision.
    explicit CBatteryView(platform::GpioBackend* pins, QWidget* parent = nullptr);

    // Once, while the frame creates its views: the adapter and charger pins become inputs,
    // and without an adapter the power-on line is driven high.
    void PowerOnInit();
    // Reads the pins: the status bits of the charger namespace.
    std::uint32_t PollStatus();

    // The status refresh runs the charger state machine.
    void OnUpdate(CView* sender, long hint, void* object) override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnInitialUpdate() override;

    // The battery codes 'A'-'F' of the keypad driver.
    void ShowBatteryLevel(int code);

    int GetLastLevelCode() const { return lastLevelCode_; }
    // The status line picture shown last (0 before the first battery code).
    int GetPictureId() const { return pictureId_; }
    std::uint32_t GetLastStatus() const { return lastStatus_; }
    int GetFillLevel() const { return fillLevel_; }
    bool HasChargerSupervision() const { return gpio_.IsAvailable(); }

    // The cells 0-4 of the body, 5 the terminal, 6 the message line; null before the
    // initial update.
    static constexpr int kLabels = 7;
    static constexpr int kTerminal = 5;
    static constexpr int kMessageLine = 6;
    CPELButton* GetLabel(int index) const { return labels_[static_cast<std::size_t>(index)]; }

private:
    void RunChargerStateMachine();
    void ChargingAnimation(bool full);
    void ShowMessage(int state, const QString& text);
    void SetStatusTitle(const QString& title);
    void DrivePowerOn(bool high);
    CPELDoc* Document() const;

    GPIOLib gpio_;
    std::array<CPELButton*, kLabels> labels_{};
    std::uint32_t lastStatus_ = 0;
    std::int32_t adapterHistory_ = charger::kSteadilyPresent;
    std::uint32_t lastLineB_ = 0;
    std::uint32_t lastLineA_ = 0;
    std::int32_t fillLevel_ = 0;
    int lastLevelCode_ = 0;
    int pictureId_ = 0;
};
