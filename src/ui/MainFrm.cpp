#include "ui/MainFrm.h"

#include "device/BatteryView.h"
#include "device/SettingView.h"
#include "document/PELDoc.h"
#include "library/LinesView.h"
#include "library/StatisticsView.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Trace.h"
#include "ui/BtnsView.h"
#include "ui/PEL.h"
#include "ui/PELSplitterWnd.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QCloseEvent>
#include <QTimerEvent>

#include <array>

namespace {

CMainFrame* theFrame = nullptr;

constexpr int kWorkRows = 6;
constexpr int kStatusHeight = 20;
constexpr int kWorkHeight = 415;
constexpr int kKeysHeight = 40;
constexpr int kWorkWidth = 510;
constexpr int kLibraryMeasurementHeight = 296;
constexpr int kLibraryListHeight = 119;

// Work-area rows: 0 measurement, 1 channels, 2 velocity library, 3 reflectogram
// library, 4 battery, 5 settings. The heights of every row for each active view.
enum WorkRow { kMeasurementRow, kChannelsRow, kVelocityRow, kLibraryRow, kBatteryRow, kSettingsRow };
using RowHeights = std::array<int, kWorkRows>;
const std::array<RowHeights, kWorkRows> kRowHeights{{
    {kWorkHeight, 0, 0, 0, 0, 0},                                // measurement view
    {kWorkHeight, 0, 0, 0, 0, 0},                                // channels menu: the measurement view stays
    {0, 0, kWorkHeight, 0, 0, 0},                                // velocity library
    {kLibraryMeasurementHeight, 0, 0, kLibraryListHeight, 0, 0}, // reflectogram library
    {0, 0, 0, 0, kWorkHeight, 0},                                // battery
    {0, 0, 0, 0, 0, kWorkHeight},                                // settings
}};

// The serial link's settings: 115200 baud, 8 data bits, no parity, one stop bit,
// 10 ms busy and idle sleeps.
constexpr int kBaudRate = 115200;
constexpr int kByteSize = 8;
constexpr int kNoParity = 0;
constexpr int kOneStopBit = 0;
constexpr int kSleepMs = 10;

constexpr int kClockPeriodMs = 1000;
constexpr int kStatusPeriodMs = 200;

} // namespace

CMainFrame* MainFrame() {
    return theFrame;
}

CMainFrame::CMainFrame(CPELApp& app, CPELDoc& doc, QWidget* parent) : QWidget(parent), app_(app), doc_(doc) {
    theFrame = this;
    setWindowTitle(QStringLiteral("PEL"));
    setFixedSize(kWidth, kHeight);
}

CMainFrame::~CMainFrame() {
    platform::Trace("~%s\n", "CMainFrame");
    // The link goes first: its worker must not outlive the views it notifies.
    protocolOwner_.reset();
    protocol = nullptr;
    if (theFrame == this)
        theFrame = nullptr;
}

