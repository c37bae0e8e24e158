#pragma once

// The instrument's pins through the kernel's GPIO character devices (libgpiod): the lines
// named by a GpioConfig, requested once and held while the program runs. Needs no access
// to physical memory, only to the chips' device files.

#include "platform/Gpio.h"
#include "platform/GpioConfig.h"

#include <QString>

#include <memory>
#include <vector>

struct gpiod_chip;
struct gpiod_line;

namespace platform {

class GpiodGpio final : public GpioBackend {
public:
    // Opens the chips and requests every configured line, leaving each line's direction and
    // level as they are (the power-on line may be holding the instrument on). Null, with the
    // reason in `error`, when a chip cannot be opened or a line is missing or held by
    // another program.
    static std::unique_ptr<GpiodGpio> Open(const GpioConfig& config, QString& error);
    ~GpiodGpio() override;

    // Only Open constructs one.
    class Key {
        friend class GpiodGpio;
        Key() = default;
    };
    explicit GpiodGpio(Key) {}

    // Pins that the configuration does not name are ignored and read low.
    void SetPinDirection(int pin, bool output) override;
    void SetPinLevel(int pin, bool high) override;
    bool GetPinLevel(int pin) override;

private:
    struct ChipCloser {
        void operator()(gpiod_chip* chip) const;
    };
    struct Line {
        int pin = 0;
        gpiod_line* line = nullptr; // null once the line was lost
        bool output = false;
        bool latch = false; // what the line drives while it is an output
        QString name;       // for the trace
    };
    Line* Find(int pin);
    gpiod_chip* OpenChip(const QString& name, QString& error);
    void Reconfigure(Line& line, bool output);

    std::vector<std::pair<QString, std::unique_ptr<gpiod_chip, ChipCloser>>> chips_;
    std::vector<Line> lines_;
};

// The pins of the configuration file at `path` (kGpioConfigPath on the instrument). Null,
// with the reason in `error`, when the file is missing, has faults, or names lines that
// cannot be had.
std::unique_ptr<GpiodGpio> OpenConfiguredGpio(const QString& path, QString& error);

} // namespace platform
