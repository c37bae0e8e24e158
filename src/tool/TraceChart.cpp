#include "tool/TraceChart.h"

#include "document/PELParam.h"
#include "ui/LineChartCtrl.h"

#include <algorithm>
#include <memory>

namespace tool {

namespace {

constexpr int kFirstStoredSlot = 2; // stored reflectograms take slots 2..4 on the instrument
constexpr int kValueMinimum = -128;
constexpr int kValueMaximum = 128;
constexpr double kVerticalGridStep = 25.0;
constexpr int kLabelEveryLine = 1;

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

} // namespace

std::uint32_t ChartTraceColor(int index) {
    return kSeriesColors[static_cast<std::size_t>(kFirstStoredSlot + std::clamp(index, 0, kMaxChartTraces - 1))];
}

QImage DrawChart(const std::vector<analysis::StoredTrace>& traces, QSize size, const std::vector<double>& cursorMetres,
                 QString* error) {
    auto fail = [&](const QString& text) {
        if (error != nullptr)
            *error = text;
        return QImage();
    };
    if (traces.empty() || static_cast<int>(traces.size()) > kMaxChartTraces)
        return fail(QStringLiteral("a chart shows one to three reflectograms"));
    if (size.width() < kMinimumChartSize.width() || size.height() < kMinimumChartSize.height() ||
        size.width() > kMaximumChartSize.width() || size.height() > kMaximumChartSize.height())
        return fail(QStringLiteral("the picture's size must lie within %1x%2 .. %3x%4")
                        .arg(kMinimumChartSize.width())
                        .arg(kMinimumChartSize.height())
                        .arg(kMaximumChartSize.width())
                        .arg(kMaximumChartSize.height()));
    if (cursorMetres.size() > 2)
        return fail(QStringLiteral("at most two cursors"));

    // The first trace sets the window (its whole range) and the distance axis; the others
    // are drawn in that window, sample for sample, as the instrument draws stored traces.
    std::vector<std::unique_ptr<CChannel>> channels;
    for (const analysis::StoredTrace& trace : traces)
        channels.push_back(ChannelOf(trace));
    CChannel& display = *channels.front();
    display.scale.CalcTicks();

    CLineChartCtrl chart;
    chart.CreateBuffers(size.width(), size.height());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        channels[i]->ExtractPoints(display, 1);
        chart.AddSeries(ChartTraceColor(static_cast<int>(i)), 0, kValueMinimum, kValueMaximum,
                        channels[i]->scale.points.data());
    }
    const ChartRect rect{0, 0, size.width(), size.height()};
    const double columnsToPixels = static_cast<double>(chart::PlotArea(rect).Width()) / kSeriesPoints;
    chart.SetAxis(display.scale.GetPixelsPerTick(), kVerticalGridStep,
                  display.scale.GetFirstTickColumn() * columnsToPixels);
    chart.SetLabels(kLabelEveryLine, &display.scale.GetTickLabels());

    for (std::size_t k = 0; k < cursorMetres.size(); ++k) {
        const int cursor = static_cast<int>(k);
        const double metres = cursorMetres[k];
        const double rangeEnd = display.scale.SamplesToMetres(display.scale.GetBaseSamples());
        if (!(metres >= 0.0 && metres <= rangeEnd))
            return fail(
                QStringLiteral("cursor %1 m lies outside the chart's 0 .. %2 m").arg(metres).arg(rangeEnd, 0, 'f', 1));
        display.scale.SetCursorMetres(cursor, metres);
        const int column = display.scale.GetCursorPx(cursor);
        // The chart marks a cursor 5 pixels right of its column: the plot's left margin.
        chart.SetCursorPos(cursor + 1, static_cast<int>(column * columnsToPixels));
    }
    if (!cursorMetres.empty()) {
        if (cursorMetres.size() == 1) // the second cursor, out of the picture
            chart.SetCursorPos(2, size.width());
        chart.SetActiveCursor(1);
        chart.EnableCursors();
    }
    chart.Draw(rect);
    return chart.Target().copy();
}

} // namespace tool
