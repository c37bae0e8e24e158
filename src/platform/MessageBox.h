#pragma once

// Questions and error messages to the operator. In tests a scripted responder
// answers each box (and the test records it) instead of a modal box on screen.

#include <QString>

#include <functional>

namespace platform {

namespace mb {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kOkCancel = 0x01;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
} // namespace mb

struct MessageBoxCall {
    QString text;
    QString caption;
    unsigned flags = 0;
};

using MessageBoxResponder = std::function<int(const MessageBoxCall&)>;

// Shows the box modally and returns the button chosen (mb::kIdOk or mb::kIdCancel).
int MessageBox(const QString& text, const QString& caption, unsigned flags);

// Replaces the boxes on screen by `responder`; an empty one restores them.
void SetMessageBoxResponder(MessageBoxResponder responder);

// How many modal boxes and dialogs the program has opened so far. A key whose
// key-down opens one sends its key-up to the box, and the key that closes the box
// goes down there too: the view that opened it learns of it from this count.
unsigned ModalCount();
// Every modal box or dialog of the program is counted as it opens.
void NoteModalShown();

} // namespace platform
