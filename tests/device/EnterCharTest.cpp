#include "device/EnterChar.h"
#include "support/Rgb.h"

#include "platform/FormView.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/PELButton.h"

#include <QFontMetrics>
#include <QImage>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using enter_char::InputMode;

constexpr int kF1 = 112;
constexpr int kF2 = 113;
constexpr int kF3 = 114;
constexpr int kF6 = 117;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<QString> Groups(InputMode mode) {
    const enter_char::KeyGroups groups = enter_char::GroupsOf(mode);
    return {groups.begin(), groups.end()};
}

// The candidates of a group in order, as one string.
QString Candidates(const QString& group) {
    QString candidates;
    for (int i = 0; i < enter_char::CandidateCount(group); ++i)
        candidates += enter_char::Candidate(group, i);
    return candidates;
}

// A parent view that records the key messages it is given.
class ProbeView : public CFormView {
public:
    void OnKeyDown(int code, bool) override { log.push_back(QStringLiteral("down %1").arg(code)); }
    void OnKeyUp(int code) override {
        log.push_back(QStringLiteral("up %1").arg(code));
        if (onKeyUp)
            onKeyUp(code);
    }

    std::vector<QString> log;
    std::function<void(int)> onKeyUp;
};

class EnterCharTest : public ::testing::Test {
protected:
    void SetUp() override { view.resize(640, 480); }

    // The editor belongs to the view, as in the program.
    CEnterChar* Open(const QString& text = QString(), const QRect& rect = QRect(100, 200, 300, 20)) {
        auto* editor = new CEnterChar(EnterCharContext{&setting, &hKeys, &vKeys});
        EXPECT_TRUE(editor->Create(rect, &view, 1, text));
        return editor;
    }

    static void Tap(CEnterChar& editor, int digit) { editor.OnChar(vk::k0 + digit); }
    static void Taps(CEnterChar& editor, int digit, int times) {
        for (int i = 0; i < times; ++i)
            Tap(editor, digit);
    }
    // The 700 ms pass without a key.
    static void Pause(CEnterChar& editor) { editor.OnTimer(enter_char::kMultiTapTimer); }

    CPELButton& Key(int code) { return code <= 116 ? *hKeys.ButtonForKey(code) : *vKeys.ButtonForKey(code); }

    CTextEntrySetting setting;
    CBtnsHView hKeys;
    CBtnsVView vKeys;
    ProbeView view;
};

// --- group tables -----------------------------------------------------------

TEST(EnterCharGroups, CyrillicGroupsAsWritten) {
    const std::vector<QString> expected = {
        Utf8(" Ь  Э  Ю  Я  0 "), Utf8(" _  =  +  -  1 "), Utf8("    .  ,  ;  !  2 "), Utf8(" А  Б  В  Г  3 "),
        Utf8(" Д  Е  Ж  З  4 "), Utf8(" И  Й  К  Л  5 "), Utf8(" М  Н  О  П  6 "),    Utf8(" Р  С  Т  У  7 "),
        Utf8(" Ф  Х  Ц  Ч  8 "), Utf8(" Ш  Щ  Ъ  Ы  9 "),
    };
    EXPECT_EQ(Groups(InputMode::Cyrillic), expected);
}

TEST(EnterCharGroups, LatinGroupsAsWritten) {
    const std::vector<QString> expected = {
        " W  X  Y  Z  0 ", " _  =  +  -  1 ", "    .  ,  ;  !  2 ", " A  B  C  3 ",    " D  E  F  4 ",
        " G  H  I  5 ",    " J  K  L  6 ",    " M  N  O  7 ",       " P  Q  R  S  8 ", " T  U  V  9 ",
    };
    EXPECT_EQ(Groups(InputMode::Latin), expected);
}

TEST(EnterCharGroups, DigitsGroupsAsWritten) {
    const std::vector<QString> expected = {" 0 ", " 1 ", " 2 ", " 3 ", " 4 ", " 5 ", " 6 ", " 7 ", " 8 ", " 9 "};
    EXPECT_EQ(Groups(InputMode::Digits), expected);
}

