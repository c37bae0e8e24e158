#include "library/StatisticsView.h"

#include "device/EnterChar.h"
#include "document/PELDoc.h"
#include "library/MyListCtrl.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "ui/BtnsView.h"
#include "ui/MainFrm.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QResizeEvent>

#include <array>
#include <cerrno>

namespace statistics_view {

namespace {

const char* const kDefaultPrefix = "РЕФЛ";
const char* const kStoredKeyTitle = "РФГ из файла\n\n";
const char* const kEllipsis = "...";

} // namespace

QString StoredKeyCaption(const QString& fileName) {
    const QString shown =
        fileName.size() > kStoredNameLength ? fileName.left(kStoredNameLength) + QLatin1String(kEllipsis) : fileName;
    return QString::fromUtf8(kStoredKeyTitle) + shown;
}

QString ProposedName(const QString& prefix, int listedFiles) {
    if (prefix == QString::fromUtf8(kDefaultPrefix))
        return prefix + QString::number(listedFiles);
    return prefix;
}

bool IsAcceptableName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(kSaveName) && !name.contains(QLatin1Char('/'));
}

QString NextNameInSeries(const QString& name) {
    qsizetype stemLength = name.size();
    while (stemLength > 0 && name[stemLength - 1].isDigit())
        --stemLength;
    bool numbered = false;
    const qulonglong number = name.mid(stemLength).toULongLong(&numbered);
    if (!numbered)
        return name + QLatin1Char('2');
    return name.left(stemLength) + QString::number(number + 1);
}

} // namespace statistics_view

namespace {

using namespace statistics_view;

const char* const kNoFile = "xxx";
const char* const kTitle = "БИБЛИОТЕКА РФГ";
constexpr const char* kDeleteSelectedLabel = "Удалить\nвыделенную";
constexpr const char* kDeleteAllLabel = "Удалить\nвсе";
const char* const kDeleteSelectedQuestion = "Удалить ВЫДЕЛЕННУЮ рефлектограмму из памяти?";
const char* const kDeleteAllQuestion = "Удалить ВСЕ рефлектограммы из памяти?";
const char* const kOverwriteQuestion =
    "Рефлектограмма с таким именем уже существует.\nПри сохранении новой рефлектограммы "
    "предыдущая будет потеряна.\nПродолжить сохранение?";
const char* const kSaveErrorCaption = "Сохранить рефлектограмму: ошибка";
const char* const kDamagedFile = "Файл рефлектограммы повреждён.";

constexpr int kF3 = vk::kF1 + 2;
constexpr int kF4 = vk::kF1 + 3;
constexpr int kFirstStoredSlot = reflectogram_list::kFirstStoredSlot;
constexpr int kLastStoredSlot = kFirstStoredSlot + reflectogram_list::kStoredSlots - 1;
constexpr int kLineSlots = 2;
// How far a series is searched for a free name before a recording is left unnamed.
constexpr int kFreeNameAttempts = 1000;
// The lines' keys show one centred line: the empty first line of the label is dropped.
constexpr std::uint32_t kLineKeyFormat = button_format::kCenter | button_format::kVerticalCenter;

struct SoftKey {
    const char* label;
    int state;
};

// F1-F5 while the library is shown.
constexpr std::array<SoftKey, CBtnsPanel::kKeys> kHorizontalKeys = {{
    {"", button_state::kDisabled},
    {"", button_state::kDisabled},
    {kDeleteSelectedLabel, button_state::kNormal},
    {kDeleteAllLabel, button_state::kNormal},
    {"<< ВЫХОД >>", button_state::kNormal},
}};

// F6, F7: the lines.
constexpr std::array<const char*, kLineSlots> kLineLabels = {"\nКанал Л1", "\nКанал Л2"};

// F6-F10 pressed (and marked) look like the traces they stand for.
struct KeyColors {
    std::uint32_t back;
    std::uint32_t text;
};
constexpr std::uint32_t kKeyFrame = 0x000000;
constexpr std::array<KeyColors, CBtnsPanel::kKeys> kSlotKeyColors = {{
    {0xC80000, 0xFFFF00},
    {0x00C800, 0xFFFF00},
    {0x0000C8, 0xFFFF00},
    {0x0099FF, 0xFFFF00},
    {0xC800C8, 0xFFFF00},
}};

bool IsHorizontalKey(int code) {
    return code >= vk::kF1 && code <= vk::kF5;
}

bool IsVerticalKey(int code) {
    return code >= vk::kF6 && code <= vk::kF10;
}

QString NoFile() {
    return QString::fromLatin1(kNoFile);
}

QString FileOf(const QString& folder, const QString& name) {
    return folder + name + QString::fromLatin1(reflectogram_list::kExtension);
}

} // namespace

