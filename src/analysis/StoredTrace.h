#pragma once

// A stored reflectogram (".pel") read for analysis on a PC, and the distance of each
// of its samples by the program's own rule.

#include "document/PELParam.h"
#include "document/ReflectogramFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace analysis {

struct StoredTrace {
    QString path;
    reflectogram::Header header;
    std::vector<double> values; // the samples as signed converter values
    QDateTime modified;

    // КУ as the program takes it from the file: the stored thousandths, held within 1..3.
    double KU() const;
    int StorageFactor() const;
    double PulseNs() const;
    int AverageCount() const;
    double RangeMetres() const;
    // Echo delay between two stored samples.
    double NsPerSample() const;
};

// Reads and checks one file; `error` says why it cannot be used.
std::optional<StoredTrace> LoadStoredTrace(const QString& path, QString* error);

// Why a file with this fault cannot be used, in a sentence.
QString FaultText(reflectogram::Fault fault, const QByteArray& bytes);

// The files named by the arguments: a folder (an export folder of the USB drive, say)
// stands for its "*.pel" files in name order. A folder without any, or a path that does
// not exist, is reported in `errors`.
QStringList ExpandPaths(const QStringList& arguments, QStringList* errors);

// Metres of samples: sample j lies at j * storage factor base samples, converted by the
// program's scale for the file's range and the given КУ.
class SampleDistance {
public:
    SampleDistance(const StoredTrace& trace, double ku);
    double Metres(double sample) const;
    // The sample that lies at `metres`.
    double Sample(double metres) const;
    double KU() const { return scale_.vfactor.GetKU(); }

private:
    CDOCScale scale_;
};

// КУ of a velocity given as the instrument's КУ (1..3), or as a fraction of the speed of
// light (below 1: 1 / КУ). Nothing when the value is neither.
std::optional<double> KUFromVelocityFactor(double value);
// КУ of a V/2 in metres per microsecond (50..150).
std::optional<double> KUFromHalfVelocity(double v2);

} // namespace analysis
