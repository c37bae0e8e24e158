// The "ПАРАМЕТРЫ" keys of the measurement view and the operations they trigger.
#include "ui/PELView.h"

#include "device/ScreenShotSaver.h"
#include "device/SettingView.h"
#include "document/PELDoc.h"
#include "library/LinesView.h"
#include "library/StatisticsView.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"
#include "ui/PELButton.h"
#include "ui/TableView.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kMinimumFreeSpace = 100000;
const char* const kSaveErrorCaption = "Сохранить рефлектограмму: ошибка";

bool IsSoftKeyH(int code) {
    return code >= vk::kF1 && code <= vk::kF5;
}

bool IsSoftKeyV(int code) {
    return code >= vk::kF6 && code <= vk::kF10;
}

} // namespace

void CPELView::StopForKey() {
    MainFrame()->protocol->Stop();
    Doc().UpdateAllViews(nullptr, hint::kQueueReset);
}

void CPELView::OnKeyDown(int code, bool) {
    keyDownSeen = true;
    if (keyRepeat == 1)
        StopForKey();
    if (code == '4' || code == '6') {
        MoveActiveCursor(code);
        return;
    }
    if (code == '1' || code == '7') {
        RunSoftKey(selectedKey_ == nullptr ? 0 : vk::kF6 + MainFrame()->btnsV->IndexOf(selectedKey_),
                   code == '1' ? +1 : -1);
    } else if (code == '2' || code == '8') {
        StepZoom(code);
    } else if (code == vk::kF11) {
        SaveReflectogram();
        return;
    }
    // A held soft key acts once.
    const int remembered = keyRepeat++;
    if (remembered > 1)
        return;
    CMainFrame* frame = MainFrame();
    if (IsSoftKeyH(code)) {
        CPELButton* key = frame->btnsH->ButtonForKey(code);
        if (key->GetState() != 0)
            key->SetState(254);
    } else if (IsSoftKeyV(code)) {
        CPELButton* key = frame->btnsV->ButtonForKey(code);
        if (key->GetState() != 0 && key != selectedKey_) {
            if (selectedKey_ != nullptr)
                selectedKey_->SetState(1);
            key->SetState(254);
            selectedKey_ = key;
        }
    }
}

void CPELView::OnKeyUp(int code) {
    keyRepeat = 1;
    Doc().UpdateAllViews(nullptr, hint::kQueueTask);
    if (!keyDownSeen)
        return;
    keyDownSeen = false;
    if (HandleViewKeyUp(code))
        return;
    if (IsSoftKeyH(code) && MainFrame()->btnsH->ButtonForKey(code)->GetState() != 0)
        RunSoftKey(code, 0);
}

void CPELView::OnModalClosed() {
    // The key-ups went to the box: the counter starts again and the trace is live again,
    // unless the box started a capture, which restarts acquisition itself.
    keyRepeat = 1;
    keyDownSeen = false;
    if (Doc().acquisitionMode == 'Y')
        Doc().UpdateAllViews(nullptr, hint::kQueueTask);
}

bool CPELView::HandleViewKeyUp(int code) {
    switch (code) {
    case '0':
        ToggleCapture();
        return true;
    case '5':
        SwitchActiveCursor();
        return true;
    case '4':
    case '6':
        return true;
    case '9':
        MainFrame()->SetActiveViewPEL(MainFrame()->settingView, true);
        return true;
    case vk::kEnter:
        SaveScreenCopy();
        return true;
    default:
        // Every other key ends the capture display.
        CaptureOff();
        return false;
    }
}

void CPELView::RunSoftKey(int code, int direction) {
    CMainFrame* frame = MainFrame();
    switch (code) {
    case vk::kF1:
        frame->SetActiveViewPEL(frame->statisticsView, true);
        break;
    case vk::kF1 + 1:
        frame->SetActiveViewPEL(frame->linesView, true);
        break;
    case vk::kF1 + 2:
        ToggleDifference(frame->btnsH->GetButton(2));
        break;
    case vk::kF1 + 3:
        TogglePairMode(frame->btnsH->GetButton(3));
        break;
    case vk::kF5:
        frame->SetActiveViewPEL(frame->tableView, true);
        break;
    case vk::kF6:
        StepRange(direction);
        break;
    case vk::kF6 + 1:
        StepPulse(direction);
        break;
    case vk::kF6 + 2:
        StepVelocity(direction);
        break;
    case vk::kF6 + 3:
        StepAveraging(direction);
        break;
    case vk::kF10:
        StepGain(direction);
        break;
    default:
        break;
    }
}

void CPELView::PutCursorsAt(double metres0, double metres1) {
    CDOCScale& scale = Display().scale;
    scale.SetCursorMetres(0, metres0);
    scale.SetCursorMetres(1, metres1);
    chart_.SetCursorPos(1, scale.GetCursorPx(0));
    chart_.SetCursorPos(2, scale.GetCursorPx(1));
    chart_.ClearCursorsOnly();
}

