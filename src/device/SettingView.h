#pragma once

// The instrument's settings and the USB transfers. For now it holds its place.

#include "platform/FormView.h"

class CSettingView : public CFormView {
    Q_OBJECT
public:
    explicit CSettingView(QWidget* parent = nullptr);
};
