#include "library/KUListCtrl.h"

#include "document/PELDoc.h"
#include "document/ParamTables.h"
#include "platform/Files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace {

constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kCarriageReturn = u'\r';
// From this many rows on the list needs its vertical scroll bar, and the brand column
// gives it room.
constexpr int kRowsWithoutScrollBar = 27;
constexpr int kScrollBarRoom = 20;
constexpr int kValueColumnMargin = 2;
// The value cell of a row without a usable value keeps the file's line here.
constexpr int kUnusableLineRole = Qt::UserRole + 1;

struct ColumnLayout {
    const char* header;
    Qt::Alignment headerAlignment;
};
constexpr std::array<ColumnLayout, CKUListCtrl::kColumns> kColumnLayouts{{
    {" ", Qt::AlignLeft | Qt::AlignVCenter},
    {"марка кабеля", Qt::AlignCenter},
    {"значение ", Qt::AlignCenter},
}};

// The numbers of the file are the C library's, whatever the host's locale says.
locale_t ClassicLocale() {
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return classic;
}

bool IsCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

namespace ku_table {

QString NoBrand() {
    return QString::fromUtf8(kNoBrand);
}

QString NoValueMark() {
    return QString::fromUtf8(kNoValueMark);
}

bool IsUsableKU(double ku) {
    const tables::VelocityMode& kuMode = tables::kVelocityModes[0];
    return std::isfinite(ku) && ku >= kuMode.minimum && ku <= kuMode.maximum;
}

QStringList DecodeLines(const QByteArray& bytes) {
    QStringList lines;
    QString line;
    bool pending = false; // characters read since the last line feed
    const qsizetype units = bytes.size() / 2;
    for (qsizetype i = 0; i < units; ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        const auto unit = static_cast<char16_t>(low | (high << 8));
        if (unit == kLineFeed) {
            if (line.endsWith(QChar(kCarriageReturn)))
                line.chop(1);
            lines.append(line);
            line.clear();
            pending = false;
            continue;
        }
        line.append(QChar(unit));
        pending = true;
    }
    if (pending)
        lines.append(line);
    return lines;
}

QByteArray EncodeLines(const QStringList& lines) {
    QByteArray bytes;
    const auto put = [&bytes](char16_t unit) {
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    };
    for (const QString& line : lines) {
        for (const QChar c : line)
            put(c.unicode());
        put(kLineFeed);
    }
    return bytes;
}

double ParseValue(const QString& text) {
    QByteArray low;
    low.reserve(text.size());
    for (const QChar c : text) {
        const auto byte = static_cast<char>(c.unicode() & 0xFF);
        if (byte == '\0')
            break; // the end of the C string the number is read from
        low.append(byte);
    }
    const char* start = low.constData();
    while (IsCBlank(*start))
        ++start;
    return strtod_l(start, nullptr, ClassicLocale());
}

QString DisplayedValue(double ku, int mode) {
    const tables::VelocityMode& velocity = tables::kVelocityModes[mode == 1 ? 1 : 0];
    const double shown = mode == 1 ? 300.0 / (2.0 * ku) : ku;
    return QString::asprintf(velocity.format, shown);
}

double StoredKU(const QString& value, int mode) {
    const double shown = ParseValue(value);
    return mode == 1 ? 300.0 / (2.0 * shown) : shown;
}

std::vector<Record> ReadRecords(const QByteArray& bytes, int mode) {
    const QStringList lines = DecodeLines(bytes);
    std::vector<Record> records;
    for (qsizetype i = 0; i < lines.size(); i += 2) {
        const QString valueLine = i + 1 < lines.size() ? lines[i + 1] : QString();
        const double ku = ParseValue(valueLine);
        if (IsUsableKU(ku))
            records.push_back({lines[i], DisplayedValue(ku, mode)});
        else
            records.push_back({lines[i], NoValueMark(), valueLine});
    }
    return records;
}

bool IsReadableTable(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() % 2 != 0 || bytes.size() > kMaxTableBytes)
        return false;
    const QStringList lines = DecodeLines(bytes);
    for (const QString& line : lines) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if ((c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\r')) || c.unicode() == 0x7F)
                return false;
            if (c.isHighSurrogate() && !(i + 1 < line.size() && line[i + 1].isLowSurrogate()))
                return false;
            if (c.isLowSurrogate() && !(i > 0 && line[i - 1].isHighSurrogate()))
                return false;
        }
    }
    const std::vector<Record> records = ReadRecords(bytes, 0);
    return std::any_of(records.begin(), records.end(), [](const Record& record) { return !record.unusableLine; });
}

