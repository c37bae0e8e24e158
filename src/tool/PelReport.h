#pragma once

// pel-tool's report: a PDF for the office or the crew. The first page lists every
// reflectogram with its likely end or fault; each one then has a page with its settings,
// its chart with the found events marked, and the event table as `events` prints it.

#include "tool/TraceText.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tool {

struct ReportOptions {
    QString title;
    std::optional<double> ku; // distances for this КУ instead of each file's own
    bool overlay = false;     // the readable files (one to three) on one chart and one page
};

// The report on `files` as an A4 PDF document; a file that cannot be read gets a page
// saying why.
QByteArray MakeReport(const std::vector<LoadedTrace>& files, const ReportOptions& options);

} // namespace tool
