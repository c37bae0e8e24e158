#include "library/LinesView.h"

#include "device/EnterChar.h"
#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "ui/BaseDoubleScrollBar.h"
#include "ui/BtnsView.h"
#include "ui/Colors.h"
#include "ui/MainFrm.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QPainter>

#include <array>

namespace {

// The two presentations of the one table, by velocity display mode.
struct Presentation {
    const char* title;
    const char* addLabel;
    const char* confirmation; // %s: the value as the list shows it
    const char* noValue;      // F6 on a row whose file line holds no usable value
};
constexpr std::array<Presentation, 2> kPresentations{{
    {"БИБЛИОТЕКА КУ", "\nДобавить КУ\nв библиотеку", "Вы хотите установить КУ = %s ?",
     "Значение КУ в этой строке неверно.\nКУ не изменён."},
    {"БИБЛИОТЕКА V/2", "\nДобавить V/2\nв библиотеку", "Вы хотите установить V/2 = %s ?",
     "Значение V/2 в этой строке неверно.\nV/2 не изменена."},
}};

const Presentation& CurrentPresentation() {
    return kPresentations[VelocityDisplayMode() == 1 ? 1 : 0];
}

// When a soft key works.
enum class Enabled { Never, Always, WithRows };
struct SoftKeyRow {
    const char* label; // null: the add label of the presentation
    Enabled enabled;
};
// F1 to F10.
constexpr std::array<SoftKeyRow, 10> kSoftKeys{{
    {"", Enabled::Never},
    {"", Enabled::Never},
    {"Удалить\nвыделенную", Enabled::WithRows},
    {"Удалить\nвсе", Enabled::WithRows},
    {"<< ВЫХОД >>", Enabled::Always},
    {"\nУстановить", Enabled::WithRows},
    {"", Enabled::Never},
    {nullptr, Enabled::Always},
    {"", Enabled::Never},
    {"", Enabled::Never},
}};
constexpr int kDeleteSelectedKey = vk::kF1 + 2;
constexpr int kDeleteAllKey = vk::kF1 + 3;
constexpr int kExitKey = vk::kF5;
constexpr int kApplyKey = vk::kF6;
constexpr int kAddKey = vk::kF6 + 2;

constexpr std::uint32_t kBackground = 0x000000;

const char* const kDeleteSelectedQuestion = "Удалить ВЫДЕЛЕННУЮ строку из таблицы?";
const char* const kDeleteAllQuestion = "Удалить ВСЕ строки из таблицы?";

// The value editor lies in the value cell, its arrows at both ends.
constexpr std::uint32_t kValueEditorStyle = 0;

bool Confirmed(const QString& question) {
    return platform::MessageBox(question, QString(), platform::mb::kOkCancel | platform::mb::kIconQuestion) ==
           platform::mb::kIdOk;
}

int StateFor(Enabled enabled, bool hasRows) {
    switch (enabled) {
    case Enabled::Always:
        return button_state::kNormal;
    case Enabled::WithRows:
        return hasRows ? button_state::kNormal : button_state::kDisabled;
    case Enabled::Never:
        break;
    }
    return button_state::kDisabled;
}

QString LabelFor(const SoftKeyRow& row) {
    return QString::fromUtf8(row.label != nullptr ? row.label : CurrentPresentation().addLabel);
}

} // namespace

CLinesView::CLinesView(QWidget* parent) : CFormView(parent), table_(new CKUListCtrl(this)) {
    // The frame gives the view the focus on activation; the keys belong to the list.
    setFocusProxy(table_);
}

CLinesView::~CLinesView() = default;

CPELDoc& CLinesView::Doc() const {
    return *static_cast<CPELDoc*>(GetDocument());
}

void CLinesView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    table_->SetExtendedStyle(CKUListCtrl::kGridLines | CKUListCtrl::kFullRowSelect);
    table_->SetRowHeight(kRowHeight);
    table_->InitColumns(&Doc());
    laidOut_ = true;
    OnSize();
}

// --- activation -------------------------------------------------------------

