#include "tool/PelTool.h"

#include "analysis/EventFinder.h"
#include "analysis/StoredTrace.h"
#include "document/ParamTables.h"
#include "platform/Files.h"
#include "tool/PelReport.h"
#include "tool/TraceChart.h"
#include "tool/TraceText.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace tool {

namespace {

constexpr QSize kDefaultChartSize{640, 480};

// The command line after the command's name: files, options with one value each, and
// flags.
struct Arguments {
    QStringList files;
    std::multimap<QString, QString> options;
    QStringList flags;

    bool Flag(const QString& name) const { return flags.contains(name); }

    std::optional<QString> Option(const QString& name) const {
        const auto it = options.find(name);
        return it == options.end() ? std::nullopt : std::optional<QString>(it->second);
    }
    QStringList All(const QString& name) const {
        QStringList values;
        for (auto [it, end] = options.equal_range(name); it != end; ++it)
            values.append(it->second);
        return values;
    }
};

std::optional<Arguments> Parse(const QStringList& words, const QStringList& allowed, QTextStream& err,
                               const QStringList& allowedFlags = {}) {
    Arguments arguments;
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word.startsWith(QLatin1Char('-')) && word.size() > 1) {
            if (allowedFlags.contains(word)) {
                arguments.flags.append(word);
                continue;
            }
            if (!allowed.contains(word)) {
                err << "pel-tool: unknown option " << word << "\n";
                return std::nullopt;
            }
            if (i + 1 >= words.size()) {
                err << "pel-tool: " << word << " needs a value\n";
                return std::nullopt;
            }
            arguments.options.emplace(word, words[++i]);
        } else {
            arguments.files.append(word);
        }
    }
    return arguments;
}

// The КУ that --vf or --v2 ask distances to be computed with; none when neither is given.
// False, with the reason told, for a value that is no velocity.
bool ReadVelocity(const Arguments& arguments, QTextStream& err, std::optional<double>* ku) {
    ku->reset();
    const auto vf = arguments.Option(QStringLiteral("--vf"));
    const auto v2 = arguments.Option(QStringLiteral("--v2"));
    if (vf && v2) {
        err << "pel-tool: give --vf or --v2, not both\n";
        return false;
    }
    if (!vf && !v2)
        return true;
    bool number = false;
    const double value = (vf ? *vf : *v2).toDouble(&number);
    if (number)
        *ku = vf ? analysis::KUFromVelocityFactor(value) : analysis::KUFromHalfVelocity(value);
    if (!ku->has_value()) {
        if (vf)
            err << "pel-tool: --vf takes КУ 1.0 .. 3.0 or a fraction of the speed of light 0.334 .. 1.0, not " << *vf
                << "\n";
        else
            err << "pel-tool: --v2 takes V/2 in m/us, 50 .. 150, not " << *v2 << "\n";
        return false;
    }
    return true;
}

// Reads the files the arguments name; tells on `err` of arguments that name none.
std::vector<LoadedTrace> LoadEach(const QStringList& names, QTextStream& err, bool* allLoaded) {
    QStringList errors;
    std::vector<LoadedTrace> files = LoadTraces(names, &errors);
    for (const QString& error : errors)
        err << "pel-tool: " << error << "\n";
    *allLoaded = errors.isEmpty() && std::all_of(files.begin(), files.end(),
                                                 [](const LoadedTrace& file) { return file.trace.has_value(); });
    return files;
}

// The files the arguments name that can be used; the others are reported.
std::vector<analysis::StoredTrace> LoadAll(const QStringList& names, QTextStream& err, bool* allLoaded) {
    std::vector<analysis::StoredTrace> traces;
    for (LoadedTrace& file : LoadEach(names, err, allLoaded)) {
        if (file.trace)
            traces.push_back(std::move(*file.trace));
        else
            err << file.path << ": " << file.error << "\n";
    }
    return traces;
}

// Writes `bytes` to `path` through a temporary file, so that a failure leaves no half file.
bool WriteOut(const QString& path, const QByteArray& bytes, QTextStream& err) {
    if (!platform::WriteFileAtomically(path, bytes)) {
        err << "pel-tool: cannot write " << path << ": " << platform::ErrorText(platform::LastError()) << "\n";
        return false;
    }
    return true;
}

