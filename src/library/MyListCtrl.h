#pragma once

// The list of stored reflectograms: one row per ".pel" file of the storage folder, in the
// order the files were saved, with its name, range, pulse, velocity and modification
// time. The list draws every row itself: the selected row in the caption colour, and a
// colour mark beside the files loaded into the stored-trace slots. The selection is a
// file name, not a row, so that it survives refilling the list.

#include <QString>
#include <QStringList>
#include <QTableWidget>

#include <array>
#include <cstdint>
#include <optional>

class CFormView;
class CPELDoc;
class QDateTime;

namespace reflectogram_list {

inline constexpr int kColumns = 7;
inline constexpr int kNameColumn = 1;
inline constexpr int kControlId = 1042;
inline constexpr int kFirstStoredSlot = 2;
inline constexpr int kStoredSlots = 3; // slots 2, 3 and 4
inline constexpr int kRowHeight = 16;
inline constexpr int kHeaderHeight = 20;
inline constexpr int kTextIndent = 5;
// Above this many rows the vertical scroll bar appears; the name column leaves it room.
inline constexpr int kRowsWithoutScrollBar = 6;

inline constexpr const char* kExtension = ".pel";

// Colours (0x00BBGGRR). The two system colours are the classic scheme's, fixed so that
// the list looks the same on every target.
inline constexpr std::uint32_t kWindowColor = 0xFFFFFF;
inline constexpr std::uint32_t kWindowTextColor = 0x000000;
inline constexpr std::uint32_t kActiveCaptionColor = 0x800000;
inline constexpr std::uint32_t kSelectedTextColor = 0xFFFFFF;
// The mark of a row whose file is in slot 2, 3 or 4.
inline constexpr std::array<std::uint32_t, kStoredSlots> kSlotMarkColors = {0x0000C8, 0x0099FF, 0xFF00FF};

// The mask that lists the reflectograms of the folder a slot's path names: the path
// itself when it ends in '/', else the folder of the file it names. Empty path, empty mask.
QString SearchMask(const QString& slotPath);

// Column widths for a list `clientWidth` pixels wide holding `itemCount` rows.
std::array<int, kColumns> ColumnWidths(int clientWidth, int itemCount);

// The first seven 32-bit little-endian values of a file (sample count, pulse, range,
// averaging, gain, matching, КУ * 1000), or nothing when the file is shorter.
std::optional<std::array<std::int32_t, 7>> HeaderValues(const QByteArray& contents);

// The texts of one row, column by column.
using RowTexts = std::array<QString, kColumns>;
// `contents` may be empty or short: then only the name, date and time are filled in.
RowTexts DescribeFile(const QString& baseName, const QByteArray& contents, const QDateTime& modified);

QString DateText(const QDateTime& time); // "dd.MM.yyyy"
QString TimeText(const QDateTime& time); // "hh:mm:ss"

// The selection after row `deleted` of `count` rows is removed: the row that followed
// it, or the new last row when it was the last; -1 when no row is left. The result is an
// index into the rows as they were before the deletion.
int SelectionAfterDelete(int deleted, int count);

} // namespace reflectogram_list

class CMyListCtrl : public QTableWidget {
    Q_OBJECT
public:
    // The list belongs to `owner`, which also sees every key message the list gets.
    explicit CMyListCtrl(CFormView* owner);
    ~CMyListCtrl() override;

    // Headers of the seven columns, the grid and whole-row look.
    void InitColumns();
    // The velocity column's header: "КУ" or "V/2".
    void SetVelocityHeader(const QString& label);

    // Rebuilds the rows from the folder of the document's stored slots.
    void FillList(CPELDoc* document);
    int FindItem(const QString& name) const;
    QString GetItemName(int index) const;
    void SetItemName(int index, const QString& name);
    int GetItemCount() const { return itemCount_; }
    // Removes one row; the selection moves on as the deletion notice says.
    void DeleteItem(int index);
    void DeleteAllItems();

    const QString& SelectedName() const { return selectedName_; }
    void SetSelectedName(const QString& name);
    // Key 7 selects the row below, key 1 the row above; at the ends the selection stays.
    void MoveSelection(int code);

    // The file name in stored slot 2, 3 or 4 ("xxx" for none), kept here and in the document.
    const QString& SlotName(int slot) const;
    void SetSlotName(int slot, const QString& name);

    // Widths of the columns for the present width and row count.
    void ApplyColumnWidths();
    int ClientWidth() const;
    // The whole row's rectangle in the list's own coordinates; empty for no row.
    QRect ItemRect(int index) const;
    // Scrolls so that the row is the first one shown (or as near as the list allows).
    void ScrollToItem(int index);

    // Draws one cell of a row.
    void DrawItem(QPainter& painter, const QRect& rect, int row, int column) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void AddRow(const reflectogram_list::RowTexts& texts);
    void EnsureSelectionListed();
    void RepaintRow(int index);

    std::array<QString, reflectogram_list::kStoredSlots> slotNames_; // slots 2, 3, 4
    int itemCount_ = 0;
    QString selectedName_;
    CPELDoc* document_ = nullptr;
    CFormView* owner_;
};