CStatisticsView::CStatisticsView(QWidget* parent) : CFormView(parent), list_(new CMyListCtrl(this)) {
    // Whoever gives the library the focus gives it to the list.
    setFocusProxy(list_);
}

CStatisticsView::~CStatisticsView() = default;

CEnterChar* CStatisticsView::Editor() const {
    return editor_.data();
}

CPELDoc& CStatisticsView::Doc() const {
    return *static_cast<CPELDoc*>(GetDocument());
}

// --- lifecycle and layout -----------------------------------------------------

void CStatisticsView::OnInitialUpdate() {
    list_->InitColumns();
    // A recording saved but never named, when the instrument went off meanwhile.
    const QString leftover = FileOf(Doc().storageFolder, QLatin1String(kSaveName));
    if (platform::FileExists(leftover))
        platform::DeleteFile(leftover);
    list_->FillList(&Doc());
    ready_ = true;
    LayoutList();
}

void CStatisticsView::resizeEvent(QResizeEvent* event) {
    CFormView::resizeEvent(event);
    if (ready_)
        LayoutList();
}

void CStatisticsView::LayoutList() {
    list_->setGeometry(rect());
    list_->ApplyColumnWidths();
}

void CStatisticsView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    CMainFrame* frame = MainFrame();
    if (!activate) {
        if (editor_ != nullptr)
            KeepUnnamedRecording();
        DestroyEditor();
        frame->pelView->LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
        for (int line = 0; line < kLineSlots; ++line)
            frame->btnsV->GetButton(line)->SetFormat(button_format::kDefault);
    } else if (deactivated != nullptr) {
        if (deactivated == static_cast<CView*>(frame->tableView) || deactivated == static_cast<CView*>(frame->pelView))
            returnView_ = dynamic_cast<CFormView*>(deactivated);
        frame->pelView->LayoutLabels(CPELView::kShowReadouts);
        list_->SetVelocityHeader(VelocityModeLabel());
        list_->FillList(&Doc());
        list_->setFocus();
        frame->statusView->SetTitle(QString::fromUtf8(kTitle));
        LabelSoftKeys();
        EmptyHiddenSlots();
        RefreshStoredKeys();
        RefreshPreview();
    }
    CFormView::OnActivateView(activate, activated, deactivated);
}

void CStatisticsView::LabelSoftKeys() {
    CMainFrame* frame = MainFrame();
    CPELDoc& doc = Doc();
    for (int i = 0; i < CBtnsPanel::kKeys; ++i) {
        const SoftKey& key = kHorizontalKeys[static_cast<std::size_t>(i)];
        frame->btnsH->GetButton(i)->SetStateText(key.state, QString::fromUtf8(key.label));
    }
    for (int slot = 0; slot < CBtnsPanel::kKeys; ++slot) {
        CPELButton* key = frame->btnsV->GetButton(slot);
        const KeyColors& colors = kSlotKeyColors[static_cast<std::size_t>(slot)];
        key->SetSelectedColors(colors.back, colors.text, kKeyFrame);
        key->SetMarkedColors(colors.back, colors.text, kKeyFrame);
        const std::int32_t state = doc.ch[static_cast<std::size_t>(slot)].state;
        if (slot < kLineSlots) {
            key->SetFormat(kLineKeyFormat);
            key->SetStateText(state, QString::fromUtf8(kLineLabels[static_cast<std::size_t>(slot)]));
        } else {
            key->SetStateText(state, StoredKeyCaption(list_->SlotName(slot)));
        }
    }
}