void CPELView::StepRange(int direction) {
    if (!DisplayIsLive())
        return;
    CChannel& display = Display();
    CDOCScale& scale = display.scale;
    const double metres0 = scale.GetCursorMetres(0);
    const double metres1 = scale.GetCursorMetres(1);
    if (!scale.SetIndex(scale.GetIndex() + direction))
        return;
    CMainFrame* frame = MainFrame();
    frame->btnsV->GetButton(0)->SetStateText(254, QStringLiteral("Масштаб\n\n%1").arg(scale.GetStr()));
    display.pulse.SetIndex(scale.GetDefaultPulse());
    frame->btnsV->GetButton(1)->SetStateText(1, QStringLiteral("Импульс\n\n%1").arg(display.pulse.GetStr()));
    scale.CalcTicks();
    PutCursorsAt(metres0, metres1);
    RefreshCursorLabels();
    distanceLabel_->SetStateText(1, scale.GetDistanceStr());
    zoomLabel_->SetStateText(1, scale.GetZoomStr());
    update();
    CPELDoc& doc = Doc();
    doc.ch[0].CopyParams(display, false);
    doc.ch[1].CopyParams(display, false);
    doc.SetOutParams('Y');
}

void CPELView::StepPulse(int direction) {
    CPELDoc& doc = Doc();
    if (!DisplayIsLive() || !doc.ch[0].pulse.SetIndex(doc.ch[0].pulse.GetIndex() + direction))
        return;
    MainFrame()->btnsV->GetButton(1)->SetStateText(254, QStringLiteral("Импульс\n\n%1").arg(doc.ch[0].pulse.GetStr()));
    doc.ch[1].CopyParams(doc.ch[0], false);
    doc.SetOutParams('Y');
}

void CPELView::StepAveraging(int direction) {
    CPELDoc& doc = Doc();
    if (!DisplayIsLive() || !doc.ch[0].average.SetIndex(doc.ch[0].average.GetIndex() + direction))
        return;
    MainFrame()->btnsV->GetButton(3)->SetStateText(254,
                                                   QStringLiteral("Осреднение\n\n%1").arg(doc.ch[0].average.GetStr()));
    doc.ch[1].average.SetIndex(doc.ch[0].average.GetIndex());
    doc.SetOutParams('Y');
}

void CPELView::StepGain(int direction) {
    CPELDoc& doc = Doc();
    if (!DisplayIsLive() || !doc.ch[0].gain.SetIndex(doc.ch[0].gain.GetIndex() + direction))
        return;
    MainFrame()->btnsV->GetButton(4)->SetStateText(254, QStringLiteral("Усиление\n\n%1").arg(doc.ch[0].gain.GetStr()));
    doc.ch[1].gain.SetIndex(doc.ch[0].gain.GetIndex());
    doc.SetOutParams('Y');
}

void CPELView::StepVelocity(int direction) {
    CChannel& display = Display();
    CVFactor& velocity = display.scale.vfactor;
    if (!velocity.SetValue(velocity.GetValue() + direction * VelocityEditStep() * keyRepeat))
        return;
    MainFrame()->btnsV->GetButton(2)->SetStateText(
        254, QStringLiteral("%1\n\n%2").arg(VelocityModeLabel(), velocity.GetStr()));
    RefreshCursorLabels();
    distanceLabel_->SetStateText(distanceLabel_->GetState(), display.scale.GetDistanceStr());
    display.scale.CalcTicks();
    for (CChannel& channel : Doc().ch)
        channel.scale.vfactor.SetKU(velocity.GetKU());
    update();
    ++keyRepeat; // held down, the change accelerates
}

void CPELView::MoveActiveCursor(int code) {
    CDOCScale& scale = Display().scale;
    const int cursor = scale._activeCursorIndex == 1 ? 1 : 0;
    const int column = scale.GetCursorPx(cursor) + (code == '4' ? -keyRepeat : keyRepeat);
    scale.SetCursorPx(cursor, column);
    chart_.SetCursorPos(cursor + 1, scale.GetCursorPx(cursor));
    (cursor == 0 ? k1Label_ : k2Label_)->SetStateText(254, scale.GetCursorStr(cursor));
    distanceLabel_->SetStateText(1, scale.GetDistanceStr());
    repaint();
    ++keyRepeat;
}

void CPELView::SwitchActiveCursor() {
    CDOCScale& scale = Display().scale;
    if (k1Label_->GetState() == 254) {
        chart_.SetActiveCursor(2);
        k1Label_->SetState(1);
        scale._activeCursorIndex = 1;
        k2Label_->SetState(254);
    } else if (k2Label_->GetState() == 254) {
        chart_.SetActiveCursor(1);
        k2Label_->SetState(1);
        scale._activeCursorIndex = 0;
        k1Label_->SetState(254);
    }
    chart_.ClearCursorsOnly();
    repaint();
}

