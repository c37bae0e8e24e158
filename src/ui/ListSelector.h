#pragma once

// A drop-down list from which the operator picks one of a few named choices: key 7
// selects the next entry, key 1 the previous one. Losing the focus reports Return to the
// parent view, which then ends the edit as if Return had been released.
//
// The list drops down inside the parent, below the field, and never takes the focus
// itself: the field keeps every key while the list is open, as the keypad needs.

#include <QComboBox>
#include <QListView>
#include <QPointer>
#include <QRect>

class CListSelector : public QComboBox {
    Q_OBJECT
public:
    explicit CListSelector(QWidget* parent = nullptr);
    ~CListSelector() override;

    // The list over `rect` of `parent`: `rect` is the field together with the room that
    // its dropped list may take below it.
    bool Create(const QRect& rect, QWidget* parent, int id);
    // Puts the field on `rect` (the dropped list keeps the room given at creation,
    // measured from the field's top), raises it, takes the focus and blanks the soft keys.
    void LayoutAndShow(const QRect& rect);

    // Drops the list down below the field, or folds it away.
    void ShowDropDown(bool show = true);
    bool GetDroppedState() const;
    // The field and the room of its dropped list, in the parent's coordinates.
    QRect GetDroppedControlRect() const;
    // The dropped list (null until it first drops down).
    QListView* GetDroppedList() const { return droppedList_.data(); }
    int GetDlgCtrlID() const { return controlId_; }

    // A key-down after it has been passed on to the parent view; public so that the
    // program and tests can drive the list without a keyboard.
    void OnKeyDown(int code);

    // Qt's own popup would take the keys away from the field; the list drops down in place.
    void showPopup() override { ShowDropDown(true); }
    void hidePopup() override { ShowDropDown(false); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void PlaceDroppedList();
    void ShowSelectionInList();

    QPointer<QListView> droppedList_; // a child of the parent, beside the field
    int droppedHeight_ = 0;           // the field and its list, from the field's top
    int controlId_ = 0;
};
