#include "tool/TraceText.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace tool {

namespace {

QString SizeInDecibels(double amplitude, const analysis::EventReport& report) {
    if (!(report.launchAmplitude > 0))
        return QStringLiteral("-");
    const double decibels = 20.0 * std::log10(std::abs(amplitude) / report.launchAmplitude);
    // A clipped launch pulse was larger than it reads, so the reflection is smaller than this.
    return (report.launchClipped ? QStringLiteral("<=") : QString()) + Number(decibels, 1);
}

// What an event is to the crew: the likely end or fault, a repeat echo, or a major event.
QString EventRemark(const analysis::Reflection& reflection) {
    if (reflection.likelyEnd)
        return QStringLiteral("<- likely end or fault");
    if (reflection.repeatOf > 0)
        return QStringLiteral("repeat of #%1").arg(reflection.repeatOf);
    if (reflection.major)
        return QStringLiteral("major");
    return {};
}

} // namespace

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString PulseText(int widthNs) {
    return QStringLiteral("%1 ns").arg(widthNs);
}

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString ModifiedText(const analysis::StoredTrace& trace) {
    return trace.modified.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

TraceSettings SettingsOf(const analysis::StoredTrace& trace) {
    const double ku = trace.KU();
    return {QStringLiteral("%1 m").arg(trace.RangeMetres()),
            PulseText(static_cast<int>(trace.PulseNs())),
            QString::number(trace.AverageCount()),
            QString::number(trace.header.gain),
            QString::number(trace.header.matching),
            Number(ku, 3),
            QStringLiteral("%1 m/us").arg(Number(kHalfLightSpeed / ku, 1))};
}

QString HeaderSummary(const analysis::StoredTrace& trace) {
    const TraceSettings s = SettingsOf(trace);
    return QStringLiteral("range %1  pulse %2  averaging %3  gain %4  matching %5  KU %6  V/2 %7")
        .arg(s.range, s.pulse, s.averaging, s.gain, s.matching, s.ku, s.v2);
}

TraceEvents FindTraceEvents(const analysis::StoredTrace& trace, std::optional<double> ku) {
    return {analysis::SampleDistance(trace, ku.value_or(trace.KU())),
            analysis::FindEvents(trace.values, {trace.NsPerSample(), trace.PulseNs()}), ku.has_value()};
}

QString VelocityLine(const TraceEvents& events) {
    return QStringLiteral("distances for KU %1").arg(Number(events.distance.KU(), 4));
}

QString NoiseLine(const TraceEvents& events) {
    const analysis::EventReport& report = events.report;
    return QStringLiteral("noise %1 steps rms; launch pulse and its tail up to %2 m; launch %3")
        .arg(Number(report.noise, 2), Number(events.distance.Metres(report.deadZone), 2),
             report.launchClipped ? QStringLiteral("clipped at the converter's limit")
                                  : QStringLiteral("%1 steps").arg(Number(report.launchAmplitude, 0)));
}

namespace {

EventRow EventRowOf(const TraceEvents& events, std::size_t index) {
    const analysis::Reflection& reflection = events.report.reflections[index];
    const bool higher = reflection.sign > 0;
    return {static_cast<int>(index) + 1,
            Number(events.distance.Metres(reflection.sample), 2),
            higher ? QLatin1Char('+') : QLatin1Char('-'),
            higher ? QStringLiteral("higher (open, break)") : QStringLiteral("lower (short, wet, insulation)"),
            Number(reflection.amplitude, 1),
            Number(reflection.noiseRatio, 1),
            SizeInDecibels(reflection.amplitude, events.report),
            EventRemark(reflection)};
}

} // namespace

std::vector<EventRow> EventRows(const TraceEvents& events) {
    std::vector<EventRow> rows;
    for (std::size_t i = 0; i < events.report.reflections.size(); ++i)
        rows.push_back(EventRowOf(events, i));
    return rows;
}

std::optional<EventRow> LikelyEnd(const TraceEvents& events) {
    const auto& reflections = events.report.reflections;
    const auto end = std::find_if(reflections.begin(), reflections.end(),
                                  [](const analysis::Reflection& reflection) { return reflection.likelyEnd; });
    if (end == reflections.end())
        return std::nullopt;
    return EventRowOf(events, static_cast<std::size_t>(end - reflections.begin()));
}

std::vector<LoadedTrace> LoadTraces(const QStringList& arguments, QStringList* errors) {
    std::vector<LoadedTrace> loaded;
    for (const QString& path : analysis::ExpandPaths(arguments, errors)) {
        LoadedTrace file{path, std::nullopt, QString()};
        file.trace = analysis::LoadStoredTrace(path, &file.error);
        loaded.push_back(std::move(file));
    }
    return loaded;
}

} // namespace tool