// A figure as the text commands print it, so that the JSON holds the same numbers.
double Printed(const QString& text) {
    return text.toDouble();
}

QJsonObject HeaderJson(const LoadedTrace& file) {
    QJsonObject object{{QStringLiteral("file"), FileName(file.path)}, {QStringLiteral("path"), file.path}};
    if (!file.trace) {
        object.insert(QStringLiteral("error"), file.error);
        return object;
    }
    const analysis::StoredTrace& trace = *file.trace;
    object.insert(QStringLiteral("range_m"), trace.RangeMetres());
    object.insert(QStringLiteral("pulse_ns"), trace.PulseNs());
    object.insert(QStringLiteral("averaging"), trace.AverageCount());
    object.insert(QStringLiteral("gain"), static_cast<int>(trace.header.gain));
    object.insert(QStringLiteral("matching"), static_cast<int>(trace.header.matching));
    object.insert(QStringLiteral("ku"), Printed(Number(trace.KU(), 3)));
    object.insert(QStringLiteral("v2_m_per_us"), Printed(Number(kHalfLightSpeed / trace.KU(), 1)));
    object.insert(QStringLiteral("samples"), static_cast<int>(trace.header.sampleCount));
    object.insert(QStringLiteral("storage_factor"), trace.StorageFactor());
    object.insert(QStringLiteral("modified"), ModifiedText(trace));
    return object;
}

QJsonValue OrNull(bool present, const QJsonValue& value) {
    return present ? value : QJsonValue(QJsonValue::Null);
}

QJsonObject EventsJson(const LoadedTrace& file, std::optional<double> ku) {
    QJsonObject object = HeaderJson(file);
    if (!file.trace)
        return object;
    const TraceEvents events = FindTraceEvents(*file.trace, ku);
    const analysis::EventReport& report = events.report;
    object.insert(QStringLiteral("distance_ku"), Printed(Number(events.distance.KU(), 4)));
    object.insert(QStringLiteral("noise_steps"), Printed(Number(report.noise, 2)));
    object.insert(QStringLiteral("dead_zone_m"), Printed(Number(events.distance.Metres(report.deadZone), 2)));
    object.insert(QStringLiteral("launch_steps"), Printed(Number(report.launchAmplitude, 0)));
    object.insert(QStringLiteral("launch_clipped"), report.launchClipped);
    QJsonArray list;
    const std::vector<EventRow> rows = EventRows(events);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const EventRow& row = rows[i];
        const analysis::Reflection& reflection = report.reflections[i];
        const bool decibels = row.decibels != QLatin1String("-");
        list.append(QJsonObject{
            {QStringLiteral("number"), row.number},
            {QStringLiteral("distance_m"), Printed(row.distance)},
            {QStringLiteral("sign"), QString(row.sign)},
            {QStringLiteral("impedance"), row.impedance},
            {QStringLiteral("size_steps"), Printed(row.size)},
            {QStringLiteral("x_noise"), Printed(row.noiseRatio)},
            {QStringLiteral("db_to_launch"),
             OrNull(decibels, Printed(QString(row.decibels).remove(QStringLiteral("<="))))},
            {QStringLiteral("db_to_launch_upper_bound"), decibels && report.launchClipped},
            {QStringLiteral("major"), reflection.major},
            {QStringLiteral("likely_end"), reflection.likelyEnd},
            {QStringLiteral("repeat_of"), OrNull(reflection.repeatOf > 0, reflection.repeatOf)},
        });
    }
    object.insert(QStringLiteral("events"), list);
    const auto end = LikelyEnd(events);
    object.insert(QStringLiteral("likely_end"), OrNull(end.has_value(), end ? end->number : 0));
    return object;
}

void WriteJson(const QJsonArray& files, QTextStream& out) {
    out << QString::fromUtf8(QJsonDocument(files).toJson(QJsonDocument::Indented));
}

