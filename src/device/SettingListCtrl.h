#pragma once

// The list of the instrument's settings: one row per setting with its name and the
// text of its value. The current row is kept by index and drawn inverted; keys 7 and 1
// move it down and up.

#include "ui/KeypadTable.h"
#include <QTableWidget>

#include <cstdint>

class QPainter;

class CSettingListCtrl : public QTableWidget {
    Q_OBJECT
public:
    enum Column { kHiddenColumn = 0, kNameColumn = 1, kValueColumn = 2, kColumns = 3 };
    // Extended styles the hosting view asks for.
    static constexpr std::uint32_t kGridLines = keypad_table::kGridLines;
    static constexpr std::uint32_t kFullRowSelect = keypad_table::kFullRowSelect;

    static constexpr std::uint32_t kHighlightBack = 0x800000; // the active caption colour
    static constexpr std::uint32_t kHighlightText = 0xFFFFFF;
    static constexpr std::uint32_t kWindowBack = 0xFFFFFF; // the window colour
    static constexpr std::uint32_t kWindowText = 0x000000;
    static constexpr int kTextInset = 5;
    // The rows' font: 11 points on the panel's 96 dots per inch.
    static constexpr int kRowFontPixels = 15;
    static constexpr int kDownKey = '7';
    static constexpr int kUpKey = '1';
    // The value column is wider than a third of the list by this much, the name column narrower.
    static constexpr int kValueColumnExtra = 20;

    explicit CSettingListCtrl(QWidget* parent = nullptr);

    void SetExtendedStyle(std::uint32_t style);
    // The hosting view's row-height image: every row is this many pixels high.
    void SetRowHeight(int pixels);

    void InsertColumn(int column, const QString& header, Qt::Alignment alignment);
    void InsertItem(int row, const QString& text);
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    // A cell's bounds in the list's viewport.
    QRect GetSubItemRect(int row, int column) const;

    int GetCurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row) { currentRow_ = row; }
    int GetRowCount() const { return rowCount_; }
    void SetRowCount(int count) { rowCount_ = count; }

    int GetTopIndex() const;
    int GetCountPerPage() const;
    void ScrollLines(int lines);

    // Column widths for a client width `width`: none for the hidden column, the value
    // column a third and a little, the name column the rest.
    void LayoutColumns(int width);

    // Keys 7 and 1 move the current row down and up; at the ends it stays.
    void OnKeyDown(int code);

    void DrawItem(QPainter& painter, const QRect& cellRect, int row, int column) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void InvalidateRow(int row);

    int currentRow_ = -1;
    int rowCount_ = 0;
};
