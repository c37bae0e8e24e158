#pragma once

// The measurement view: the reflectogram chart with its two cursors, the read-outs
// above it and a legend line per shown trace below it, and the "ПАРАМЕТРЫ" keys.

#include "platform/FormView.h"
#include "ui/LineChartCtrl.h"

#include <array>

class CChannel;
class CPELButton;
class CPELDoc;

class CPELView : public CFormView {
    Q_OBJECT
public:
    static constexpr int kShowReadouts = 0x40;
    static constexpr int kShowLegend = 0x80;
    static constexpr int kCaptureWatchdogTimer = 30;
    // A capture takes under a second on the line; after this the keys come back.
    static constexpr int kCaptureWatchdogMs = 10000;
    static constexpr int kCaptureAttempts = 3;
    static constexpr int kFullTraceBytes = 8002;

    explicit CPELView(QWidget* parent = nullptr);
    ~CPELView() override;

    int OnCreate() override;
    void OnInitialUpdate() override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnUpdate(CView* sender, long hint, void* object) override;
    void OnKeyDown(int code, bool repeat) override;
    void OnKeyUp(int code) override;
    void OnModalClosed() override;
    void OnTimer(int id) override;

    void LayoutLabels(int flags);

    // The operations of the keys, shared with the channels menu.
    void MoveActiveCursor(int code);
    void StepZoom(int code);
    void SwitchActiveCursor();
    void ToggleCapture();
    void CaptureOff();
    void ToggleDifference(CPELButton* key);
    void TogglePairMode(CPELButton* key);
    void SaveReflectogram();
    void SaveScreenCopy();
    // The key-ups both keypad menus treat alike (0, 5, 4, 6, 9, Enter); true when the
    // key was one of them. Any other key switches the capture display off.
    bool HandleViewKeyUp(int code);
    // F1-F4 as both keypad menus show them, and F5 with its menu's own label.
    void LabelModeKeys(const QString& f5Label);

    // Stops acquisition for a key press (the link's queue dropped, hint 2).
    void StopForKey();
    // Keys go down: the counter grows while a key is held, and is the step of the
    // cursor and velocity changes. The channels menu shares it.
    int keyRepeat = 1;
    bool keyDownSeen = false;

    CLineChartCtrl& Chart() { return chart_; }
    CPELButton* K1Label() const { return k1Label_; }
    CPELButton* K2Label() const { return k2Label_; }
    CPELButton* DistanceLabel() const { return distanceLabel_; }
    CPELButton* ZoomLabel() const { return zoomLabel_; }
    CPELButton* CaptureLabel() const { return captureLabel_; }
    CPELButton* LegendLine(int slot) const { return legend_[static_cast<std::size_t>(slot)]; }
    CPELButton* SelectedKey() const { return selectedKey_; }
    QRect ChartRectangle() const { return chartRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CPELDoc& Doc() const;
    CChannel& Display() const;
    bool DisplayIsLive() const;
    void SetUpLabels();
    void LabelSoftKeys();
    void RefreshCursorLabels();
    void RefreshLegendLines(int first, int last);
    void RestartAcquisition();
    void HandleNewTrace();
    void StoreCapture();
    void RunSoftKey(int code, int direction);
    void StepRange(int direction);
    void StepPulse(int direction);
    void StepAveraging(int direction);
    void StepGain(int direction);
    void StepVelocity(int direction);
    bool EnoughSpaceToSave();
    void PutCursorsAt(double metres0, double metres1);

    int captureAttempts_ = 0;
    int topOffset_ = 20;
    int legendHeight_ = 0;
    CLineChartCtrl chart_;
    QRect chartRect_;
    CPELButton* k1Label_ = nullptr;
    CPELButton* k2Label_ = nullptr;
    CPELButton* distanceLabel_ = nullptr;
    std::array<CPELButton*, 5> legend_{};
    CPELButton* zoomLabel_ = nullptr;
    CPELButton* captureLabel_ = nullptr;
    CPELButton* selectedKey_ = nullptr;

    // What the chart's background was last built from.
    double axisStep_ = -1.0;
    double axisFirstColumn_ = 0.0;
    const QStringList* axisLabels_ = nullptr;
    QStringList axisLabelTexts_;
};