TEST(EnterCharGroups, CandidatesInOrder) {
    const enter_char::KeyGroups latin = enter_char::GroupsOf(InputMode::Latin);
    const enter_char::KeyGroups cyrillic = enter_char::GroupsOf(InputMode::Cyrillic);
    EXPECT_EQ(Candidates(latin[3]), "ABC3");
    EXPECT_EQ(Candidates(latin[8]), "PQRS8");
    EXPECT_EQ(Candidates(latin[0]), "WXYZ0");
    EXPECT_EQ(Candidates(latin[2]), " .,;!2");
    EXPECT_EQ(Candidates(cyrillic[0]), Utf8("ЬЭЮЯ0"));
    EXPECT_EQ(Candidates(cyrillic[3]), Utf8("АБВГ3"));
    EXPECT_EQ(Candidates(cyrillic[1]), "_=+-1");
    EXPECT_EQ(enter_char::CandidateCount(latin[2]), enter_char::kCells);
    EXPECT_EQ(enter_char::SlotText(latin[2], 0), "   ");
    EXPECT_EQ(enter_char::SlotText(latin[8], 3), " S ");
}

TEST(EnterCharGroups, DigitsOnlyTakesPrecedenceOverTheLanguage) {
    CTextEntrySetting setting;
    EXPECT_EQ(enter_char::ModeOf(setting), InputMode::Cyrillic);
    setting.language = 1;
    EXPECT_EQ(enter_char::ModeOf(setting), InputMode::Latin);
    setting.digits = 1;
    EXPECT_EQ(enter_char::ModeOf(setting), InputMode::Digits);
    setting.language = 0;
    EXPECT_EQ(enter_char::ModeOf(setting), InputMode::Digits);
}

// --- pure steps -------------------------------------------------------------

TEST(EnterCharStep, NewSequenceAppendsTheFirstCandidate) {
    const auto step = enter_char::StepText("AB", " P  Q  R  S  8 ", false, 3);
    EXPECT_EQ(step.text, "ABP");
    EXPECT_EQ(step.candidateIndex, 0);
}

TEST(EnterCharStep, SameKeyReplacesTheLastCharacterAndWraps) {
    auto step = enter_char::StepText("XA", " A  B  C  3 ", true, 0);
    EXPECT_EQ(step.text, "XB");
    EXPECT_EQ(step.candidateIndex, 1);
    step = enter_char::StepText("X3", " A  B  C  3 ", true, 3);
    EXPECT_EQ(step.text, "XA");
    EXPECT_EQ(step.candidateIndex, 0);
}

TEST(EnterCharPopupGeometry, RowAboveTheCaretWhenThereIsRoom) {
    const auto cells = enter_char::CellRects(QRect(100, 200, 300, 20), 30, QSize(24, 14), 4);
    ASSERT_EQ(cells.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(cells[static_cast<std::size_t>(i)], QRect(130 + 24 * i, 200 - 18, 24, 20)) << i;
}

TEST(EnterCharPopupGeometry, RowBelowNearTheTopOfTheParent) {
    // Top at most cy + 10: down by cy; one pixel lower: up by cy + 4.
    EXPECT_EQ(enter_char::CellRects(QRect(10, 24, 200, 20), 5, QSize(20, 14), 1).front(), QRect(15, 38, 20, 20));
    EXPECT_EQ(enter_char::CellRects(QRect(10, 25, 200, 20), 5, QSize(20, 14), 1).front(), QRect(15, 7, 20, 20));
}

// --- creation ---------------------------------------------------------------

TEST_F(EnterCharTest, CreateShowsUpperCaseTextWithTheCaretAtTheEnd) {
    CEnterChar* editor = Open(Utf8("рефл12 abc"));
    EXPECT_EQ(editor->text(), Utf8("РЕФЛ12 ABC"));
    EXPECT_EQ(editor->cursorPosition(), editor->text().size());
    EXPECT_EQ(editor->geometry(), QRect(100, 200, 300, 20));
    EXPECT_EQ(editor->parentWidget(), &view);
    EXPECT_EQ(editor->GetDlgCtrlID(), 1);
    EXPECT_EQ(editor->GetTimer(), 0);
    for (int i = 0; i < enter_char::kCells; ++i) {
        ASSERT_NE(editor->GetCell(i), nullptr);
        EXPECT_EQ(editor->GetCell(i)->parentWidget(), &view);
        EXPECT_TRUE(editor->GetCell(i)->geometry().isEmpty());
        EXPECT_TRUE(editor->GetCell(i)->text().isEmpty());
    }
}

TEST_F(EnterCharTest, CreateLabelsTheSoftKeys) {
    for (int code = kF1; code <= 121; ++code)
        Key(code).SetStateText(button_state::kSelected, QStringLiteral("old"));
    Open();
    EXPECT_EQ(Key(kF1).GetCaption(), Utf8("Русский"));
    EXPECT_EQ(Key(kF1).GetState(), button_state::kNormal);
    EXPECT_EQ(Key(kF2).GetCaption(), Utf8("А Б В ..."));
    EXPECT_EQ(Key(kF2).GetState(), button_state::kNormal);
    for (int code = kF3; code <= 121; ++code) {
        EXPECT_EQ(Key(code).GetCaption(), QString()) << code;
        EXPECT_EQ(Key(code).GetState(), button_state::kDisabled) << code;
    }
}

// --- multi-tap --------------------------------------------------------------

TEST_F(EnterCharTest, KeyTwoThreeTimesQuicklyGivesAComma) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Taps(*editor, 2, 3);
    EXPECT_EQ(editor->text(), ",");
    EXPECT_EQ(editor->GetCandidateIndex(), 2);
}

