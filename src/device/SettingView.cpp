#include "device/SettingView.h"

#include "device/FolderSelectDialog.h"
#include "device/LibraryTransfer.h"
#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <array>

namespace {

namespace transfer = library_transfer;

constexpr std::array<const char*, CSettingView::kRows> kRowNames{
    "Скорость распространения", "Календарь", "Автоотключение прибора", "Имя файла по умолчанию",
    "Тип источника питания",
};

struct ColumnLayout {
    const char* header;
    Qt::Alignment alignment;
};
constexpr std::array<ColumnLayout, CSettingListCtrl::kColumns> kColumnLayouts{{
    {" ", Qt::AlignLeft | Qt::AlignVCenter},
    {" ", Qt::AlignCenter},
    {" ", Qt::AlignCenter},
}};

struct SoftKeyRow {
    const char* label;
    int state;
};
// F1 to F10.
constexpr std::array<SoftKeyRow, 10> kSoftKeys{{
    {"Редактировать", button_state::kNormal},
    {"", button_state::kDisabled},
    {"", button_state::kDisabled},
    {"", button_state::kDisabled},
    {"<< ВЫХОД >>", button_state::kNormal},
    {"Экспорт\nбиблиотеки\nРФГ", button_state::kNormal},
    {"Импорт\nбиблиотеки\nРФГ", button_state::kNormal},
    {"Экспорт\nбиблиотеки\nКУ", button_state::kNormal},
    {"Импорт\nбиблиотеки\nКУ", button_state::kNormal},
    {"", button_state::kDisabled},
}};
constexpr int kEditKey = vk::kF1;
constexpr int kExitKey = vk::kF5;
constexpr int kExportReflectogramsKey = vk::kF6;
constexpr int kImportReflectogramsKey = vk::kF6 + 1;
constexpr int kExportVelocitiesKey = vk::kF6 + 2;
constexpr int kImportVelocitiesKey = vk::kF6 + 3;

// Only the first key-down after a key-up acts (the measurement view's counter).
constexpr int kFirstRepeats = 2;

void Tell(const char* text, const char* caption) {
    platform::MessageBox(QString::fromUtf8(text), QString::fromUtf8(caption), platform::mb::kOk);
}

// An import that changed nothing says so under its reason.
void TellLibraryKept(const QString& reason, const char* caption) {
    platform::MessageBox(reason + QLatin1Char('\n') + QString::fromUtf8(transfer::kLibraryKeptText),
                         QString::fromUtf8(caption), platform::mb::kOk);
}

} // namespace

CSettingView::CSettingView(QWidget* parent) : CFormView(parent), list_(new CSettingListCtrl(this)) {
    // The frame gives the view the focus on activation; the keys belong to the list.
    setFocusProxy(list_);
}

CSettingView::~CSettingView() = default;

CPELDoc& CSettingView::Doc() const {
    return *static_cast<CPELDoc*>(GetDocument());
}

CDOCParam* CSettingView::GetSetting(int row) const {
    return row >= 0 && row < static_cast<int>(settings_.size()) ? settings_[static_cast<std::size_t>(row)] : nullptr;
}

bool CSettingView::IsEditingCurrent() const {
    const CDOCParam* setting = GetSetting(list_->GetCurrentRow());
    return setting != nullptr && setting->IsEditing();
}

void CSettingView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    CPELDoc& doc = Doc();
    settings_ = {&doc.speed, &doc.clock, &doc.autoStop, &doc.fileName, &doc.adapter};

    list_->SetExtendedStyle(CSettingListCtrl::kGridLines | CSettingListCtrl::kFullRowSelect);
    list_->SetRowHeight(kRowHeight);
    for (int column = 0; column < CSettingListCtrl::kColumns; ++column) {
        const ColumnLayout& layout = kColumnLayouts[static_cast<std::size_t>(column)];
        list_->InsertColumn(column, QString::fromUtf8(layout.header), layout.alignment);
    }
    for (int row = 0; row < kRows; ++row) {
        list_->InsertItem(row, QStringLiteral(" "));
        list_->SetItemText(row, CSettingListCtrl::kNameColumn,
                           QString::fromUtf8(kRowNames[static_cast<std::size_t>(row)]));
        list_->SetItemText(row, CSettingListCtrl::kValueColumn, GetSetting(row)->GetStr());
    }
    list_->SetRowCount(kRows);
    list_->SetCurrentRow(0);
    laidOut_ = true;
    OnSize();
}

void CSettingView::OnUpdate(CView*, long hint, void*) {
    if (hint == hint::kClockTick && laidOut_)
        list_->SetItemText(kClockRow, CSettingListCtrl::kValueColumn, Doc().clock.GetStr());
}

void CSettingView::resizeEvent(QResizeEvent* event) {
    CFormView::resizeEvent(event);
    OnSize();
}

void CSettingView::OnSize() {
    if (laidOut_)
        list_->setGeometry(rect()); // the list sets its column widths itself
}

