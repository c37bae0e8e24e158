#include "platform/GpioConfig.h"

#include "platform/Gpio.h"

#include <QFile>
#include <QRegularExpression>

#include <limits>

namespace platform {

namespace {

// Offsets fit the kernel's line numbering with room to spare.
constexpr qulonglong kLargestOffset = std::numeric_limits<unsigned>::max();

QString WithoutComment(const QString& line) {
    const qsizetype hash = line.indexOf(QLatin1Char('#'));
    const qsizetype semicolon = line.indexOf(QLatin1Char(';'));
    qsizetype cut = line.size();
    if (hash >= 0)
        cut = hash;
    if (semicolon >= 0 && semicolon < cut)
        cut = semicolon;
    return line.left(cut).trimmed();
}

bool ParseOffset(const QString& text, unsigned& offset) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return false;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > kLargestOffset)
        return false;
    offset = static_cast<unsigned>(value);
    return true;
}

} // namespace

GpioConfig DefaultGpioConfig() {
    const QString chip = QStringLiteral("gpiochip0");
    auto line = [&](int pin, const char* key) { return GpioLine{pin, key, chip, static_cast<unsigned>(pin)}; };
    return GpioConfig{{
        line(pins::kAdapterSense, "adapter_sense"),
        line(pins::kChargerLineA, "charger_line_a"),
        line(pins::kChargerLineB, "charger_line_b"),
        line(pins::kPowerOn, "power_on"),
        line(pins::kClockBusClock, "clock_bus_clock"),
        line(pins::kClockBusData, "clock_bus_data"),
    }};
}

bool ParseGpioConfig(const QString& text, GpioConfig& config, QStringList& errors) {
    GpioConfig parsed = DefaultGpioConfig();
    std::vector<bool> ownChip(parsed.lines.size(), false);
    QString defaultChip = parsed.lines.front().chip;
    const qsizetype errorsBefore = errors.size();
    static const QRegularExpression spaces(QStringLiteral("\\s+"));

    const QStringList fileLines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < fileLines.size(); ++i) {
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        const QString line = WithoutComment(fileLines[i]);
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (line != QLatin1String("[gpio]"))
                errors << where + QStringLiteral("unknown section %1 (only [gpio])").arg(line);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            errors << where + QStringLiteral("\"%1\" is not \"key = value\"").arg(line);
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("chip")) {
            if (value.isEmpty() || value.contains(spaces))
                errors << where + QStringLiteral("chip needs one name, path, label or number");
            else
                defaultChip = value;
            continue;
        }
        std::size_t index = 0;
        while (index < parsed.lines.size() && key != QLatin1String(parsed.lines[index].key))
            ++index;
        if (index == parsed.lines.size()) {
            errors << where + QStringLiteral("unknown key \"%1\"").arg(key);
            continue;
        }
        const QStringList parts = value.split(spaces, Qt::SkipEmptyParts);
        unsigned offset = 0;
        if (parts.isEmpty() || parts.size() > 2 || !ParseOffset(parts.back(), offset)) {
            errors << where +
                          QStringLiteral("%1 needs a line offset, or a chip and a line offset: \"%2\"").arg(key, value);
            continue;
        }
        parsed.lines[index].offset = offset;
        if (parts.size() == 2) {
            parsed.lines[index].chip = parts.front();
            ownChip[index] = true;
        }
    }
    for (std::size_t i = 0; i < parsed.lines.size(); ++i)
        if (!ownChip[i])
            parsed.lines[i].chip = defaultChip;

    // Two pins on one line would fight over it.
    for (std::size_t i = 0; i < parsed.lines.size(); ++i)
        for (std::size_t j = i + 1; j < parsed.lines.size(); ++j)
            if (parsed.lines[i].chip == parsed.lines[j].chip && parsed.lines[i].offset == parsed.lines[j].offset)
                errors << QStringLiteral("%1 and %2 are both line %3 of %4")
                              .arg(QLatin1String(parsed.lines[i].key), QLatin1String(parsed.lines[j].key))
                              .arg(parsed.lines[i].offset)
                              .arg(parsed.lines[i].chip);

    if (errors.size() != errorsBefore)
        return false;
    config = std::move(parsed);
    return true;
}

bool ReadGpioConfig(const QString& path, GpioConfig& config, QStringList& errors) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors << QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    return ParseGpioConfig(QString::fromUtf8(file.readAll()), config, errors);
}

} // namespace platform
