#include "StarterTableSource.h"

#include "document/ParamTables.h"

#include <QRegularExpression>
#include <QStringList>

namespace starter_table {

bool ParseSource(const QString& text, std::vector<ku_table::Record>& records, QString& error) {
    static const QRegularExpression kRecord(QStringLiteral("^([0-9]\\.[0-9]{3}) +(\\S(?:.*\\S)?)$"));
    const tables::VelocityMode& ku = tables::kVelocityModes[0];
    records.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch match = kRecord.match(line);
        if (!match.hasMatch()) {
            error = QStringLiteral("line %1: not \"КУ brand\": %2").arg(i + 1).arg(line);
            return false;
        }
        const double value = ku_table::ParseValue(match.captured(1));
        if (value < ku.minimum || value > ku.maximum) {
            error = QStringLiteral("line %1: КУ %2 outside %3..%4")
                        .arg(i + 1)
                        .arg(match.captured(1))
                        .arg(ku.minimum, 0, 'f', 3)
                        .arg(ku.maximum, 0, 'f', 3);
            return false;
        }
        records.push_back({match.captured(2), ku_table::DisplayedValue(value, 0)});
    }
    return true;
}

QByteArray TableImage(const std::vector<ku_table::Record>& records) {
    return ku_table::WriteRecords(records, 0);
}

} // namespace starter_table
