#include "library/MyListCtrl.h"

#include "document/PELDoc.h"
#include "document/PELParam.h"
#include "document/ReflectogramFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/FormView.h"
#include "platform/Keys.h"
#include "ui/Colors.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QtEndian>

#include <algorithm>

namespace reflectogram_list {

namespace {

const char* const kNoFile = "xxx";

struct ColumnHeader {
    const char* text;
    Qt::Alignment alignment;
};

constexpr std::array<ColumnHeader, kColumns> kHeaders = {{
    {" ", Qt::AlignLeft | Qt::AlignVCenter},
    {"имя файла", Qt::AlignCenter},
    {"масштаб", Qt::AlignCenter},
    {"импульс", Qt::AlignCenter},
    {"КУ", Qt::AlignCenter},
    {"дата", Qt::AlignCenter},
    {"время", Qt::AlignCenter},
}};

constexpr int kVelocityColumn = 4;
constexpr int kHeaderValues = 7;
constexpr int kPulseValue = 1;
constexpr int kRangeValue = 2;
constexpr int kVelocityValue = 6;
constexpr double kStoredVelocityScale = 1000.0;

// Width of each column as a * w + b, w being the client width / 8.
struct ColumnWidthRule {
    int perEighth;
    int extra;
};
constexpr std::array<ColumnWidthRule, kColumns> kWidthRules = {{
    {0, 10},
    {3, -30}, // 20 narrower again when the scroll bar shows
    {1, 4},
    {1, 4},
    {1, 0},
    {1, 10},
    {1, 6},
}};
constexpr int kScrollBarRoom = 20;

} // namespace

QString SearchMask(const QString& slotPath) {
    if (slotPath.isEmpty())
        return QString();
    return platform::FolderPart(slotPath) + QLatin1Char('*') + QString::fromLatin1(kExtension);
}

std::array<int, kColumns> ColumnWidths(int clientWidth, int itemCount) {
    const int eighth = clientWidth / 8;
    std::array<int, kColumns> widths{};
    for (std::size_t column = 0; column < widths.size(); ++column)
        widths[column] = kWidthRules[column].perEighth * eighth + kWidthRules[column].extra;
    if (itemCount > kRowsWithoutScrollBar)
        widths[kNameColumn] -= kScrollBarRoom;
    return widths;
}

std::optional<std::array<std::int32_t, 7>> HeaderValues(const QByteArray& contents) {
    constexpr int kValueBytes = 4;
    if (contents.size() < kHeaderValues * kValueBytes)
        return std::nullopt;
    std::array<std::int32_t, kHeaderValues> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = qFromLittleEndian<std::int32_t>(contents.constData() + i * kValueBytes);
    return values;
}

QString DateText(const QDateTime& time) {
    const QDate date = time.date();
    return QString::asprintf("%2.2d.%2.2d.%2.2d", date.day(), date.month(), date.year());
}

QString TimeText(const QDateTime& time) {
    const QTime clock = time.time();
    return QString::asprintf("%2.2d:%2.2d:%2.2d", clock.hour(), clock.minute(), clock.second());
}

namespace {

QString VelocityText(std::int32_t storedKU) {
    // A file with no sensible КУ shows none rather than an infinite V/2.
    if (storedKU <= 0)
        return QString();
    double velocity = storedKU / kStoredVelocityScale;
    ConvertVelocityForMode(velocity);
    return FormatVelocity(velocity);
}

} // namespace

RowTexts DescribeFile(const QString& baseName, const QByteArray& contents, const QDateTime& modified) {
    RowTexts texts;
    texts[0] = QStringLiteral(" ");
    texts[kNameColumn] = baseName;
    if (const auto values = HeaderValues(contents)) {
        texts[2] = RangeText((*values)[kRangeValue]);
        texts[3] = PulseName((*values)[kPulseValue]);
        texts[kVelocityColumn] = VelocityText((*values)[kVelocityValue]);
    }
    texts[5] = DateText(modified);
    texts[6] = TimeText(modified);
    return texts;
}

int SelectionAfterDelete(int deleted, int count) {
    if (deleted < 0 || deleted >= count || count <= 1)
        return -1;
    return deleted + 1 < count ? deleted + 1 : deleted - 1;
}

} // namespace reflectogram_list

namespace {

using namespace reflectogram_list;

// The list draws its rows itself.
class RowDelegate : public QStyledItemDelegate {
public:
    explicit RowDelegate(CMyListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        list_->DrawItem(*painter, option.rect, index.row(), index.column());
        painter->restore();
    }

private:
    CMyListCtrl* list_;
};

// A header of fixed height, whatever the style would like.
class FixedHeader : public QHeaderView {
public:
    explicit FixedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    QSize sizeHint() const override { return QSize(QHeaderView::sizeHint().width(), kHeaderHeight); }
};

// The files in the order they were saved, oldest first: the order the operator made them
// in, which a name order breaks ("РЕФЛ10" before "РЕФЛ2"). The modification time is the
// saving time, since naming a recording renames it; files of the same moment go by name.
std::vector<platform::FileInfo> InSavingOrder(std::vector<platform::FileInfo> files) {
    std::sort(files.begin(), files.end(), [](const platform::FileInfo& a, const platform::FileInfo& b) {
        return a.modified != b.modified ? a.modified < b.modified : a.name < b.name;
    });
    return files;
}

bool IsStoredSlot(int slot) {
    return slot >= kFirstStoredSlot && slot < kFirstStoredSlot + kStoredSlots;
}

} // namespace