QByteArray WriteRecords(const std::vector<Record>& records, int mode) {
    QStringList lines;
    for (const Record& record : records) {
        lines.append(record.brand);
        lines.append(record.unusableLine ? *record.unusableLine
                                         : QString::asprintf(kStoredFormat, StoredKU(record.value, mode)));
    }
    return EncodeLines(lines);
}

} // namespace ku_table

CKUListCtrl::CKUListCtrl(QWidget* parent) : CKeypadTable(parent, kValueColumn), currentBrand(ku_table::NoBrand()) {}

// --- the file ---------------------------------------------------------------

void CKUListCtrl::InitColumns(CPELDoc* document) {
    document_ = document;
    SetExtendedStyle(kGridLines | kFullRowSelect);
    setColumnCount(kColumns);
    for (int column = 0; column < kColumns; ++column) {
        const ColumnLayout& layout = kColumnLayouts[static_cast<std::size_t>(column)];
        auto* header = new QTableWidgetItem(QString::fromUtf8(layout.header));
        header->setTextAlignment(layout.headerAlignment);
        setHorizontalHeaderItem(column, header);
    }
    setColumnWidth(kHiddenColumn, 0);
    LoadTable();
}

QString CKUListCtrl::TablePath() const {
    return document_ != nullptr ? document_->storageFolder + QString::fromLatin1(ku_table::kFileName) : QString();
}

void CKUListCtrl::LoadTable() {
    const QString path = TablePath();
    // The delete notifications move the current brand about; the reloaded rows keep it.
    const QString brand = currentBrand;
    if (rowCount() > 0)
        DeleteAllItems();
    rowCount_ = 0;
    currentBrand = brand;

    QByteArray bytes;
    if (path.isEmpty() || !platform::FileExists(path) || !platform::ReadWholeFile(path, bytes))
        return;
    const std::vector<ku_table::Record> records = ku_table::ReadRecords(bytes, VelocityDisplayMode());
    for (const ku_table::Record& record : records) {
        const int row = rowCount_;
        InsertRow(row, record.brand, record.value);
        if (record.unusableLine)
            item(row, kValueColumn)->setData(kUnusableLineRole, *record.unusableLine);
    }

    HighlightFirstRowIfNone();
    viewport()->update();
}

bool CKUListCtrl::SaveTable() const {
    const QString path = TablePath();
    if (path.isEmpty())
        return false;
    std::vector<ku_table::Record> records;
    for (int row = 0; row < rowCount_; ++row) {
        ku_table::Record record{GetItemText(row, kBrandColumn), GetItemText(row, kValueColumn)};
        const QVariant unusableLine =
            item(row, kValueColumn) != nullptr ? item(row, kValueColumn)->data(kUnusableLineRole) : QVariant();
        if (unusableLine.isValid())
            record.unusableLine = unusableLine.toString();
        records.push_back(record);
    }
    const QByteArray bytes = ku_table::WriteRecords(records, VelocityDisplayMode());

    platform::AtomicFile file;
    if (!file.Open(path)) {
        // A missing storage folder is made first; if that does not help, nothing is written.
        platform::CreateFolderPath(platform::FolderPart(path));
        if (!file.Open(path))
            return false;
    }
    return file.Write(bytes) && file.Commit();
}

