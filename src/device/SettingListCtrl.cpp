#include "device/SettingListCtrl.h"

#include "platform/Fonts.h"
#include "platform/Keys.h"
#include "ui/Colors.h"
#include "ui/KeypadTable.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// The list's rows are drawn by the list itself.
class SettingItemDelegate : public QStyledItemDelegate {
public:
    explicit SettingItemDelegate(CSettingListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        list_->DrawItem(*painter, option.rect, index.row(), index.column());
    }

private:
    CSettingListCtrl* list_;
};

} // namespace

CSettingListCtrl::CSettingListCtrl(QWidget* parent) : QTableWidget(parent) {
    keypad_table::SetUp(*this);
    setItemDelegate(new SettingItemDelegate(this));
}

void CSettingListCtrl::SetExtendedStyle(std::uint32_t style) {
    keypad_table::ApplyExtendedStyle(*this, style);
}

void CSettingListCtrl::SetRowHeight(int pixels) {
    keypad_table::SetRowHeight(*this, pixels);
}

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

QRect CSettingListCtrl::GetSubItemRect(int row, int column) const {
    return visualRect(model()->index(row, column));
}

int CSettingListCtrl::GetTopIndex() const {
    return verticalScrollBar()->value();
}

int CSettingListCtrl::GetCountPerPage() const {
    return verticalScrollBar()->pageStep();
}

void CSettingListCtrl::ScrollLines(int lines) {
    // The scroll range follows the rows only at the next layout; bring it up to date.
    updateGeometries();
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + lines);
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

// --- drawing ----------------------------------------------------------------

void CSettingListCtrl::DrawItem(QPainter& painter, const QRect& cellRect, int row, int column) const {
    painter.save();
    QFont rowFont = font();
    rowFont.setPixelSize(kRowFontPixels);
    painter.setFont(rowFont);
    const bool current = row == currentRow_;
    painter.fillRect(cellRect, ColorFromRef(current ? kHighlightBack : kWindowBack));
    painter.setPen(ColorFromRef(current ? kHighlightText : kWindowText));
    const QString text = GetItemText(row, column);
    if (column == kValueColumn) {
        painter.drawText(cellRect, Qt::AlignCenter | Qt::TextSingleLine, text);
    } else {
        const QRect inset = cellRect.adjusted(kTextInset, 0, 0, 0);
        painter.drawText(inset, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    painter.restore();
}

void CSettingListCtrl::InvalidateRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    QRect rect;
    for (int column = 0; column < columnCount(); ++column)
        rect |= visualRect(model()->index(row, column));
    viewport()->update(rect.adjusted(0, 0, 0, 1));
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
    updateGeometries();
    const int top = GetTopIndex();
    if (top + GetCountPerPage() - 1 < currentRow_)
        ScrollLines(1);
    else if (currentRow_ < top)
        ScrollLines(-1);
}

void CSettingListCtrl::keyPressEvent(QKeyEvent* event) {
    const int code = platform::VirtualKeyOf(*event);
    if (code == kDownKey || code == kUpKey) {
        event->accept();
        OnKeyDown(code);
        return;
    }
    // Every other key is the hosting view's.
    event->ignore();
}

void CSettingListCtrl::keyReleaseEvent(QKeyEvent* event) {
    event->ignore();
}
