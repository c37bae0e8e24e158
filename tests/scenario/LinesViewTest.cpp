// The velocity library "БИБЛИОТЕКА КУ" / "БИБЛИОТЕКА V/2" driven by keys: opening and
// leaving it, deleting, adding an entry through the brand editor and the stepper, and
// applying a velocity to every trace; what lands in "tableku.tku" each time.
#include "scenario/Harness.h"
#include "support/Utf16.h"

#include "device/EnterChar.h"
#include "library/LinesView.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "ui/BaseDoubleScrollBar.h"
#include "ui/BtnsView.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <gtest/gtest.h>

namespace {

constexpr int kF2 = vk::kF1 + 1;
constexpr int kF3 = vk::kF1 + 2;
constexpr int kF4 = vk::kF1 + 3;
constexpr int kF8 = vk::kF6 + 2;

class LinesViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        h_ = std::make_unique<Harness>();
        ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView);
    }
    void TearDown() override {
        h_.reset();
        SetVelocityDisplayMode(0);
    }

    QString Path() { return h_->Doc().storageFolder + QStringLiteral("tableku.tku"); }
    void WriteTable(const QString& text) {
        ASSERT_TRUE(platform::CreateFolderPath(h_->Doc().storageFolder));
        ASSERT_TRUE(platform::WriteFileAtomically(Path(), Utf16(text)));
    }
    QByteArray TableBytes() {
        QByteArray bytes;
        EXPECT_TRUE(platform::ReadWholeFile(Path(), bytes));
        return bytes;
    }
    // F2 of the channels menu.
    void Open() {
        h_->Tap(kF2);
        ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);
    }
    CLinesView& View() { return *h_->Frame().linesView; }
    CKUListCtrl& Table() { return View().GetTable(); }
    CPELButton* Key(int code) {
        return code <= vk::kF5 ? h_->Frame().btnsH->ButtonForKey(code) : h_->Frame().btnsV->ButtonForKey(code);
    }
    // Keys the stepper takes reach the view as posted messages.
    void Settle() { h_->Run(0); }
    // Enter on the open value editor, and the entry stored.
    void CommitValue() {
        h_->Tap(vk::kEnter);
        ASSERT_TRUE(h_->RunUntil([this] { return View().GetValueEditor() == nullptr; }, 5000));
    }

    std::unique_ptr<Harness> h_;
};

} // namespace

TEST_F(LinesViewTest, OpensFromTheChannelsMenuWithTheKUPresentation) {
    WriteTable(QStringLiteral("ТПП\n1.500 \n"));
    Open();
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("БИБЛИОТЕКА КУ"));
    EXPECT_EQ(View().GetReturnView(), h_->Frame().tableView);
    struct Expected {
        int code;
        const char* label;
        int state;
    };
    const Expected keys[] = {
        {vk::kF1, "", 0},
        {kF2, "", 0},
        {kF3, "Удалить\nвыделенную", 1},
        {kF4, "Удалить\nвсе", 1},
        {vk::kF5, "<< ВЫХОД >>", 1},
        {vk::kF6, "\nУстановить", 1},
        {vk::kF6 + 1, "", 0},
        {kF8, "\nДобавить КУ\nв библиотеку", 1},
        {vk::kF6 + 3, "", 0},
        {vk::kF10, "", 0},
    };
    for (const Expected& key : keys) {
        EXPECT_EQ(Key(key.code)->GetCaption(), QString::fromUtf8(key.label)) << key.code;
        EXPECT_EQ(Key(key.code)->GetState(), key.state) << key.code;
    }
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("ТПП")), QStringLiteral("1.500 "));
    EXPECT_TRUE(Table().hasFocus()) << "keys 1 and 7 go to the list";
    EXPECT_EQ(Table().geometry(), View().rect()) << "the list covers the view";

    h_->Tap(vk::kF5);
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView);
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("КАНАЛЫ"));
}

