#include "tool/TraceChart.h"

#include "document/PELParam.h"
#include "platform/Fonts.h"
#include "ui/Colors.h"
#include "ui/LineChartCtrl.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace tool {

namespace {

constexpr int kFirstStoredSlot = 2; // stored reflectograms take slots 2..4 on the instrument
constexpr int kValueMinimum = -128;
constexpr int kValueMaximum = 128;
constexpr double kVerticalGridStep = 25.0;
constexpr int kLabelEveryLine = 1;

// Event marks, 0x00BBGGRR: light grey lines and labels; the likely end or fault in green,
// a colour no trace and no cursor has.
constexpr std::uint32_t kMarkColor = 0xD0D0D0;
constexpr std::uint32_t kStandoutColor = 0x00FF00;
constexpr std::uint32_t kStandoutTextColor = 0x000000;
constexpr double kMarkLineWidth = 1.0;
constexpr double kStandoutLineWidth = 2.5;
constexpr std::uint32_t kMarkLabelFill = 0x404040;
constexpr int kMarkFontWeight = 700;
constexpr int kMarkFontPixels = 14;
constexpr int kMarkLabelRows = 3; // labels that would overlap go one row lower
constexpr double kMarkLabelPadding = 2.0;

std::unique_ptr<CChannel> ChannelOf(const analysis::StoredTrace& trace) {
    auto channel = std::make_unique<CChannel>();
    channel->state = 254;
    channel->scale.SetIndex(trace.header.range);
    channel->scale.vfactor.SetKU(trace.KU());
    channel->scale.samples.fill(0);
    const std::size_t count = std::min(trace.values.size(), channel->scale.samples.size());
    for (std::size_t i = 0; i < count; ++i)
        channel->scale.samples[i] = static_cast<std::uint8_t>(static_cast<std::int8_t>(trace.values[i]));
    return channel;
}

bool Fail(QString* error, const QString& text) {
    if (error != nullptr)
        *error = text;
    return false;
}

// Where each mark's label goes: in the top row of the plot where it overlaps no label
// placed before it, the likely end's first; in the last row when no row is free.
std::vector<QRectF> LabelBoxes(const std::vector<const ChartMark*>& marks, const std::vector<double>& xs,
                               const ChartRect& plot, const QFontMetricsF& metrics) {
    std::vector<std::vector<QRectF>> rows(kMarkLabelRows);
    std::vector<QRectF> boxes;
    const double height = metrics.height();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const double width = metrics.horizontalAdvance(marks[i]->label) + 2 * kMarkLabelPadding;
        const double left = std::clamp(xs[i] - width / 2, static_cast<double>(plot.left), plot.right - width);
        std::size_t row = 0;
        while (row + 1 < rows.size() && std::any_of(rows[row].begin(), rows[row].end(), [&](const QRectF& taken) {
                   return taken.intersects(QRectF(left, taken.top(), width, height));
               }))
            ++row;
        boxes.emplace_back(left, plot.top + static_cast<double>(row) * height, width, height);
        rows[row].push_back(boxes.back());
    }
    return boxes;
}

// Lines down the plot at each event's distance, and the labels in rows at its top.
void PaintMarks(QPainter& painter, const ChartRect& plot, double rangeEnd, const std::vector<ChartMark>& marks) {
    std::vector<const ChartMark*> shown;
    for (const ChartMark& mark : marks) {
        if (mark.metres >= 0.0 && mark.metres <= rangeEnd)
            shown.push_back(&mark);
    }
    std::stable_partition(shown.begin(), shown.end(), [](const ChartMark* mark) { return mark->standsOut; });
    std::vector<double> xs;
    for (const ChartMark* mark : shown)
        xs.push_back(plot.left + mark->metres / rangeEnd * plot.Width());
    const QFont font = platform::DerivedFont(kMarkFontWeight, kMarkFontPixels);
    const std::vector<QRectF> boxes = LabelBoxes(shown, xs, plot, QFontMetricsF(font));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(font);
    // Backwards, so that the likely end's line and label go on top of the others.
    for (std::size_t i = shown.size(); i-- > 0;) {
        const bool standsOut = shown[i]->standsOut;
        const QColor color = ColorFromRef(standsOut ? kStandoutColor : kMarkColor);
        painter.setPen(QPen(color, standsOut ? kStandoutLineWidth : kMarkLineWidth,
                            standsOut ? Qt::SolidLine : Qt::DashLine, Qt::FlatCap));
        painter.drawLine(QPointF(xs[i], plot.top), QPointF(xs[i], plot.bottom));
        painter.fillRect(boxes[i], standsOut ? color : ColorFromRef(kMarkLabelFill));
        painter.setPen(standsOut ? ColorFromRef(kStandoutTextColor) : color);
        painter.drawText(boxes[i], Qt::AlignCenter, shown[i]->label);
    }
    painter.restore();
}

} // namespace

