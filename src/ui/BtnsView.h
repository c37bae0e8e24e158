#pragma once

// The two soft-key panels: five keys under the screen (F1-F5) and five to its right
// (F6-F10). They only draw; the active view relabels them and handles the keys.

#include "platform/FormView.h"
#include "ui/PELButton.h"

#include <array>

class CBtnsPanel : public CFormView {
    Q_OBJECT
public:
    static constexpr int kKeys = 5;

    CPELButton* GetButton(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    // The soft key of a virtual-key code, or null when the code is not one of this panel's keys.
    CPELButton* ButtonForKey(int code) const;
    int FirstKeyCode() const { return firstKeyCode_; }
    // The index of one of this panel's keys, or -1.
    int IndexOf(const CPELButton* button) const;

protected:
    CBtnsPanel(int firstKeyCode, QWidget* parent);
    void CreateButton(int index, const QRect& rect);

private:
    int firstKeyCode_;
    std::array<CPELButton*, kKeys> buttons_{};
};

class CBtnsHView : public CBtnsPanel {
    Q_OBJECT
public:
    explicit CBtnsHView(QWidget* parent = nullptr);
};

class CBtnsVView : public CBtnsPanel {
    Q_OBJECT
public:
    explicit CBtnsVView(QWidget* parent = nullptr);
};

// The colours a selected mode key (F6-F10) shows on every menu that selects one: teal
// with yellow text on a black frame. A view that lent the key other colours sets these.
void UseModeKeyColors(CPELButton& key);

// How a soft key shows its key-down: a bottom key (F1-F5) that is not disabled looks
// pressed; a right-hand key (F6-F10) toggles between normal and selected.
void ShowSoftKeyPressed(CPELButton& key, int code);
