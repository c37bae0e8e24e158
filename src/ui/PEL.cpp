#include "ui/PEL.h"

#include "device/BatteryView.h"
#include "device/LibraryTransfer.h"
#include "document/PELDoc.h"
#include "document/RealTimeClock.h"
#include "platform/Application.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "platform/Power.h"
#include "platform/Trace.h"
#include "ui/MainFrm.h"
#include "ui/ParamEditors.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {

// The dialog's 125 x 55 dialog units and its button, in pixels.
constexpr int kDialogWidth = 188;
constexpr int kDialogHeight = 90;
constexpr int kButtonId = 1004;

} // namespace

CPowerOffDlg::CPowerOffDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Выключение"));
    setFixedSize(kDialogWidth, kDialogHeight);
    auto* text = new QLabel(QStringLiteral("Подготовка к\nвыключению прибора..."), this);
    text->setGeometry(10, 10, 160, 60);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(kButtonId));
    ok->setGeometry(60, 55, 65, 23);
}

CPELApp::CPELApp(QObject* parent) : QObject(parent) {}

CPELApp::~CPELApp() {
    if (auto* app = qobject_cast<PelApplication*>(QCoreApplication::instance()))
        app->SetKeyFilter(nullptr);
    powerOffDialog_.reset();
    frame_.reset(); // the views and the link go before the document
    doc_.reset();
    if (waitCursor_)
        QApplication::restoreOverrideCursor();
}

bool CPELApp::InitInstance(const QString& homeFolder, const QString& portPath) {
    // The parameters open their on-screen editors through the screen's widgets.
    SetParamEditorFactory(&WidgetParamEditorFactory());
    doc_ = std::make_unique<CPELDoc>(homeFolder);
    // A library import cut by a power cut is finished or undone before anything reads it.
    library_transfer::RepairInterruptedImport(doc_->storageFolder);
    doc_->OnNewDocument();
    frame_ = std::make_unique<CMainFrame>(*this, *doc_);
    if (!frame_->OnCreateClient(portPath))
        return false;
    // The local time comes from the clock chip once every view exists and the link is open.
    RealTimeClock().ReadClock();
    frame_->InitialUpdateFrame();
    powerOffDialog_ = std::make_unique<CPowerOffDlg>(frame_.get());
    connect(powerOffDialog_->findChild<QPushButton*>(QString::number(kButtonId)), &QPushButton::clicked, this,
            &CPELApp::PowerOff);
    if (auto* app = qobject_cast<PelApplication*>(QCoreApplication::instance()))
        app->SetKeyFilter([this](const KeyMessage& message) { return PreTranslateMessage(message); });
    SetBusy(false);
    frame_->show();
    return true;
}

bool CPELApp::PreTranslateMessage(const KeyMessage& message) {
    if (!doc_ || !frame_)
        return false;
    if (message.code >= vk::kA && message.code <= vk::kF) {
        // The keypad driver's battery codes: not the operator's.
        if (frame_->batteryView != nullptr)
            frame_->batteryView->ShowBatteryLevel(message.code);
        return true;
    }
    doc_->idleCounter = 0;
    if (message.type == KeyMessage::KeyDown && message.code == vk::kP && saveOnKey_) {
        doc_->WriteStateFile();
        saveOnKey_ = false;
        return true;
    }
    return !inputEnabled_;
}

void CPELApp::SetBusy(bool busy) {
    inputEnabled_ = !busy;
    if (busy && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (!busy && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

void CPELApp::ShowPowerOffDialog() {
    if (!powerOffDialog_)
        return;
    platform::NoteModalShown();
    powerOffDialog_->exec();
}

void CPELApp::PowerOff() {
    if (tellingPowerOffRefused_)
        return; // the timers keep running under the box: one refusal at a time
    const bool accepted = platform::RequestPowerOff();
    if (powerOffDialog_ && powerOffDialog_->isVisible())
        powerOffDialog_->accept();
    if (accepted)
        return;
    // The instrument stays on: it must stay usable, and the operator must know that it
    // did not switch off. No new request until the idle time has run out again.
    platform::Trace("CPELApp: the power-off was refused, the program keeps running\n");
    if (frame_)
        frame_->KillTimer(CMainFrame::kPowerOffTimer);
    if (doc_)
        doc_->idleCounter = 0;
    // A busy instrument swallows every key, the box's too: its busy period waits for the box.
    const bool busy = !inputEnabled_;
    SetBusy(false);
    tellingPowerOffRefused_ = true;
    platform::MessageBox(QStringLiteral("Не удалось выключить прибор."), QStringLiteral("Выключение: ошибка"),
                         platform::mb::kOk | platform::mb::kIconStop);
    tellingPowerOffRefused_ = false;
    SetBusy(busy);
}
