#pragma once

// How pel-tool writes a reflectogram's figures: its settings, the fault finder's events
// and their remarks. The text commands, the JSON and the PDF report all take them from
// here, so the same event reads the same everywhere.

#include "analysis/EventFinder.h"
#include "analysis/StoredTrace.h"

#include <QString>

#include <optional>
#include <vector>

namespace tool {

inline constexpr double kHalfLightSpeed = 150.0; // m/µs: V/2 = 150 / КУ

QString Number(double value, int decimals);
QString PulseText(int widthNs);
// The last part of a path: the file's own name.
QString FileName(const QString& path);
// The file's modification time as the commands show it (local time).
QString ModifiedText(const analysis::StoredTrace& trace);

// The header's settings, each as the commands print it.
struct TraceSettings {
    QString range;     // "1000 m"
    QString pulse;     // "100 ns"
    QString averaging; // "16"
    QString gain;
    QString matching;
    QString ku; // "1.500"
    QString v2; // "100.0 m/us"
};
TraceSettings SettingsOf(const analysis::StoredTrace& trace);
// "range 1000 m  pulse 100 ns  averaging 16  gain 100  matching 100  KU 1.500  V/2 100.0 m/us"
QString HeaderSummary(const analysis::StoredTrace& trace);

// The fault finder's report on a trace, with the distances for the КУ asked for (the
// file's own when none is).
struct TraceEvents {
    analysis::SampleDistance distance;
    analysis::EventReport report;
    bool otherVelocity = false; // distances for a КУ other than the file's
};
TraceEvents FindTraceEvents(const analysis::StoredTrace& trace, std::optional<double> ku);

// "distances for KU 1.5228"
QString VelocityLine(const TraceEvents& events);
// "noise 0.47 steps rms; launch pulse and its tail up to 25.50 m; launch clipped at ..."
QString NoiseLine(const TraceEvents& events);

inline const QString kNoReflections = QStringLiteral("no reflection stands clear of the noise");
inline const QString kNothingStandsOut = QStringLiteral("no event stands out: no likely end or fault is marked");

// One event as the event table prints it.
struct EventRow {
    int number = 0; // 1-based
    QString distance;
    QChar sign;
    QString impedance; // what the sign means
    QString size;
    QString noiseRatio;
    QString decibels; // "-" when the launch pulse is unknown, "<=" before an upper bound
    QString remark;   // "<- likely end or fault", "repeat of #n", "major" or nothing
};
std::vector<EventRow> EventRows(const TraceEvents& events);

// The likely end or fault among the rows; none when no event stands out.
std::optional<EventRow> LikelyEnd(const TraceEvents& events);

// A file the arguments name: read, or why it cannot be used.
struct LoadedTrace {
    QString path;
    std::optional<analysis::StoredTrace> trace;
    QString error;
};
// Every file the arguments name (folders stand for their *.pel files), damaged ones too;
// arguments that name nothing go to `errors`.
std::vector<LoadedTrace> LoadTraces(const QStringList& arguments, QStringList* errors);

} // namespace tool
