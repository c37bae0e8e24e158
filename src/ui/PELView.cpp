#include "ui/PELView.h"

#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"
#include "ui/PELButton.h"
#include "ui/StatusView.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr int kSlots = 5;
constexpr int kChartWidth = 510;
constexpr int kRowHeight = 20;
constexpr int kValueMinimum = -128;
constexpr int kValueMaximum = 128;
constexpr double kVerticalGridStep = 25.0;
constexpr int kInitialLabelDecimation = 2;

// Legend text colours by slot (the trace colours, slot 2 a little darker).
constexpr std::array<std::uint32_t, kSlots> kLegendColors{0xFF0000, 0x00FF00, 0x0000C8, 0x0099FF, 0xFF00FF};

// Read-out row: K1, K2, distance, zoom, capture, as (left, right) at y 0..20.
struct Span {
    int left;
    int right;
};
constexpr Span kK1{0, 129};
constexpr Span kK2{129, 257};
constexpr Span kDistance{257, 384};
constexpr Span kZoom{384, 447};
constexpr Span kCapture{447, 510};

const char* const kSaveFileName = "[save].pel";

QRect RowRect(Span span, int top = 0) {
    return QRect(span.left, top, span.right - span.left, kRowHeight);
}

} // namespace

CPELView::CPELView(QWidget* parent) : CFormView(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto makeLabel = [this](const QString& caption) {
        auto* label = new CPELButton(this);
        label->setEnabled(false);
        label->setGeometry(QRect());
        label->SetCaption(caption);
        return label;
    };
    k1Label_ = makeLabel(QStringLiteral("K1 = "));
    k2Label_ = makeLabel(QStringLiteral("K2 = "));
    distanceLabel_ = makeLabel(QStringLiteral("L = "));
    zoomLabel_ = makeLabel(QStringLiteral("Лупа х1"));
    captureLabel_ = makeLabel(QStringLiteral("Разность"));
    for (auto& line : legend_)
        line = makeLabel(QString());
}

CPELView::~CPELView() = default;

CPELDoc& CPELView::Doc() const {
    return *static_cast<CPELDoc*>(GetDocument());
}

CChannel& CPELView::Display() const {
    return *Doc().displayParams;
}

bool CPELView::DisplayIsLive() const {
    return Display().number < 2;
}

int CPELView::OnCreate() {
    CPELDoc& doc = Doc();
    for (int slot = 0; slot < kSlots; ++slot) {
        CChannel& channel = doc.ch[static_cast<std::size_t>(slot)];
        chart_.AddSeries(kSeriesColors[static_cast<std::size_t>(slot)], channel.shift.GetIndex(), kValueMinimum,
                         kValueMaximum, channel.scale.points.data());
    }
    return 0;
}

void CPELView::SetUpLabels() {
    constexpr int normal = 400;
    constexpr int bold = 700;
    for (CPELButton* label : {k1Label_, k2Label_, distanceLabel_})
        label->SetScheme(0xC8D0D4, 0x000000, 0x800000, 0x00FFFF, normal, bold, 53);
    for (CPELButton* label : {zoomLabel_, captureLabel_})
        label->SetScheme(0xC8D0D4, 0x000000, 0x800000, 0x00FFFF, normal, normal, 53);
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t text = kLegendColors[static_cast<std::size_t>(slot)];
        legend_[static_cast<std::size_t>(slot)]->SetNormalColors(0x000000, text, 0x000000);
        legend_[static_cast<std::size_t>(slot)]->SetMarkedColors(0x282828, text, 0x000000);
    }
}

void CPELView::OnInitialUpdate() {
    CPELDoc& doc = Doc();
    const CDOCScale& scale = doc.ch[0].scale;
    chart_.SetAxis(scale.GetPixelsPerTick(), kVerticalGridStep, scale.GetFirstTickColumn());
    chart_.SetLabels(kInitialLabelDecimation, &scale.GetTickLabels());
    SetUpLabels();
    LayoutLabels(kShowReadouts | kShowLegend);

    MainFrame()->protocol->Stop();
    doc.UpdateAllViews(nullptr, hint::kQueueReset);
    doc.inParams.destinationA = doc.ch[0].scale.points;
    doc.inParams.destinationB = doc.ch[1].scale.points;
    doc.SetOutParams(doc.acquisitionMode);
    doc.UpdateAllViews(nullptr, hint::kQueueSetup);
    doc.UpdateAllViews(nullptr, hint::kQueueTask);
}

void CPELView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    keyDownSeen = false;
    CMainFrame* frame = MainFrame();
    selectedKey_ = frame->btnsV->GetButton(DisplayIsLive() ? 0 : 2);
    if (activate) {
        frame->statusView->SetTitle(QStringLiteral("ПАРАМЕТРЫ"));
        LabelSoftKeys();
        LayoutLabels(kShowReadouts | kShowLegend);
        update();
    }
    CFormView::OnActivateView(activate, activated, deactivated);
}

