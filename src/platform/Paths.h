#pragma once

#include <QString>
#include <QStringList>

// Where the host keeps the instrument's things, from the platform options.
namespace platform {

struct PlatformOptions {
    QString home; // the instrument's home folder (pel.ini, save/), ending in '/'
    QString usb;  // the USB drive's root, ending in '/'; empty: no drive
    QString port; // the serial device of the measurement board; empty: the simulated board
};

// Reads --home DIR, --usb DIR and --port PATH (also as --opt=value); anything else is
// left for Qt. False with a message on a malformed option.
bool ParsePlatformOptions(const QStringList& arguments, const QString& executableFolder, PlatformOptions& options,
                          QString& error);

void SetPlatformOptions(const PlatformOptions& options);
const PlatformOptions& GetPlatformOptions();

} // namespace platform
