#include "device/SettingListCtrl.h"

CSettingListCtrl::CSettingListCtrl(QWidget* parent) : CKeypadTable(parent, kValueColumn) {}

void CSettingListCtrl::InsertColumn(int column, const QString& header, Qt::Alignment alignment) {
    insertColumn(column);
    auto* item = new QTableWidgetItem(header);
    item->setTextAlignment(alignment);
    setHorizontalHeaderItem(column, item);
}

void CSettingListCtrl::InsertItem(int row, const QString& text) {
    insertRow(row);
    setItem(row, kHiddenColumn, new QTableWidgetItem(text));
}

void CSettingListCtrl::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (QTableWidgetItem* cell = item(row, column)) {
        if (cell->text() != text)
            cell->setText(text);
        return;
    }
    setItem(row, column, new QTableWidgetItem(text));
}

QString CSettingListCtrl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void CSettingListCtrl::LayoutColumns(int width) {
    const int third = width / 3;
    setColumnWidth(kHiddenColumn, 0);
    setColumnWidth(kNameColumn, 2 * third - kValueColumnExtra);
    setColumnWidth(kValueColumn, third + kValueColumnExtra);
}

void CSettingListCtrl::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    if (columnCount() == kColumns)
        LayoutColumns(contentsRect().width());
}

// --- keys -------------------------------------------------------------------

void CSettingListCtrl::OnKeyDown(int code) {
    if ((code != kDownKey && code != kUpKey) || currentRow_ < 0)
        return;
    InvalidateRow(currentRow_);
    const bool down = code == kDownKey;
    const int next = down ? currentRow_ + 1 : currentRow_ - 1;
    if (next >= 0 && next < rowCount_) {
        currentRow_ = next;
    } else if (rowCount_ > 0) {
        // No row in that direction: the current row stays at the end.
        currentRow_ = down ? rowCount_ - 1 : 0;
        selectRow(currentRow_);
        setCurrentCell(currentRow_, kNameColumn);
    }
    InvalidateRow(currentRow_);
    ScrollIntoView(currentRow_);
}