TEST_F(LinesViewTest, VTwoModeShowsTheSameTableAsHalfVelocities) {
    WriteTable(QStringLiteral("ТПП\n1.500 \nКСПП\n1.523 \n"));
    SetVelocityDisplayMode(1);
    Open();
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("БИБЛИОТЕКА V/2"));
    EXPECT_EQ(Key(kF8)->GetCaption(), QStringLiteral("\nДобавить V/2\nв библиотеку"));
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("ТПП")), QStringLiteral("100.0"));
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("КСПП")), QStringLiteral("98.5"));
}

TEST_F(LinesViewTest, EnterWithoutAnEditorLeavesForTheViewItCameFrom) {
    h_->Tap(vk::kF5); // the channels menu's way to the measurement view
    ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    h_->Tap(kF2);
    ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);
    EXPECT_EQ(View().GetReturnView(), h_->Frame().pelView);
    h_->Tap(vk::kEnter);
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    EXPECT_TRUE(h_->boxes.empty()) << "no screen copy asked for";
}

TEST_F(LinesViewTest, AnEmptyTableDisablesDeleteAndApplyButAddStillWorks) {
    Open();
    for (const int code : {kF3, kF4, vk::kF6})
        EXPECT_EQ(Key(code)->GetState(), 0) << code;
    EXPECT_EQ(Key(kF3)->GetCaption(), QStringLiteral("Удалить\nвыделенную"));
    EXPECT_EQ(Key(vk::kF6)->GetCaption(), QStringLiteral("\nУстановить"));
    h_->Tap(kF3);
    h_->Tap(kF4);
    h_->Tap(vk::kF6);
    EXPECT_TRUE(h_->boxes.empty());
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);

    h_->Tap(kF8);
    ASSERT_NE(View().GetBrandEditor(), nullptr);
    EXPECT_EQ(Table().GetRowCount(), 1);
    EXPECT_FALSE(platform::FileExists(Path())) << "the new row is not stored before it is complete";
}

TEST_F(LinesViewTest, DeleteSelectedAsksAndRemovesTheHighlightedRow) {
    WriteTable(QStringLiteral("A\n1.100 \nB\n1.200 \nC\n1.300 \n"));
    Open();
    h_->Tap('7');
    h_->Tap('7');
    ASSERT_EQ(Table().currentBrand, QStringLiteral("C"));
    h_->Tap(kF3);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Удалить ВЫДЕЛЕННУЮ строку из таблицы?"));
    EXPECT_EQ(h_->boxes[0].caption, QString());
    EXPECT_EQ(h_->boxes[0].flags, platform::mb::kOkCancel | platform::mb::kIconQuestion);
    EXPECT_EQ(Table().GetRowCount(), 2);
    EXPECT_EQ(Table().currentBrand, QStringLiteral("B")) << "the row above takes the highlight";
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\n1.100 \nB\n1.200 \n")));
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView) << "Enter of the box does not leave";
}

TEST_F(LinesViewTest, DeletingAnotherRowHighlightsTheOneThatFollows) {
    WriteTable(QStringLiteral("A\n1.100 \nB\n1.200 \nC\n1.300 \n"));
    Open();
    h_->Tap('7');
    h_->Tap(kF3);
    EXPECT_EQ(Table().currentBrand, QStringLiteral("C"));
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\n1.100 \nC\n1.300 \n")));
}

TEST_F(LinesViewTest, CancelledDeletionChangesNothing) {
    WriteTable(QStringLiteral("A\n1.100 \nB\n1.200 \n"));
    Open();
    h_->answers = {platform::mb::kIdCancel, platform::mb::kIdCancel};
    h_->Tap(kF3);
    h_->Tap(kF4);
    EXPECT_EQ(h_->boxes.size(), 2u);
    EXPECT_EQ(Table().GetRowCount(), 2);
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\n1.100 \nB\n1.200 \n")));
    EXPECT_EQ(Key(kF3)->GetState(), 1) << "the key comes back up";
    EXPECT_EQ(Key(kF4)->GetState(), 1);
}