int Info(const QStringList& words, QTextStream& out, QTextStream& err) {
    const QString json = QStringLiteral("--json");
    const auto arguments = Parse(words, {}, err, {json});
    if (!arguments || arguments->files.isEmpty()) {
        err << "usage: pel-tool info FILE.pel|FOLDER... [--json]\n";
        return kUsageError;
    }
    bool allGood = false;
    const std::vector<LoadedTrace> files = LoadEach(arguments->files, err, &allGood);
    if (arguments->Flag(json)) {
        QJsonArray list;
        for (const LoadedTrace& file : files)
            list.append(HeaderJson(file));
        WriteJson(list, out);
        return allGood ? kDone : kSomeFilesFailed;
    }
    for (const LoadedTrace& file : files) {
        if (!file.trace) {
            out << FileName(file.path) << "  " << file.error << "\n";
            continue;
        }
        out << FileName(file.path) << "  " << HeaderSummary(*file.trace) << "  samples "
            << file.trace->header.sampleCount << "  modified " << ModifiedText(*file.trace) << "\n";
    }
    return allGood ? kDone : kSomeFilesFailed;
}

int Csv(const QStringList& words, QTextStream& out, QTextStream& err) {
    const auto arguments = Parse(words, {QStringLiteral("-o"), QStringLiteral("--vf"), QStringLiteral("--v2")}, err);
    if (!arguments || arguments->files.size() != 1) {
        err << "usage: pel-tool csv FILE.pel [-o OUT.csv] [--vf VALUE | --v2 VALUE]\n";
        return kUsageError;
    }
    std::optional<double> ku;
    if (!ReadVelocity(*arguments, err, &ku))
        return kUsageError;
    QString error;
    const auto trace = analysis::LoadStoredTrace(arguments->files.front(), &error);
    if (!trace) {
        err << arguments->files.front() << ": " << error << "\n";
        return kSomeFilesFailed;
    }
    const double distanceKU = ku.value_or(trace->KU());
    const analysis::SampleDistance distance(*trace, distanceKU);

    QString text;
    QTextStream csv(&text);
    const reflectogram::Header& h = trace->header;
    csv << "# file: " << FileName(trace->path) << "\n";
    csv << "# range: " << h.range << " (" << trace->RangeMetres() << " m)\n";
    csv << "# pulse: " << h.pulse << " (" << PulseText(static_cast<int>(trace->PulseNs())) << ")\n";
    csv << "# averaging: " << h.average << " (" << trace->AverageCount() << ")\n";
    csv << "# gain: " << h.gain << "\n";
    csv << "# matching: " << h.matching << "\n";
    csv << "# KU: " << Number(trace->KU(), 3) << " (stored " << h.storedKU << ")\n";
    csv << "# V/2: " << Number(kHalfLightSpeed / trace->KU(), 1) << " m/us\n";
    csv << "# samples: " << h.sampleCount << "\n";
    csv << "# storage factor: " << trace->StorageFactor() << "\n";
    csv << "# modified: " << ModifiedText(*trace) << "\n";
    if (ku)
        csv << "# distances for KU " << Number(distanceKU, 4) << " (V/2 " << Number(kHalfLightSpeed / distanceKU, 2)
            << " m/us)\n";
    csv << "distance_m,value\n";
    for (std::size_t j = 0; j < trace->values.size(); ++j)
        csv << Number(distance.Metres(static_cast<double>(j)), 6) << "," << static_cast<int>(trace->values[j]) << "\n";
    csv.flush();
    const QString path = arguments->Option(QStringLiteral("-o")).value_or(QString());
    if (path.isEmpty() || path == QLatin1String("-")) {
        out << text;
        return kDone;
    }
    return WriteOut(path, text.toUtf8(), err) ? kDone : kSomeFilesFailed;
}

std::optional<QSize> ParseSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