void CLinesView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    CMainFrame* frame = MainFrame();
    if (activate) {
        if (deactivated != nullptr && (deactivated == static_cast<CView*>(frame->pelView) ||
                                       deactivated == static_cast<CView*>(frame->tableView)))
            returnView_ = dynamic_cast<CFormView*>(deactivated);
        if (frame->protocol != nullptr)
            frame->protocol->Stop();
        Doc().UpdateAllViews(nullptr, hint::kQueueReset);
        table_->LoadTable();
        table_->setFocus(Qt::OtherFocusReason);
        frame->statusView->SetTitle(QString::fromUtf8(CurrentPresentation().title));
        LabelSoftKeys();
        UpdateLibraryKeys();
        update();
        frame->pelView->update();
    } else {
        AbandonEntry();
        Doc().UpdateAllViews(nullptr, hint::kQueueTask);
    }
    CFormView::OnActivateView(activate, activated, deactivated);
}

void CLinesView::LabelSoftKeys() {
    const bool hasRows = table_->GetRowCount() != 0;
    for (int code = vk::kF1; code <= vk::kF10; ++code) {
        CPELButton* key = FrameSoftKey(code);
        if (key == nullptr)
            continue;
        if (code >= vk::kF6)
            UseModeKeyColors(*key);
        const SoftKeyRow& row = kSoftKeys[static_cast<std::size_t>(code - vk::kF1)];
        key->SetStateText(StateFor(row.enabled, hasRows), LabelFor(row));
    }
}

void CLinesView::UpdateLibraryKeys() {
    const bool hasRows = table_->GetRowCount() != 0;
    for (const int code : {kDeleteSelectedKey, kDeleteAllKey, kApplyKey}) {
        const SoftKeyRow& row = kSoftKeys[static_cast<std::size_t>(code - vk::kF1)];
        if (CPELButton* key = FrameSoftKey(code))
            key->SetStateText(StateFor(row.enabled, hasRows), LabelFor(row));
    }
    // The brand column makes room for the scroll bar once the rows need one.
    OnSize();
    table_->viewport()->update();
}

// --- keys -------------------------------------------------------------------

bool CLinesView::PreTranslateMessage(const KeyMessage& message) {
    if (message.type == KeyMessage::KeyDown && message.code == vk::kEnter) {
        OnKeyDown(vk::kEnter, message.repeat);
        return true;
    }
    return false;
}

void CLinesView::OnKeyDown(int code, bool) {
    // The measurement view's counter: only the first key-down after a key-up acts.
    int& keyRepeat = MainFrame()->pelView->keyRepeat;
    const int remembered = keyRepeat++;
    if (remembered >= 2)
        return;
    if (code == vk::kEnter && !EditorOpen())
        code = kExitKey;
    CPELButton* key = FrameSoftKey(code);
    if (key == nullptr)
        return;
    ShowSoftKeyPressed(*key, code);
}

void CLinesView::OnKeyUp(int code) {
    MainFrame()->pelView->keyRepeat = 1;
    if (code == vk::kEnter) {
        if (EditorOpen()) {
            CommitEntry();
            return;
        }
        code = kExitKey;
    }
    const CPELButton* key = FrameSoftKey(code);
    if (key != nullptr && key->GetState() != button_state::kDisabled)
        RunSoftKey(code);
}

void CLinesView::RunSoftKey(int code) {
    switch (code) {
    case kDeleteSelectedKey:
        DeleteSelected();
        break;
    case kDeleteAllKey:
        DeleteAll();
        break;
    case kExitKey:
        Exit();
        break;
    case kApplyKey:
        ApplyVelocity();
        break;
    case kAddKey:
        StartAddEntry();
        break;
    default:
        break;
    }
}

void CLinesView::Exit() {
    CMainFrame* frame = MainFrame();
    frame->SetActiveViewPEL(returnView_ != nullptr ? returnView_ : frame->pelView, true);
}

// --- actions ----------------------------------------------------------------

bool CLinesView::HasHighlightedRow() const {
    return table_->FindRowByBrand(table_->currentBrand) >= 0;
}

void CLinesView::DeleteSelected() {
    if (!HasHighlightedRow() || !Confirmed(QString::fromUtf8(kDeleteSelectedQuestion))) {
        UpdateLibraryKeys(); // the pressed key comes back up
        return;
    }
    table_->DeleteItem(table_->FindRowByBrand(table_->currentBrand));
    table_->SaveTable();
    UpdateLibraryKeys();
}

void CLinesView::DeleteAll() {
    if (!Confirmed(QString::fromUtf8(kDeleteAllQuestion))) {
        UpdateLibraryKeys();
        return;
    }
    table_->DeleteAllItems();
    table_->SaveTable();
    UpdateLibraryKeys();
}