TEST_F(LinesViewTest, DeleteAllLeavesAnEmptyFile) {
    WriteTable(QStringLiteral("A\n1.100 \nB\n1.200 \n"));
    Open();
    h_->Tap(kF4);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Удалить ВСЕ строки из таблицы?"));
    EXPECT_EQ(h_->boxes[0].flags, platform::mb::kOkCancel | platform::mb::kIconQuestion);
    EXPECT_EQ(Table().GetRowCount(), 0);
    EXPECT_TRUE(platform::FileExists(Path()));
    EXPECT_TRUE(TableBytes().isEmpty());
    for (const int code : {kF3, kF4, vk::kF6})
        EXPECT_EQ(Key(code)->GetState(), 0) << code;
}

TEST_F(LinesViewTest, AddingANewBrandStoresItLastAndHighlighted) {
    WriteTable(QStringLiteral("ТПП\n1.480 \n"));
    Open();
    h_->Tap(kF8);
    CEnterChar* brandEditor = View().GetBrandEditor();
    ASSERT_NE(brandEditor, nullptr);
    EXPECT_TRUE(brandEditor->hasFocus());
    const QRect brandCell = Table().GetSubItemRect(1, CKUListCtrl::kBrandColumn);
    EXPECT_EQ(brandEditor->geometry().left(),
              Table().viewport()->mapTo(&View(), brandCell.topLeft()).x() + CLinesView::kBrandEditorInset);
    h_->Tap('3'); // А
    h_->Tap('5'); // И
    EXPECT_EQ(brandEditor->text(), QStringLiteral("АИ"));
    h_->Tap(vk::kEnter);
    EXPECT_EQ(View().GetBrandEditor(), nullptr);
    CBaseDoubleScrollBar* stepper = View().GetValueEditor();
    ASSERT_NE(stepper, nullptr);
    EXPECT_TRUE(stepper->hasFocus());
    EXPECT_EQ(Table().currentBrand, QStringLiteral("АИ"));
    EXPECT_DOUBLE_EQ(stepper->GetValue(), 1.5) << "the current КУ to start from";
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("ТПП\n1.480 \n"))) << "nothing stored before the value";

    h_->Tap('1');
    Settle();
    EXPECT_EQ(stepper->GetText(), QStringLiteral("1.501 "));
    CommitValue();
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("ТПП\n1.480 \nАИ\n1.501 \n")));
    EXPECT_EQ(Table().GetRowCount(), 2);
    EXPECT_EQ(Table().FindRowByBrand(Table().currentBrand), 1);
    EXPECT_EQ(Key(kF3)->GetCaption(), QStringLiteral("Удалить\nвыделенную")) << "relabelled";
    EXPECT_EQ(Key(kF8)->GetState(), 1);
    EXPECT_TRUE(Table().hasFocus());

    h_->Tap(vk::kF5);
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView) << "the return view is kept";
}

TEST_F(LinesViewTest, AddingAnExistingBrandLeavesOneRowWithTheNewValue) {
    WriteTable(QStringLiteral("А\n1.100 \nБ\n1.200 \n"));
    Open();
    h_->Tap(kF8);
    h_->Tap('3'); // А
    h_->Tap(vk::kEnter);
    ASSERT_NE(View().GetValueEditor(), nullptr);
    h_->Tap('6');
    h_->Tap('6');
    Settle();
    CommitValue();
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("Б\n1.200 \nА\n1.502 \n")));
    ASSERT_EQ(Table().GetRowCount(), 2);
    EXPECT_EQ(Table().GetBrandAt(1), QStringLiteral("А"));
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("А")), QStringLiteral("1.502 "));
    EXPECT_EQ(Table().currentBrand, QStringLiteral("А"));
    EXPECT_TRUE(Table().IsHighlighted(1));
}

