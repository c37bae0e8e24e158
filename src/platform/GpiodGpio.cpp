#include "platform/GpiodGpio.h"

#include "platform/Trace.h"

#include <QFileInfo>

#include <gpiod.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr char kConsumer[] = "pel";

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

void GpiodGpio::ChipCloser::operator()(gpiod_chip* chip) const {
    gpiod_chip_close(chip); // releases the chip's requested lines as well
}

std::unique_ptr<GpiodGpio> GpiodGpio::Open(const GpioConfig& config, QString& error) {
    auto gpio = std::make_unique<GpiodGpio>(Key{});
    for (const GpioLine& wanted : config.lines) {
        gpiod_chip* chip = gpio->OpenChip(wanted.chip, error);
        if (!chip)
            return nullptr;
        const QString name =
            QStringLiteral("%1 (line %2 of %3)").arg(QLatin1String(wanted.key)).arg(wanted.offset).arg(wanted.chip);
        gpiod_line* line = gpiod_chip_get_line(chip, wanted.offset);
        if (!line) {
            error = QStringLiteral("%1 cannot be had: %2").arg(name, SystemError());
            return nullptr;
        }
        // As it is: requesting the power-on line as an input could switch the instrument off.
        const gpiod_line_request_config request{kConsumer, GPIOD_LINE_REQUEST_DIRECTION_AS_IS, 0};
        if (gpiod_line_request(line, &request, 0) != 0) {
            error = QStringLiteral("%1 cannot be requested: %2").arg(name, SystemError());
            return nullptr;
        }
        Line held{wanted.pin, line, gpiod_line_direction(line) == GPIOD_LINE_DIRECTION_OUTPUT, false, name};
        held.latch = held.output && gpiod_line_get_value(line) == 1;
        gpio->lines_.push_back(std::move(held));
    }
    return gpio;
}

GpiodGpio::~GpiodGpio() {
    for (Line& line : lines_)
        if (line.line)
            gpiod_line_release(line.line);
}

gpiod_chip* GpiodGpio::OpenChip(const QString& name, QString& error) {
    for (const auto& [chipName, chip] : chips_)
        if (chipName == name)
            return chip.get();
    gpiod_chip* chip = gpiod_chip_open_lookup(name.toLocal8Bit().constData());
    if (!chip) {
        error = QStringLiteral("GPIO chip %1 cannot be opened: %2").arg(name, SystemError());
        return nullptr;
    }
    chips_.emplace_back(name, std::unique_ptr<gpiod_chip, ChipCloser>(chip));
    return chip;
}

GpiodGpio::Line* GpiodGpio::Find(int pin) {
    for (Line& line : lines_)
        if (line.pin == pin && line.line)
            return &line;
    return nullptr;
}

void GpiodGpio::Reconfigure(Line& line, bool output) {
    const int changed = output ? gpiod_line_set_direction_output(line.line, line.latch ? 1 : 0)
                               : gpiod_line_set_direction_input(line.line);
    if (changed == 0) {
        line.output = output;
        return;
    }
    // Kernels before the line reconfiguration call: give the line back and request it anew.
    Trace("GPIO: %s: direction not changed in place (%s); requesting it again\n", qUtf8Printable(line.name),
          std::strerror(errno));
    gpiod_line_release(line.line);
    const gpiod_line_request_config request{
        kConsumer, output ? GPIOD_LINE_REQUEST_DIRECTION_OUTPUT : GPIOD_LINE_REQUEST_DIRECTION_INPUT, 0};
    if (gpiod_line_request(line.line, &request, line.latch ? 1 : 0) != 0) {
        Trace("GPIO: %s is lost: %s\n", qUtf8Printable(line.name), std::strerror(errno));
        line.line = nullptr;
        return;
    }
    line.output = output;
}

void GpiodGpio::SetPinDirection(int pin, bool output) {
    Line* line = Find(pin);
    if (line && line->output != output)
        Reconfigure(*line, output);
}

void GpiodGpio::SetPinLevel(int pin, bool high) {
    Line* line = Find(pin);
    if (!line)
        return;
    line->latch = high;
    if (line->output && gpiod_line_set_value(line->line, high ? 1 : 0) != 0)
        Trace("GPIO: %s cannot be set: %s\n", qUtf8Printable(line->name), std::strerror(errno));
}

bool GpiodGpio::GetPinLevel(int pin) {
    Line* line = Find(pin);
    return line && gpiod_line_get_value(line->line) == 1;
}

std::unique_ptr<GpiodGpio> OpenConfiguredGpio(const QString& path, QString& error) {
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("%1 does not exist").arg(path);
        return nullptr;
    }
    GpioConfig config;
    QStringList faults;
    if (!ReadGpioConfig(path, config, faults)) {
        error = QStringLiteral("%1 is not used: %2").arg(path, faults.join(QStringLiteral("; ")));
        return nullptr;
    }
    return GpiodGpio::Open(config, error);
}

} // namespace platform
