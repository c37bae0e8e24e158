#include "device/BatteryView.h"

#include "device/BatteryPictures.h"
#include "document/PELDoc.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"
#include "ui/PELButton.h"
#include "ui/StatusView.h"

#include <QLabel>
#include <QPalette>
#include <QTimer>

namespace {

namespace pins = platform::pins;

// Power-supply type 0 is the small adapter that only charges: the instrument shows the
// charging screen behind it and switches off when it is pulled. Type 1 powers the
// instrument, which keeps working.
constexpr std::int32_t kChargingAdapter = 0;

struct LabelLayout {
    int left, top, right, bottom;
    int id;
    ButtonColors normal;
    ButtonColors selected;
    int fontHeight;
};

constexpr ButtonColors kCellNormal{0x000000, 0xFFFFFF, 0x666666};
constexpr ButtonColors kCellSelected{0x808000, 0xFFFF00, 0x666666};
constexpr ButtonColors kCellCharging{0x00DCDC, 0xFFFF00, 0x666666};
constexpr int kFontWeight = 400;
constexpr int kCellFontHeight = 14;
constexpr int kCellLeft = 95;
constexpr int kCellPitch = 60;
constexpr int kCellWidth = 61; // neighbours share their frame line

LabelLayout Cell(int index) {
    const int left = kCellLeft + kCellPitch * index;
    return {left, 85, left + kCellWidth, 285, 112 + index, kCellNormal, kCellSelected, kCellFontHeight};
}

const std::array<LabelLayout, CBatteryView::kLabels> kLayout{{
    Cell(0),
    Cell(1),
    Cell(2),
    Cell(3),
    Cell(4),
    {395, 125, 435, 245, 116, kCellNormal, kCellSelected, kCellFontHeight},
    {0, 300, 510, 365, 116, {0x000000, 0x0000FF, 0x000000}, {0x000000, 0xFFFFFF, 0x000000}, 16},
}};

const QString kChargingTitle = QStringLiteral("Идёт зарядка...");
const QString kChargingMessage = QStringLiteral("Идёт зарядка...\nПосле окончания зарядки отключите сетевой адаптер.");
const QString kCompleteTitle = QStringLiteral("Зарядка завершена.");
const QString kCompleteMessage = QStringLiteral("Зарядка завершена.\nОтключите сетевой адаптер.");
const QString kErrorTitle = QStringLiteral("Ошибка зарядки!");
const QString kErrorMessage = QStringLiteral("Ошибка зарядки. Батарея отсутствует или повреждена.");
const QString kExhaustedTitle = QStringLiteral("Батарея разряжена! Зарядите прибор...");

const QString kNoPowerPinsCaption = QStringLiteral("Контроль питания: ошибка");
const QString kNoPowerPinsText = QStringLiteral(
    "Контроль питания недоступен.\nЗарядка не отображается, и при отключении\nсетевого адаптера прибор не выключится.");

constexpr int kPowerOffDelayMs = 100;

} // namespace

CBatteryView::CBatteryView(QWidget* parent) : CBatteryView(platform::Gpio(), parent) {}

CBatteryView::CBatteryView(platform::GpioBackend* pins, QWidget* parent) : CFormView(parent), gpio_(pins) {
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void CBatteryView::OnInitialUpdate() {
    if (labels_[0] != nullptr)
        return;
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        const LabelLayout& layout = kLayout[i];
        auto* label = new CPELButton(this);
        label->setObjectName(QString::number(layout.id));
        label->setGeometry(layout.left, layout.top, layout.right - layout.left, layout.bottom - layout.top);
        label->SetNormalColors(layout.normal.back, layout.normal.text, layout.normal.frame);
        label->SetSelectedColors(layout.selected.back, layout.selected.text, layout.selected.frame);
        label->SetNormalFont(layout.fontHeight, kFontWeight);
        label->SetFlat(false);
        label->show();
        labels_[i] = label;
    }
}

void CBatteryView::PowerOnInit() {
    if (!gpio_.IsAvailable()) {
        platform::Trace("CBatteryView: no GPIO pins, running without charger supervision\n");
        // Told once the screen is up rather than while the frame is still being built.
        QTimer::singleShot(0, this, [] {
            platform::MessageBox(kNoPowerPinsText, kNoPowerPinsCaption, platform::mb::kOk | platform::mb::kIconStop);
        });
        return;
    }
    gpio_.SetPinDirection(pins::kAdapterSense, false);
    gpio_.SetPinDirection(pins::kChargerLineA, false);
    gpio_.SetPinDirection(pins::kChargerLineB, false);
    if (PollStatus() & charger::AC_UNPLUGGED) {
        DrivePowerOn(true);
        platform::Trace("REFLECTOMETER POWERED ON\n");
    }
}

std::uint32_t CBatteryView::PollStatus() {
    if (!gpio_.IsAvailable())
        return 0; // nothing known: no adapter, no charger
    charger::Lines lines;
    lines.lineB = gpio_.GetPinLevel(pins::kChargerLineB);
    lines.lineA = gpio_.GetPinLevel(pins::kChargerLineA);
    lines.adapterSense = gpio_.GetPinLevel(pins::kAdapterSense);
    const std::uint32_t flags = charger::StatusOf(lines, adapterHistory_);
    lastLineB_ = lines.lineB ? 1 : 0;
    lastLineA_ = lines.lineA ? 1 : 0;
    return flags;
}

