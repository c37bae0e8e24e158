#include "ui/TableView.h"

#include "device/SettingView.h"
#include "document/PELDoc.h"
#include "library/LinesView.h"
#include "library/StatisticsView.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"

#include <array>

namespace {

constexpr int kSlots = 5;
constexpr int kShortName = 9;

// The slot keys F6-F10: their colours when selected or marked.
constexpr std::array<std::uint32_t, kSlots> kSlotKeyColors{0xC80000, 0x00C800, 0x0000C8, 0x0099FF, 0xC800C8};
constexpr std::uint32_t kSlotKeyText = 0xFFFF00;
constexpr std::uint32_t kSlotKeyFrame = 0x000000;

QString ShortFileName(const QString& name) {
    return name.size() > kShortName ? name.left(kShortName) + QStringLiteral("...") : name;
}

} // namespace

CTableView::CTableView(QWidget* parent) : CFormView(parent) {}

CPELDoc& CTableView::Doc() const {
    return *static_cast<CPELDoc*>(GetDocument());
}

CPELView& CTableView::View() const {
    return *MainFrame()->pelView;
}

CPELButton* CTableView::SlotKey(int slot) const {
    return MainFrame()->btnsV->GetButton(slot);
}

void CTableView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    if (activate) {
        keyDownSeen = false;
        CPELDoc& doc = Doc();
        for (std::size_t slot = 2; slot < kSlots; ++slot) {
            if (doc.ch[slot].fileName == QString::fromUtf8(tables::kNoFile))
                doc.ch[slot].state = 0;
        }
        if (platform::FindFiles(doc.storageFolder + QStringLiteral("*.pel")).empty()) {
            doc.ch[2].state = 0;
            doc.ch[3].state = 0;
            doc.SetChannelState(4, 0);
        }
        MainFrame()->statusView->SetTitle(QStringLiteral("КАНАЛЫ"));
        LabelSoftKeys();
        View().LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
        View().update();
    }
    CFormView::OnActivateView(activate, activated, deactivated);
}

void CTableView::LabelSoftKeys() {
    CPELDoc& doc = Doc();
    View().LabelModeKeys(QStringLiteral("ПАРАМЕТРЫ"));

    for (int slot = 0; slot < kSlots; ++slot) {
        CPELButton* key = SlotKey(slot);
        const std::uint32_t color = kSlotKeyColors[static_cast<std::size_t>(slot)];
        key->SetSelectedColors(color, kSlotKeyText, kSlotKeyFrame);
        key->SetMarkedColors(color, kSlotKeyText, kSlotKeyFrame);
        const CChannel& channel = doc.ch[static_cast<std::size_t>(slot)];
        QString label;
        if (slot == 0)
            label = QStringLiteral("Канал Л1");
        else if (slot == 1)
            label = QStringLiteral("Канал Л2");
        else
            label = QStringLiteral("РФГ из файла\n\n%1").arg(ShortFileName(channel.fileName));
        key->SetStateText(channel.state, label);
    }
    if (doc.currentTrace != nullptr)
        SlotKey(doc.currentTrace->number)->SetState(button_state::kMarked);
}

void CTableView::OnKeyDown(int code, bool) {
    CPELView& view = View();
    keyDownSeen = true;
    if (shiftStep == 1)
        view.StopForKey();
    if (code == vk::kF11)
        view.SaveReflectogram();
    else if (code == '4' || code == '6')
        view.OnKeyDown(code, false);
    else if (code == '1' || code == '7')
        ShiftCurrentTrace(code == '1' ? +1 : -1);
    else if (code == '2' || code == '8')
        view.StepZoom(code);
    else if (code == '3')
        NextTrace();

    // A held soft key acts once.
    const int remembered = view.keyRepeat++;
    if (remembered > 1)
        return;
    CMainFrame* frame = MainFrame();
    if (code >= vk::kF1 && code <= vk::kF5) {
        CPELButton* key = frame->btnsH->ButtonForKey(code);
        if (key->GetState() != button_state::kDisabled)
            key->SetState(button_state::kSelected);
    } else if (code >= vk::kF6 && code <= vk::kF10) {
        CPELButton* key = frame->btnsV->ButtonForKey(code);
        if (key->GetState() == button_state::kNormal)
            key->SetState(button_state::kSelected);
        else if (key->GetState() == button_state::kSelected)
            key->SetState(button_state::kNormal);
    }
}