TEST_F(LinesViewTest, AnEmptyBrandIsStored) {
    Open();
    h_->Tap(kF8);
    h_->Tap(vk::kEnter);
    ASSERT_NE(View().GetValueEditor(), nullptr);
    CommitValue();
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("\n1.500 \n")));
    EXPECT_EQ(Table().GetRowCount(), 1);
    EXPECT_TRUE(Table().IsHighlighted(0));
    EXPECT_EQ(Key(vk::kF6)->GetState(), 1);
}

TEST_F(LinesViewTest, AnOtherKeyOnTheStepperKeepsTheValueThatIsStored) {
    SetVelocityDisplayMode(1);
    Open();
    h_->Tap(kF8);
    h_->Tap('5'); // И
    h_->Tap(vk::kEnter);
    ASSERT_NE(View().GetValueEditor(), nullptr);
    h_->Tap('5'); // not a stepping key
    h_->Tap('9');
    Settle();
    EXPECT_EQ(View().GetValueEditor()->GetText(), QStringLiteral("100.0"));
    CommitValue();
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("И\n1.500 \n")));
}

TEST_F(LinesViewTest, ApplyingInVTwoModeSetsTheVelocityOfEveryTrace) {
    WriteTable(QStringLiteral("ТПП\n1.500 \nКСПП\n1.523 \n"));
    SetVelocityDisplayMode(1);
    h_->Tap(vk::kF5);
    ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    h_->Tap(kF2);
    ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);
    h_->Tap('7');
    ASSERT_EQ(Table().GetValueByBrand(Table().currentBrand), QStringLiteral("98.5"));
    h_->Tap(vk::kF6);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Вы хотите установить V/2 = 98.5 ?"));
    EXPECT_EQ(h_->boxes[0].flags, platform::mb::kOkCancel | platform::mb::kIconQuestion);
    for (const CChannel& channel : h_->Doc().ch) {
        EXPECT_DOUBLE_EQ(channel.scale.vfactor.GetKU(), 300.0 / 197.0) << channel.number;
        EXPECT_NEAR(channel.scale.vfactor.GetV2(), 98.5, 1e-9) << channel.number;
    }
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    EXPECT_EQ(Key(vk::kF6 + 2)->GetCaption(), QStringLiteral("V/2\n\n98.5")) << "the measurement view shows it";
}

TEST_F(LinesViewTest, ApplyingInKUModeShowsTheValueWithItsBlank) {
    WriteTable(QStringLiteral("ТПП\n1.480 \n"));
    Open();
    h_->Tap(vk::kF6);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Вы хотите установить КУ = 1.480  ?"));
    for (const CChannel& channel : h_->Doc().ch)
        EXPECT_DOUBLE_EQ(channel.scale.vfactor.GetKU(), 1.48) << channel.number;
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView);
}

TEST_F(LinesViewTest, ATableReplacedUnderTheHighlightedBrandHighlightsItsFirstRow) {
    WriteTable(QStringLiteral("A\n1.100 \nB\n1.200 \n"));
    Open();
    h_->Tap('7');
    ASSERT_EQ(Table().currentBrand, QStringLiteral("B"));
    h_->Tap(vk::kF5);
    WriteTable(QStringLiteral("C\n2.000 \nD\n2.500 \n")); // an import while the library was away
    Open();
    EXPECT_EQ(Table().currentBrand, QStringLiteral("C"));
    EXPECT_TRUE(Table().IsHighlighted(0));
    h_->Tap('7');
    EXPECT_EQ(Table().currentBrand, QStringLiteral("D")) << "keys 7 and 1 move the highlight again";
    h_->Tap(vk::kF6);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Вы хотите установить КУ = 2.500  ?"));
    for (const CChannel& channel : h_->Doc().ch)
        EXPECT_DOUBLE_EQ(channel.scale.vfactor.GetKU(), 2.5) << channel.number;
}

