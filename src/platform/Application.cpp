#include "platform/Application.h"

#include "platform/KeyHold.h"
#include "platform/Keys.h"
#include "platform/Trace.h"

#include <QKeyEvent>

PelApplication::PelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    if (!platform::AskForDetectableAutoRepeat())
        platform::Trace("The X server keeps sending key-ups while a key is held\n");
}

bool PelApplication::PreDispatch(QWidget* receiver, const QKeyEvent& event, const KeyFilter& filter) {
    const bool down = event.type() == QEvent::KeyPress;
    // Qt on X11 sends a release before every repeated press; the keypad does not.
    if (!down && event.isAutoRepeat())
        return false;
    const int code = platform::VirtualKeyOf(event);
    if (code == 0)
        return false; // not a key of the keypad
    const KeyMessage message{down ? KeyMessage::KeyDown : KeyMessage::KeyUp, code, down && event.isAutoRepeat()};
    if (filter && filter(message))
        return false;
    for (QWidget* w = receiver; w != nullptr; w = w->parentWidget()) {
        auto* view = qobject_cast<CFormView*>(w);
        if (view == nullptr)
            continue;
        const unsigned mark = CFormView::ModalMark();
        if (down) {
            if (view->PreTranslateMessage(message)) {
                view->NoteKeyDown(code);
                view->AfterKeyHandler(code, true, mark);
                return false;
            }
        } else if (view->HasKeyDown(code) && view->PreTranslateMessage(message)) {
            view->TakeKeyUp(code);
            view->AfterKeyHandler(code, false, mark);
            return false;
        }
    }
    return true;
}

bool PelApplication::notify(QObject* receiver, QEvent* event) {
    // Key events reach the window first and then the focus widget; act on the widget
    // delivery only, which carries the whole propagation to the parents.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && receiver->isWidgetType()) {
        if (!PreDispatch(static_cast<QWidget*>(receiver), *static_cast<QKeyEvent*>(event), keyFilter_))
            return true;
    }
    return QApplication::notify(receiver, event);
}
