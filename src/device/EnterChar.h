#pragma once

// On-screen character entry. The keypad has digits but no letters: each digit key
// carries a group of characters, and pressing the same key again within 700 ms
// replaces the character just typed by the next one of its group (multi-tap). A row
// of small cells beside the caret shows the group with the current candidate
// highlighted. F1 switches the letters between Russian and English, F2 switches to
// digits only; both are kept in the document, so the next editor starts the same way.

#include "document/PELParam.h"
#include "ui/BtnsView.h"

#include <QBrush>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

class CFormView;
class CPELButton;
class QPainter;

namespace enter_char {

inline constexpr int kMultiTapTimer = 1235;
inline constexpr int kMultiTapMilliseconds = 700;
inline constexpr int kKeys = 10;
inline constexpr int kCells = 6; // the longest group has six candidates
inline constexpr int kSlotLength = 3;

// Cell colours (0x00BBGGRR). The two system colours are the classic scheme's, fixed so
// that the screen looks the same on every target.
inline constexpr std::uint32_t kButtonFace = 0xC0C0C0;
inline constexpr std::uint32_t kGrayText = 0x808080;
inline constexpr std::uint32_t kCandidateBack = 0x000000;
inline constexpr std::uint32_t kCellText = 0xFFFFFF;

enum class InputMode { Cyrillic, Latin, Digits };

// Digits only wins over the language.
InputMode ModeOf(const CTextEntrySetting& setting);

// The ten groups of a mode, indexed by digit. A group holds its candidates in
// three-character slots: blank, character, blank.
using KeyGroups = std::array<QString, kKeys>;
KeyGroups GroupsOf(InputMode mode);

int CandidateCount(const QString& group);
QChar Candidate(const QString& group, int index);
QString SlotText(const QString& group, int index);

// One multi-tap step on the text: a new sequence appends the group's first candidate;
// the same key again replaces the last character by the next candidate, wrapping round.
struct MultiTapResult {
    QString text;
    int candidateIndex = 0;
};
MultiTapResult StepText(const QString& text, const QString& group, bool sameKeyAgain, int candidateIndex);

// The popup cells beside the caret, in the parent's coordinates: editorRect is the
// editor's rectangle, caretX the caret's x within it, slotSize the extent of one slot.
// Near the top of the parent the row goes below the caret line, elsewhere above it.
std::vector<QRect> CellRects(const QRect& editorRect, int caretX, QSize slotSize, int count);

} // namespace enter_char

// What the editor works with: the text-entry setting it reads and flips, and the two
// soft-key panels it relabels. Null panels are simply not relabelled.
struct EnterCharContext {
    CTextEntrySetting* setting = nullptr; // null: the editor keeps a setting of its own
    CBtnsPanel* horizontalKeys = nullptr; // F1-F5
    CBtnsPanel* verticalKeys = nullptr;   // F6-F10

    // The main frame's document setting and soft keys (empty when there is no frame).
    static EnterCharContext FromMainFrame();
};

// One cell of the popup row: right-aligned text on a solid background.
class CCharCell : public QLabel {
    Q_OBJECT
public:
    explicit CCharCell(QWidget* parent = nullptr);

    void SetBkColor(std::uint32_t color);
    void SetTextColor(std::uint32_t color);
    std::uint32_t GetBkColor() const { return bkColor_; }
    std::uint32_t GetTextColor() const { return textColor_; }

    // The cell's colours for drawing it: sets the painter's text and background colours
    // and answers the brush to fill with.
    const QBrush& CtlColor(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QBrush brush_;
    std::uint32_t bkColor_ = enter_char::kButtonFace;
    std::uint32_t textColor_ = 0x000000;
};

// The one-line editor. Create it over a rectangle of its parent view; the parent reads
// the text with text() and learns of Enter as a key-up of vk::kEnter (13), delivered
// through the parent's DeliverKeyUp, so the parent's own key-up rule applies. The
// parent may destroy the editor while handling that key-up.
class CEnterChar : public QLineEdit {
    Q_OBJECT
public:
    // Works with the main frame's document and soft keys.
    CEnterChar();
    explicit CEnterChar(const EnterCharContext& context);
    ~CEnterChar() override;

    // Shows the editor over `rect` of `parent` with `text` (upper-cased), caret at the
    // end, gives it the focus, creates the popup cells and labels the soft keys.
    bool Create(const QRect& rect, QWidget* parent, int id, const QString& text);

    // Key messages as virtual-key codes; public so that the program and tests can
    // drive the editor without a keyboard.
    virtual void OnChar(int code);
    virtual void OnKeyDown(int code, bool repeat);
    virtual void OnKeyUp(int code);
    virtual void OnTimer(int id);

    int GetDlgCtrlID() const { return controlId_; }
    // Non-zero while a multi-tap sequence is pending.
    int GetTimer() const { return timer_; }
    int GetCandidateIndex() const { return candidateIndex_; }
    int GetLastKey() const { return lastKey_; }
    const QString& GetKeyGroup(int digit) const;
    CCharCell* GetCell(int index) const;
    const CTextEntrySetting& GetSetting() const { return *setting_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void MultiTap(int digit);
    void ToggleLanguage();
    void ToggleDigits();
    void BuildKeyGroups();
    void DeleteLastChar();
    void SetEditText(const QString& text);
    void ShowPopup(const QString& group);
    void HidePopup();
    void EndSequence();
    void LabelSoftKeys();
    int CaretX() const;
    CPELButton* SoftKey(int code) const;
    CFormView* ParentView() const;

    // Window timers by the program's own ids.
    int SetTimer(int id, int milliseconds);
    void KillTimer(int id);

    std::array<QPointer<CCharCell>, enter_char::kCells> cells_{};
    int timer_ = 0;
    enter_char::KeyGroups keyGroups_;
    int candidateIndex_ = 0;
    int lastKey_ = 0;

    CTextEntrySetting ownSetting_;
    CTextEntrySetting* setting_;
    QPointer<CBtnsPanel> horizontalKeys_;
    QPointer<CBtnsPanel> verticalKeys_;
    int controlId_ = 0;
    std::set<int> keysDown_;
    std::map<int, int> timers_; // program id -> Qt id
};
