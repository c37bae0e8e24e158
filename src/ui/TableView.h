#pragma once

// The channels menu "КАНАЛЫ": which traces are shown, which is current and its
// vertical shift. It has no surface of its own: the measurement view stays on screen
// and does the cursor, zoom, capture, difference and save work for it.

#include "platform/FormView.h"

class CPELButton;
class CPELDoc;
class CPELView;

class CTableView : public CFormView {
    Q_OBJECT
public:
    explicit CTableView(QWidget* parent = nullptr);

    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnKeyDown(int code, bool repeat) override;
    void OnKeyUp(int code) override;
    void OnModalClosed() override;

    void NextTrace();
    void ShiftCurrentTrace(int direction);
    void TogglePairMode(CPELButton* key);

    int shiftStep = 1;
    bool keyDownSeen = false;

private:
    CPELDoc& Doc() const;
    CPELView& View() const;
    CPELButton* SlotKey(int slot) const;
    void LabelSoftKeys();
    void RunSoftKey(int code);
};