// --- activation -------------------------------------------------------------

void CSettingView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    CMainFrame* frame = MainFrame();
    if (activate) {
        keyDownSeen = false;
        if (deactivated != nullptr && (deactivated == static_cast<CView*>(frame->pelView) ||
                                       deactivated == static_cast<CView*>(frame->tableView)))
            returnView_ = dynamic_cast<CFormView*>(deactivated);
        if (frame->protocol != nullptr)
            frame->protocol->Stop();
        Doc().UpdateAllViews(nullptr, hint::kQueueReset);
        list_->setFocus(Qt::OtherFocusReason);
        frame->statusView->SetTitle(QString::fromUtf8(kTitle));
        LabelSoftKeys();
    } else {
        // Only Enter takes an edited value. A view forced forward (the charging screen)
        // cancels the edit: a clock edit would set the clock back to the time it began,
        // and a power supply would be chosen without its warning.
        if (CDOCParam* setting = GetSetting(list_->GetCurrentRow()); setting != nullptr && setting->IsEditing())
            setting->CancelEdit();
        Doc().UpdateAllViews(nullptr, hint::kQueueTask);
    }
    CFormView::OnActivateView(activate, activated, deactivated);
}

void CSettingView::LabelSoftKeys() {
    for (int code = vk::kF1; code <= vk::kF10; ++code) {
        CPELButton* key = FrameSoftKey(code);
        if (key == nullptr)
            continue;
        if (code >= vk::kF6)
            UseModeKeyColors(*key);
        const SoftKeyRow& row = kSoftKeys[static_cast<std::size_t>(code - vk::kF1)];
        key->SetStateText(row.state, QString::fromUtf8(row.label));
    }
}

// --- keys -------------------------------------------------------------------

bool CSettingView::PreTranslateMessage(const KeyMessage& message) {
    if (message.type == KeyMessage::KeyDown && message.code == vk::kEnter) {
        OnKeyDown(vk::kEnter, message.repeat);
        return true;
    }
    return false;
}

void CSettingView::OnKeyDown(int code, bool) {
    keyDownSeen = true;
    int& keyRepeat = MainFrame()->pelView->keyRepeat;
    if (keyRepeat++ >= kFirstRepeats)
        return;
    // While an editor is open the soft keys are its own (it blanks their captions).
    if (IsEditingCurrent())
        return;
    if (code == vk::kEnter)
        code = kExitKey;
    CPELButton* key = FrameSoftKey(code);
    if (key == nullptr)
        return;
    ShowSoftKeyPressed(*key, code);
}

void CSettingView::OnKeyUp(int code) {
    MainFrame()->pelView->keyRepeat = 1;
    if (!keyDownSeen)
        return;
    keyDownSeen = false;
    if (IsEditingCurrent()) {
        if (code == vk::kEnter)
            EndEditCurrent();
        return;
    }
    if (code == vk::kEnter)
        code = kExitKey;
    const CPELButton* key = FrameSoftKey(code);
    if (key != nullptr && key->GetState() != button_state::kDisabled)
        RunSoftKey(code);
}

void CSettingView::RunSoftKey(int code) {
    switch (code) {
    case kEditKey:
        BeginEditCurrent();
        return;
    case kExitKey:
        SaveAndLeave();
        return;
    case kExportReflectogramsKey:
        ExportReflectogramLibrary();
        break;
    case kImportReflectogramsKey:
        ImportReflectogramLibrary();
        break;
    case kExportVelocitiesKey:
        ExportVelocityLibrary();
        break;
    case kImportVelocitiesKey:
        ImportVelocityLibrary();
        break;
    default:
        return;
    }
    // The pressed key comes back up once its transfer is over.
    if (MainFrame()->GetActiveView() == this)
        LabelSoftKeys();
}

// --- editing ----------------------------------------------------------------

void CSettingView::BeginEditCurrent() {
    const int row = list_->GetCurrentRow();
    CDOCParam* setting = GetSetting(row);
    if (setting == nullptr)
        return;
    const QRect cell = list_->GetSubItemRect(row, CSettingListCtrl::kValueColumn);
    const QRect rect(list_->viewport()->mapTo(this, cell.topLeft()), cell.size());
    setting->BeginEdit(0, rect, this, kEditorId);
    if (!setting->IsEditing())
        LabelSoftKeys(); // no editor for it: F1 comes back up
}

void CSettingView::EndEditCurrent() {
    const int row = list_->GetCurrentRow();
    CDOCParam* setting = GetSetting(row);
    if (setting == nullptr)
        return;
    setting->EndEdit();
    list_->SetItemText(row, CSettingListCtrl::kValueColumn, setting->GetStr());
    if (setting == &Doc().adapter && setting->GetIndex() == kExternalAdapterIndex)
        platform::MessageBox(QString::fromUtf8(kAdapterWarning), QString::fromUtf8(kAdapterWarningCaption),
                             platform::mb::kOk | platform::mb::kIconExclamation);
    // Title and soft keys come back as the editor found them.
    OnActivateView(true, this, this);
}

