#include "device/EnterChar.h"
#include "ui/BtnsView.h"

#include "document/PELDoc.h"
#include "platform/Fonts.h"
#include "platform/FormView.h"
#include "platform/Keys.h"
#include "ui/Colors.h"
#include "ui/MainFrm.h"
#include "ui/PELButton.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QTimerEvent>

namespace {
constexpr int kF2 = vk::kF1 + 1;
constexpr int kF3 = vk::kF1 + 2;
} // namespace

namespace enter_char {

namespace {

// The key groups, one row per digit: Cyrillic letters, Latin letters, digits only.
// A blank candidate is the space character (key 2 starts with one).
struct KeyGroupRow {
    const char* cyrillic;
    const char* latin;
    const char* digits;
};

constexpr std::array<KeyGroupRow, kKeys> kKeyGroups = {{
    {" Ь  Э  Ю  Я  0 ", " W  X  Y  Z  0 ", " 0 "},
    {" _  =  +  -  1 ", " _  =  +  -  1 ", " 1 "},
    {"    .  ,  ;  !  2 ", "    .  ,  ;  !  2 ", " 2 "},
    {" А  Б  В  Г  3 ", " A  B  C  3 ", " 3 "},
    {" Д  Е  Ж  З  4 ", " D  E  F  4 ", " 4 "},
    {" И  Й  К  Л  5 ", " G  H  I  5 ", " 5 "},
    {" М  Н  О  П  6 ", " J  K  L  6 ", " 6 "},
    {" Р  С  Т  У  7 ", " M  N  O  7 ", " 7 "},
    {" Ф  Х  Ц  Ч  8 ", " P  Q  R  S  8 ", " 8 "},
    {" Ш  Щ  Ъ  Ы  9 ", " T  U  V  9 ", " 9 "},
}};

// The row of cells sits this far above the editor's top (plus one cell height), or
// below it when there is no room above.
constexpr int kRoomAbove = 10;
constexpr int kGapAbove = 4;

} // namespace

InputMode ModeOf(const CTextEntrySetting& setting) {
    if (setting.digits == 1)
        return InputMode::Digits;
    return setting.language == 1 ? InputMode::Latin : InputMode::Cyrillic;
}

KeyGroups GroupsOf(InputMode mode) {
    KeyGroups groups;
    for (std::size_t key = 0; key < groups.size(); ++key) {
        const KeyGroupRow& row = kKeyGroups[key];
        const char* text = mode == InputMode::Digits ? row.digits : mode == InputMode::Latin ? row.latin : row.cyrillic;
        groups[key] = QString::fromUtf8(text);
    }
    return groups;
}

int CandidateCount(const QString& group) {
    return static_cast<int>(group.size()) / kSlotLength;
}

QChar Candidate(const QString& group, int index) {
    return group.at(kSlotLength * index + 1);
}

QString SlotText(const QString& group, int index) {
    return group.mid(kSlotLength * index, kSlotLength);
}

MultiTapResult StepText(const QString& text, const QString& group, bool sameKeyAgain, int candidateIndex) {
    MultiTapResult result{text, 0};
    if (sameKeyAgain) {
        result.candidateIndex = candidateIndex + 1;
        if (result.candidateIndex >= CandidateCount(group))
            result.candidateIndex = 0;
        result.text.chop(1);
    }
    result.text += Candidate(group, result.candidateIndex);
    return result;
}

std::vector<QRect> CellRects(const QRect& editorRect, int caretX, QSize slotSize, int count) {
    QRect row = editorRect;
    row.setLeft(row.left() + caretX);
    if (row.top() <= slotSize.height() + kRoomAbove)
        row.translate(0, slotSize.height());
    else
        row.translate(0, -(slotSize.height() + kGapAbove));
    std::vector<QRect> cells;
    int x = row.left();
    for (int i = 0; i < count; ++i) {
        cells.emplace_back(QPoint(x, row.top()), QSize(slotSize.width(), row.height()));
        x += slotSize.width();
    }
    return cells;
}

} // namespace enter_char

// --- context ----------------------------------------------------------------

EnterCharContext EnterCharContext::FromMainFrame() {
    EnterCharContext context;
    if (CMainFrame* frame = MainFrame()) {
        context.setting = &frame->GetDocument().textEntry;
        context.horizontalKeys = frame->btnsH;
        context.verticalKeys = frame->btnsV;
    }
    return context;
}

// --- cell -------------------------------------------------------------------

CCharCell::CCharCell(QWidget* parent) : QLabel(parent), brush_(ColorFromRef(enter_char::kButtonFace)) {
    setAlignment(Qt::AlignRight | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void CCharCell::SetBkColor(std::uint32_t color) {
    bkColor_ = color;
    brush_ = QBrush(ColorFromRef(color));
    update();
}

void CCharCell::SetTextColor(std::uint32_t color) {
    textColor_ = color;
    update();
}

const QBrush& CCharCell::CtlColor(QPainter& painter) const {
    painter.setPen(ColorFromRef(textColor_));
    painter.setBackground(QBrush(ColorFromRef(bkColor_)));
    painter.setBackgroundMode(Qt::OpaqueMode);
    return brush_;
}

void CCharCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CtlColor(painter));
    painter.setFont(font());
    painter.drawText(rect(), static_cast<int>(alignment()), text());
}

