#include "ui/LineChartCtrl.h"

#include "ui/Colors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Colours, as 0x00BBGGRR words.
constexpr std::uint32_t kBackgroundColor = 0x000000;
constexpr std::uint32_t kMinorGridColor = 0x323232;
constexpr std::uint32_t kCentreLineColor = 0x646464;
constexpr std::uint32_t kLabelTextColor = 0x7F7F7F;
constexpr std::uint32_t kActiveCursorColor = 0x00D0FF;
constexpr std::uint32_t kInactiveCursorColor = 0x7F7F7F;
constexpr std::uint32_t kCursorNumberColor = 0x000000;

// Geometry of the plot inside the chart's rectangle.
constexpr int kPlotMargin = 5;  // left, top and right
constexpr int kLabelBand = 12;  // under the plot, for the distance labels
constexpr int kCursorInset = 5; // cursor line = column + 5, so it sits on the point's pixel
constexpr int kCursorNumberInset = 2;

// The label font: "Arial" (Liberation Sans, metric-compatible) at 11 pixels.
constexpr const char* kLabelFontFamily = "Arial";
constexpr int kLabelFontPixels = 11;

// Coordinates beyond this never reach the picture; clamping keeps double-to-int
// conversions defined for absurd axis values.
constexpr double kCoordinateLimit = 1.0e6;
// A grid step too small for its first column would otherwise loop for ages.
constexpr int kMaxGridLines = 1 << 16;

int Trunc(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

QPen LinePen(std::uint32_t colorRef) {
    // Flat caps leave out the end pixel of each line, so a polyline covers exactly the
    // pixels of "move to the first point, line to each next one".
    QPen pen(ColorFromRef(colorRef), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    return pen;
}

void PreparePainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
}

// A block copy: the source's pixels replace the destination's.
void CopyBlock(QImage& destination, const QPoint& at, const QImage& source, const QRect& from) {
    QPainter painter(&destination);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(at, source, from);
}

QImage BlackImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(ColorFromRef(kBackgroundColor));
    return image;
}

// Text whose top-left corner is at `topLeft`.
void WriteText(QPainter& painter, const QPoint& topLeft, const QString& text) {
    painter.drawText(QPoint(topLeft.x(), topLeft.y() + painter.fontMetrics().ascent()), text);
}

} // namespace

namespace chart {

ChartRect PlotArea(const ChartRect& chartRect) {
    return {chartRect.left + kPlotMargin, chartRect.top + kPlotMargin, chartRect.right - kPlotMargin,
            chartRect.bottom - kLabelBand};
}

int PointX(int index, int count, const ChartRect& plot) {
    return plot.left + Trunc(static_cast<double>(index) / count * plot.Width());
}

int ValueY(std::uint8_t pointByte, int offset, int minimum, int maximum, const ChartRect& plot) {
    std::int64_t value = static_cast<std::int64_t>(static_cast<std::int8_t>(pointByte)) + offset;
    if (value > maximum) {
        value = maximum;
    } else if (value < minimum) {
        value = minimum;
    }
    const double range = static_cast<double>(maximum) - static_cast<double>(minimum);
    return plot.top + Trunc((range / 2.0 - static_cast<double>(value)) / range * plot.Height());
}

} // namespace chart

CLineChartCtrl::CLineChartCtrl() : labelFont_(QString::fromLatin1(kLabelFontFamily)) {
    labelFont_.setPixelSize(kLabelFontPixels);
    // Unsmoothed glyphs: every text pixel has the text colour, as on the instrument's panel.
    labelFont_.setStyleStrategy(QFont::NoAntialias);
}

CLineChartCtrl::~CLineChartCtrl() = default;

void CLineChartCtrl::CreateBuffers(int width, int height) {
    target_ = BlackImage(width, height);
    background_ = BlackImage(width, height);
    for (QImage& strip : strips_) {
        strip = BlackImage(kStripWidth, height);
    }
    backgroundDirty_ = true;
    backgroundRect_.reset();
    targetRect_.reset();
}

bool CLineChartCtrl::AddSeries(std::uint32_t color, int offset, int minimum, int maximum, const std::uint8_t* data) {
    auto series = std::make_unique<CChartSeries>();
    series->color = color;
    series->minimum = minimum;
    series->maximum = maximum;
    series->offset = offset;
    series->data = data;
    series->dataSize = kSeriesPoints;
    series_.push_back(std::move(series));
    return true;
}

CChartSeries* CLineChartCtrl::SeriesAt(int index) {
    if (index < 0 || index >= SeriesCount()) {
        return nullptr;
    }
    return series_[static_cast<std::size_t>(index)].get();
}

void CLineChartCtrl::SetSeriesOffset(int index, int offset) {
    if (CChartSeries* series = SeriesAt(index)) {
        series->offset = offset;
    }
}

void CLineChartCtrl::ShowSeries(int index) {
    if (CChartSeries* series = SeriesAt(index)) {
        series->hidden = false;
    }
}