void CPELView::StepZoom(int code) {
    CPELDoc& doc = Doc();
    CChannel& display = Display();
    CDOCScale& scale = display.scale;
    const double metres0 = scale.GetCursorMetres(0);
    const double metres1 = scale.GetCursorMetres(1);
    if (!scale.SetZoom(scale.GetZoom() + (code == '2' ? -1 : +1)))
        return;
    zoomLabel_->SetState(254);
    scale.CenterOnActiveCursor();
    doc.ch[0].CopyParams(display, false);
    doc.ch[1].CopyParams(display, false);
    for (std::size_t slot = 2; slot < doc.ch.size(); ++slot) {
        if (doc.ch[slot].state == 254)
            doc.ch[slot].ExtractPoints(display, doc.view_mode);
    }
    if (doc.ch[0].state == 254 || doc.ch[1].state == 254)
        doc.SetOutParams('Y');
    scale.CalcTicks();
    PutCursorsAt(metres0, metres1);
    RefreshCursorLabels();
    distanceLabel_->SetStateText(1, scale.GetDistanceStr());
    zoomLabel_->SetStateText(254, scale.GetZoomStr());
    repaint();
    zoomLabel_->SetState(1);
}

void CPELView::ToggleCapture() {
    if (chart_.BackgroundOn()) {
        chart_.SetBackgroundOn(false);
        captureLabel_->SetState(254);
    } else {
        CaptureOff();
    }
}

void CPELView::CaptureOff() {
    chart_.SetBackgroundOn(true);
    captureLabel_->SetState(1);
}

void CPELView::ToggleDifference(CPELButton* key) {
    CPELDoc& doc = Doc();
    if (doc.view_mode == 1) {
        doc.view_mode = 254;
        doc.diffReference = doc.currentTrace;
        key->SetStateText(254, QStringLiteral("Разность"));
    } else {
        doc.view_mode = 1;
        key->SetStateText(1, QStringLiteral("Разность"));
    }
    CChannel& display = Display();
    for (std::size_t slot = 2; slot < doc.ch.size(); ++slot) {
        if (doc.ch[slot].state == 254)
            doc.ch[slot].ExtractPoints(display, 1);
    }
    if (doc.acquisitionMode != 'Y' || doc.view_mode != 254)
        return;
    CChannel& reference = *doc.diffReference;
    if (reference.number >= 2)
        reference.ExtractPoints(display, 1);
    for (CChannel& channel : doc.ch) {
        if (channel.state == 254)
            channel.MakeDifference(reference);
    }
    repaint();
}

void CPELView::TogglePairMode(CPELButton* key) {
    CPELDoc& doc = Doc();
    const int current = doc.currentTrace->number;
    const int other = current == 0 ? 1 : (current == 1 ? 0 : -1);
    if (doc.bp_mode == 1) {
        doc.bp_mode = 254;
        if (other >= 0)
            doc.SetChannelState(other, 0);
        key->SetState(254);
    } else {
        doc.bp_mode = 1;
        if (other >= 0)
            doc.SetChannelState(other, 1);
        key->SetState(1);
    }
    LayoutLabels(kShowReadouts | kShowLegend);
    repaint();
}

bool CPELView::EnoughSpaceToSave() {
    const auto free = platform::FreeSpace(Doc().storageFolder);
    if (free && *free > kMinimumFreeSpace)
        return true;
    platform::MessageBox(QStringLiteral("Недостаточно места на диске"), QString::fromUtf8(kSaveErrorCaption),
                         platform::mb::kOk | platform::mb::kIconStop);
    return false;
}

void CPELView::SaveReflectogram() {
    CPELDoc& doc = Doc();
    const int line = doc.currentTrace->number;
    if (line != 0 && line != 1) {
        platform::MessageBox(QStringLiteral("Сохранение невозможно.\nВыберете кнопкой [F11] Канал Л1 или Канал Л2."),
                             QString(), platform::mb::kOk | platform::mb::kIconStop);
        return;
    }
    if (!EnoughSpaceToSave())
        return;
    const QString question =
        QStringLiteral("Сохранить рефлектограмму с Канала %1? \n\n Это может занять некоторое время.").arg(line + 1);
    if (platform::MessageBox(question, QString(), platform::mb::kOkCancel | platform::mb::kIconQuestion) !=
        platform::mb::kIdOk)
        return;
    MainFrame()->protocol->Stop();
    doc.UpdateAllViews(nullptr, hint::kQueueReset);
    doc.acquisitionMode = 'L';
    captureAttempts_ = 1;
    doc.SetOutParams('L');
    doc.UpdateAllViews(nullptr, hint::kQueueTask);
    MainFrame()->GetApp().SetBusy(true);
    SetTimer(kCaptureWatchdogTimer, kCaptureWatchdogMs);
}

void CPELView::SaveScreenCopy() {
    if (!EnoughSpaceToSave())
        return;
    if (platform::MessageBox(QStringLiteral("Сохранить копию экрана?"), QString(),
                             platform::mb::kOkCancel | platform::mb::kIconQuestion) != platform::mb::kIdOk)
        return;
    CPELApp& app = MainFrame()->GetApp();
    app.SetBusy(true);
    CScreenShotSaver().SaveScreenshot(Doc().storageFolder);
    app.SetBusy(false);
}
