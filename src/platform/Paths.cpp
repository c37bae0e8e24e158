#include "platform/Paths.h"

#include "platform/Files.h"

#include <QDir>

namespace platform {

namespace {

PlatformOptions& Current() {
    static PlatformOptions options;
    return options;
}

QString AbsoluteFolder(const QString& path) {
    return AsFolder(QDir(path).absolutePath());
}

} // namespace

bool ParsePlatformOptions(const QStringList& arguments, const QString& executableFolder, PlatformOptions& options,
                          QString& error) {
    options.home = AsFolder(executableFolder);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (name != QLatin1String("--home") && name != QLatin1String("--usb") && name != QLatin1String("--port"))
            continue;
        if (equals < 0) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = arguments[++i];
        }
        if (value.isEmpty()) {
            error = QStringLiteral("%1 needs a value").arg(name);
            return false;
        }
        if (name == QLatin1String("--home"))
            options.home = AbsoluteFolder(value);
        else if (name == QLatin1String("--usb"))
            options.usb = AbsoluteFolder(value);
        else
            options.port = value;
    }
    return true;
}

void SetPlatformOptions(const PlatformOptions& options) {
    Current() = options;
}

const PlatformOptions& GetPlatformOptions() {
    return Current();
}

} // namespace platform