TEST_F(EnterCharTest, KeyTwoThreeTimesWithPausesGivesThreeBlanks) {
    setting.language = 1;
    CEnterChar* editor = Open();
    for (int i = 0; i < 3; ++i) {
        Tap(*editor, 2);
        Pause(*editor);
    }
    EXPECT_EQ(editor->text(), "   ");
}

TEST_F(EnterCharTest, KeyThreeCyclesFourLatinCandidates) {
    setting.language = 1;
    CEnterChar* editor = Open();
    QString seen;
    for (int i = 0; i < 5; ++i) {
        Tap(*editor, 3);
        ASSERT_EQ(editor->text().size(), 1);
        seen += editor->text();
    }
    EXPECT_EQ(seen, "ABC3A");
}

TEST_F(EnterCharTest, KeyEightCyclesFiveLatinCandidates) {
    setting.language = 1;
    CEnterChar* editor = Open(QStringLiteral("N"));
    QString seen;
    for (int i = 0; i < 6; ++i) {
        Tap(*editor, 8);
        ASSERT_EQ(editor->text().size(), 2);
        seen += editor->text().back();
    }
    EXPECT_EQ(seen, "PQRS8P");
}

TEST_F(EnterCharTest, RussianLettersByDefault) {
    CEnterChar* editor = Open();
    Taps(*editor, 0, 2);
    Pause(*editor);
    Taps(*editor, 9, 4);
    EXPECT_EQ(editor->text(), Utf8("ЭЫ"));
}

TEST_F(EnterCharTest, AnotherDigitCommitsTheCandidate) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Taps(*editor, 3, 2);
    Tap(*editor, 4);
    EXPECT_EQ(editor->text(), "BD");
    EXPECT_EQ(editor->GetLastKey(), 4);
    EXPECT_EQ(editor->GetCandidateIndex(), 0);
}

TEST_F(EnterCharTest, TimerExpiryKeepsTheCharacterAndHidesTheCells) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Taps(*editor, 7, 2);
    EXPECT_EQ(editor->GetTimer(), enter_char::kMultiTapTimer);
    EXPECT_FALSE(editor->GetCell(0)->geometry().isEmpty());
    Pause(*editor);
    EXPECT_EQ(editor->GetTimer(), 0);
    EXPECT_EQ(editor->text(), "N");
    for (int i = 0; i < enter_char::kCells; ++i)
        EXPECT_TRUE(editor->GetCell(i)->geometry().isEmpty()) << i;
    // The same key now starts a new sequence.
    Tap(*editor, 7);
    EXPECT_EQ(editor->text(), "NM");
}

