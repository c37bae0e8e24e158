#pragma once

// What the editor widget tests share: a parent view that records the key messages its
// editors pass on, and keys sent to a widget the way the keyboard would.

#include "platform/FormView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>

#include <functional>
#include <ostream>
#include <vector>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

class ProbeView : public CFormView {
public:
    void OnKeyDown(int code, bool repeat) override {
        log.push_back(QStringLiteral("down %1%2").arg(code).arg(repeat ? QStringLiteral(" repeat") : QString()));
        if (onKeyDown)
            onKeyDown(code);
    }
    void OnKeyUp(int code) override { log.push_back(QStringLiteral("up %1").arg(code)); }

    std::vector<QString> log;
    std::function<void(int)> onKeyDown;
};

inline void SendKey(QWidget& widget, QEvent::Type type, int qtKey, bool autoRepeat = false) {
    QKeyEvent event(type, qtKey, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(&widget, &event);
}

inline void PressKey(QWidget& widget, int qtKey, bool autoRepeat = false) {
    SendKey(widget, QEvent::KeyPress, qtKey, autoRepeat);
}

inline void ReleaseKey(QWidget& widget, int qtKey) {
    SendKey(widget, QEvent::KeyRelease, qtKey);
}

inline void ClickKey(QWidget& widget, int qtKey) {
    PressKey(widget, qtKey);
    ReleaseKey(widget, qtKey);
}

// Shows the view as the active window, so that focus changes take effect at once.
inline bool ShowActive(QWidget& view) {
    view.resize(640, 480);
    view.show();
    view.activateWindow();
    return QTest::qWaitForWindowActive(&view);
}

// Delivers what the editors posted.
inline void DeliverPosted() {
    QCoreApplication::processEvents();
}
