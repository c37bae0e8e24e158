#include "ui/KeypadTable.h"

#include "platform/Fonts.h"

#include <QHeaderView>

namespace keypad_table {

void SetUp(QTableWidget& table) {
    table.setFont(platform::StockFont());
    table.setSelectionMode(QAbstractItemView::SingleSelection);
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the columns are sized to fit
    table.setTabKeyNavigation(false);
    table.setContextMenuPolicy(Qt::NoContextMenu);
    table.setFocusPolicy(Qt::StrongFocus);
    // A one-pixel border: the columns, sized to the client width, fit inside it.
    table.setFrameStyle(QFrame::Box | QFrame::Plain);
    table.setLineWidth(1);
    table.verticalHeader()->hide();
    QHeaderView* header = table.horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(0);
    header->setHighlightSections(false);
}

void ApplyExtendedStyle(QTableWidget& table, std::uint32_t style) {
    table.setShowGrid((style & kGridLines) != 0);
    table.setSelectionBehavior((style & kFullRowSelect) != 0 ? QAbstractItemView::SelectRows
                                                             : QAbstractItemView::SelectItems);
}

void SetRowHeight(QTableWidget& table, int pixels) {
    QHeaderView* rows = table.verticalHeader();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(pixels);
}

} // namespace keypad_table