TEST_F(LinesViewTest, ARowWithoutAUsableValueIsMarkedRefusedAndKeptAsTheFileHadIt) {
    WriteTable(QStringLiteral("A\nnan\nB\n1.200 \nC\ninfinity\n"));
    Open();
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("A")), QStringLiteral("ошибка"));
    EXPECT_EQ(Table().GetValueByBrand(QStringLiteral("C")), QStringLiteral("ошибка"));
    h_->Tap(vk::kF6);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Значение КУ в этой строке неверно.\nКУ не изменён."));
    EXPECT_EQ(h_->boxes[0].flags, platform::mb::kOk | platform::mb::kIconStop);
    for (const CChannel& channel : h_->Doc().ch)
        EXPECT_EQ(channel.scale.vfactor.GetKU(), 1.5) << channel.number;
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);
    EXPECT_EQ(Key(vk::kF6)->GetState(), 1) << "the key comes back up";

    h_->Tap('7');
    h_->Tap(kF3); // a save of the table
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\nnan\nC\ninfinity\n")));
}

TEST_F(LinesViewTest, CancelledApplyChangesNoTrace) {
    WriteTable(QStringLiteral("ТПП\n2.000 \n"));
    Open();
    h_->answers = {platform::mb::kIdCancel};
    h_->Tap(vk::kF6);
    ASSERT_EQ(h_->boxes.size(), 1u);
    for (const CChannel& channel : h_->Doc().ch)
        EXPECT_DOUBLE_EQ(channel.scale.vfactor.GetKU(), 1.5) << channel.number;
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().linesView);
    EXPECT_EQ(Key(vk::kF6)->GetState(), 1);
}

TEST_F(LinesViewTest, HoldingF6AsksOnce) {
    WriteTable(QStringLiteral("ТПП\n2.000 \n"));
    Open();
    h_->answers = {platform::mb::kIdCancel};
    h_->KeyDown(vk::kF6);
    for (int i = 0; i < 5; ++i) {
        h_->KeyUp(vk::kF6, true);
        h_->KeyDown(vk::kF6, true);
    }
    EXPECT_EQ(Key(vk::kF6)->GetState(), 254) << "the repeats do not toggle it back";
    EXPECT_TRUE(h_->boxes.empty()) << "the action waits for the release";
    h_->KeyUp(vk::kF6);
    EXPECT_EQ(h_->boxes.size(), 1u);
}

TEST_F(LinesViewTest, AnEntryLeftHalfWayIsDropped) {
    WriteTable(QStringLiteral("ТПП\n1.480 \nКСПП\n1.500 \n"));
    Open();
    h_->Tap('7');
    h_->Tap(kF8);
    h_->Tap('3');
    h_->Tap(vk::kEnter);
    ASSERT_NE(View().GetValueEditor(), nullptr);
    // Something else takes the screen while the value is being set.
    h_->Frame().SetActiveViewPEL(h_->Frame().pelView, true);
    EXPECT_EQ(View().GetValueEditor(), nullptr);
    EXPECT_EQ(View().GetBrandEditor(), nullptr);
    EXPECT_EQ(Table().GetRowCount(), 2);
    EXPECT_EQ(Table().currentBrand, QStringLiteral("КСПП"));
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("ТПП\n1.480 \nКСПП\n1.500 \n")));
}

TEST_F(LinesViewTest, TheNewRowIsScrolledIntoViewUnderItsEditor) {
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("R%1\n1.500 \n").arg(i);
    WriteTable(text);
    Open();
    h_->Tap(kF8);
    ASSERT_NE(View().GetBrandEditor(), nullptr);
    EXPECT_EQ(Table().GetRowCount(), 41);
    EXPECT_TRUE(View().rect().contains(View().GetBrandEditor()->geometry()))
        << "editor at " << View().GetBrandEditor()->geometry().y();
    EXPECT_GT(Table().GetTopIndex(), 0);
    h_->Tap(vk::kEnter);
    ASSERT_NE(View().GetValueEditor(), nullptr);
    EXPECT_TRUE(View().rect().contains(View().GetValueEditor()->geometry()));
    EXPECT_EQ(Table().columnWidth(CKUListCtrl::kBrandColumn), 2 * (510 / 3) - 20) << "room for the scroll bar";
}
