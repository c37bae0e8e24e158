#pragma once

// The program's application object: every key passes its key filter exactly once,
// then the hooks of the views above the focus widget, then the focus widget.

#include "platform/FormView.h"

#include <QApplication>

#include <functional>

class PelApplication : public QApplication {
    Q_OBJECT
public:
    // True consumes the key message.
    using KeyFilter = std::function<bool(const KeyMessage&)>;

    PelApplication(int& argc, char** argv);
    void SetKeyFilter(KeyFilter filter) { keyFilter_ = std::move(filter); }

    bool notify(QObject* receiver, QEvent* event) override;

    // The dispatch of one key event to a widget, without the Qt delivery itself:
    // false when the event is consumed (filter, view hook, or a dropped repeat release).
    static bool PreDispatch(QWidget* receiver, const QKeyEvent& event, const KeyFilter& filter);

private:
    KeyFilter keyFilter_;
};
