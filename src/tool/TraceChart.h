#pragma once

// A picture of stored reflectograms as the instrument's chart draws them: the whole range
// of the first one, the distance grid with its labels, each trace in the colour of the
// stored-trace slot it would occupy, optional cursor marks and marks for found events.
// The chart paints onto any painter (a PNG's picture, a report's page) at the layout of a
// picture of a given pixel size, scaled into the rectangle it is given.

#include "analysis/StoredTrace.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace tool {

inline constexpr int kMaxChartTraces = 3;
inline constexpr QSize kMinimumChartSize{160, 100};
inline constexpr QSize kMaximumChartSize{4096, 4096};

// 0x00BBGGRR colour of the trace at `index` (0..2).
std::uint32_t ChartTraceColor(int index);

// An event marked on the chart: a line at its distance, its label at the top of the plot.
struct ChartMark {
    double metres = 0;
    QString label;
    bool standsOut = false; // the likely end or fault: bold, in its own colour
};

struct ChartOptions {
    std::vector<double> cursorMetres; // at most two
    std::optional<double> ku;         // the distance axis for this КУ; the first trace's own when none
    std::vector<ChartMark> marks;
};

// Paints the chart that a picture of `size` pixels shows, scaled to fill `target`. False
// with `error` set, and nothing painted, when the request cannot be drawn (no traces or
// more than three, a size outside the limits, a cursor outside the first trace's range).
bool PaintChart(QPainter& painter, const QRectF& target, QSize size, const std::vector<analysis::StoredTrace>& traces,
                const ChartOptions& options, QString* error);

// The chart as a picture of `size` pixels; null with `error` set when it cannot be drawn.
QImage DrawChart(const std::vector<analysis::StoredTrace>& traces, QSize size, const std::vector<double>& cursorMetres,
                 QString* error);

} // namespace tool
