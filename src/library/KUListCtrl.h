#pragma once

// The library of cable brands and their velocity factor КУ, kept in "tableku.tku" in
// the storage folder, and the list that shows and edits it. The list is the file's only
// reader and writer. The file always holds КУ; the list shows КУ or V/2 = 300 / (2 * КУ)
// by the velocity display mode.

#include "ui/KeypadTable.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTableWidget>

#include <cstdint>
#include <optional>
#include <vector>

class CPELDoc;
class QPainter;

namespace ku_table {

inline constexpr const char* kFileName = "tableku.tku";
// The current brand when no row is highlighted.
inline constexpr const char* kNoBrand = "[КУ]";
// Stored КУ: three decimals and one blank, whatever the display mode.
inline constexpr const char* kStoredFormat = "%.3f ";
// Item texts are read back through a buffer of this many characters (terminator included).
inline constexpr int kTextBuffer = 510;

QString NoBrand();

// The file's lines: UTF-16 little-endian code units without a byte-order mark; a line
// feed ends a line (a carriage return just before it is dropped); a last line without
// its line feed still counts; a stray odd byte at the end is ignored.
QStringList DecodeLines(const QByteArray& bytes);
// Every line followed by a line feed, in UTF-16 little-endian.
QByteArray EncodeLines(const QStringList& lines);

// `atof` of the text's low bytes: leading blanks skipped, the number read as far as it
// goes, 0.0 when there is none. A character whose low byte is 0 ends the text.
double ParseValue(const QString& text);

// What the value column shows for a row whose file line holds no usable КУ.
inline constexpr const char* kNoValueMark = "ошибка";
QString NoValueMark();

// Whether a КУ read from the file can stand in the table: a finite number within the
// limits the instrument works with. "nan", "inf", a line that is not a number (0) and a
// value out of those limits are not values.
bool IsUsableKU(double ku);

// A row as the list shows it: the brand and the value text of the display mode. A row
// without a usable value shows the mark and keeps its file line, which a save writes
// back unchanged: the table never invents a value for it.
struct Record {
    QString brand;
    QString value;
    std::optional<QString> unusableLine = std::nullopt;
};

// The value text of a stored КУ in display mode `mode` (0 КУ "%.3f ", 1 V/2 "%.1f").
QString DisplayedValue(double ku, int mode);
// The КУ a value text of display mode `mode` stands for.
double StoredKU(const QString& value, int mode);

// The largest table the program takes from outside: far more rows than anyone keeps.
inline constexpr qint64 kMaxTableBytes = 1 << 20;
// Whether the bytes are a table this program reads as its own: UTF-16 text (an even
// number of bytes; no NUL, no control character but tab, carriage return and line feed;
// no broken surrogate pair) holding at least one brand with a usable КУ. Text of another
// encoding gives no line feed, so no brand with a value.
bool IsReadableTable(const QByteArray& bytes);

// The file's records in order: brand line, value line; a last brand without its value
// line has no usable value.
std::vector<Record> ReadRecords(const QByteArray& bytes, int mode);
// The file image of the records: each brand, then its КУ "%.3f " (or the kept line of a
// row without a usable value).
QByteArray WriteRecords(const std::vector<Record>& records, int mode);

} // namespace ku_table

class CKUListCtrl : public CKeypadTable {
    Q_OBJECT
public:
    enum Column { kHiddenColumn = 0, kBrandColumn = 1, kValueColumn = 2, kColumns = 3 };

    explicit CKUListCtrl(QWidget* parent = nullptr);

    // Remembers the document (the storage folder), creates the columns, loads the file.
    void InitColumns(CPELDoc* document);
    // Fills the list from the file; a missing or unreadable file leaves it empty.
    void LoadTable();
    // Replaces the file by the list's rows (through a temporary file, so a failed or
    // interrupted save leaves the old table). False when nothing could be written.
    bool SaveTable() const;
    QString TablePath() const;

    // The first row whose brand is exactly `brand`, or -1.
    int FindRowByBrand(const QString& brand) const;
    // The brand of a row; the sentinel "[КУ]" for a row that does not exist.
    QString GetBrandAt(int index) const;
    // The value text of the first row with that brand, or an empty text.
    QString GetValueByBrand(const QString& brand) const;
    static double ParseValue(const QString& text) { return ku_table::ParseValue(text); }

    int GetRowCount() const { return rowCount_; }
    QString GetItemText(int row, int column) const;
    void SetItemText(int row, int column, const QString& text);
    // Inserts a row with the brand in the hidden and brand columns and the value text.
    void InsertRow(int row, const QString& brand, const QString& value);
    // Whether the row's value can be applied: false for a row that shows the mark of a
    // file line without a usable КУ, and for a row that does not exist.
    bool HasUsableValue(int row) const;
    // Removes a row after the delete notification for it.
    bool DeleteItem(int row);
    // Removes every row, each after its delete notification.
    void DeleteAllItems();
    // The delete notification: sent for a row just before it goes.
    void OnDeleteItem(int row);

    // Column widths for a client width: the value column a third, the brand column the
    // rest, less room for the vertical scroll bar once the rows no longer fit.
    void LayoutColumns(int clientWidth);

    bool IsHighlighted(int row) const override { return row >= 0 && row == FindRowByBrand(currentBrand); }
    // Keys 7 and 1 move the highlight down and up; it stops at the ends. Without a
    // highlighted row either key highlights the first.
    void OnKeyDown(int code) override;
    // A current brand that names no row becomes the first row's (the sentinel when the
    // table is empty).
    void HighlightFirstRowIfNone();

    // The highlighted row's brand, or the sentinel when none is.
    QString currentBrand;

private:
    CPELDoc* document_ = nullptr;
    int rowCount_ = 0;
};
