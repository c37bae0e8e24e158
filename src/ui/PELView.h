#pragma once

// The measurement view: the reflectogram chart with its read-outs and the
// "ПАРАМЕТРЫ" keys. For now it holds its place in the work area.

#include "platform/FormView.h"

class CPELView : public CFormView {
    Q_OBJECT
public:
    explicit CPELView(QWidget* parent = nullptr);
};