void CPELView::LabelSoftKeys() {
    CMainFrame* frame = MainFrame();
    const CChannel& display = Display();
    const bool live = DisplayIsLive();
    LabelModeKeys(QStringLiteral("КАНАЛЫ"));

    const std::array<QString, 5> labels{
        QStringLiteral("Масштаб\n\n%1").arg(display.scale.GetStr()),
        QStringLiteral("Импульс\n\n%1").arg(display.pulse.GetStr()),
        QStringLiteral("%1\n\n%2").arg(VelocityModeLabel(), display.scale.vfactor.GetStr()),
        QStringLiteral("Осреднение\n\n%1").arg(display.average.GetStr()),
        QStringLiteral("Усиление\n\n%1").arg(display.gain.GetStr()),
    };
    const std::array<int, 5> liveStates{254, 1, 1, 1, 1};
    const std::array<int, 5> storedStates{0, 0, 254, 0, 0};
    for (int i = 0; i < 5; ++i) {
        CPELButton* key = frame->btnsV->GetButton(i);
        UseModeKeyColors(*key);
        key->SetStateText((live ? liveStates : storedStates)[static_cast<std::size_t>(i)],
                          labels[static_cast<std::size_t>(i)]);
    }
}

void CPELView::LabelModeKeys(const QString& f5Label) {
    CMainFrame* frame = MainFrame();
    const CPELDoc& doc = Doc();
    const QString library =
        VelocityDisplayMode() == 1 ? QStringLiteral("БИБЛИОТЕКА\nV/2") : QStringLiteral("БИБЛИОТЕКА\nКУ");
    frame->btnsH->GetButton(0)->SetStateText(1, QStringLiteral("БИБЛИОТЕКА\nРФГ"));
    frame->btnsH->GetButton(1)->SetStateText(1, library);
    frame->btnsH->GetButton(2)->SetStateText(doc.view_mode, QStringLiteral("Разность"));
    frame->btnsH->GetButton(3)->SetStateText(doc.bp_mode, QStringLiteral("Битость\nпар"));
    frame->btnsH->GetButton(4)->SetStateText(1, f5Label);
}

void CPELView::RefreshCursorLabels() {
    const CDOCScale& scale = Display().scale;
    k1Label_->SetStateText(k1Label_->GetState(), scale.GetCursorStr(0));
    k2Label_->SetStateText(k2Label_->GetState(), scale.GetCursorStr(1));
}

void CPELView::RefreshLegendLines(int first, int last) {
    for (int slot = first; slot <= last; ++slot) {
        CPELButton* line = legend_[static_cast<std::size_t>(slot)];
        line->SetStateText(line->GetState(), Doc().ch[static_cast<std::size_t>(slot)].GetParamLine());
    }
}

void CPELView::LayoutLabels(int flags) {
    CChannel& display = Display();
    CDOCScale& scale = display.scale;
    scale.CalcTicks();
    topOffset_ = 0;
    legendHeight_ = 0;
    if (flags & kShowReadouts) {
        chart_.SetActiveCursor(scale._activeCursorIndex + 1);
        const bool second = scale._activeCursorIndex == 1;
        k1Label_->SetStateText(second ? 1 : 254, scale.GetCursorStr(0));
        k2Label_->SetStateText(second ? 254 : 1, scale.GetCursorStr(1));
        k1Label_->setGeometry(RowRect(kK1));
        k2Label_->setGeometry(RowRect(kK2));
        distanceLabel_->setGeometry(RowRect(kDistance));
        zoomLabel_->setGeometry(RowRect(kZoom));
        captureLabel_->setGeometry(RowRect(kCapture));
        distanceLabel_->SetStateText(1, scale.GetDistanceStr());
        zoomLabel_->SetStateText(1, scale.GetZoomStr());
        captureLabel_->SetStateText(1, QStringLiteral("Захват"));
        chart_.SetCursorPos(1, scale.GetCursorPx(0));
        chart_.SetCursorPos(2, scale.GetCursorPx(1));
        chart_.EnableCursors();
        topOffset_ = kRowHeight;
    }
    chart_.ClearCursorsOnly();

    CPELDoc& doc = Doc();
    for (int slot = kSlots - 1; slot >= 0; --slot) {
        CChannel& channel = doc.ch[static_cast<std::size_t>(slot)];
        CPELButton* line = legend_[static_cast<std::size_t>(slot)];
        const bool shown = channel.state == 254;
        if (shown)
            chart_.ShowSeries(slot);
        else
            chart_.HideSeries(slot);
        if (shown && (flags & kShowLegend)) {
            legendHeight_ += kRowHeight;
            line->setGeometry(QRect(0, height() - legendHeight_, kChartWidth, kRowHeight));
            line->SetStateText(&channel == &display ? 255 : 1, channel.GetParamLine());
        } else {
            line->setGeometry(QRect(0, height() - legendHeight_, kChartWidth, 0));
        }
    }
}

