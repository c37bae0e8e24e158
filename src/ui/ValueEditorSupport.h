#pragma once

// What the small value editors share: each passes every key it gets on to the view it
// edits for, and frees the soft keys for editing by blanking their captions.

#include "platform/FormView.h"

#include <optional>

class CBtnsPanel;
class QKeyEvent;
class QWidget;

namespace value_editor {

// The key message of a key event; none for a key the keypad does not have and for the
// release that some window systems send before each repeated press.
std::optional<KeyMessage> KeyMessageOf(const QKeyEvent& event);

// The nearest form view above `widget` (a plain container between them is looked
// through), or null.
CFormView* ParentView(const QWidget& widget);

// Posts the message to the nearest form view above `widget`; it is delivered there after
// the editor has handled the key, under the view's key-up rule.
void PostToParentView(const QWidget& widget, const KeyMessage& message);

// Empties the captions of all keys of both panels and leaves their states alone. Null
// panels are skipped.
void BlankSoftKeys(CBtnsPanel* horizontalKeys, CBtnsPanel* verticalKeys);
// The same on the main frame's panels; nothing when there is no main frame.
void BlankMainFrameSoftKeys();

} // namespace value_editor