TEST_F(EnterCharTest, OtherTimerIdsDoNotEndTheSequence) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Tap(*editor, 7);
    editor->OnTimer(1);
    Tap(*editor, 7);
    EXPECT_EQ(editor->text(), "N");
}

TEST_F(EnterCharTest, TheRunningTimerEndsTheSequence) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Tap(*editor, 5);
    ASSERT_NE(editor->GetTimer(), 0);
    EXPECT_TRUE(QTest::qWaitFor([editor] { return editor->GetTimer() == 0; }, 10000));
    EXPECT_TRUE(editor->GetCell(0)->geometry().isEmpty());
    EXPECT_EQ(editor->text(), "G");
}

TEST_F(EnterCharTest, DigitsModeEntersEachKeysOwnDigit) {
    setting.digits = 1;
    CEnterChar* editor = Open();
    for (int digit = 0; digit <= 9; ++digit)
        Tap(*editor, digit);
    EXPECT_EQ(editor->text(), "0123456789");
    // Repeating a key quickly replaces the digit by itself.
    Taps(*editor, 5, 3);
    EXPECT_EQ(editor->text(), "01234567895");
    Pause(*editor);
    Tap(*editor, 5);
    EXPECT_EQ(editor->text(), "012345678955");
}

TEST_F(EnterCharTest, OtherCharactersAreNotInserted) {
    CEnterChar* editor = Open(QStringLiteral("AB"));
    editor->OnChar('a');
    editor->OnChar(' ');
    editor->OnChar(vk::kEnter);
    EXPECT_EQ(editor->text(), "AB");
    EXPECT_EQ(editor->GetTimer(), 0);
}

TEST_F(EnterCharTest, TextIsUpperCase) {
    CEnterChar* editor = Open(Utf8("ъ"));
    Tap(*editor, 9);
    EXPECT_EQ(editor->text(), Utf8("ЪШ"));
    EXPECT_EQ(editor->text(), editor->text().toUpper());
}

// --- popup cells ------------------------------------------------------------

TEST_F(EnterCharTest, PopupShowsTheGroupWithTheCandidateHighlighted) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Taps(*editor, 3, 2);
    const QStringList slotTexts = {" A ", " B ", " C ", " 3 "};
    const QFontMetrics metrics(editor->font());
    const int cx = metrics.horizontalAdvance(" A ");
    const int cy = metrics.height();
    const QRect first = editor->GetCell(0)->geometry();
    for (int i = 0; i < 4; ++i) {
        const CCharCell* cell = editor->GetCell(i);
        EXPECT_EQ(cell->text(), slotTexts[i]) << i;
        EXPECT_EQ(cell->GetBkColor(), i == 1 ? enter_char::kCandidateBack : enter_char::kGrayText) << i;
        EXPECT_EQ(cell->GetTextColor(), enter_char::kCellText) << i;
        EXPECT_EQ(cell->geometry(), QRect(first.left() + cx * i, 200 - (cy + 4), cx, 20)) << i;
    }
    EXPECT_GT(first.left(), editor->geometry().left());
    EXPECT_LT(first.left(), editor->geometry().right());
    EXPECT_TRUE(editor->GetCell(4)->geometry().isEmpty());
    EXPECT_TRUE(editor->GetCell(5)->geometry().isEmpty());
}

TEST_F(EnterCharTest, PopupFollowsTheCaret) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Tap(*editor, 6);
    const int before = editor->GetCell(0)->geometry().left();
    Tap(*editor, 4);
    EXPECT_GT(editor->GetCell(0)->geometry().left(), before);
}

TEST_F(EnterCharTest, PopupGoesBelowNearTheTop) {
    CEnterChar* editor = Open(QString(), QRect(10, 5, 200, 20));
    Tap(*editor, 1);
    const int cy = QFontMetrics(editor->font()).height();
    EXPECT_EQ(editor->GetCell(0)->geometry().top(), 5 + cy);
}

