#pragma once

// The status line: the current mode's title, the battery picture and the clock.

#include "platform/FormView.h"

class QLabel;

class CStatusView : public CFormView {
    Q_OBJECT
public:
    explicit CStatusView(QWidget* parent = nullptr);

    // Hint 9: the clock shows the document's clock.
    void OnUpdate(CView* sender, long hint, void* object) override;

    void SetTitle(const QString& title);
    QString GetTitle() const;
    QString GetClockText() const;
    QLabel* GetBatteryIcon() const { return batteryIcon_; }

    bool blink = false; // toggled by the battery view for the exhausted picture

private:
    QLabel* clock_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* batteryIcon_ = nullptr;
};