void CLineChartCtrl::HideSeries(int index) {
    if (CChartSeries* series = SeriesAt(index)) {
        series->hidden = true;
    }
}

void CLineChartCtrl::SetAxis(double horizontalStep, double verticalStep, double firstColumn) {
    horizontalStep_ = horizontalStep;
    verticalStep_ = verticalStep;
    firstColumn_ = firstColumn;
    backgroundDirty_ = true;
}

void CLineChartCtrl::SetLabels(int decimation, const QStringList* labels) {
    labelDecimation_ = decimation;
    labels_ = labels;
    backgroundDirty_ = true;
}

void CLineChartCtrl::SetCursorPos(int cursorNumber, int column) {
    if (cursorNumber != 1 && cursorNumber != 2) {
        return;
    }
    cursorColumns_[static_cast<std::size_t>(cursorNumber - 1)] = column;
    if (cursorsShown_) {
        cursorsOnly_ = true;
    }
}

int CLineChartCtrl::CursorColumn(int cursorNumber) const {
    if (cursorNumber != 1 && cursorNumber != 2) {
        return 0;
    }
    return cursorColumns_[static_cast<std::size_t>(cursorNumber - 1)];
}

void CLineChartCtrl::Draw(const ChartRect& rect) {
    // Series 0 scales the grid, hidden or not; without it there is nothing to scale by.
    if (!HasBuffers() || series_.empty()) {
        return;
    }
    const CChartSeries& scale = *series_.front();
    const double range = static_cast<double>(scale.maximum) - static_cast<double>(scale.minimum);

    if (!backgroundOn_ && targetRect_ == rect) {
        // Capture display: keep every trace drawn so far, only take the cursor lines away.
        if (cursorsShown_) {
            RestoreStrips(rect);
        }
    } else {
        // The grid, centre line and labels are laid out for one rectangle only; traces
        // piled up in another one would no longer sit on their grid either.
        if (backgroundDirty_ || backgroundRect_ != rect) {
            backgroundDirty_ = false;
            backgroundRect_ = rect;
            RebuildBackground(rect, range, scale.dataSize);
        }
        CopyBlock(target_, QPoint(0, rect.top), background_, QRect(0, rect.top, rect.Width(), rect.Height()));
    }
    targetRect_ = rect;

    {
        QPainter painter(&target_);
        PreparePainter(painter);
        DrawTraces(painter, rect);
    }
    SaveStrips(rect);
    DrawCursors(rect);
}

void CLineChartCtrl::DrawCursors(const ChartRect& rect) {
    if (!HasBuffers() || !cursorsShown_) {
        return;
    }
    if (targetRect_ != rect) {
        // The strips hold pixels of another rectangle's picture: putting them back here
        // would paint an old grid into the new one.
        Draw(rect);
        return;
    }
    RestoreStrips(rect);
    SaveStrips(rect);
    QPainter painter(&target_);
    PreparePainter(painter);
    DrawCursorMarks(painter, rect);
}

void CLineChartCtrl::Paint(QPainter& painter, const ChartRect& rect) const {
    if (series_.empty()) {
        return;
    }
    const CChartSeries& scale = *series_.front();
    painter.save();
    PreparePainter(painter);
    PaintBackground(painter, rect, static_cast<double>(scale.maximum) - static_cast<double>(scale.minimum),
                    scale.dataSize);
    DrawTraces(painter, rect);
    if (cursorsShown_) {
        DrawCursorMarks(painter, rect);
    }
    painter.restore();
}

void CLineChartCtrl::RebuildBackground(const ChartRect& rect, double range, int count) {
    QPainter painter(&background_);
    PreparePainter(painter);
    PaintBackground(painter, rect, range, count);
}

void CLineChartCtrl::PaintBackground(QPainter& painter, const ChartRect& rect, double range, int count) const {
    painter.setFont(labelFont_);
    painter.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), ColorFromRef(kBackgroundColor));
    painter.setBackgroundMode(Qt::TransparentMode);
    DrawHorizontalGrid(painter, rect, range);
    DrawVerticalGrid(painter, rect, count);
}

void CLineChartCtrl::DrawHorizontalGrid(QPainter& painter, const ChartRect& rect, double range) const {
    const ChartRect plot = chart::PlotArea(rect);
    const int height = plot.Height();
    const int centre = rect.top + kPlotMargin + Trunc(height / 2.0);
    const QPen minorPen = LinePen(kMinorGridColor);
    const QPen centrePen = LinePen(kCentreLineColor);

    for (int i = 0; i < plot.bottom; ++i) {
        const int y = centre + Trunc(i * verticalStep_ * height / range);
        if (y > plot.bottom) {
            break;
        }
        painter.setPen(minorPen);
        painter.drawLine(plot.left, y, plot.right, y);
    }
    // Upwards from the centre; the centre line itself is drawn last, in its own colour.
    for (int i = 0; i < plot.bottom; ++i) {
        const int y = centre - Trunc(i * verticalStep_ * height / range);
        if (y < plot.top) {
            break;
        }
        painter.setPen(i == 0 ? centrePen : minorPen);
        painter.drawLine(plot.left, y, plot.right, y);
    }
}

