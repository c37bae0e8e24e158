#pragma once

// A static splitter with thin, flat bars: panes in rows and columns, one-pixel gaps,
// a one-pixel client border, and nested splitters overlapping the gaps so that the
// screen shows single-pixel lines between panes.

#include <QWidget>

#include <vector>

struct RowColInfo {
    int ideal = 0;
    int minimum = 0;
};

// The sizes of a row or column set in `size` pixels: each but the last starts at its
// ideal size (0 when below its minimum), the last takes what is left, a pane that no
// longer fits is cut, a pane whose space is below its minimum gives it to the one
// before; a gap follows each shown pane while space remains.
std::vector<int> LayoutRowCol(const std::vector<RowColInfo>& info, int size, int gap);

class CFlatSplitterWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGap = 1;
    static constexpr int kClientBorder = 1;

    CFlatSplitterWnd(int rows, int columns, QWidget* parent = nullptr);

    // Takes the pane into the splitter (re-parenting it).
    void SetPane(int row, int column, QWidget* pane);
    QWidget* GetPane(int row, int column) const;
    void SetRowInfo(int row, int ideal, int minimum);
    void SetColumnInfo(int column, int ideal, int minimum);
    int GetRowSize(int row) const { return rowSizes_[static_cast<std::size_t>(row)]; }
    int GetColumnSize(int column) const { return columnSizes_[static_cast<std::size_t>(column)]; }
    void RecalcLayout();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int rows_;
    int columns_;
    std::vector<QWidget*> panes_; // row-major, owned through Qt parenthood
    std::vector<RowColInfo> rowInfo_;
    std::vector<RowColInfo> columnInfo_;
    std::vector<int> rowSizes_;
    std::vector<int> columnSizes_;
};
