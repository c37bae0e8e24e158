#pragma once

// The velocity library: cable brands with their velocity, shown as КУ or as V/2 by the
// velocity display mode. The operator deletes entries, adds one (brand by the character
// entry, value by the stepper) and applies the highlighted entry's velocity to every
// trace. Opened from the measurement view and the channels menu, and goes back there.

#include "library/KUListCtrl.h"
#include "platform/FormView.h"

#include <memory>

class CBaseDoubleScrollBar;
class CEnterChar;
class CPELButton;
class CPELDoc;

class CLinesView : public CFormView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kEditorId = 1;
    // The brand editor sits this far right of the brand cell's left edge.
    static constexpr int kBrandEditorInset = 5;

    explicit CLinesView(QWidget* parent = nullptr);
    ~CLinesView() override;

    void OnInitialUpdate() override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnKeyDown(int code, bool repeat) override;
    void OnKeyUp(int code) override;
    // Enter's key-down is the view's, never the open editor's.
    bool PreTranslateMessage(const KeyMessage& message) override;

    // The soft keys' actions.
    void DeleteSelected();
    void DeleteAll();
    void ApplyVelocity();
    void StartAddEntry();
    // Enter released while an editor is open: the brand is taken and the value editor
    // opens, or the value is taken and the entry stored.
    void CommitEntry();
    // F3, F4 and F6 work only while the table has rows.
    void UpdateLibraryKeys();

    CKUListCtrl& GetTable() const { return *table_; }
    CEnterChar* GetBrandEditor() const { return brandEditor_.get(); }
    CBaseDoubleScrollBar* GetValueEditor() const { return valueEditor_.get(); }
    CFormView* GetReturnView() const { return returnView_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CPELDoc& Doc() const;
    bool EditorOpen() const { return brandEditor_ != nullptr || valueEditor_ != nullptr; }
    // F3 and F6 act on the highlighted row only, never on the empty value of none.
    bool HasHighlightedRow() const;
    void OnSize();
    void LabelSoftKeys();
    void RunSoftKey(int code);
    void Exit();
    // An entry left half-way (the view deactivated under it): the editors go, and so
    // does the row that is not in the file yet.
    void AbandonEntry();
    QRect CellRectInView(int row, int column) const;

    CKUListCtrl* table_; // a child of the view
    std::unique_ptr<CEnterChar> brandEditor_;
    std::unique_ptr<CBaseDoubleScrollBar> valueEditor_;
    CFormView* returnView_ = nullptr;
    bool laidOut_ = false;
    QString brandBeforeEntry_;
};
