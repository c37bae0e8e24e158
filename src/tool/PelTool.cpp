#include "tool/PelTool.h"

#include "analysis/EventFinder.h"
#include "analysis/StoredTrace.h"
#include "document/ParamTables.h"
#include "platform/Files.h"
#include "tool/TraceChart.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace tool {

namespace {

constexpr double kHalfLightSpeed = 150.0; // m/µs: V/2 = 150 / КУ
constexpr QSize kDefaultChartSize{640, 480};

// The command line after the command's name: files, and options with one value each.
struct Arguments {
    QStringList files;
    std::multimap<QString, QString> options;

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

std::optional<Arguments> Parse(const QStringList& words, const QStringList& allowed, QTextStream& err) {
    Arguments arguments;
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word.startsWith(QLatin1Char('-')) && word.size() > 1) {
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

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString PulseText(int widthNs) {
    return QStringLiteral("%1 ns").arg(widthNs);
}

// Loads the files the arguments name; reports the ones that cannot be used.
std::vector<analysis::StoredTrace> LoadAll(const QStringList& names, QTextStream& err, bool* allLoaded) {
    QStringList errors;
    const QStringList paths = analysis::ExpandPaths(names, &errors);
    *allLoaded = errors.isEmpty();
    for (const QString& error : errors)
        err << "pel-tool: " << error << "\n";
    std::vector<analysis::StoredTrace> traces;
    for (const QString& path : paths) {
        QString error;
        if (auto trace = analysis::LoadStoredTrace(path, &error)) {
            traces.push_back(std::move(*trace));
        } else {
            err << path << ": " << error << "\n";
            *allLoaded = false;
        }
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

QString HeaderSummary(const analysis::StoredTrace& trace) {
    const double ku = trace.KU();
    return QStringLiteral("range %1 m  pulse %2  averaging %3  gain %4  matching %5  KU %6  V/2 %7 m/us")
        .arg(trace.RangeMetres())
        .arg(PulseText(static_cast<int>(trace.PulseNs())))
        .arg(trace.AverageCount())
        .arg(trace.header.gain)
        .arg(trace.header.matching)
        .arg(Number(ku, 3))
        .arg(Number(kHalfLightSpeed / ku, 1));
}

int Info(const QStringList& words, QTextStream& out, QTextStream& err) {
    const auto arguments = Parse(words, {}, err);
    if (!arguments || arguments->files.isEmpty()) {
        err << "usage: pel-tool info FILE.pel|FOLDER...\n";
        return kUsageError;
    }
    QStringList errors;
    const QStringList paths = analysis::ExpandPaths(arguments->files, &errors);
    bool allGood = errors.isEmpty();
    for (const QString& error : errors)
        err << "pel-tool: " << error << "\n";
    for (const QString& path : paths) {
        QString error;
        const auto trace = analysis::LoadStoredTrace(path, &error);
        if (!trace) {
            out << QFileInfo(path).fileName() << "  " << error << "\n";
            allGood = false;
            continue;
        }
        out << QFileInfo(path).fileName() << "  " << HeaderSummary(*trace) << "  samples " << trace->header.sampleCount
            << "  modified " << trace->modified.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << "\n";
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
    csv << "# file: " << QFileInfo(trace->path).fileName() << "\n";
    csv << "# range: " << h.range << " (" << trace->RangeMetres() << " m)\n";
    csv << "# pulse: " << h.pulse << " (" << PulseText(static_cast<int>(trace->PulseNs())) << ")\n";
    csv << "# averaging: " << h.average << " (" << trace->AverageCount() << ")\n";
    csv << "# gain: " << h.gain << "\n";
    csv << "# matching: " << h.matching << "\n";
    csv << "# KU: " << Number(trace->KU(), 3) << " (stored " << h.storedKU << ")\n";
    csv << "# V/2: " << Number(kHalfLightSpeed / trace->KU(), 1) << " m/us\n";
    csv << "# samples: " << h.sampleCount << "\n";
    csv << "# storage factor: " << trace->StorageFactor() << "\n";
    csv << "# modified: " << trace->modified.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << "\n";
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

int Events(const QStringList& words, QTextStream& out, QTextStream& err) {
    const auto arguments = Parse(words, {QStringLiteral("--vf"), QStringLiteral("--v2")}, err);
    if (!arguments || arguments->files.isEmpty()) {
        err << "usage: pel-tool events FILE.pel|FOLDER... [--vf VALUE | --v2 VALUE]\n";
        return kUsageError;
    }
    std::optional<double> ku;
    if (!ReadVelocity(*arguments, err, &ku))
        return kUsageError;
    bool allLoaded = false;
    const std::vector<analysis::StoredTrace> traces = LoadAll(arguments->files, err, &allLoaded);
    for (const analysis::StoredTrace& trace : traces) {
        const analysis::SampleDistance distance(trace, ku.value_or(trace.KU()));
        const analysis::EventReport report = analysis::FindEvents(trace.values, {trace.NsPerSample(), trace.PulseNs()});
        out << QFileInfo(trace.path).fileName() << "  " << HeaderSummary(trace) << "\n";
        if (ku)
            out << "distances for KU " << Number(distance.KU(), 4) << "\n";
        out << "noise " << Number(report.noise, 2) << " steps rms; launch pulse and its tail up to "
            << Number(distance.Metres(report.deadZone), 2) << " m; launch "
            << (report.launchClipped ? QStringLiteral("clipped at the converter's limit")
                                     : QStringLiteral("%1 steps").arg(Number(report.launchAmplitude, 0)))
            << "\n";
        if (report.reflections.empty()) {
            out << "no reflection stands clear of the noise\n\n";
            continue;
        }
        out << "   #  distance, m  sign  impedance                            size, steps  x noise  dB to launch\n";
        int number = 0;
        for (const analysis::Reflection& reflection : report.reflections) {
            const QString kind = reflection.sign > 0 ? QStringLiteral("higher (open, break)")
                                                     : QStringLiteral("lower (short, wet, insulation)");
            const QString mark = EventRemark(reflection);
            out << QStringLiteral("%1  %2  %3     %4  %5  %6  %7")
                       .arg(++number, 2)
                       .arg(Number(distance.Metres(reflection.sample), 2), 11)
                       .arg(reflection.sign > 0 ? QLatin1Char('+') : QLatin1Char('-'))
                       .arg(kind, -35)
                       .arg(Number(reflection.amplitude, 1), 11)
                       .arg(Number(reflection.noiseRatio, 1), 7)
                       .arg(SizeInDecibels(reflection.amplitude, report), 12)
                << (mark.isEmpty() ? QString() : QStringLiteral("  ") + mark) << "\n";
        }
        if (std::none_of(report.reflections.begin(), report.reflections.end(),
                         [](const analysis::Reflection& r) { return r.likelyEnd; }))
            out << "no event stands out: no likely end or fault is marked\n";
        out << "\n";
    }
    return allLoaded ? kDone : kSomeFilesFailed;
}

} // namespace

QString Usage() {
    return QStringLiteral("pel-tool: stored reflectograms (.pel) on a PC\n"
                          "\n"
                          "  pel-tool info FILE.pel|FOLDER...\n"
                          "      one line per file: range, pulse, averaging, gain, matching, KU and V/2,\n"
                          "      sample count, modification time; a damaged file says why\n"
                          "  pel-tool csv FILE.pel [-o OUT.csv] [--vf VALUE | --v2 VALUE]\n"
                          "      '#' lines with the header, then distance_m,value per sample\n"
                          "  pel-tool png FILE.pel... [-o OUT.png] [--size WxH] [--cursor METRES]...\n"
                          "      a chart of one to three reflectograms as the instrument draws them\n"
                          "  pel-tool events FILE.pel|FOLDER... [--vf VALUE | --v2 VALUE]\n"
                          "      the reflections that stand clear of the noise, with distance, sign and size\n"
                          "\n"
                          "A FOLDER (an export folder of the USB drive) stands for its *.pel files.\n"
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
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        out << Usage();
        return kDone;
    }
    err << "pel-tool: unknown command " << command << "\n\n" << Usage();
    return kUsageError;
}

} // namespace tool