void CStatisticsView::EmptyHiddenSlots() {
    CPELDoc& doc = Doc();
    for (int slot = kFirstStoredSlot; slot <= kLastStoredSlot; ++slot) {
        if (doc.ch[static_cast<std::size_t>(slot)].state == slot_state::kShown)
            continue;
        list_->SetSlotName(slot, NoFile());
        doc.SetChannelState(slot, slot_state::kHidden);
    }
}

void CStatisticsView::ForgetUnlistedSlots() {
    for (int slot = kFirstStoredSlot; slot <= kLastStoredSlot; ++slot) {
        if (list_->FindItem(list_->SlotName(slot)) >= 0)
            continue;
        list_->SetSlotName(slot, NoFile());
        Doc().SetChannelState(slot, slot_state::kHidden);
    }
}

void CStatisticsView::RefreshStoredKeys() {
    CMainFrame* frame = MainFrame();
    CPELDoc& doc = Doc();
    if (list_->GetItemCount() == 0) {
        for (int slot = kFirstStoredSlot; slot <= kLastStoredSlot; ++slot)
            doc.SetChannelState(slot, slot_state::kAbsent);
        frame->btnsH->ButtonForKey(kF3)->SetStateText(button_state::kDisabled, QString::fromUtf8(kDeleteSelectedLabel));
        frame->btnsH->ButtonForKey(kF4)->SetStateText(button_state::kDisabled, QString::fromUtf8(kDeleteAllLabel));
    }
    for (int slot = kFirstStoredSlot; slot <= kLastStoredSlot; ++slot)
        frame->btnsV->GetButton(slot)->SetStateText(doc.ch[static_cast<std::size_t>(slot)].state,
                                                    StoredKeyCaption(list_->SlotName(slot)));
    MarkCurrentTraceKey();
    list_->viewport()->update();
}

void CStatisticsView::MarkCurrentTraceKey() {
    const CChannel* current = Doc().currentTrace;
    if (current == nullptr || current->state != slot_state::kShown)
        return;
    if (CPELButton* key = MainFrame()->btnsV->GetButton(current->number))
        key->SetState(button_state::kMarked);
}

void CStatisticsView::RefreshPreview() {
    CPELView* preview = MainFrame()->pelView;
    preview->LayoutLabels(CPELView::kShowReadouts);
    preview->update();
}

// --- keys -------------------------------------------------------------------

bool CStatisticsView::PreTranslateMessage(const KeyMessage& message) {
    // Enter is the library's, even while the name editor has the focus.
    if (message.type != KeyMessage::KeyDown || message.code != vk::kEnter)
        return false;
    OnKeyDown(message.code, message.repeat);
    return true;
}

void CStatisticsView::OnKeyDown(int code, bool) {
    CMainFrame* frame = MainFrame();
    // A held key acts once.
    if (frame->pelView->keyRepeat++ > 1)
        return;
    if (code == vk::kEnter) {
        if (editor_ != nullptr)
            return;
        code = vk::kF5;
    }
    if (IsHorizontalKey(code)) {
        CPELButton* key = frame->btnsH->ButtonForKey(code);
        if (key->GetState() != button_state::kDisabled)
            key->SetState(button_state::kSelected);
    } else if (IsVerticalKey(code)) {
        CPELButton* key = frame->btnsV->ButtonForKey(code);
        if (key->GetState() == button_state::kNormal)
            key->SetState(button_state::kSelected);
        else if (key->GetState() == button_state::kSelected)
            key->SetState(button_state::kNormal);
    }
}