void CLineChartCtrl::DrawVerticalGrid(QPainter& painter, const ChartRect& rect, int count) const {
    const ChartRect plot = chart::PlotArea(rect);
    const double increment = plot.Width() * horizontalStep_ / count;
    const double start = plot.left + firstColumn_;
    if (!std::isfinite(increment) || increment <= 0.0 || !std::isfinite(start)) {
        return;
    }
    const QPen minorPen = LinePen(kMinorGridColor);
    const QPen textPen = LinePen(kLabelTextColor);
    const QFontMetrics metrics(labelFont_);
    const bool labelled = labels_ != nullptr && labelDecimation_ > 0;

    double x = start;
    int label = 0;
    for (int line = 0; x <= plot.right && line < kMaxGridLines; ++line, x += increment) {
        const bool inside = plot.left <= x && x <= plot.right;
        if (labelled && line % labelDecimation_ == 0) {
            // A label outside the plot is skipped but still uses up its entry, so the
            // labels stay attached to their grid lines.
            if (inside && label < labels_->size()) {
                const QString& text = labels_->at(label);
                const int width = metrics.horizontalAdvance(text);
                int left = Trunc(x - width / 2);
                if (left < rect.left) {
                    left = rect.left;
                }
                if (left + width > rect.right) {
                    left = rect.right - width;
                }
                painter.setPen(textPen);
                WriteText(painter, QPoint(left, plot.bottom - 1), text);
            }
            ++label;
        }
        if (inside) {
            const int column = Trunc(x);
            painter.setPen(minorPen);
            painter.drawLine(column, plot.top, column, plot.bottom);
        }
    }
}

void CLineChartCtrl::DrawTraces(QPainter& painter, const ChartRect& rect) const {
    const ChartRect plot = chart::PlotArea(rect);
    std::vector<QPoint> points;
    for (const auto& series : series_) {
        if (series->hidden || series->data == nullptr || series->dataSize < 2) {
            continue;
        }
        points.clear();
        points.reserve(static_cast<std::size_t>(series->dataSize));
        for (int j = 0; j < series->dataSize; ++j) {
            points.emplace_back(chart::PointX(j, series->dataSize, plot),
                                chart::ValueY(series->data[j], series->offset, series->minimum, series->maximum, plot));
        }
        painter.setPen(LinePen(series->color));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
}

void CLineChartCtrl::RestoreStrips(const ChartRect& rect) {
    for (std::size_t cursor = 0; cursor < strips_.size(); ++cursor) {
        CopyBlock(target_, QPoint(drawnColumns_[cursor] + 1, 0), strips_[cursor],
                  QRect(0, 0, kStripWidth, rect.bottom));
    }
}

void CLineChartCtrl::SaveStrips(const ChartRect& rect) {
    drawnColumns_ = cursorColumns_;
    for (std::size_t cursor = 0; cursor < strips_.size(); ++cursor) {
        CopyBlock(strips_[cursor], QPoint(0, 0), target_,
                  QRect(drawnColumns_[cursor] + 1, 0, kStripWidth, rect.bottom));
    }
}

void CLineChartCtrl::DrawCursorMarks(QPainter& painter, const ChartRect& rect) const {
    const std::size_t active = activeCursor_ == 1 ? 0 : 1;
    const std::size_t inactive = 1 - active;

    // The inactive cursor's line goes on top when both share a column.
    for (std::size_t cursor : {active, inactive}) {
        const int x = cursorColumns_[cursor] + kCursorInset;
        painter.setPen(LinePen(cursor == active ? kActiveCursorColor : kInactiveCursorColor));
        painter.drawLine(x, rect.top + kPlotMargin, x, rect.bottom - kLabelBand);
    }

    // The numbers use the label font: in it a digit fits in the strip beside the line, so
    // the strips carry the whole cursor away when it moves.
    painter.setFont(labelFont_);
    const QFontMetrics metrics(labelFont_);
    painter.setPen(LinePen(kCursorNumberColor));
    for (std::size_t cursor = 0; cursor < cursorColumns_.size(); ++cursor) {
        const QString number = QString::number(cursor + 1);
        const QPoint topLeft(cursorColumns_[cursor] + kCursorNumberInset, rect.top);
        // Opaque text: the text cell is filled with the cursor's colour first.
        const QColor cell = ColorFromRef(cursor == active ? kActiveCursorColor : kInactiveCursorColor);
        painter.fillRect(QRect(topLeft, QSize(metrics.horizontalAdvance(number), metrics.height())), cell);
        WriteText(painter, topLeft, number);
    }
}
