#pragma once

// Collects the program's debug trace lines written while it lives.

#include <QLoggingCategory>
#include <QStringList>

class TraceCapture {
public:
    TraceCapture() {
        lines().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("pel.trace.debug=true"));
        previous_ = qInstallMessageHandler(&TraceCapture::Handle);
    }
    ~TraceCapture() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    static QStringList& lines() {
        static QStringList captured;
        return captured;
    }

private:
    static void Handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (QLatin1String(context.category) == QLatin1String("pel.trace"))
            lines().append(message);
    }
    QtMessageHandler previous_ = nullptr;
};
