#include "ui/PELView.h"

CPELView::CPELView(QWidget* parent) : CFormView(parent) {}
