#include "document/ParamEditor.h"

namespace {

CParamEditorFactory* editorFactory = nullptr;

} // namespace

void SetParamEditorFactory(CParamEditorFactory* factory) {
    editorFactory = factory;
}

CParamEditorFactory* ParamEditorFactory() {
    return editorFactory;
}

QRect DroppedListRect(const QRect& fieldRect, int count) {
    QRect rect = fieldRect;
    rect.setHeight(fieldRect.height() + fieldRect.height() * 2 * count);
    return rect;
}