void CLinesView::ApplyVelocity() {
    const int row = table_->FindRowByBrand(table_->currentBrand);
    if (row < 0) {
        UpdateLibraryKeys();
        return;
    }
    if (!table_->HasUsableValue(row)) {
        // Nothing to ask about: the row is refused and every trace keeps its velocity.
        platform::MessageBox(QString::fromUtf8(CurrentPresentation().noValue), QString(),
                             platform::mb::kOk | platform::mb::kIconStop);
        UpdateLibraryKeys();
        return;
    }
    const QString text = table_->GetValueByBrand(table_->currentBrand);
    QString question = QString::fromUtf8(CurrentPresentation().confirmation);
    question.replace(QStringLiteral("%s"), text);
    if (!Confirmed(question)) {
        UpdateLibraryKeys();
        return;
    }
    CPELDoc& doc = Doc();
    CDOCScale& scale = doc.displayParams->scale;
    scale.vfactor.SetValue(CKUListCtrl::ParseValue(text));
    scale.CalcTicks();
    const double ku = scale.vfactor.GetKU();
    for (CChannel& channel : doc.ch)
        channel.scale.vfactor.SetKU(ku);
    CPELView* measurement = MainFrame()->pelView;
    measurement->LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
    measurement->update();
    Exit();
}

QRect CLinesView::CellRectInView(int row, int column) const {
    const QRect cell = table_->GetSubItemRect(row, column);
    return QRect(table_->viewport()->mapTo(this, cell.topLeft()), cell.size());
}

void CLinesView::StartAddEntry() {
    brandEditor_.reset();
    brandBeforeEntry_ = table_->currentBrand;
    auto editor = std::make_unique<CEnterChar>();
    const int row = table_->GetRowCount();
    table_->InsertRow(row, QString(), QString());
    table_->ScrollLines(table_->GetRowCount() - 1);
    QRect rect = CellRectInView(row, CKUListCtrl::kBrandColumn);
    rect.setLeft(rect.left() + kBrandEditorInset);
    editor->Create(rect, this, kEditorId, QString());
    brandEditor_ = std::move(editor);
}

void CLinesView::CommitEntry() {
    const int last = table_->GetRowCount() - 1;
    if (brandEditor_ != nullptr) {
        const QString brand = brandEditor_->text();
        brandEditor_.reset();
        table_->SetItemText(last, CKUListCtrl::kBrandColumn, brand);
        table_->currentBrand = brand;
        table_->viewport()->update();
        const QRect rect = CellRectInView(last, CKUListCtrl::kValueColumn);
        valueEditor_.reset();
        auto stepper = std::make_unique<CBaseDoubleScrollBar>();
        stepper->Create(kValueEditorStyle, rect, this, kEditorId);
        stepper->Init(VelocityMinimum(), VelocityMaximum(), Doc().displayParams->scale.vfactor.GetValue(),
                      VelocityEditStep());
        stepper->LayoutAndShow(rect);
        valueEditor_ = std::move(stepper);
        return;
    }
    if (valueEditor_ == nullptr)
        return;
    // The box's text is the value as the list shows it in this mode.
    table_->SetItemText(last, CKUListCtrl::kValueColumn, valueEditor_->GetText());
    valueEditor_.reset();
    const int found = table_->FindRowByBrand(table_->GetBrandAt(last));
    if (found == last) {
        table_->SaveTable();
    } else if (found >= 0) {
        // A brand is unique: the new entry replaces the older one and comes last.
        table_->DeleteItem(found);
        table_->SaveTable();
        table_->LoadTable();
        table_->currentBrand = table_->GetBrandAt(table_->GetRowCount() - 1);
    }
    OnActivateView(true, this, this);
}

void CLinesView::AbandonEntry() {
    if (!EditorOpen())
        return;
    brandEditor_.reset();
    valueEditor_.reset();
    // The appended row is not in the file: reading the file back drops it.
    table_->currentBrand = brandBeforeEntry_;
    table_->LoadTable();
}

// --- drawing and layout -----------------------------------------------------

void CLinesView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(kBackground));
}

void CLinesView::resizeEvent(QResizeEvent* event) {
    CFormView::resizeEvent(event);
    OnSize();
}

void CLinesView::OnSize() {
    if (!laidOut_)
        return;
    table_->setGeometry(rect());
    table_->LayoutColumns(width());
}