// --- editor -----------------------------------------------------------------

CEnterChar::CEnterChar() : CEnterChar(EnterCharContext::FromMainFrame()) {}

CEnterChar::CEnterChar(const EnterCharContext& context)
    : setting_(context.setting != nullptr ? context.setting : &ownSetting_), horizontalKeys_(context.horizontalKeys),
      verticalKeys_(context.verticalKeys) {
    setFont(platform::StockFont());
    setFrame(true);
    // Text comes from the keypad only: no drops, menus or input methods.
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    keyGroups_ = enter_char::GroupsOf(enter_char::ModeOf(*setting_));
}

CEnterChar::~CEnterChar() {
    // The cells are children of the parent view; the parent may already have deleted them.
    for (QPointer<CCharCell>& cell : cells_)
        delete cell.data();
}

bool CEnterChar::Create(const QRect& rect, QWidget* parent, int id, const QString& text) {
    controlId_ = id;
    setParent(parent);
    setGeometry(rect);
    setEnabled(true);
    show();
    for (QPointer<CCharCell>& cell : cells_) {
        delete cell.data();
        cell = new CCharCell(parent);
        cell->setFont(font());
        cell->setGeometry(QRect());
        cell->show();
    }
    SetEditText(text);
    raise();
    setFocus();
    BuildKeyGroups();
    LabelSoftKeys();
    return true;
}

const QString& CEnterChar::GetKeyGroup(int digit) const {
    return keyGroups_[static_cast<std::size_t>(digit)];
}

CCharCell* CEnterChar::GetCell(int index) const {
    return cells_[static_cast<std::size_t>(index)].data();
}

// --- keys -------------------------------------------------------------------

void CEnterChar::keyPressEvent(QKeyEvent* event) {
    // The edit control's own key handling is never used: no caret movement, no deletion.
    event->accept();
    const int code = platform::VirtualKeyOf(*event);
    if (code == 0)
        return;
    // Enter belongs to the parent view: it takes the key-up, so it must know of the key-down.
    if (code == vk::kEnter) {
        if (CFormView* view = ParentView())
            view->NoteKeyDown(code);
    } else {
        keysDown_.insert(code);
    }
    OnKeyDown(code, event->isAutoRepeat());
    // The keypad driver's message translation: a digit also arrives as a character.
    if (vk::IsDigit(code))
        OnChar(code);
}

void CEnterChar::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    const int code = platform::VirtualKeyOf(*event);
    if (code == 0 || event->isAutoRepeat())
        return;
    // Enter goes on to the parent whichever widget took its key-down (the parent's
    // hook may have taken it); the parent's key-up rule decides. The parent may
    // destroy this editor there, so nothing touches it afterwards.
    if (code == vk::kEnter) {
        OnKeyUp(code);
        return;
    }
    // A key whose key-down went elsewhere (a message box, say) leaves no trace here.
    if (keysDown_.erase(code) > 0)
        OnKeyUp(code);
}

void CEnterChar::OnChar(int code) {
    if (vk::IsDigit(code))
        MultiTap(code - vk::k0);
}

void CEnterChar::OnKeyDown(int code, bool) {
    CPELButton* key = SoftKey(code);
    if (key == nullptr)
        return;
    ShowSoftKeyPressed(*key, code);
}

void CEnterChar::OnKeyUp(int code) {
    CPELButton* key = SoftKey(code);
    const bool enabled = key != nullptr && key->GetState() != button_state::kDisabled;
    if (code == vk::kF1) {
        if (enabled) {
            ToggleLanguage();
            key->SetState(button_state::kNormal);
        }
    } else if (code == kF2) {
        ToggleDigits();
        if (key != nullptr)
            key->SetState(button_state::kNormal);
    } else if (code >= kF3 && code <= vk::kF5) {
        if (enabled)
            key->SetState(button_state::kNormal);
    } else if (code == vk::kEscape) {
        DeleteLastChar();
    } else if (code == vk::kEnter) {
        // The parent decides what Enter means; the editor never closes itself.
        if (CFormView* view = ParentView())
            view->DeliverKeyUp(vk::kEnter);
    }
}

// --- multi-tap --------------------------------------------------------------

void CEnterChar::MultiTap(int digit) {
    const QString& group = keyGroups_[static_cast<std::size_t>(digit)];
    const bool sameKeyAgain = timer_ != 0 && digit == lastKey_;
    if (!sameKeyAgain)
        lastKey_ = digit;
    const enter_char::MultiTapResult step = enter_char::StepText(text(), group, sameKeyAgain, candidateIndex_);
    candidateIndex_ = step.candidateIndex;
    SetEditText(step.text);
    ShowPopup(group);
    timer_ = SetTimer(enter_char::kMultiTapTimer, enter_char::kMultiTapMilliseconds);
}

