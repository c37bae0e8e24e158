#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

MessageBoxResponder& Responder() {
    static MessageBoxResponder responder;
    return responder;
}

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
    case mb::kIconStop:
        return QMessageBox::Critical;
    case mb::kIconQuestion:
        return QMessageBox::Question;
    case mb::kIconExclamation:
        return QMessageBox::Warning;
    case mb::kIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

unsigned& ModalCounter() {
    static unsigned count = 0;
    return count;
}

} // namespace

unsigned ModalCount() {
    return ModalCounter();
}

void NoteModalShown() {
    ++ModalCounter();
}

int MessageBox(const QString& text, const QString& caption, unsigned flags) {
    NoteModalShown();
    if (Responder())
        return Responder()(MessageBoxCall{text, caption, flags});
    QMessageBox box(IconOf(flags), caption, text, QMessageBox::Ok, QApplication::activeWindow());
    if ((flags & 0x0F) == mb::kOkCancel)
        box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? mb::kIdOk : mb::kIdCancel;
}

void SetMessageBoxResponder(MessageBoxResponder responder) {
    Responder() = std::move(responder);
}

} // namespace platform
