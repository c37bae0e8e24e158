#include "ui/ValueEditorSupport.h"

#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PELButton.h"

#include <QKeyEvent>

namespace value_editor {

std::optional<KeyMessage> KeyMessageOf(const QKeyEvent& event) {
    const bool down = event.type() == QEvent::KeyPress;
    if (!down && event.isAutoRepeat())
        return std::nullopt;
    const int code = platform::VirtualKeyOf(event);
    if (code == 0)
        return std::nullopt;
    return KeyMessage{down ? KeyMessage::KeyDown : KeyMessage::KeyUp, code, down && event.isAutoRepeat()};
}

CFormView* ParentView(const QWidget& widget) {
    for (QWidget* parent = widget.parentWidget(); parent != nullptr; parent = parent->parentWidget()) {
        if (auto* view = qobject_cast<CFormView*>(parent))
            return view;
    }
    return nullptr;
}

void PostToParentView(const QWidget& widget, const KeyMessage& message) {
    if (CFormView* view = ParentView(widget))
        view->PostKeyMessage(message);
}

void BlankSoftKeys(CBtnsPanel* horizontalKeys, CBtnsPanel* verticalKeys) {
    for (CBtnsPanel* panel : {horizontalKeys, verticalKeys}) {
        if (panel == nullptr)
            continue;
        for (int index = 0; index < CBtnsPanel::kKeys; ++index) {
            if (CPELButton* key = panel->GetButton(index))
                key->SetStateText(key->GetState(), QString());
        }
    }
}

void BlankMainFrameSoftKeys() {
    if (CMainFrame* frame = MainFrame())
        BlankSoftKeys(frame->btnsH, frame->btnsV);
}

} // namespace value_editor
