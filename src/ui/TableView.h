#pragma once

// The channels menu "КАНАЛЫ": it owns the keys while the measurement view stays on
// screen. For now it holds its (zero-height) place in the work area.

#include "platform/FormView.h"

class CTableView : public CFormView {
    Q_OBJECT
public:
    explicit CTableView(QWidget* parent = nullptr);
};
