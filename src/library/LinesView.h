#pragma once

// The velocity library ("КУ" or "V/2" by cable brand). For now it holds its place.

#include "platform/FormView.h"

class CLinesView : public CFormView {
    Q_OBJECT
public:
    explicit CLinesView(QWidget* parent = nullptr);
};
