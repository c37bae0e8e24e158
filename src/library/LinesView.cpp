#include "library/LinesView.h"

CLinesView::CLinesView(QWidget* parent) : CFormView(parent) {}