void CPELView::paintEvent(QPaintEvent*) {
    if (!chart_.HasBuffers())
        chart_.CreateBuffers();
    chartRect_ = rect().adjusted(0, topOffset_, 0, -legendHeight_);
    const CDOCScale& scale = Display().scale;
    // The chart renders its grid and labels again only when told of an axis or label change
    // here (or when its rectangle moved, which it sees itself), so a repaint for a new trace
    // only copies the background.
    if (scale.GetPixelsPerTick() != axisStep_ || scale.GetFirstTickColumn() != axisFirstColumn_) {
        axisStep_ = scale.GetPixelsPerTick();
        axisFirstColumn_ = scale.GetFirstTickColumn();
        chart_.SetAxis(axisStep_, chart_.VerticalStep(), axisFirstColumn_);
    }
    if (&scale.GetTickLabels() != axisLabels_ || scale.GetTickLabels() != axisLabelTexts_) {
        axisLabels_ = &scale.GetTickLabels();
        axisLabelTexts_ = scale.GetTickLabels();
        chart_.SetLabels(1, axisLabels_);
    }
    if (chart_.CursorsOnly()) {
        chart_.DrawCursors(chartRect_);
        chart_.ClearCursorsOnly();
    } else {
        chart_.Draw(chartRect_);
    }
    QPainter painter(this);
    painter.drawImage(chartRect_.topLeft(), chart_.Target(), chartRect_);
    if (chartRect_.width() < width())
        painter.fillRect(
            QRect(chartRect_.right() + 1, chartRect_.top(), width() - chartRect_.width(), chartRect_.height()),
            Qt::black);
}

void CPELView::OnUpdate(CView*, long hint, void*) {
    if (hint != hint::kBoardError && hint != hint::kNewTrace)
        return;
    CPELDoc& doc = Doc();
    doc.ch[0].matching.SetIndex(doc.inParams.status1);
    doc.ch[1].matching.SetIndex(doc.inParams.status2);
    RefreshLegendLines(0, 1);
    if (hint == hint::kNewTrace)
        HandleNewTrace();
}

void CPELView::HandleNewTrace() {
    CPELDoc& doc = Doc();
    CChannel& display = Display();
    doc.ch[0].CopyParams(display, false);
    doc.ch[1].CopyParams(display, false);
    for (std::size_t slot = 2; slot < kSlots; ++slot) {
        if (doc.ch[slot].state == 254)
            doc.ch[slot].ExtractPoints(display, 1);
    }
    if (doc.acquisitionMode == 'Y' && doc.view_mode == 254) {
        for (CChannel& channel : doc.ch) {
            if (channel.state == 254)
                channel.MakeDifference(*doc.diffReference);
        }
    }
    if (doc.acquisitionMode == 'L')
        StoreCapture();
    update();
    doc.SetOutParams(doc.acquisitionMode);
    doc.UpdateAllViews(nullptr, hint::kQueueTask);
}

void CPELView::StoreCapture() {
    CPELDoc& doc = Doc();
    KillTimer(kCaptureWatchdogTimer);
    // A reply cut short stores nothing: the samples would be an older trace's. The
    // capture is asked for again a few times before the operator is told.
    const bool complete = doc.inParams.lastTraceBytes == kFullTraceBytes;
    if (!complete && captureAttempts_ < kCaptureAttempts) {
        ++captureAttempts_;
        SetTimer(kCaptureWatchdogTimer, kCaptureWatchdogMs);
        return; // the mode stays 'L': the next task asks for the full trace again
    }
    MainFrame()->GetApp().SetBusy(false);
    doc.acquisitionMode = 'Y';
    if (!complete) {
        platform::MessageBox(QStringLiteral("Рефлектограмма принята не полностью.\nПовторите сохранение."),
                             QStringLiteral("Сохранить рефлектограмму: ошибка"),
                             platform::mb::kOk | platform::mb::kIconStop);
        return;
    }
    CChannel& current = *doc.currentTrace;
    current.ExtractPoints(Display(), 1);
    repaint();
    if (current.SaveTrace(QString::fromLatin1(kSaveFileName)) != 0) {
        platform::MessageBox(platform::ErrorText(platform::LastError()),
                             QStringLiteral("Сохранить рефлектограмму: ошибка"),
                             platform::mb::kOk | platform::mb::kIconStop);
        return;
    }
    doc.UpdateAllViews(nullptr, hint::kCaptureSaved);
}

void CPELView::OnTimer(int id) {
    if (id != kCaptureWatchdogTimer)
        return;
    // The capture never came: give the keys back instead of waiting for ever.
    KillTimer(kCaptureWatchdogTimer);
    CPELDoc& doc = Doc();
    if (doc.acquisitionMode != 'L')
        return;
    doc.acquisitionMode = 'Y';
    MainFrame()->GetApp().SetBusy(false);
    platform::MessageBox(QStringLiteral("Нет ответа от измерительной платы."),
                         QStringLiteral("Сохранить рефлектограмму: ошибка"),
                         platform::mb::kOk | platform::mb::kIconStop);
    RestartAcquisition();
}

void CPELView::RestartAcquisition() {
    CPELDoc& doc = Doc();
    MainFrame()->protocol->Stop();
    doc.UpdateAllViews(nullptr, hint::kQueueReset);
    doc.SetOutParams(doc.acquisitionMode);
    doc.UpdateAllViews(nullptr, hint::kQueueTask);
}
