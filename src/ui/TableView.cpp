#include "ui/TableView.h"

CTableView::CTableView(QWidget* parent) : CFormView(parent) {}