void CStatisticsView::OnKeyUp(int code) {
    CMainFrame* frame = MainFrame();
    frame->pelView->keyRepeat = 1;
    if (code == vk::kEnter) {
        if (editor_ != nullptr) {
            CommitName();
            return;
        }
        code = vk::kF5;
    }
    if (IsHorizontalKey(code)) {
        CPELButton* key = frame->btnsH->ButtonForKey(code);
        if (key->GetState() == button_state::kDisabled)
            return;
        RunHorizontalKey(code);
        if (key->GetState() != button_state::kDisabled)
            key->SetState(button_state::kNormal);
    } else if (IsVerticalKey(code)) {
        CPELButton* key = frame->btnsV->ButtonForKey(code);
        if (key->GetState() != button_state::kDisabled)
            RunVerticalKey(code, key);
    }
}

void CStatisticsView::RunHorizontalKey(int code) {
    switch (code) {
    case kF3:
        DeleteSelected();
        break;
    case kF4:
        DeleteAll();
        break;
    case vk::kF5:
        ReturnToPreviousView();
        break;
    default:
        break;
    }
}

void CStatisticsView::RunVerticalKey(int code, CPELButton* key) {
    // The current trace's key stays as it is: the trace on which the screen is based
    // cannot be hidden or emptied from here.
    if (key->GetState() == button_state::kMarked)
        return;
    const int slot = code - vk::kF6;
    if (slot < kLineSlots)
        ToggleLine(slot, *key);
    else
        ToggleStored(slot, *key);
}

void CStatisticsView::ToggleLine(int slot, const CPELButton& key) {
    Doc().SetChannelState(slot, key.GetState());
    RefreshPreview();
}

void CStatisticsView::ToggleStored(int slot, const CPELButton& key) {
    std::int32_t state = key.GetState();
    if (state == slot_state::kShown) {
        if (!LoadIntoSlot(slot))
            state = slot_state::kHidden;
    } else {
        list_->SetSlotName(slot, NoFile());
    }
    Doc().SetChannelState(slot, state);
    RefreshPreview();
    RefreshStoredKeys();
}

bool CStatisticsView::LoadIntoSlot(int slot) {
    CPELDoc& doc = Doc();
    const QString name = list_->SelectedName();
    list_->SetSlotName(slot, name);
    const std::int32_t result =
        doc.ch[static_cast<std::size_t>(slot)].LoadTrace(name + QString::fromLatin1(reflectogram_list::kExtension));
    if (result == 0)
        return true;
    // A slot that could not be loaded is empty, never shown with an earlier file's points.
    const int error = platform::LastError();
    list_->SetSlotName(slot, NoFile());
    constexpr std::int32_t kDamaged = 3;
    const QString text = result == kDamaged ? QString::fromUtf8(kDamagedFile) : platform::ErrorText(error);
    platform::MessageBox(text, QString(), platform::mb::kOk | platform::mb::kIconStop);
    list_->FillList(&doc); // a file that has gone leaves the list
    return false;
}

void CStatisticsView::DeleteSelected() {
    if (platform::MessageBox(QString::fromUtf8(kDeleteSelectedQuestion), QString(),
                             platform::mb::kOkCancel | platform::mb::kIconQuestion) != platform::mb::kIdOk)
        return;
    const QString name = list_->SelectedName();
    const int index = list_->FindItem(name);
    if (index >= 0) {
        // The row goes with its file; a file that could not be deleted stays listed.
        const QString path = FileOf(Doc().storageFolder, name);
        if (platform::DeleteFile(path) || !platform::FileExists(path))
            list_->DeleteItem(index);
    }
    ForgetUnlistedSlots();
    RefreshStoredKeys();
    RefreshPreview();
}

void CStatisticsView::DeleteAll() {
    if (platform::MessageBox(QString::fromUtf8(kDeleteAllQuestion), QString(),
                             platform::mb::kOkCancel | platform::mb::kIconQuestion) != platform::mb::kIdOk)
        return;
    Doc().DeleteAllStored();
    list_->DeleteAllItems();
    list_->FillList(&Doc()); // normally empty now; whatever could not be deleted stays listed
    ForgetUnlistedSlots();
    RefreshStoredKeys();
    RefreshPreview();
}

void CStatisticsView::ReturnToPreviousView() {
    CMainFrame* frame = MainFrame();
    frame->SetActiveViewPEL(returnView_ != nullptr ? returnView_ : frame->pelView, true);
}

