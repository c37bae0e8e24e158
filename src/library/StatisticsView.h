#pragma once

// The reflectogram library under the shortened measurement view. For now it holds its place.

#include "platform/FormView.h"

class CStatisticsView : public CFormView {
    Q_OBJECT
public:
    explicit CStatisticsView(QWidget* parent = nullptr);
};
