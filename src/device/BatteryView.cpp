#include "device/BatteryView.h"

CBatteryView::CBatteryView(QWidget* parent) : CFormView(parent) {}

void CBatteryView::ShowBatteryLevel(int code) {
    lastLevelCode_ = code;
}
