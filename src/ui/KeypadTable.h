#pragma once

// The list controls of the instrument are tables driven from the keypad: nothing is
// edited, clicked into or chosen by Qt; the lists move their highlighted row themselves
// with keys 7 and 1, and draw their rows: the highlighted one inverted.

#include <QTableWidget>

#include <cstdint>

class QPainter;

class CKeypadTable : public QTableWidget {
    Q_OBJECT
public:
    // Extended styles a hosting view asks for.
    static constexpr std::uint32_t kGridLines = 0x01;
    static constexpr std::uint32_t kFullRowSelect = 0x20;

    static constexpr std::uint32_t kHighlightBack = 0x800000; // the active caption colour
    static constexpr std::uint32_t kHighlightText = 0xFFFFFF;
    static constexpr std::uint32_t kWindowBack = 0xFFFFFF; // the window colour
    static constexpr std::uint32_t kWindowText = 0x000000;
    static constexpr int kTextInset = 5;
    // The rows' font: 11 points on the panel's 96 dots per inch.
    static constexpr int kRowFontPixels = 15;
    static constexpr int kDownKey = '7';
    static constexpr int kUpKey = '1';

    // One selected row at most, no editing, whole-row scrolling, a one-pixel frame, fixed
    // unclickable column headers and no row header. Cells of `centredColumn` are drawn
    // centred, the others left-aligned with a small inset.
    CKeypadTable(QWidget* parent, int centredColumn);

    void SetExtendedStyle(std::uint32_t style);
    // The hosting view's row-height image: every row is this many pixels high.
    void SetRowHeight(int pixels);

    // A cell's bounds in the list's viewport.
    QRect GetSubItemRect(int row, int column) const;
    // Moves the view by whole rows (positive: down).
    void ScrollLines(int lines);
    int GetTopIndex() const;
    int GetCountPerPage() const;

    virtual bool IsHighlighted(int row) const = 0;
    // Keys 7 and 1 move the highlight down and up.
    virtual void OnKeyDown(int code) = 0;
    void DrawItem(QPainter& painter, const QRect& cellRect, int row, int column) const;

protected:
    // Repaints a row; every row for one that does not exist.
    void InvalidateRow(int row);
    // Scrolls by one row when `row` has just left the page.
    void ScrollIntoView(int row);

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    int centredColumn_;
};
