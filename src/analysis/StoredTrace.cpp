#include "analysis/StoredTrace.h"

#include "document/ParamTables.h"
#include "platform/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstdint>

namespace analysis {

namespace {

constexpr double kMinimumKU = 1.0;
constexpr double kMaximumKU = 3.0;
constexpr double kMinimumV2 = 50.0;
constexpr double kMaximumV2 = 150.0;
constexpr double kHalfLightSpeed = 150.0; // metres per microsecond: V/2 = 150 / КУ

} // namespace

double StoredTrace::KU() const {
    CVFactor factor;
    factor.SetKU(header.storedKU / 1000.0);
    return factor.GetKU();
}

int StoredTrace::StorageFactor() const {
    CDOCScale scale;
    scale.SetIndex(header.range);
    return scale.GetStorageFactor();
}

double StoredTrace::PulseNs() const {
    return tables::kPulses[static_cast<std::size_t>(header.pulse)].widthNs;
}

int StoredTrace::AverageCount() const {
    return tables::kAverages[static_cast<std::size_t>(header.average)].count;
}

double StoredTrace::RangeMetres() const {
    return tables::kRanges[static_cast<std::size_t>(header.range)].metres;
}

double StoredTrace::NsPerSample() const {
    constexpr double kBaseSampleNs = 1.25;
    return kBaseSampleNs * StorageFactor();
}

QString FaultText(reflectogram::Fault fault, const QByteArray& bytes) {
    using reflectogram::Fault;
    switch (fault) {
    case Fault::None:
        return QString();
    case Fault::ShortHeader:
        return QStringLiteral("%1 bytes, shorter than the %2-byte header")
            .arg(bytes.size())
            .arg(reflectogram::kHeaderBytes);
    case Fault::SampleCount:
        return QStringLiteral("negative sample count");
    case Fault::FileSize:
        return QStringLiteral("%1 bytes where the header announces %2")
            .arg(bytes.size())
            .arg(QString::number(static_cast<qint64>(reflectogram::kHeaderBytes) +
                                 qFromLittleEndian<std::int32_t>(bytes.constData())));
    case Fault::Pulse:
        return QStringLiteral("pulse index outside its table");
    case Fault::Range:
        return QStringLiteral("range index outside its table");
    case Fault::Average:
        return QStringLiteral("averaging index outside its table");
    case Fault::Gain:
        return QStringLiteral("gain outside 0..255");
    }
    return QString();
}

std::optional<StoredTrace> LoadStoredTrace(const QString& path, QString* error) {
    QByteArray bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        if (error != nullptr)
            *error = QStringLiteral("cannot be read");
        return std::nullopt;
    }
    reflectogram::Header header;
    const std::uint8_t* samples = nullptr;
    if (!reflectogram::Decode(bytes, header, samples)) {
        if (error != nullptr)
            *error = QStringLiteral("damaged: ") + FaultText(reflectogram::Check(bytes), bytes);
        return std::nullopt;
    }
    StoredTrace trace;
    trace.path = path;
    trace.header = header;
    trace.values.reserve(static_cast<std::size_t>(header.sampleCount));
    for (int i = 0; i < header.sampleCount; ++i)
        trace.values.push_back(static_cast<std::int8_t>(samples[i]));
    trace.modified = QFileInfo(path).lastModified();
    return trace;
}

QStringList ExpandPaths(const QStringList& arguments, QStringList* errors) {
    QStringList paths;
    for (const QString& argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir()) {
            const QDir folder(argument);
            QStringList names = folder.entryList({QStringLiteral("*.pel")}, QDir::Files, QDir::Name);
            if (names.isEmpty() && errors != nullptr)
                errors->append(QStringLiteral("%1: no reflectograms (*.pel) in this folder").arg(argument));
            for (const QString& name : names)
                paths.append(folder.filePath(name));
        } else if (info.exists()) {
            paths.append(argument);
        } else if (errors != nullptr) {
            errors->append(QStringLiteral("%1: no such file or folder").arg(argument));
        }
    }
    return paths;
}

SampleDistance::SampleDistance(const StoredTrace& trace, double ku) {
    scale_.SetIndex(trace.header.range);
    scale_.vfactor.SetKU(ku);
}

double SampleDistance::Metres(double sample) const {
    return scale_.SamplesToMetres(sample * scale_.GetStorageFactor());
}

double SampleDistance::Sample(double metres) const {
    return metres / scale_.SamplesToMetres(scale_.GetStorageFactor());
}

std::optional<double> KUFromVelocityFactor(double value) {
    if (value >= kMinimumKU && value <= kMaximumKU)
        return value;
    if (value >= 1.0 / kMaximumKU && value < 1.0)
        return 1.0 / value;
    return std::nullopt;
}

std::optional<double> KUFromHalfVelocity(double v2) {
    if (v2 >= kMinimumV2 && v2 <= kMaximumV2)
        return kHalfLightSpeed / v2;
    return std::nullopt;
}

} // namespace analysis
