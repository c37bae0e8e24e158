#pragma once

// The battery and charging screen. For now it holds its place in the work area and
// takes the keypad driver's battery codes without showing them yet.

#include "platform/FormView.h"

class CBatteryView : public CFormView {
    Q_OBJECT
public:
    explicit CBatteryView(QWidget* parent = nullptr);

    // The battery codes 'A'-'F' of the keypad driver.
    void ShowBatteryLevel(int code);
    int GetLastLevelCode() const { return lastLevelCode_; }

private:
    int lastLevelCode_ = 0;
};
