#pragma once

// Where the kernel's GPIO character devices have the instrument's lines: a small text
// file (/etc/pel/gpio.conf on the instrument) that names, for each pin the program uses,
// a chip and the line's offset on it. A board whose lines sit elsewhere needs only a
// new file, not a new program.

#include <QString>
#include <QStringList>

#include <vector>

namespace platform {

// The file the instrument's program reads.
inline constexpr char kGpioConfigPath[] = "/etc/pel/gpio.conf";

// One line of the wiring: the program's pin number (pins::) and where the kernel has it.
struct GpioLine {
    int pin = 0;
    const char* key = ""; // its name in the file
    QString chip;         // a chip's name (gpiochip0), path (/dev/gpiochip0), label or number
    unsigned offset = 0;  // the line's offset on that chip
};

struct GpioConfig {
    std::vector<GpioLine> lines; // adapter sense, charger A and B, power-on, clock bus clock and data
};

// The original board: each line on the first chip, at the offset of its pin number.
GpioConfig DefaultGpioConfig();

// Reads `text` over the defaults. Lines are "key = value"; '#' and ';' start comments; a
// "[gpio]" header may stand before them. "chip = NAME" names the chip of every line that
// does not name its own; a line's value is "OFFSET" or "CHIP OFFSET". False, with one
// message per fault ("line 3: ..."), when anything is wrong: a half-understood wiring must
// not drive the power-on line.
bool ParseGpioConfig(const QString& text, GpioConfig& config, QStringList& errors);

// The same from a file; a file that cannot be read is one error.
bool ReadGpioConfig(const QString& path, GpioConfig& config, QStringList& errors);

} // namespace platform