TEST_F(EnterCharTest, AShorterGroupLeavesNoStaleCells) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Tap(*editor, 2);
    EXPECT_EQ(editor->GetCell(5)->text(), " 2 ");
    EXPECT_FALSE(editor->GetCell(5)->geometry().isEmpty());
    Tap(*editor, 3);
    EXPECT_FALSE(editor->GetCell(3)->geometry().isEmpty());
    EXPECT_TRUE(editor->GetCell(4)->geometry().isEmpty());
    EXPECT_TRUE(editor->GetCell(5)->geometry().isEmpty());
}

TEST(EnterCharCell, StartsWithButtonFaceAndBlackText) {
    CCharCell cell;
    EXPECT_EQ(cell.GetBkColor(), enter_char::kButtonFace);
    EXPECT_EQ(cell.GetTextColor(), 0x000000u);
    EXPECT_TRUE(cell.alignment() & Qt::AlignRight);
}

// The fill brush is made in the constructor, before the colour members it used to read
// were initialised: a new cell must fill with the button face, never with garbage.
TEST(EnterCharCell, FillsWithButtonFaceBeforeAnyColourIsSet) {
    CCharCell cell;
    cell.resize(30, 20);
    const QImage image = cell.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, image.height() - 1), RgbOf(enter_char::kButtonFace));
}

TEST(EnterCharCell, DrawsItsTextOnItsBackground) {
    CCharCell cell;
    cell.resize(30, 20);
    cell.setText(" W ");
    cell.SetBkColor(0x000000);
    cell.SetTextColor(0xFFFFFF);
    const QImage image = cell.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, image.height() - 1), RgbOf(0x000000));
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            white += image.pixel(x, y) == RgbOf(0xFFFFFF) ? 1 : 0;
    }
    EXPECT_GT(white, 0);

    cell.SetBkColor(enter_char::kGrayText);
    const QImage grey = cell.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grey.pixel(0, grey.height() - 1), RgbOf(enter_char::kGrayText));
}

// --- soft keys and modes ----------------------------------------------------

TEST_F(EnterCharTest, F1SwitchesTheLanguageInTheDocumentSetting) {
    CEnterChar* editor = Open();
    QTest::keyPress(editor, Qt::Key_F1);
    EXPECT_EQ(Key(kF1).GetState(), button_state::kSelected);
    QTest::keyRelease(editor, Qt::Key_F1);
    EXPECT_EQ(setting.language, 1);
    EXPECT_EQ(Key(kF1).GetCaption(), "English");
    EXPECT_EQ(Key(kF1).GetState(), button_state::kNormal);
    EXPECT_EQ(Key(kF2).GetCaption(), "A B C ...");
    EXPECT_EQ(Key(kF2).GetState(), button_state::kNormal);
    EXPECT_EQ(editor->GetKeyGroup(3), " A  B  C  3 ");
    Tap(*editor, 3);
    EXPECT_EQ(editor->text(), "A");

    QTest::keyClick(editor, Qt::Key_F1);
    EXPECT_EQ(setting.language, 0);
    EXPECT_EQ(Key(kF1).GetCaption(), Utf8("Русский"));
    EXPECT_EQ(Key(kF2).GetCaption(), Utf8("А Б В ..."));
    EXPECT_EQ(editor->GetKeyGroup(3), Utf8(" А  Б  В  Г  3 "));
}

TEST_F(EnterCharTest, F2SwitchesDigitsOnlyInTheDocumentSetting) {
    setting.language = 1;
    CEnterChar* editor = Open();
    QTest::keyPress(editor, Qt::Key_F2);
    EXPECT_EQ(Key(kF2).GetState(), button_state::kSelected);
    QTest::keyRelease(editor, Qt::Key_F2);
    EXPECT_EQ(setting.digits, 1);
    EXPECT_EQ(setting.language, 1);
    EXPECT_EQ(Key(kF2).GetCaption(), "1 2 3 ...");
    EXPECT_EQ(Key(kF2).GetState(), button_state::kNormal);
    EXPECT_EQ(Key(kF1).GetCaption(), "English");
    EXPECT_EQ(editor->GetKeyGroup(7), " 7 ");

    QTest::keyClick(editor, Qt::Key_F2);
    EXPECT_EQ(setting.digits, 0);
    EXPECT_EQ(Key(kF2).GetCaption(), "A B C ...");
    EXPECT_EQ(editor->GetKeyGroup(7), " M  N  O  7 ");
}