void CTableView::OnKeyUp(int code) {
    CPELView& view = View();
    view.keyRepeat = 1;
    shiftStep = 1;
    Doc().UpdateAllViews(nullptr, hint::kQueueTask);
    if (!keyDownSeen)
        return;
    keyDownSeen = false;
    if (view.HandleViewKeyUp(code))
        return;
    CPELButton* key = nullptr;
    if (code >= vk::kF1 && code <= vk::kF5)
        key = MainFrame()->btnsH->ButtonForKey(code);
    else if (code >= vk::kF6 && code <= vk::kF10)
        key = MainFrame()->btnsV->ButtonForKey(code);
    if (key != nullptr && key->GetState() != button_state::kDisabled)
        RunSoftKey(code);
}

void CTableView::OnModalClosed() {
    shiftStep = 1;
    keyDownSeen = false;
    View().OnModalClosed();
}

void CTableView::RunSoftKey(int code) {
    CMainFrame* frame = MainFrame();
    switch (code) {
    case vk::kF1:
        frame->SetActiveViewPEL(frame->statisticsView, true);
        return;
    case vk::kF1 + 1:
        frame->SetActiveViewPEL(frame->linesView, true);
        return;
    case vk::kF1 + 2:
        View().ToggleDifference(frame->btnsH->GetButton(2));
        return;
    case vk::kF1 + 3:
        TogglePairMode(frame->btnsH->GetButton(3));
        return;
    case vk::kF5:
        frame->SetActiveViewPEL(frame->pelView, true);
        return;
    default: {
        // A slot key: the slot takes the key's state (the marked current trace's
        // 255 is refused, so the current trace cannot be switched off here).
        const int slot = code - vk::kF6;
        Doc().SetChannelState(slot, frame->btnsV->GetButton(slot)->GetState());
        View().LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
        View().update();
        return;
    }
    }
}

void CTableView::TogglePairMode(CPELButton* key) {
    CPELDoc& doc = Doc();
    const int current = doc.currentTrace->number;
    const int other = current == 0 ? 1 : (current == 1 ? 0 : -1);
    if (doc.bp_mode == 1) {
        doc.bp_mode = 254;
        if (other >= 0) {
            doc.SetChannelState(other, 0);
            SlotKey(other)->SetState(button_state::kDisabled);
        }
        key->SetStateText(button_state::kSelected, QStringLiteral("Битость\nпар"));
    } else {
        doc.bp_mode = 1;
        if (other >= 0) {
            doc.SetChannelState(other, 1);
            SlotKey(other)->SetState(button_state::kNormal);
        }
        key->SetStateText(button_state::kNormal, QStringLiteral("Битость\nпар"));
    }
    View().LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
    View().update();
}

void CTableView::NextTrace() {
    CPELDoc& doc = Doc();
    if (doc.currentTrace == nullptr)
        return;
    const int current = doc.currentTrace->number;
    SlotKey(current)->SetState(button_state::kSelected);
    for (int step = 1; step < kSlots; ++step) {
        const int slot = (current + step) % kSlots;
        const std::int32_t state = doc.ch[static_cast<std::size_t>(slot)].state;
        if (state != 0 && state != 1) {
            doc.currentTrace = &doc.ch[static_cast<std::size_t>(slot)];
            break;
        }
    }
    SlotKey(doc.currentTrace->number)->SetState(button_state::kMarked);
}

void CTableView::ShiftCurrentTrace(int direction) {
    CPELDoc& doc = Doc();
    if (doc.currentTrace == nullptr)
        return;
    CChannel& trace = *doc.currentTrace;
    if (!trace.shift.SetIndex(trace.shift.GetIndex() + direction * shiftStep))
        return;
    CPELView& view = View();
    view.Chart().SetSeriesOffset(trace.number, trace.shift.GetIndex());
    CPELButton* line = view.LegendLine(trace.number);
    line->SetStateText(line->GetState(), trace.GetParamLine());
    view.Chart().ClearCursorsOnly();
    view.update();
    ++shiftStep;
}
