#include "device/SettingView.h"

CSettingView::CSettingView(QWidget* parent) : CFormView(parent) {}