CMyListCtrl::CMyListCtrl(CFormView* owner)
    : QTableWidget(owner), selectedName_(QString::fromLatin1(kNoFile)), owner_(owner) {
    slotNames_.fill(QString::fromLatin1(kNoFile));
    setObjectName(QString::number(kControlId));
    setFont(platform::StockFont());
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setHorizontalHeader(new FixedHeader(this));
    setItemDelegate(new RowDelegate(this));
    // The keypad moves the selection; nothing is edited, clicked into or chosen by Qt.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ColorFromRef(kWindowColor));
    colours.setColor(QPalette::Text, ColorFromRef(kWindowTextColor));
    setPalette(colours);
}

CMyListCtrl::~CMyListCtrl() = default;

void CMyListCtrl::InitColumns() {
    setColumnCount(kColumns);
    for (int column = 0; column < kColumns; ++column) {
        const ColumnHeader& header = reflectogram_list::kHeaders[static_cast<std::size_t>(column)];
        auto* item = new QTableWidgetItem(QString::fromUtf8(header.text));
        item->setTextAlignment(header.alignment);
        setHorizontalHeaderItem(column, item);
    }
    QHeaderView* top = horizontalHeader();
    top->setSectionResizeMode(QHeaderView::Fixed);
    top->setSectionsClickable(false);
    top->setSectionsMovable(false);
    top->setHighlightSections(false);
    top->setMinimumSectionSize(0);
    top->setStretchLastSection(false);
    top->setFixedHeight(kHeaderHeight);
    QHeaderView* side = verticalHeader();
    side->hide();
    side->setSectionResizeMode(QHeaderView::Fixed);
    side->setMinimumSectionSize(0);
    side->setDefaultSectionSize(kRowHeight);
    setShowGrid(true);
    ApplyColumnWidths();
}

void CMyListCtrl::SetVelocityHeader(const QString& label) {
    if (QTableWidgetItem* item = horizontalHeaderItem(kVelocityColumn))
        item->setText(label);
}

void CMyListCtrl::FillList(CPELDoc* document) {
    document_ = document;
    if (document_ == nullptr)
        return;
    for (int slot = kFirstStoredSlot; slot < kFirstStoredSlot + kStoredSlots; ++slot)
        slotNames_[static_cast<std::size_t>(slot - kFirstStoredSlot)] =
            document_->ch[static_cast<std::size_t>(slot)].fileName;

    const QString mask = SearchMask(document_->ch[kFirstStoredSlot].filePath);
    if (mask.isEmpty())
        return;
    const QString selected = selectedName_;
    setRowCount(0);
    itemCount_ = 0;
    selectedName_ = selected;

    const QString folder = platform::FolderPart(mask);
    const QString extension = QString::fromLatin1(kExtension);
    const qint64 clockOffset = platform::LocalTimeOffsetMs();
    for (const platform::FileInfo& file : InSavingOrder(platform::FindFiles(mask))) {
        // Only what the other operations can reach by name + ".pel" is listed.
        if (file.IsFolder() || !file.name.endsWith(extension, Qt::CaseSensitive))
            continue;
        QByteArray contents;
        // The header is all the row shows. Unreadable (or no regular file): the row keeps
        // name and time only.
        platform::ReadFileStart(folder + file.name, reflectogram::kHeaderBytes, contents);
        const QString name = file.name.left(file.name.size() - extension.size());
        AddRow(DescribeFile(name, contents, file.modified.addMSecs(clockOffset)));
    }
    EnsureSelectionListed();
    ApplyColumnWidths();
    viewport()->update();
}

void CMyListCtrl::AddRow(const RowTexts& texts) {
    const int row = rowCount();
    insertRow(row);
    for (int column = 0; column < kColumns; ++column)
        setItem(row, column, new QTableWidgetItem(texts[static_cast<std::size_t>(column)]));
    ++itemCount_;
}

void CMyListCtrl::EnsureSelectionListed() {
    // A selection whose file has gone (or none yet) falls back to the first row.
    if (FindItem(selectedName_) < 0)
        selectedName_ = GetItemName(itemCount_ > 0 ? 0 : -1);
}

int CMyListCtrl::FindItem(const QString& name) const {
    for (int row = 0; row < itemCount_; ++row) {
        if (GetItemName(row) == name)
            return row;
    }
    return -1;
}

QString CMyListCtrl::GetItemName(int index) const {
    const QTableWidgetItem* cell = index >= 0 && index < itemCount_ ? item(index, kNameColumn) : nullptr;
    return cell != nullptr ? cell->text() : QString::fromLatin1(kNoFile);
}

