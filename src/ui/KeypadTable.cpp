#include "ui/KeypadTable.h"

#include "platform/Fonts.h"
#include "platform/Keys.h"
#include "ui/Colors.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// The list's rows are drawn by the list itself.
class KeypadTableDelegate : public QStyledItemDelegate {
public:
    explicit KeypadTableDelegate(CKeypadTable* table) : QStyledItemDelegate(table), table_(table) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        table_->DrawItem(*painter, option.rect, index.row(), index.column());
    }

private:
    CKeypadTable* table_;
};

} // namespace

CKeypadTable::CKeypadTable(QWidget* parent, int centredColumn) : QTableWidget(parent), centredColumn_(centredColumn) {
    setFont(platform::StockFont());
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the columns are sized to fit
    setTabKeyNavigation(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    // A one-pixel border: the columns, sized to the client width, fit inside it.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    verticalHeader()->hide();
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(0);
    header->setHighlightSections(false);
    setItemDelegate(new KeypadTableDelegate(this));
}

void CKeypadTable::SetExtendedStyle(std::uint32_t style) {
    setShowGrid((style & kGridLines) != 0);
    setSelectionBehavior((style & kFullRowSelect) != 0 ? QAbstractItemView::SelectRows
                                                       : QAbstractItemView::SelectItems);
}

void CKeypadTable::SetRowHeight(int pixels) {
    QHeaderView* rows = verticalHeader();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(pixels);
}

QRect CKeypadTable::GetSubItemRect(int row, int column) const {
    return visualRect(model()->index(row, column));
}

void CKeypadTable::ScrollLines(int lines) {
    // The scroll range follows the rows only at the next layout; bring it up to date.
    updateGeometries();
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + lines);
}

int CKeypadTable::GetTopIndex() const {
    return verticalScrollBar()->value();
}

int CKeypadTable::GetCountPerPage() const {
    return verticalScrollBar()->pageStep();
}

void CKeypadTable::DrawItem(QPainter& painter, const QRect& cellRect, int row, int column) const {
    painter.save();
    QFont rowFont = font();
    rowFont.setPixelSize(kRowFontPixels);
    painter.setFont(rowFont);
    const bool highlighted = IsHighlighted(row);
    painter.fillRect(cellRect, ColorFromRef(highlighted ? kHighlightBack : kWindowBack));
    painter.setPen(ColorFromRef(highlighted ? kHighlightText : kWindowText));
    const QTableWidgetItem* cell = item(row, column);
    const QString text = cell != nullptr ? cell->text() : QString();
    if (column == centredColumn_) {
        painter.drawText(cellRect, Qt::AlignCenter | Qt::TextSingleLine, text);
    } else {
        const QRect inset = cellRect.adjusted(kTextInset, 0, 0, 0);
        painter.drawText(inset, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    painter.restore();
}

void CKeypadTable::InvalidateRow(int row) {
    if (row < 0 || row >= rowCount()) {
        viewport()->update();
        return;
    }
    QRect rect;
    for (int column = 0; column < columnCount(); ++column)
        rect |= visualRect(model()->index(row, column));
    viewport()->update(rect.adjusted(0, 0, 0, 1));
}

void CKeypadTable::ScrollIntoView(int row) {
    if (row < 0)
        return;
    updateGeometries();
    const int top = GetTopIndex();
    if (top + GetCountPerPage() - 1 < row)
        ScrollLines(1);
    else if (row < top)
        ScrollLines(-1);
}

void CKeypadTable::keyPressEvent(QKeyEvent* event) {
    const int code = platform::VirtualKeyOf(*event);
    if (code == kDownKey || code == kUpKey) {
        event->accept();
        OnKeyDown(code);
        return;
    }
    // Every other key is the hosting view's.
    event->ignore();
}

void CKeypadTable::keyReleaseEvent(QKeyEvent* event) {
    event->ignore();
}
