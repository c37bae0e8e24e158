#pragma once

// A picture of stored reflectograms as the instrument's chart draws them: the whole range
// of the first one, the distance grid with its labels, each trace in the colour of the
// stored-trace slot it would occupy, and optional cursor marks.

#include "analysis/StoredTrace.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace tool {

inline constexpr int kMaxChartTraces = 3;
inline constexpr QSize kMinimumChartSize{160, 100};
inline constexpr QSize kMaximumChartSize{4096, 4096};

// 0x00BBGGRR colour of the trace at `index` (0..2).
std::uint32_t ChartTraceColor(int index);

// Null with `error` set when the request cannot be drawn (no traces or more than three, a
// size outside the limits, a cursor outside the first trace's range).
QImage DrawChart(const std::vector<analysis::StoredTrace>& traces, QSize size, const std::vector<double>& cursorMetres,
                 QString* error);

} // namespace tool
