#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPelTrace)

namespace platform {

// Diagnostic line for the debug output only; never shown to the operator.
// Silent unless the category is enabled (QT_LOGGING_RULES="pel.trace.debug=true").
// The format is printf-like; a trailing '\n' is dropped since the log adds its own.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace platform