std::uint32_t ChartTraceColor(int index) {
    return kSeriesColors[static_cast<std::size_t>(kFirstStoredSlot + std::clamp(index, 0, kMaxChartTraces - 1))];
}

bool PaintChart(QPainter& painter, const QRectF& target, QSize size, const std::vector<analysis::StoredTrace>& traces,
                const ChartOptions& options, QString* error) {
    if (traces.empty() || static_cast<int>(traces.size()) > kMaxChartTraces)
        return Fail(error, QStringLiteral("a chart shows one to three reflectograms"));
    if (size.width() < kMinimumChartSize.width() || size.height() < kMinimumChartSize.height() ||
        size.width() > kMaximumChartSize.width() || size.height() > kMaximumChartSize.height())
        return Fail(error, QStringLiteral("the picture's size must lie within %1x%2 .. %3x%4")
                               .arg(kMinimumChartSize.width())
                               .arg(kMinimumChartSize.height())
                               .arg(kMaximumChartSize.width())
                               .arg(kMaximumChartSize.height()));
    if (options.cursorMetres.size() > 2)
        return Fail(error, QStringLiteral("at most two cursors"));

    // The first trace sets the window (its whole range) and the distance axis; the others
    // are drawn in that window, sample for sample, as the instrument draws stored traces.
    std::vector<std::unique_ptr<CChannel>> channels;
    for (const analysis::StoredTrace& trace : traces)
        channels.push_back(ChannelOf(trace));
    CChannel& display = *channels.front();
    if (options.ku)
        display.scale.vfactor.SetKU(*options.ku);
    display.scale.CalcTicks();

    CLineChartCtrl chart;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        channels[i]->ExtractPoints(display, 1);
        chart.AddSeries(ChartTraceColor(static_cast<int>(i)), 0, kValueMinimum, kValueMaximum,
                        channels[i]->scale.points.data());
    }
    const ChartRect rect{0, 0, size.width(), size.height()};
    const ChartRect plot = chart::PlotArea(rect);
    const double columnsToPixels = static_cast<double>(plot.Width()) / kSeriesPoints;
    chart.SetAxis(display.scale.GetPixelsPerTick(), kVerticalGridStep,
                  display.scale.GetFirstTickColumn() * columnsToPixels);
    chart.SetLabels(kLabelEveryLine, &display.scale.GetTickLabels());

    const double rangeEnd = display.scale.SamplesToMetres(display.scale.GetBaseSamples());
    for (std::size_t k = 0; k < options.cursorMetres.size(); ++k) {
        const int cursor = static_cast<int>(k);
        const double metres = options.cursorMetres[k];
        if (!(metres >= 0.0 && metres <= rangeEnd))
            return Fail(
                error,
                QStringLiteral("cursor %1 m lies outside the chart's 0 .. %2 m").arg(metres).arg(rangeEnd, 0, 'f', 1));
        display.scale.SetCursorMetres(cursor, metres);
        const int column = display.scale.GetCursorPx(cursor);
        // The chart marks a cursor 5 pixels right of its column: the plot's left margin.
        chart.SetCursorPos(cursor + 1, static_cast<int>(column * columnsToPixels));
    }
    if (!options.cursorMetres.empty()) {
        if (options.cursorMetres.size() == 1) // the second cursor, out of the picture
            chart.SetCursorPos(2, size.width());
        chart.SetActiveCursor(1);
        chart.EnableCursors();
    }

    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / size.width(), target.height() / size.height());
    painter.setClipRect(QRect(0, 0, size.width(), size.height()));
    chart.Paint(painter, rect);
    PaintMarks(painter, plot, rangeEnd, options.marks);
    painter.restore();
    return true;
}

QImage DrawChart(const std::vector<analysis::StoredTrace>& traces, QSize size, const std::vector<double>& cursorMetres,
                 QString* error) {
    QImage image(size.expandedTo(QSize(1, 1)).boundedTo(kMaximumChartSize), QImage::Format_RGB32);
    QPainter painter(&image);
    if (!PaintChart(painter, QRectF(QPointF(0, 0), size), size, traces, {cursorMetres, std::nullopt, {}}, error))
        return QImage();
    return image;
}

} // namespace tool