void CEnterChar::OnTimer(int id) {
    if (id != enter_char::kMultiTapTimer)
        return;
    EndSequence();
}

void CEnterChar::EndSequence() {
    KillTimer(enter_char::kMultiTapTimer);
    timer_ = 0;
    HidePopup();
}

void CEnterChar::DeleteLastChar() {
    // The candidate a pending sequence would cycle is gone with it: the sequence ends,
    // so the next tap of the same key starts afresh instead of replacing a committed character.
    if (timer_ != 0)
        EndSequence();
    QString edited = text();
    edited.chop(1);
    SetEditText(edited);
}

void CEnterChar::SetEditText(const QString& text) {
    // An upper-case editor: every text it holds is upper case.
    setText(text.toUpper());
    setCursorPosition(static_cast<int>(this->text().size()));
}

// --- popup ------------------------------------------------------------------

int CEnterChar::CaretX() const {
    return cursorRect().center().x();
}

void CEnterChar::ShowPopup(const QString& group) {
    const QFontMetrics metrics(font());
    const QSize slotSize(metrics.horizontalAdvance(enter_char::SlotText(group, 0)), metrics.height());
    const std::vector<QRect> rects =
        enter_char::CellRects(geometry(), CaretX(), slotSize, enter_char::CandidateCount(group));
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        CCharCell* cell = cells_[i].data();
        if (cell == nullptr)
            continue;
        if (i >= rects.size()) {
            // A shorter group than the last one: no stale cell stays beside it.
            cell->setGeometry(QRect());
            continue;
        }
        const int index = static_cast<int>(i);
        cell->setGeometry(rects[i]);
        cell->SetBkColor(index == candidateIndex_ ? enter_char::kCandidateBack : enter_char::kGrayText);
        cell->SetTextColor(enter_char::kCellText);
        cell->setText(enter_char::SlotText(group, index));
        cell->raise();
    }
}

void CEnterChar::HidePopup() {
    for (QPointer<CCharCell>& cell : cells_) {
        if (cell != nullptr)
            cell->setGeometry(QRect());
    }
}

// --- modes and soft keys ----------------------------------------------------

void CEnterChar::BuildKeyGroups() {
    keyGroups_ = enter_char::GroupsOf(enter_char::ModeOf(*setting_));
    candidateIndex_ = 0;
}

void CEnterChar::ToggleLanguage() {
    const QString language = setting_->ToggleLanguage();
    if (CPELButton* key = SoftKey(vk::kF1))
        key->SetStateText(button_state::kSelected, language);
    if (CPELButton* key = SoftKey(kF2))
        key->SetStateText(button_state::kNormal, setting_->GetModeName());
    BuildKeyGroups();
}

void CEnterChar::ToggleDigits() {
    const QString mode = setting_->CycleMode();
    if (CPELButton* key = SoftKey(kF2))
        key->SetStateText(button_state::kSelected, mode);
    BuildKeyGroups();
}

void CEnterChar::LabelSoftKeys() {
    if (CPELButton* key = SoftKey(vk::kF1))
        key->SetStateText(button_state::kNormal, setting_->GetLanguageName());
    if (CPELButton* key = SoftKey(kF2))
        key->SetStateText(button_state::kNormal, setting_->GetModeName());
    for (int code = kF3; code <= vk::kF10; ++code) {
        if (CPELButton* key = SoftKey(code))
            key->SetStateText(button_state::kDisabled, QString());
    }
}

CPELButton* CEnterChar::SoftKey(int code) const {
    if (code >= vk::kF1 && code <= vk::kF5)
        return horizontalKeys_ != nullptr ? horizontalKeys_->ButtonForKey(code) : nullptr;
    if (code >= vk::kF6 && code <= vk::kF10)
        return verticalKeys_ != nullptr ? verticalKeys_->ButtonForKey(code) : nullptr;
    return nullptr;
}

CFormView* CEnterChar::ParentView() const {
    // The parent view in practice; a plain container between them is looked through.
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* view = qobject_cast<CFormView*>(widget))
            return view;
    }
    return nullptr;
}

// --- timers -----------------------------------------------------------------

int CEnterChar::SetTimer(int id, int milliseconds) {
    KillTimer(id);
    const int qtId = startTimer(milliseconds);
    if (qtId == 0)
        return 0;
    timers_[id] = qtId;
    return id;
}

void CEnterChar::KillTimer(int id) {
    const auto found = timers_.find(id);
    if (found == timers_.end())
        return;
    killTimer(found->second);
    timers_.erase(found);
}

void CEnterChar::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QLineEdit::timerEvent(event);
}