TEST_F(EnterCharTest, ASwitchStartsTheGroupAtItsFirstCandidate) {
    setting.language = 1;
    CEnterChar* editor = Open();
    Taps(*editor, 8, 3);
    ASSERT_EQ(editor->GetCandidateIndex(), 2);
    editor->OnKeyUp(kF2);
    EXPECT_EQ(editor->GetCandidateIndex(), 0);
    EXPECT_EQ(editor->GetKeyGroup(8), " 8 ");
}

TEST_F(EnterCharTest, TheNextEditorStartsInTheLastUsedMode) {
    CEnterChar* first = Open();
    first->OnKeyUp(kF1);
    first->OnKeyUp(kF2);
    delete first;
    CEnterChar* second = Open();
    EXPECT_EQ(Key(kF1).GetCaption(), "English");
    EXPECT_EQ(Key(kF2).GetCaption(), "1 2 3 ...");
    EXPECT_EQ(second->GetKeyGroup(4), " 4 ");
    EXPECT_EQ(second->GetSetting().digits, 1);
}

TEST_F(EnterCharTest, ADisabledF1DoesNotSwitch) {
    CEnterChar* editor = Open();
    Key(kF1).SetState(button_state::kDisabled);
    QTest::keyClick(editor, Qt::Key_F1);
    EXPECT_EQ(setting.language, 0);
    EXPECT_EQ(Key(kF1).GetState(), button_state::kDisabled);
    EXPECT_EQ(editor->GetKeyGroup(3), Utf8(" А  Б  В  Г  3 "));
}

TEST_F(EnterCharTest, SoftKeyLookOfTheOtherKeys) {
    CEnterChar* editor = Open();
    // F3-F5 and F6-F10 start disabled and stay so.
    editor->OnKeyDown(kF3, false);
    editor->OnKeyDown(kF6, false);
    EXPECT_EQ(Key(kF3).GetState(), button_state::kDisabled);
    EXPECT_EQ(Key(kF6).GetState(), button_state::kDisabled);
    // An enabled F3 is pressed while held; F6 toggles on each key-down.
    Key(kF3).SetState(button_state::kNormal);
    Key(kF6).SetState(button_state::kNormal);
    editor->OnKeyDown(kF3, false);
    EXPECT_EQ(Key(kF3).GetState(), button_state::kSelected);
    editor->OnKeyUp(kF3);
    EXPECT_EQ(Key(kF3).GetState(), button_state::kNormal);
    editor->OnKeyDown(kF6, false);
    EXPECT_EQ(Key(kF6).GetState(), button_state::kSelected);
    editor->OnKeyDown(kF6, false);
    EXPECT_EQ(Key(kF6).GetState(), button_state::kNormal);
}

TEST_F(EnterCharTest, WorksWithoutSoftKeyPanels) {
    CTextEntrySetting own;
    auto* editor = new CEnterChar(EnterCharContext{&own, nullptr, nullptr});
    editor->Create(QRect(0, 100, 200, 20), &view, 1, QString());
    editor->OnKeyDown(kF1, false);
    editor->OnKeyUp(kF1); // no soft key: not enabled
    editor->OnKeyUp(kF2);
    EXPECT_EQ(own.language, 0);
    EXPECT_EQ(own.digits, 1);
    Tap(*editor, 6);
    EXPECT_EQ(editor->text(), "6");
}

// --- keys through the widget ------------------------------------------------

TEST_F(EnterCharTest, DigitKeysTypeThroughKeyEvents) {
    setting.language = 1;
    CEnterChar* editor = Open();
    QTest::keyClick(editor, Qt::Key_4);
    QTest::keyClick(editor, Qt::Key_4);
    EXPECT_EQ(editor->text(), "E");
}