void CSettingView::SaveAndLeave() {
    CMainFrame* frame = MainFrame();
    CPELApp& app = frame->GetApp();
    app.SetBusy(true);
    if (!Doc().WriteStateFile()) {
        const int error = platform::LastError();
        // Told while the settings are still on screen, and not while busy (a busy instrument
        // swallows the key that closes the box). The view is left all the same: the settings
        // hold for this run, and a disk that cannot take them must not keep the operator here.
        app.SetBusy(false);
        platform::MessageBox(platform::ErrorText(error), QStringLiteral("Сохранить настройки: ошибка"),
                             platform::mb::kOk | platform::mb::kIconStop);
        app.SetBusy(true);
    }
    frame->SetActiveViewPEL(returnView_ != nullptr ? returnView_ : frame->pelView, true);
    app.SetBusy(false);
}

// --- library transfers ------------------------------------------------------

void CSettingView::ExportReflectogramLibrary() {
    ExportLibrary(transfer::Reflectograms());
}

void CSettingView::ImportReflectogramLibrary() {
    ImportLibrary(transfer::Reflectograms());
}

void CSettingView::ExportVelocityLibrary() {
    ExportLibrary(transfer::Velocities());
}

void CSettingView::ImportVelocityLibrary() {
    ImportLibrary(transfer::Velocities());
}

// Messages come after the busy state ends: a busy instrument swallows the keys that
// would close them.
bool CSettingView::ExportLibrary(const transfer::LibraryKind& kind) {
    if (!transfer::UsbDrivePresent()) {
        Tell(transfer::kNoDriveText, kind.exportCaption);
        return false;
    }
    CPELApp& app = MainFrame()->GetApp();
    app.SetBusy(true);
    const transfer::Outcome outcome = transfer::ExportLibrary(kind, Doc().storageFolder, platform::LocalNow());
    app.SetBusy(false);
    switch (outcome.result) {
    case transfer::Outcome::kDone:
        platform::MessageBox(QString::fromUtf8(kind.exportSuccess) + outcome.destination,
                             QString::fromUtf8(kind.exportCaption), platform::mb::kOk);
        return true;
    case transfer::Outcome::kNoSpace:
        Tell(transfer::kNoSpaceText, kind.exportErrorCaption);
        break;
    case transfer::Outcome::kFailed:
    case transfer::Outcome::kNothingUsable:
        platform::MessageBox(platform::ErrorText(outcome.error), QString::fromUtf8(kind.exportErrorCaption),
                             platform::mb::kOk);
        break;
    }
    return false;
}

void CSettingView::ImportLibrary(const transfer::LibraryKind& kind) {
    CFolderSelectDialog dialog(window(), transfer::ExportBaseFolder(), QString::fromUtf8(kind.folderFilter));
    if (dialog.DoModal() != CFolderSelectDialog::kIdOk || importFolder.isEmpty())
        return;
    if (transfer::ImportableFiles(kind, importFolder) == 0) {
        Tell(transfer::kNothingToImportText, kind.importCaption);
        return;
    }
    // The operator asked for a copy of the library before it is replaced: without the
    // copy there is no replacing.
    if (platform::MessageBox(QString::fromUtf8(transfer::kOverwriteQuestion),
                             QString::fromUtf8(transfer::kOverwriteCaption),
                             platform::mb::kOkCancel | platform::mb::kIconQuestion) == platform::mb::kIdOk &&
        !ExportLibrary(kind)) {
        TellLibraryKept(QString::fromUtf8(transfer::kExportFirstFailedText), kind.importErrorCaption);
        return;
    }

    CPELApp& app = MainFrame()->GetApp();
    app.SetBusy(true);
    const transfer::Outcome outcome = transfer::ImportLibrary(kind, importFolder, Doc().storageFolder);
    app.SetBusy(false);
    const QString refused = QString::fromUtf8(transfer::kRefusedFormat).arg(outcome.refused);
    switch (outcome.result) {
    case transfer::Outcome::kDone:
        platform::MessageBox(QString::fromUtf8(kind.importSuccess) + QLatin1Char('\n') +
                                 QString::fromUtf8(transfer::kTakenFormat).arg(outcome.taken).arg(outcome.refused),
                             QString::fromUtf8(kind.importCaption), platform::mb::kOk);
        break;
    case transfer::Outcome::kNoSpace:
        TellLibraryKept(QString::fromUtf8(transfer::kNoSpaceText), kind.importErrorCaption);
        break;
    case transfer::Outcome::kFailed:
        TellLibraryKept(platform::ErrorText(outcome.error), kind.importErrorCaption);
        break;
    case transfer::Outcome::kNothingUsable:
        TellLibraryKept(QString::fromUtf8(transfer::kNothingToImportText) +
                            (outcome.refused > 0 ? QLatin1Char('\n') + refused : QString()),
                        kind.importErrorCaption);
        break;
    }
}