void CMyListCtrl::SetItemName(int index, const QString& name) {
    if (QTableWidgetItem* cell = index >= 0 && index < itemCount_ ? item(index, kNameColumn) : nullptr)
        cell->setText(name);
}

void CMyListCtrl::DeleteItem(int index) {
    if (index < 0 || index >= itemCount_)
        return;
    selectedName_ = GetItemName(SelectionAfterDelete(index, itemCount_));
    removeRow(index);
    --itemCount_;
    ApplyColumnWidths();
    viewport()->update();
}

void CMyListCtrl::DeleteAllItems() {
    setRowCount(0);
    itemCount_ = 0;
    selectedName_ = QString::fromLatin1(kNoFile);
    ApplyColumnWidths();
    viewport()->update();
}

void CMyListCtrl::SetSelectedName(const QString& name) {
    const int old = FindItem(selectedName_);
    selectedName_ = name;
    RepaintRow(old);
    RepaintRow(FindItem(name));
}

void CMyListCtrl::MoveSelection(int code) {
    const int current = FindItem(selectedName_);
    const int step = code == '7' ? +1 : -1;
    QString next = GetItemName(current + step);
    if (next == QString::fromLatin1(kNoFile))
        next = GetItemName(code == '7' ? itemCount_ - 1 : 0); // the selection stops at the ends
    SetSelectedName(next);
    const int row = FindItem(next);
    if (row >= 0)
        scrollToItem(item(row, kNameColumn), QAbstractItemView::EnsureVisible);
}

const QString& CMyListCtrl::SlotName(int slot) const {
    static const QString none = QString::fromLatin1(kNoFile);
    return IsStoredSlot(slot) ? slotNames_[static_cast<std::size_t>(slot - kFirstStoredSlot)] : none;
}

void CMyListCtrl::SetSlotName(int slot, const QString& name) {
    if (!IsStoredSlot(slot))
        return;
    slotNames_[static_cast<std::size_t>(slot - kFirstStoredSlot)] = name;
    if (document_ != nullptr)
        document_->ch[static_cast<std::size_t>(slot)].fileName = name;
    viewport()->update();
}

int CMyListCtrl::ClientWidth() const {
    // The width inside the border, scroll bar or not: the name column makes room for it.
    return width() - 2 * frameWidth();
}

void CMyListCtrl::ApplyColumnWidths() {
    if (columnCount() != kColumns)
        return;
    const auto widths = ColumnWidths(ClientWidth(), itemCount_);
    for (int column = 0; column < kColumns; ++column)
        setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

QRect CMyListCtrl::ItemRect(int index) const {
    if (index < 0 || index >= itemCount_)
        return QRect();
    const QRect first = visualRect(model()->index(index, 0));
    const QRect last = visualRect(model()->index(index, kColumns - 1));
    return QRect(viewport()->mapTo(this, first.topLeft()), viewport()->mapTo(this, last.bottomRight()));
}

void CMyListCtrl::ScrollToItem(int index) {
    if (index >= 0 && index < itemCount_)
        scrollTo(model()->index(index, kNameColumn), QAbstractItemView::PositionAtTop);
}

void CMyListCtrl::RepaintRow(int index) {
    if (index < 0)
        return;
    const QRect row = ItemRect(index);
    viewport()->update(QRect(viewport()->mapFrom(this, row.topLeft()), row.size()));
}

void CMyListCtrl::DrawItem(QPainter& painter, const QRect& rect, int row, int column) const {
    const QString name = GetItemName(row);
    const bool selected = name == selectedName_;
    painter.fillRect(rect, ColorFromRef(selected ? kActiveCaptionColor : kWindowColor));
    if (column == 0 && name != QString::fromLatin1(kNoFile)) {
        // Slots 2, 3, 4 in that order: a later one holding the same file paints over.
        for (std::size_t slot = 0; slot < slotNames_.size(); ++slot) {
            if (slotNames_[slot] == name)
                painter.fillRect(rect, ColorFromRef(kSlotMarkColors[slot]));
        }
    }
    const QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr)
        return;
    painter.setFont(font());
    painter.setPen(ColorFromRef(selected ? kSelectedTextColor : kWindowTextColor));
    if (column <= kNameColumn)
        painter.drawText(rect.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, cell->text());
    else
        painter.drawText(rect, Qt::AlignCenter, cell->text());
}

void CMyListCtrl::keyPressEvent(QKeyEvent* event) {
    event->accept();
    const int code = platform::VirtualKeyOf(*event);
    if (code == 0)
        return;
    if (code == '1' || code == '7')
        MoveSelection(code);
    // The view takes every key-down after the list.
    if (owner_ != nullptr)
        owner_->DeliverKeyDown(code, event->isAutoRepeat());
}

void CMyListCtrl::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    const int code = platform::VirtualKeyOf(*event);
    if (code == 0 || event->isAutoRepeat())
        return;
    // The view's own key-up rule decides whether the key counts.
    if (owner_ != nullptr)
        owner_->DeliverKeyUp(code);
}