int Png(const QStringList& words, QTextStream& out, QTextStream& err) {
    const auto arguments =
        Parse(words, {QStringLiteral("-o"), QStringLiteral("--size"), QStringLiteral("--cursor")}, err);
    const QString usage =
        QStringLiteral("usage: pel-tool png FILE.pel... [-o OUT.png] [--size WxH] [--cursor METRES]...\n");
    if (!arguments || arguments->files.isEmpty()) {
        err << usage;
        return kUsageError;
    }
    QSize size = kDefaultChartSize;
    if (const auto text = arguments->Option(QStringLiteral("--size"))) {
        const auto parsed = ParseSize(*text);
        if (!parsed) {
            err << "pel-tool: --size takes WIDTHxHEIGHT in pixels, not " << *text << "\n";
            return kUsageError;
        }
        size = *parsed;
    }
    std::vector<double> cursors;
    for (const QString& text : arguments->All(QStringLiteral("--cursor"))) {
        bool number = false;
        cursors.push_back(text.toDouble(&number));
        if (!number) {
            err << "pel-tool: --cursor takes a distance in metres, not " << text << "\n";
            return kUsageError;
        }
    }
    bool allLoaded = false;
    const std::vector<analysis::StoredTrace> traces = LoadAll(arguments->files, err, &allLoaded);
    if (!allLoaded)
        return kSomeFilesFailed;
    QString error;
    const QImage image = DrawChart(traces, size, cursors, &error);
    if (image.isNull()) {
        err << "pel-tool: " << error << "\n";
        return kUsageError;
    }
    QString path = arguments->Option(QStringLiteral("-o")).value_or(QString());
    if (path.isEmpty())
        path = QFileInfo(traces.front().path).completeBaseName() + QStringLiteral(".png");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        err << "pel-tool: cannot encode the picture: " << writer.errorString() << "\n";
        return kSomeFilesFailed;
    }
    if (!WriteOut(path, bytes, err))
        return kSomeFilesFailed;
    out << path << "\n";
    return kDone;
}

// The event table as `events` prints it.
void WriteEventTable(const TraceEvents& events, QTextStream& out) {
    out << "   #  distance, m  sign  impedance                            size, steps  x noise  dB to launch\n";
    for (const EventRow& row : EventRows(events)) {
        out << QStringLiteral("%1  %2  %3     %4  %5  %6  %7")
                   .arg(row.number, 2)
                   .arg(row.distance, 11)
                   .arg(row.sign)
                   .arg(row.impedance, -35)
                   .arg(row.size, 11)
                   .arg(row.noiseRatio, 7)
                   .arg(row.decibels, 12)
            << (row.remark.isEmpty() ? QString() : QStringLiteral("  ") + row.remark) << "\n";
    }
}

int Events(const QStringList& words, QTextStream& out, QTextStream& err) {
    const QString json = QStringLiteral("--json");
    const auto arguments = Parse(words, {QStringLiteral("--vf"), QStringLiteral("--v2")}, err, {json});
    if (!arguments || arguments->files.isEmpty()) {
        err << "usage: pel-tool events FILE.pel|FOLDER... [--vf VALUE | --v2 VALUE] [--json]\n";
        return kUsageError;
    }
    std::optional<double> ku;
    if (!ReadVelocity(*arguments, err, &ku))
        return kUsageError;
    bool allLoaded = false;
    if (arguments->Flag(json)) {
        QJsonArray list;
        for (const LoadedTrace& file : LoadEach(arguments->files, err, &allLoaded))
            list.append(EventsJson(file, ku));
        WriteJson(list, out);
        return allLoaded ? kDone : kSomeFilesFailed;
    }
    const std::vector<analysis::StoredTrace> traces = LoadAll(arguments->files, err, &allLoaded);
    for (const analysis::StoredTrace& trace : traces) {
        const TraceEvents events = FindTraceEvents(trace, ku);
        out << FileName(trace.path) << "  " << HeaderSummary(trace) << "\n";
        if (ku)
            out << VelocityLine(events) << "\n";
        out << NoiseLine(events) << "\n";
        if (events.report.reflections.empty()) {
            out << kNoReflections << "\n\n";
            continue;
        }
        WriteEventTable(events, out);
        if (!LikelyEnd(events))
            out << kNothingStandsOut << "\n";
        out << "\n";
    }
    return allLoaded ? kDone : kSomeFilesFailed;
}