TEST_F(EnterCharTest, TheEditControlsOwnKeysDoNothing) {
    CEnterChar* editor = Open(QStringLiteral("AB"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_Left);
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_X);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(editor->text(), "AB");
    EXPECT_EQ(editor->cursorPosition(), 2);
    EXPECT_TRUE(view.log.empty());
}

TEST_F(EnterCharTest, EscapeDeletesTheLastCharacter) {
    CEnterChar* editor = Open(QStringLiteral("ABC"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->text(), "AB");
    EXPECT_EQ(editor->cursorPosition(), 2);
    QTest::keyClick(editor, Qt::Key_Escape);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->text(), "");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->text(), "");
    EXPECT_TRUE(view.log.empty());
}

TEST_F(EnterCharTest, EscapeWhoseKeyDownWentElsewhereDoesNothing) {
    CEnterChar* editor = Open(QStringLiteral("ABC"));
    QTest::keyRelease(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->text(), "ABC");
}

TEST_F(EnterCharTest, EscapeEndsAPendingSequence) {
    setting.language = 1;
    CEnterChar* editor = Open(QStringLiteral("X"));
    Taps(*editor, 3, 2);
    ASSERT_EQ(editor->text(), "XB");
    editor->OnKeyUp(vk::kEscape);
    EXPECT_EQ(editor->text(), "X");
    EXPECT_EQ(editor->GetTimer(), 0);
    EXPECT_TRUE(editor->GetCell(0)->geometry().isEmpty());
    Tap(*editor, 3);
    EXPECT_EQ(editor->text(), "XA");
}

TEST_F(EnterCharTest, EnterGoesToTheParentAsAKeyUp) {
    CEnterChar* editor = Open(QStringLiteral("CABLE"));
    QTest::keyPress(editor, Qt::Key_Return);
    EXPECT_TRUE(view.log.empty());
    QTest::keyRelease(editor, Qt::Key_Return);
    EXPECT_EQ(view.log, std::vector<QString>{"up 13"});
    // The editor stays open with its text: closing it is the parent's business.
    EXPECT_EQ(editor->text(), "CABLE");
    EXPECT_TRUE(editor->isVisibleTo(&view));
}

TEST_F(EnterCharTest, EnterTakenByTheParentsHookStillComesUpThere) {
    CEnterChar* editor = Open();
    view.NoteKeyDown(vk::kEnter); // the view's pre-translation took the key-down
    QTest::keyRelease(editor, Qt::Key_Enter);
    EXPECT_EQ(view.log, std::vector<QString>{"up 13"});
}

TEST_F(EnterCharTest, EnterWhoseKeyDownWentElsewhereIsNotPassedOn) {
    CEnterChar* editor = Open();
    QTest::keyRelease(editor, Qt::Key_Return);
    EXPECT_TRUE(view.log.empty());
}

TEST_F(EnterCharTest, TheParentMayCloseTheEditorOnEnter) {
    setting.language = 1;
    QPointer<CEnterChar> editor = Open();
    QPointer<CCharCell> cell = editor->GetCell(0);
    Tap(*editor, 5);
    QString taken;
    view.onKeyUp = [&](int code) {
        if (code == vk::kEnter && editor) {
            taken = editor->text();
            delete editor.data();
        }
    };
    QTest::keyPress(editor.data(), Qt::Key_Return);
    QTest::keyRelease(editor.data(), Qt::Key_Return);
    EXPECT_EQ(taken, "G");
    EXPECT_TRUE(editor.isNull());
    EXPECT_TRUE(cell.isNull()); // the editor's cells go with it
}

TEST(EnterCharLifetime, ParentGoingFirstTakesEditorAndCells) {
    CTextEntrySetting setting;
    auto view = std::make_unique<ProbeView>();
    auto* editor = new CEnterChar(EnterCharContext{&setting, nullptr, nullptr});
    editor->Create(QRect(0, 100, 200, 20), view.get(), 1, QStringLiteral("A"));
    QPointer<CEnterChar> editorAlive = editor;
    QPointer<CCharCell> cellAlive = editor->GetCell(5);
    view.reset();
    EXPECT_TRUE(editorAlive.isNull());
    EXPECT_TRUE(cellAlive.isNull());
}

} // namespace
