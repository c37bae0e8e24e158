#pragma once

// The on-screen editors of the instrument-wide parameters, as the parameters see them.
// The editors are widgets, which this library does not know: the screen installs a
// factory at start-up, and the parameters create their editors through it. Without a
// factory (a program or test with no screen) no edit opens.

#include <QDateTime>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QWidget;

// One open editor. Destroying it removes its window.
class CParamEditor {
public:
    virtual ~CParamEditor() = default;
    CParamEditor(const CParamEditor&) = delete;
    CParamEditor& operator=(const CParamEditor&) = delete;

    // False once the window is gone (its parent was destroyed first); there is then no
    // result to take.
    virtual bool IsAlive() const = 0;
    // A list editor's selected position (-1 for none).
    virtual int SelectedIndex() const { return -1; }
    // A text editor's text.
    virtual QString Text() const { return QString(); }
    // A clock editor's time.
    virtual QDateTime Time() const { return QDateTime(); }

protected:
    CParamEditor() = default;
};

class CParamEditorFactory {
public:
    virtual ~CParamEditorFactory() = default;

    // A drop-down list of `names` with `selected` selected, created over `listRect` (the
    // field and the room of its dropped list), shown on `fieldRect` with its list dropped
    // down, and given the focus.
    virtual std::unique_ptr<CParamEditor> CreateList(const QRect& listRect, const QRect& fieldRect, QWidget* parent,
                                                     int id, const QStringList& names, int selected) = 0;
    // The clock editor over `rect` showing `text`, given the focus.
    virtual std::unique_ptr<CParamEditor> CreateDateTime(std::uint32_t style, const QRect& rect, QWidget* parent,
                                                         int id, const QString& text) = 0;
    // Character entry over `rect` starting with `text`, given the focus.
    virtual std::unique_ptr<CParamEditor> CreateText(const QRect& rect, QWidget* parent, int id,
                                                     const QString& text) = 0;

protected:
    CParamEditorFactory() = default;
    CParamEditorFactory(const CParamEditorFactory&) = default;
    CParamEditorFactory& operator=(const CParamEditorFactory&) = default;
};

// The process-wide factory; null (the default) opens no editors. The factory must
// outlive every edit it opens.
void SetParamEditorFactory(CParamEditorFactory* factory);
CParamEditorFactory* ParamEditorFactory();

// The rectangle of a drop-down list of `count` names shown on `fieldRect`: its bottom
// moved down by twice the field's height per name, the room the dropped list may take.
QRect DroppedListRect(const QRect& fieldRect, int count);

// A parameter's open editor. Copying a parameter copies its value, not its edit: a copy
// starts without an editor, and an assignment leaves the target's editor alone.
class CParamEditorSlot {
public:
    CParamEditorSlot() = default;
    CParamEditorSlot(const CParamEditorSlot&) {}
    CParamEditorSlot& operator=(const CParamEditorSlot&) { return *this; }
    ~CParamEditorSlot() = default;

    // Destroys the open editor, if any, and keeps `editor` (which may be null).
    void Open(std::unique_ptr<CParamEditor> editor) { editor_ = std::move(editor); }
    void Close() { editor_.reset(); }
    bool IsOpen() const { return editor_ != nullptr; }
    // The open editor while its window exists, else null: then there is no result.
    CParamEditor* Live() const { return editor_ != nullptr && editor_->IsAlive() ? editor_.get() : nullptr; }

private:
    std::unique_ptr<CParamEditor> editor_;
};