int Report(const QStringList& words, QTextStream& out, QTextStream& err) {
    const QString overlay = QStringLiteral("--overlay");
    const auto arguments =
        Parse(words, {QStringLiteral("-o"), QStringLiteral("--title"), QStringLiteral("--vf"), QStringLiteral("--v2")},
              err, {overlay});
    const auto path = arguments ? arguments->Option(QStringLiteral("-o")) : std::nullopt;
    if (!arguments || arguments->files.isEmpty() || !path || path->isEmpty()) {
        err << "usage: pel-tool report FILE.pel|FOLDER... -o REPORT.pdf [--title TEXT] [--overlay] "
               "[--vf VALUE | --v2 VALUE]\n";
        return kUsageError;
    }
    ReportOptions options;
    options.title = arguments->Option(QStringLiteral("--title")).value_or(QStringLiteral("Reflectogram report"));
    options.overlay = arguments->Flag(overlay);
    if (!ReadVelocity(*arguments, err, &options.ku))
        return kUsageError;
    bool allLoaded = false;
    const std::vector<LoadedTrace> files = LoadEach(arguments->files, err, &allLoaded);
    const auto readable =
        std::count_if(files.begin(), files.end(), [](const LoadedTrace& file) { return file.trace.has_value(); });
    if (options.overlay && readable > kMaxChartTraces) {
        err << "pel-tool: an overlay shows one to three reflectograms, not " << readable << "\n";
        return kUsageError;
    }
    if (files.empty())
        return kSomeFilesFailed;
    for (const LoadedTrace& file : files) {
        if (!file.trace)
            err << file.path << ": " << file.error << "\n";
    }
    if (!WriteOut(*path, MakeReport(files, options), err))
        return kSomeFilesFailed;
    out << *path << "\n";
    return allLoaded ? kDone : kSomeFilesFailed;
}

} // namespace

QString Usage() {
    return QStringLiteral("pel-tool: stored reflectograms (.pel) on a PC\n"
                          "\n"
                          "  pel-tool info FILE.pel|FOLDER... [--json]\n"
                          "      one line per file: range, pulse, averaging, gain, matching, KU and V/2,\n"
                          "      sample count, modification time; a damaged file says why\n"
                          "  pel-tool csv FILE.pel [-o OUT.csv] [--vf VALUE | --v2 VALUE]\n"
                          "      '#' lines with the header, then distance_m,value per sample\n"
                          "  pel-tool png FILE.pel... [-o OUT.png] [--size WxH] [--cursor METRES]...\n"
                          "      a chart of one to three reflectograms as the instrument draws them\n"
                          "  pel-tool events FILE.pel|FOLDER... [--vf VALUE | --v2 VALUE] [--json]\n"
                          "      the reflections that stand clear of the noise, with distance, sign and size\n"
                          "  pel-tool report FILE.pel|FOLDER... -o REPORT.pdf [--title TEXT] [--overlay]\n"
                          "                 [--vf VALUE | --v2 VALUE]\n"
                          "      an A4 PDF: a list of the files with their likely end or fault, then a page per\n"
                          "      file with its settings, its chart with the events marked and the event table;\n"
                          "      --overlay puts up to three files on one chart with the first one's events\n"
                          "\n"
                          "A FOLDER (an export folder of the USB drive) stands for its *.pel files.\n"
                          "--json: one JSON array on stdout, an object per file (a damaged one with \"error\").\n"
                          "--vf: KU as the instrument shows it (1.0 .. 3.0), or the velocity as a fraction of\n"
                          "the speed of light (below 1: 1 / KU). --v2: V/2 in m/us (50 .. 150).\n");
}

int RunPelTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    if (arguments.isEmpty()) {
        err << Usage();
        return kUsageError;
    }
    const QString command = arguments.front();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("info"))
        return Info(rest, out, err);
    if (command == QLatin1String("csv"))
        return Csv(rest, out, err);
    if (command == QLatin1String("png"))
        return Png(rest, out, err);
    if (command == QLatin1String("events"))
        return Events(rest, out, err);
    if (command == QLatin1String("report"))
        return Report(rest, out, err);
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        out << Usage();
        return kDone;
    }
    err << "pel-tool: unknown command " << command << "\n\n" << Usage();
    return kUsageError;
}

} // namespace tool
