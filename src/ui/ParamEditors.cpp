#include "ui/ParamEditors.h"

#include "device/EnterChar.h"
#include "platform/FormView.h"
#include "ui/DateTimeEdit.h"
#include "ui/ListSelector.h"
#include "ui/ValueEditorSupport.h"

#include <QPointer>

namespace {

// An editor window owned by its parameter's edit. The window is a child of the view it
// edits for, which may be destroyed first: then the editor is merely no longer alive.
template <typename Widget> class WidgetEditor : public CParamEditor {
public:
    explicit WidgetEditor(Widget* widget) : widget_(widget) {}

    ~WidgetEditor() override {
        if (widget_ == nullptr)
            return;
        // The view takes the keys again once its editor is gone. The focus moves only
        // after the window is gone, so that the list's focus loss does not report a
        // Return the operator never pressed.
        const QPointer<CFormView> view = value_editor::ParentView(*widget_);
        const bool hadFocus = widget_->hasFocus();
        delete widget_.data();
        if (hadFocus && view != nullptr)
            view->setFocus();
    }

    bool IsAlive() const override { return widget_ != nullptr; }

protected:
    QPointer<Widget> widget_;
};

class ListEditor final : public WidgetEditor<CListSelector> {
public:
    using WidgetEditor::WidgetEditor;
    int SelectedIndex() const override { return widget_ != nullptr ? widget_->currentIndex() : -1; }
};

class DateTimeEditor final : public WidgetEditor<CDateTimeEdit> {
public:
    using WidgetEditor::WidgetEditor;
    QDateTime Time() const override { return widget_ != nullptr ? widget_->GetTime() : QDateTime(); }
};

class TextEditor final : public WidgetEditor<CEnterChar> {
public:
    using WidgetEditor::WidgetEditor;
    QString Text() const override { return widget_ != nullptr ? widget_->text() : QString(); }
};

} // namespace

std::unique_ptr<CParamEditor> CWidgetParamEditorFactory::CreateList(const QRect& listRect, const QRect& fieldRect,
                                                                    QWidget* parent, int id, const QStringList& names,
                                                                    int selected) {
    auto* list = new CListSelector;
    list->Create(listRect, parent, id);
    list->addItems(names);
    list->setCurrentIndex(selected);
    list->LayoutAndShow(fieldRect);
    list->ShowDropDown(true);
    return std::make_unique<ListEditor>(list);
}

std::unique_ptr<CParamEditor> CWidgetParamEditorFactory::CreateDateTime(std::uint32_t style, const QRect& rect,
                                                                        QWidget* parent, int id, const QString& text) {
    auto* edit = new CDateTimeEdit;
    edit->Create(style, rect, parent, id);
    edit->setText(text);
    edit->LayoutAndShow(rect);
    return std::make_unique<DateTimeEditor>(edit);
}

std::unique_ptr<CParamEditor> CWidgetParamEditorFactory::CreateText(const QRect& rect, QWidget* parent, int id,
                                                                    const QString& text) {
    auto* entry = new CEnterChar;
    entry->Create(rect, parent, id, text);
    return std::make_unique<TextEditor>(entry);
}

CWidgetParamEditorFactory& WidgetParamEditorFactory() {
    static CWidgetParamEditorFactory factory;
    return factory;
}