void CBatteryView::DrivePowerOn(bool high) {
    // The latch first: turning the pin into an output must not drive a stale level on the
    // line that keeps the instrument powered.
    gpio_.SetPinLevel(pins::kPowerOn, high);
    gpio_.SetPinDirection(pins::kPowerOn, true);
}

CPELDoc* CBatteryView::Document() const {
    return static_cast<CPELDoc*>(GetDocument());
}

void CBatteryView::OnUpdate(CView*, long hint, void*) {
    if (hint == hint::kStatusRefresh && gpio_.IsAvailable())
        RunChargerStateMachine();
}

void CBatteryView::RunChargerStateMachine() {
    CPELDoc* doc = Document();
    if (doc == nullptr)
        return;
    const std::uint32_t flags = PollStatus();
    lastStatus_ = flags;
    const bool charging = (flags & charger::CHARGE_IN_PROGRESS) != 0;
    const bool present = (flags & charger::AC_PLUGGED) != 0;
    const bool chargingAdapter = doc->adapter.GetIndex() == kChargingAdapter;
    CMainFrame* frame = MainFrame();

    if (present && chargingAdapter)
        DrivePowerOn(false); // the adapter holds the power now; pulling it switches off
    if (present && charging && chargingAdapter && frame != nullptr)
        frame->SetActiveViewPEL(this, true);
    if ((flags & charger::AC_WAS_UNPLUGGED) && chargingAdapter) {
        // The power goes whatever happens: a state file that could not be written is only
        // noted, there is nobody left to tell.
        if (!doc->WriteStateFile())
            platform::Trace("CBatteryView: pel.ini not written before the power-off: %s\n",
                            qUtf8Printable(platform::ErrorText(platform::LastError())));
        if (frame != nullptr) {
            frame->SetTimer(CMainFrame::kPowerOffTimer, kPowerOffDelayMs);
            frame->GetApp().ShowPowerOffDialog(); // until the power goes
        }
    }
    if (charging && chargingAdapter) {
        ChargingAnimation(false);
        SetStatusTitle(kChargingTitle);
        ShowMessage(button_state::kSelected, kChargingMessage);
    }
    if (flags & charger::CHARGE_COMPLETE) {
        SetStatusTitle(kCompleteTitle);
        if (chargingAdapter) {
            ChargingAnimation(true);
            ShowMessage(button_state::kSelected, kCompleteMessage);
        }
    }
    if ((flags & charger::CHARGE_ERROR) && present && !(flags & charger::AC_WAS_PLUGGED)) {
        SetStatusTitle(kErrorTitle);
        if (frame != nullptr)
            frame->SetActiveViewPEL(this, true);
        ShowMessage(button_state::kNormal, kErrorMessage); // the normal colours: red text
    }
}

void CBatteryView::ChargingAnimation(bool full) {
    if (full)
        fillLevel_ = charger::kFullLevel;
    if (labels_[0] != nullptr) {
        for (int cell = 0; cell < charger::kAnimatedCells; ++cell) {
            CPELButton* label = GetLabel(cell);
            label->SetSelectedColors(kCellCharging.back, kCellCharging.text, kCellCharging.frame);
            label->SetState(charger::CellFilled(cell, fillLevel_) ? button_state::kSelected : button_state::kNormal);
        }
    }
    fillLevel_ = charger::NextFillLevel(fillLevel_);
}

void CBatteryView::ShowMessage(int state, const QString& text) {
    if (CPELButton* line = GetLabel(kMessageLine))
        line->SetStateText(state, text);
}

void CBatteryView::SetStatusTitle(const QString& title) {
    if (CMainFrame* frame = MainFrame(); frame != nullptr && frame->statusView != nullptr)
        frame->statusView->SetTitle(title);
}

void CBatteryView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    CFormView::OnActivateView(activate, activated, deactivated);
    if (!activate || deactivated == this)
        return;
    SetStatusTitle(kChargingTitle);
    if (CMainFrame* frame = MainFrame()) {
        for (CBtnsPanel* panel : {static_cast<CBtnsPanel*>(frame->btnsH), static_cast<CBtnsPanel*>(frame->btnsV)}) {
            if (panel == nullptr)
                continue;
            for (int key = 0; key < CBtnsPanel::kKeys; ++key)
                panel->GetButton(key)->SetState(button_state::kDisabled);
        }
    }
    update();
}

void CBatteryView::ShowBatteryLevel(int code) {
    lastLevelCode_ = code;
    CMainFrame* frame = MainFrame();
    CStatusView* status = frame != nullptr ? frame->statusView : nullptr;
    if (status == nullptr)
        return;
    if (code == battery_picture::kCodeExhausted) {
        status->blink = !status->blink;
        status->SetTitle(kExhaustedTitle);
    }
    const bool charging = (lastStatus_ & charger::CHARGE_IN_PROGRESS) != 0;
    const int picture = battery_picture::PictureFor(code, charging, status->blink);
    if (picture == 0)
        return;
    pictureId_ = picture;
    status->GetBatteryIcon()->setPixmap(battery_picture::Draw(picture));
}
