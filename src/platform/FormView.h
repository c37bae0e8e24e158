#pragma once

// A screen of the program: a widget that is a view of the document and takes key
// messages as virtual-key codes.

#include "platform/Document.h"

#include <QWidget>

#include <map>
#include <set>

class QKeyEvent;

// A key message as the views see it.
struct KeyMessage {
    enum Type { KeyDown, KeyUp, Char };
    Type type = KeyDown;
    int code = 0;        // virtual-key code (or the character, for Char)
    bool repeat = false; // a key-down repeated while the key is held
};

class CFormView : public QWidget, public CView {
    Q_OBJECT
public:
    explicit CFormView(QWidget* parent = nullptr);
    ~CFormView() override;

    // Called once the view is attached to its document, and once all views exist.
    virtual int OnCreate() { return 0; }
    virtual void OnInitialUpdate() {}

    void OnUpdate(CView* sender, long hint, void* object) override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;

    virtual void OnKeyDown(int code, bool repeat);
    virtual void OnKeyUp(int code);
    virtual void OnChar(int code);
    // The view's look at a key message before the widget with the focus gets it
    // (a child editor, say); true consumes it.
    virtual bool PreTranslateMessage(const KeyMessage& message);

    // Called after a key message of this view during which a modal box or dialog was
    // open. The key-up of the key that opened it and the keys that closed it went to
    // the box, so the view does here what their key-ups would have done.
    virtual void OnModalClosed() {}
    // A key handler of this view runs between these two: when it opened a modal box,
    // the key's own key-up is not awaited any more and OnModalClosed follows.
    static unsigned ModalMark();
    void AfterKeyHandler(int code, bool down, unsigned modalMark);

    // Key delivery by the program's key dispatch: a key-up reaches the view only when
    // the same view took the same key's key-down since its last activation.
    void DeliverKeyDown(int code, bool repeat);
    void DeliverKeyUp(int code);
    bool TakeKeyUp(int code); // true once for each key-down seen
    bool HasKeyDown(int code) const { return keysDown_.count(code) > 0; }
    void NoteKeyDown(int code);
    // A key-up that the program itself sends (not a key of the keypad): delivered as is.
    void PostKeyUp(int code);
    // A key-down or key-up that an editor inside the view passes on, delivered later
    // (posted) under the key-up rule, as if the view had taken the key itself.
    void PostKeyMessage(const KeyMessage& message);

    // Window timers by the program's own ids.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    virtual void OnTimer(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::set<int> keysDown_;
    std::map<int, int> timers_; // program id -> Qt id
};
