#include "library/StatisticsView.h"

CStatisticsView::CStatisticsView(QWidget* parent) : CFormView(parent) {}