// --- rows -------------------------------------------------------------------

QString CKUListCtrl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr)
        return QString();
    return cell->text().left(ku_table::kTextBuffer - 1);
}

void CKUListCtrl::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
        return;
    }
    setItem(row, column, new QTableWidgetItem(text));
}

void CKUListCtrl::InsertRow(int row, const QString& brand, const QString& value) {
    insertRow(row);
    setItem(row, kHiddenColumn, new QTableWidgetItem(brand));
    setItem(row, kBrandColumn, new QTableWidgetItem(brand));
    setItem(row, kValueColumn, new QTableWidgetItem(value));
    ++rowCount_;
}

bool CKUListCtrl::HasUsableValue(int row) const {
    const QTableWidgetItem* cell = row >= 0 && row < rowCount() ? item(row, kValueColumn) : nullptr;
    return cell != nullptr && !cell->data(kUnusableLineRole).isValid();
}

bool CKUListCtrl::DeleteItem(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    OnDeleteItem(row);
    removeRow(row);
    InvalidateRow(row);
    return true;
}

void CKUListCtrl::DeleteAllItems() {
    for (int row = rowCount() - 1; row >= 0; --row) {
        OnDeleteItem(row);
        removeRow(row);
    }
    viewport()->update();
}

void CKUListCtrl::OnDeleteItem(int row) {
    --rowCount_;
    if (rowCount_ < row + 1)
        currentBrand = GetBrandAt(rowCount_ - 1); // the last row went: the one before it, or none
    else
        currentBrand = GetBrandAt(row + 1); // the row that takes its place
}

void CKUListCtrl::HighlightFirstRowIfNone() {
    // The file may have been replaced (a library import) while the brand was kept: a
    // brand that is no longer there gives way to the first row, or to none.
    if (FindRowByBrand(currentBrand) < 0)
        currentBrand = GetBrandAt(0);
}

int CKUListCtrl::FindRowByBrand(const QString& brand) const {
    for (int row = 0; row < rowCount(); ++row) {
        if (GetItemText(row, kBrandColumn) == brand)
            return row;
    }
    return -1;
}

QString CKUListCtrl::GetBrandAt(int index) const {
    if (index < 0 || index >= rowCount())
        return ku_table::NoBrand();
    return GetItemText(index, kBrandColumn);
}

QString CKUListCtrl::GetValueByBrand(const QString& brand) const {
    const int row = FindRowByBrand(brand);
    return row >= 0 ? GetItemText(row, kValueColumn) : QString();
}

// --- geometry ---------------------------------------------------------------

void CKUListCtrl::LayoutColumns(int clientWidth) {
    const int third = clientWidth / 3;
    setColumnWidth(kHiddenColumn, 0);
    setColumnWidth(kBrandColumn, rowCount_ < kRowsWithoutScrollBar ? 2 * third : 2 * third - kScrollBarRoom);
    setColumnWidth(kValueColumn, third - kValueColumnMargin);
}

// --- keys -------------------------------------------------------------------

void CKUListCtrl::OnKeyDown(int code) {
    if (code != kDownKey && code != kUpKey)
        return;
    const int row = FindRowByBrand(currentBrand);
    if (row < 0) {
        HighlightFirstRowIfNone();
        InvalidateRow(0);
        return;
    }
    InvalidateRow(row);
    const bool down = code == kDownKey;
    currentBrand = GetBrandAt(down ? row + 1 : row - 1);
    if (currentBrand == ku_table::NoBrand()) {
        // No row in that direction: the highlight stays at the end.
        const int end = down ? rowCount_ - 1 : 0;
        currentBrand = GetBrandAt(end);
        selectRow(end);
        setCurrentCell(end, kBrandColumn);
    }
    const int highlighted = FindRowByBrand(currentBrand);
    InvalidateRow(highlighted);
    ScrollIntoView(highlighted);
}
