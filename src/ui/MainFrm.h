#pragma once

// The main frame: the 640 x 480 screen with its splitters and every view, the serial
// link, the one-second and 200 ms timers, and the switching of the work area.

#include <QWidget>

#include <map>
#include <memory>

class CBatteryView;
class CBtnsHView;
class CBtnsVView;
class CFormView;
class CLinesView;
class CPELApp;
class CPELButton;
class CPELDoc;
class CPELSplitterWnd;
class CPELView;
class CProtocolKS518_Ref;
class CSettingView;
class CStatisticsView;
class CStatusView;
class CTableView;

class CMainFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kClockTimer = 20;
    static constexpr int kStatusTimer = 21;
    static constexpr int kPowerOffTimer = 22;

    CMainFrame(CPELApp& app, CPELDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the panes, opens the link, activates the channels menu, starts the timers.
    bool OnCreateClient(const QString& portPath);
    // Every view's first update, once all of them exist.
    void InitialUpdateFrame();
    void SetActiveViewPEL(CFormView* view, bool notify);
    CFormView* GetActiveView() const { return activeView_; }
    // The soft key of a function key F1-F10, or null for any other code.
    CPELButton* SoftKey(int code) const;

    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    void OnTimer(int id);

    CPELApp& GetApp() const { return app_; }
    CPELDoc& GetDocument() const { return doc_; }

    CStatusView* statusView = nullptr;
    CBtnsHView* btnsH = nullptr;
    CProtocolKS518_Ref* protocol = nullptr;
    CBtnsVView* btnsV = nullptr;
    CPELView* pelView = nullptr;
    CTableView* tableView = nullptr;
    CLinesView* linesView = nullptr;
    CStatisticsView* statisticsView = nullptr;
    CBatteryView* batteryView = nullptr;
    CSettingView* settingView = nullptr;

    CPELSplitterWnd* screenSplitter = nullptr;
    CPELSplitterWnd* middleSplitter = nullptr;
    CPELSplitterWnd* workSplitter = nullptr;

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CPELApp& app_;
    CPELDoc& doc_;
    std::unique_ptr<CProtocolKS518_Ref> protocolOwner_;
    CFormView* activeView_ = nullptr;
    std::map<int, int> timers_; // program id -> Qt id
};

// The one main frame, reached from every part of the program.
CMainFrame* MainFrame();
// The frame's soft key for `code` (F1-F10); none while there is no frame.
CPELButton* FrameSoftKey(int code);
