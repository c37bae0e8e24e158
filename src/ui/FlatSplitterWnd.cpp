#include "ui/FlatSplitterWnd.h"

#include "ui/Colors.h"

#include <QPainter>

#include <climits>

namespace {

constexpr std::uint32_t kButtonFace = 0xC8D0D4;
constexpr std::uint32_t kButtonShadow = 0x808080;
constexpr std::uint32_t kButtonHighlight = 0xFFFFFF;

} // namespace

std::vector<int> LayoutRowCol(const std::vector<RowColInfo>& info, int size, int gap) {
    const std::size_t count = info.size();
    std::vector<int> sizes(count, 0);
    for (std::size_t i = 0; i + 1 < count; ++i)
        sizes[i] = info[i].ideal < info[i].minimum ? 0 : info[i].ideal;
    if (count > 0)
        sizes[count - 1] = INT_MAX;

    int remaining = std::max(size, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (remaining == 0) {
            sizes[i] = 0;
            continue;
        }
        if (i != 0 && remaining < info[i].minimum) {
            sizes[i] = 0;
            sizes[i - 1] += remaining;
            remaining = 0;
            continue;
        }
        if (sizes[i] == 0)
            continue; // an empty pane takes no gap either
        if (remaining < sizes[i]) {
            sizes[i] = remaining;
            remaining = 0;
        } else {
            remaining -= sizes[i];
        }
        if (i + 1 < count)
            remaining -= std::min(gap, remaining);
    }
    return sizes;
}

CFlatSplitterWnd::CFlatSplitterWnd(int rows, int columns, QWidget* parent)
    : QWidget(parent), rows_(rows), columns_(columns), panes_(static_cast<std::size_t>(rows * columns), nullptr),
      rowInfo_(static_cast<std::size_t>(rows)), columnInfo_(static_cast<std::size_t>(columns)),
      rowSizes_(static_cast<std::size_t>(rows), 0), columnSizes_(static_cast<std::size_t>(columns), 0) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CFlatSplitterWnd::SetPane(int row, int column, QWidget* pane) {
    pane->setParent(this);
    panes_[static_cast<std::size_t>(row * columns_ + column)] = pane;
    pane->show();
}

QWidget* CFlatSplitterWnd::GetPane(int row, int column) const {
    return panes_[static_cast<std::size_t>(row * columns_ + column)];
}

void CFlatSplitterWnd::SetRowInfo(int row, int ideal, int minimum) {
    rowInfo_[static_cast<std::size_t>(row)] = RowColInfo{ideal, minimum};
}

void CFlatSplitterWnd::SetColumnInfo(int column, int ideal, int minimum) {
    columnInfo_[static_cast<std::size_t>(column)] = RowColInfo{ideal, minimum};
}

void CFlatSplitterWnd::RecalcLayout() {
    const QRect inside = rect().adjusted(kClientBorder, kClientBorder, -kClientBorder, -kClientBorder);
    rowSizes_ = LayoutRowCol(rowInfo_, inside.height(), kGap);
    columnSizes_ = LayoutRowCol(columnInfo_, inside.width(), kGap);

    int y = inside.top();
    for (int row = 0; row < rows_; ++row) {
        const int height = rowSizes_[static_cast<std::size_t>(row)];
        int x = inside.left();
        for (int column = 0; column < columns_; ++column) {
            const int width = columnSizes_[static_cast<std::size_t>(column)];
            if (QWidget* pane = GetPane(row, column)) {
                QRect area(x, y, width, height);
                // A nested splitter covers the gaps around it with its own border.
                if (qobject_cast<CFlatSplitterWnd*>(pane) != nullptr && width > 0 && height > 0)
                    area.adjust(-1, -1, 1, 1);
                pane->setGeometry(area);
            }
            x += width + (width > 0 ? kGap : 0);
        }
        y += height + (height > 0 ? kGap : 0);
    }
    update();
}

void CFlatSplitterWnd::resizeEvent(QResizeEvent*) {
    RecalcLayout();
}

void CFlatSplitterWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(kButtonFace));
    // The border: shadow at top and left, highlight at bottom and right.
    const QRect r = rect();
    painter.setPen(ColorFromRef(kButtonShadow));
    painter.drawLine(r.left(), r.top(), r.right(), r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
    painter.setPen(ColorFromRef(kButtonHighlight));
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
}