// --- naming a new recording ---------------------------------------------------

void CStatisticsView::OnUpdate(CView*, long hint, void*) {
    if (hint == hint::kCaptureSaved)
        NameNewRecording();
}

void CStatisticsView::NameNewRecording() {
    list_->FillList(&Doc());
    MainFrame()->SetActiveViewPEL(this, true);
    proposedName_ = ProposedName(Doc().fileName.GetStr(), list_->GetItemCount());
    OpenNameEditor(proposedName_);
}

bool CStatisticsView::OpenNameEditor(const QString& text) {
    DestroyEditor();
    const int index = list_->FindItem(QLatin1String(kSaveName));
    if (index < 0)
        return false;
    LayoutList();
    list_->ScrollToItem(index);
    QRect rect = list_->ItemRect(index).translated(list_->pos());
    rect.setLeft(rect.left() + kEditorIndent);
    auto* editor = new CEnterChar;
    editor_ = editor;
    editor->Create(rect, this, kEditorId, text); // the view owns it from here
    return true;
}

void CStatisticsView::DestroyEditor() {
    delete editor_.data();
}

void CStatisticsView::CommitName() {
    const QString name = editor_->text();
    DestroyEditor();
    if (!IsAcceptableName(name)) {
        if (!OpenNameEditor(name))
            FinishNaming();
        return;
    }
    const bool exists = platform::FileExists(FileOf(Doc().storageFolder, name));
    if (exists) {
        if (platform::MessageBox(QString::fromUtf8(kOverwriteQuestion), QString(),
                                 platform::mb::kOkCancel | platform::mb::kIconQuestion) != platform::mb::kIdOk) {
            if (!OpenNameEditor(name))
                FinishNaming();
            return;
        }
    }
    // The old file goes only by the new one taking its name: never neither of them.
    if (!StoreUnderName(name, exists ? Naming::kReplace : Naming::kKeepExisting)) {
        platform::MessageBox(platform::ErrorText(platform::LastError()), QString::fromUtf8(kSaveErrorCaption),
                             platform::mb::kOk | platform::mb::kIconStop);
        list_->FillList(&Doc());
        if (!OpenNameEditor(name))
            FinishNaming();
        return;
    }
    FinishNaming();
}

bool CStatisticsView::StoreUnderName(const QString& name, Naming naming) {
    const QString& folder = Doc().storageFolder;
    const QString recording = FileOf(folder, QLatin1String(kSaveName));
    const bool stored = naming == Naming::kReplace ? platform::ReplaceFile(recording, FileOf(folder, name))
                                                   : platform::RenameFile(recording, FileOf(folder, name));
    if (!stored)
        return false;
    list_->SetItemName(list_->FindItem(QLatin1String(kSaveName)), name);
    list_->SetSelectedName(name);
    list_->FillList(&Doc());
    return true;
}

void CStatisticsView::KeepUnnamedRecording() {
    // The library is left while the recording waits for its name (the charger's screen
    // takes over, say). The operator has not given it up: it keeps the proposed name, or
    // the next free one in its series, never taking an existing file's place.
    QString name = proposedName_;
    for (int attempt = 0; attempt < kFreeNameAttempts; ++attempt, name = NextNameInSeries(name)) {
        if (!IsAcceptableName(name))
            continue;
        if (StoreUnderName(name, Naming::kKeepExisting) || platform::LastError() != EEXIST)
            return;
    }
}

void CStatisticsView::FinishNaming() {
    CMainFrame* frame = MainFrame();
    CPELDoc& doc = Doc();
    for (int slot = kFirstStoredSlot; slot <= kLastStoredSlot; ++slot)
        doc.SetChannelState(slot, slot_state::kHidden);
    frame->btnsH->ButtonForKey(kF3)->SetStateText(button_state::kNormal, QString::fromUtf8(kDeleteSelectedLabel));
    frame->btnsH->ButtonForKey(kF4)->SetStateText(button_state::kNormal, QString::fromUtf8(kDeleteAllLabel));
    frame->SetActiveViewPEL(this, true);
}