bool CMainFrame::OnCreateClient(const QString& portPath) {
    screenSplitter = new CPELSplitterWnd(4, 1, this);
    screenSplitter->setGeometry(0, 0, kWidth, kHeight);
    statusView = new CStatusView;
    screenSplitter->SetPane(0, 0, statusView);
    screenSplitter->SetRowInfo(0, kStatusHeight, kStatusHeight);
    middleSplitter = new CPELSplitterWnd(1, 2);
    screenSplitter->SetPane(1, 0, middleSplitter);
    screenSplitter->SetRowInfo(1, kWorkHeight, 0);
    btnsH = new CBtnsHView;
    screenSplitter->SetPane(2, 0, btnsH);
    screenSplitter->SetRowInfo(2, kKeysHeight, 0);
    screenSplitter->SetColumnInfo(0, kWidth, 0);

    workSplitter = new CPELSplitterWnd(kWorkRows, 1);
    middleSplitter->SetPane(0, 0, workSplitter);
    middleSplitter->SetColumnInfo(0, kWorkWidth, kWorkWidth);
    btnsV = new CBtnsVView;
    middleSplitter->SetPane(0, 1, btnsV);
    middleSplitter->SetRowInfo(0, kWorkHeight, 0);

    pelView = new CPELView;
    tableView = new CTableView;
    linesView = new CLinesView;
    statisticsView = new CStatisticsView;
    batteryView = new CBatteryView;
    settingView = new CSettingView;
    const std::array<CFormView*, kWorkRows> work{pelView,        tableView,   linesView,
                                                 statisticsView, batteryView, settingView};
    for (int row = 0; row < kWorkRows; ++row)
        workSplitter->SetPane(row, 0, work[static_cast<std::size_t>(row)]);
    workSplitter->SetColumnInfo(0, kWorkWidth, 0);

    // Every pane is a view of the document, attached in the order the panes are made;
    // the protocol's view is the hidden fourth row of the screen.
    doc_.AddView(statusView);
    doc_.AddView(btnsH);
    protocolOwner_ = std::make_unique<CProtocolKS518_Ref>(&doc_);
    protocol = protocolOwner_.get();
    doc_.AddView(btnsV);
    for (CFormView* view : work) {
        doc_.AddView(view);
        if (view->OnCreate() < 0)
            return false;
    }
    protocol->Open(portPath, kBaudRate, kByteSize, kNoParity, kOneStopBit, kSleepMs, kSleepMs);
    batteryView->PowerOnInit();

    screenSplitter->RecalcLayout();
    middleSplitter->RecalcLayout();
    SetActiveViewPEL(tableView, true); // the instrument starts in the channels menu
    SetTimer(kClockTimer, kClockPeriodMs);
    SetTimer(kStatusTimer, kStatusPeriodMs);
    update();
    return true;
}

void CMainFrame::InitialUpdateFrame() {
    for (CView* view : doc_.GetViews()) {
        if (auto* formView = dynamic_cast<CFormView*>(view))
            formView->OnInitialUpdate();
    }
}

void CMainFrame::SetActiveViewPEL(CFormView* view, bool notify) {
    platform::Trace("SetActiveViewPEL()\n");
    const std::array<CFormView*, kWorkRows> rows{pelView,        tableView,   linesView,
                                                 statisticsView, batteryView, settingView};
    for (int row = 0; row < kWorkRows; ++row) {
        if (rows[static_cast<std::size_t>(row)] != view)
            continue;
        const RowHeights& heights = kRowHeights[static_cast<std::size_t>(row)];
        for (int r = 0; r < kWorkRows; ++r)
            workSplitter->SetRowInfo(r, heights[static_cast<std::size_t>(r)], 0);
    }
    workSplitter->RecalcLayout();

    CFormView* previous = activeView_;
    activeView_ = view;
    if (notify && previous != nullptr && previous != view)
        previous->OnActivateView(false, view, previous);
    if (notify)
        view->OnActivateView(true, view, previous);
    view->setFocus(Qt::OtherFocusReason);
}

CPELButton* FrameSoftKey(int code) {
    CMainFrame* frame = MainFrame();
    return frame != nullptr ? frame->SoftKey(code) : nullptr;
}

CPELButton* CMainFrame::SoftKey(int code) const {
    if (CPELButton* key = btnsH != nullptr ? btnsH->ButtonForKey(code) : nullptr)
        return key;
    return btnsV != nullptr ? btnsV->ButtonForKey(code) : nullptr;
}

void CMainFrame::SetTimer(int id, int milliseconds) {
    KillTimer(id);
    timers_[id] = startTimer(milliseconds);
}

void CMainFrame::KillTimer(int id) {
    const auto found = timers_.find(id);
    if (found == timers_.end())
        return;
    killTimer(found->second);
    timers_.erase(found);
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QWidget::timerEvent(event);
}

void CMainFrame::OnTimer(int id) {
    switch (id) {
    case kClockTimer: {
        if (!app_.IsInputEnabled())
            doc_.idleCounter = 0; // a busy instrument is not idle
        ++doc_.idleCounter;
        const int minutes = doc_.autoStop.GetMinutes();
        if (minutes != 0 && doc_.idleCounter > minutes * 60)
            app_.PowerOff();
        doc_.clock.SetCurrent();
        doc_.UpdateAllViews(nullptr, hint::kClockTick);
        break;
    }
    case kStatusTimer:
        doc_.UpdateAllViews(nullptr, hint::kStatusRefresh);
        break;
    case kPowerOffTimer:
        app_.PowerOff();
        break;
    default:
        break;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    KillTimer(kClockTimer);
    QWidget::closeEvent(event);
}
