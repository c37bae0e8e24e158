#include "platform/FormView.h"

#include "platform/Keys.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimerEvent>

namespace {

// A key-up sent by the program itself.
class PostedKeyUp : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    explicit PostedKeyUp(int code) : QEvent(Kind()), code(code) {}
    int code;
};

// A key message an editor passes on to the view it edits for.
class ForwardedKey : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    explicit ForwardedKey(const KeyMessage& message) : QEvent(Kind()), message(message) {}
    KeyMessage message;
};

} // namespace

CFormView::CFormView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
}

CFormView::~CFormView() = default;

void CFormView::OnUpdate(CView*, long, void*) {}

void CFormView::OnActivateView(bool, CView*, CView*) {
    // Keys that went down before an activation do not come up here.
    keysDown_.clear();
}

void CFormView::OnKeyDown(int, bool) {}
void CFormView::OnKeyUp(int) {}
void CFormView::OnChar(int) {}

bool CFormView::PreTranslateMessage(const KeyMessage&) {
    return false;
}

void CFormView::NoteKeyDown(int code) {
    keysDown_.insert(code);
}

bool CFormView::TakeKeyUp(int code) {
    return keysDown_.erase(code) > 0;
}

unsigned CFormView::ModalMark() {
    return platform::ModalCount();
}

void CFormView::AfterKeyHandler(int code, bool down, unsigned modalMark) {
    if (platform::ModalCount() == modalMark)
        return;
    if (down)
        TakeKeyUp(code);
    OnModalClosed();
}

void CFormView::DeliverKeyDown(int code, bool repeat) {
    const unsigned mark = ModalMark();
    NoteKeyDown(code);
    OnKeyDown(code, repeat);
    // The keypad driver's message translation: a digit also arrives as a character.
    if (vk::IsDigit(code))
        OnChar(code);
    AfterKeyHandler(code, true, mark);
}

void CFormView::DeliverKeyUp(int code) {
    if (!TakeKeyUp(code))
        return;
    const unsigned mark = ModalMark();
    OnKeyUp(code);
    AfterKeyHandler(code, false, mark);
}

void CFormView::PostKeyUp(int code) {
    QCoreApplication::postEvent(this, new PostedKeyUp(code));
}

void CFormView::PostKeyMessage(const KeyMessage& message) {
    QCoreApplication::postEvent(this, new ForwardedKey(message));
}

void CFormView::keyPressEvent(QKeyEvent* event) {
    const int code = platform::VirtualKeyOf(*event);
    if (code != 0)
        DeliverKeyDown(code, event->isAutoRepeat());
    event->accept();
}

void CFormView::keyReleaseEvent(QKeyEvent* event) {
    const int code = platform::VirtualKeyOf(*event);
    if (code != 0 && !event->isAutoRepeat())
        DeliverKeyUp(code);
    event->accept();
}

bool CFormView::event(QEvent* event) {
    if (event->type() == ForwardedKey::Kind()) {
        const KeyMessage& message = static_cast<ForwardedKey*>(event)->message;
        if (message.type == KeyMessage::KeyDown)
            DeliverKeyDown(message.code, message.repeat);
        else if (message.type == KeyMessage::KeyUp)
            DeliverKeyUp(message.code);
        return true;
    }
    if (event->type() == PostedKeyUp::Kind()) {
        const unsigned mark = ModalMark();
        OnKeyUp(static_cast<PostedKeyUp*>(event)->code);
        AfterKeyHandler(0, false, mark);
        return true;
    }
    return QWidget::event(event);
}

void CFormView::SetTimer(int id, int milliseconds) {
    KillTimer(id);
    timers_[id] = startTimer(milliseconds);
}

void CFormView::KillTimer(int id) {
    const auto found = timers_.find(id);
    if (found == timers_.end())
        return;
    killTimer(found->second);
    timers_.erase(found);
}

void CFormView::OnTimer(int) {}

void CFormView::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(event);
}
