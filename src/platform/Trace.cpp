#include "platform/Trace.h"

#include <QString>
#include <cstdarg>

Q_LOGGING_CATEGORY(lcPelTrace, "pel.trace", QtWarningMsg)

namespace platform {

void Trace(const char* format, ...) {
    if (!lcPelTrace().isDebugEnabled())
        return;
    va_list args;
    va_start(args, format);
    QString line = QString::vasprintf(format, args);
    va_end(args);
    if (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    qCDebug(lcPelTrace).noquote() << line;
}

} // namespace platform
