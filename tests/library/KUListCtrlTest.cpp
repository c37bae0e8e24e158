// The velocity-factor list on its own: loading and saving "tableku.tku" in both display
// modes, lookups by brand, the highlight kept by brand through deletions and keys,
// the column layout and the drawing of the highlighted row.
#include "library/KUListCtrl.h"
#include "library/KUEditChar.h"
#include "support/Rgb.h"
#include "support/Utf16.h"

#include "document/PELDoc.h"
#include "platform/Files.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class KUListCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        doc_ = std::make_unique<CPELDoc>(platform::AsFolder(home_.path()));
        owner_.resize(510, 415);
        list_ = new CKUListCtrl(&owner_);
        list_->setGeometry(0, 0, 510, 415);
        list_->SetRowHeight(18);
    }
    void TearDown() override { SetVelocityDisplayMode(0); }

    QString Path() const { return doc_->storageFolder + QStringLiteral("tableku.tku"); }
    void WriteTable(const QString& text) {
        ASSERT_TRUE(platform::CreateFolderPath(doc_->storageFolder));
        ASSERT_TRUE(platform::WriteFileAtomically(Path(), Utf16(text)));
    }
    QByteArray TableBytes() const {
        QByteArray bytes;
        EXPECT_TRUE(platform::ReadWholeFile(Path(), bytes));
        return bytes;
    }
    void Init() { list_->InitColumns(doc_.get()); }

    QTemporaryDir home_;
    std::unique_ptr<CPELDoc> doc_;
    QWidget owner_;
    CKUListCtrl* list_ = nullptr;
};

} // namespace

TEST_F(KUListCtrlTest, ColumnsAndTheirHeaders) {
    Init();
    ASSERT_EQ(list_->columnCount(), 3);
    EXPECT_EQ(list_->horizontalHeaderItem(0)->text(), QStringLiteral(" "));
    EXPECT_EQ(list_->horizontalHeaderItem(1)->text(), QStringLiteral("марка кабеля"));
    EXPECT_EQ(list_->horizontalHeaderItem(2)->text(), QStringLiteral("значение "));
    EXPECT_EQ(list_->horizontalHeaderItem(1)->textAlignment(), static_cast<int>(Qt::AlignCenter));
    EXPECT_EQ(list_->columnWidth(0), 0) << "the brand copy never shows";
    EXPECT_TRUE(list_->showGrid());
    EXPECT_EQ(list_->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(KUListCtrlTest, MissingFileIsAnEmptyTable) {
    Init();
    EXPECT_EQ(list_->GetRowCount(), 0);
    EXPECT_EQ(list_->rowCount(), 0);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("[КУ]"));
    EXPECT_FALSE(platform::FileExists(Path())) << "loading creates nothing";
}

TEST_F(KUListCtrlTest, LoadsRowsAndHighlightsTheFirst) {
    WriteTable(QStringLiteral("ТПП\n1.500 \nКСПП\r\n1.480 \r\n"));
    Init();
    ASSERT_EQ(list_->GetRowCount(), 2);
    EXPECT_EQ(list_->item(0, 0)->text(), QStringLiteral("ТПП")) << "the hidden copy";
    EXPECT_EQ(list_->item(0, 1)->text(), QStringLiteral("ТПП"));
    EXPECT_EQ(list_->item(0, 2)->text(), QStringLiteral("1.500 "));
    EXPECT_EQ(list_->item(1, 1)->text(), QStringLiteral("КСПП"));
    EXPECT_EQ(list_->item(1, 2)->text(), QStringLiteral("1.480 "));
    EXPECT_EQ(list_->currentBrand, QStringLiteral("ТПП"));
    EXPECT_TRUE(list_->IsHighlighted(0));
    EXPECT_FALSE(list_->IsHighlighted(1));
}

TEST_F(KUListCtrlTest, ReloadKeepsTheHighlightedBrandWhileTheTableHasIt) {
    WriteTable(QStringLiteral("A\n1.500 \nB\n1.600 \n"));
    Init();
    list_->currentBrand = QStringLiteral("B");
    list_->LoadTable();
    EXPECT_EQ(list_->GetRowCount(), 2);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("B"));

    WriteTable(QStringLiteral("C\n1.500 \n")); // replaced without the brand
    list_->LoadTable();
    EXPECT_EQ(list_->currentBrand, QStringLiteral("C"));
}

TEST_F(KUListCtrlTest, LookupsByBrandFindTheFirstRow) {
    WriteTable(QStringLiteral("A\n1.500 \nB\n1.600 \nA\n1.700 \n\n2.000 \nC\n"));
    Init();
    ASSERT_EQ(list_->GetRowCount(), 5) << "repeated and empty brands all load";
    EXPECT_EQ(list_->FindRowByBrand(QStringLiteral("A")), 0);
    EXPECT_EQ(list_->GetValueByBrand(QStringLiteral("A")), QStringLiteral("1.500 "));
    EXPECT_EQ(list_->FindRowByBrand(QStringLiteral("a")), -1) << "case-sensitive";
    EXPECT_EQ(list_->FindRowByBrand(QString()), 3);
    EXPECT_EQ(list_->GetValueByBrand(QString()), QStringLiteral("2.000 "));
    EXPECT_EQ(list_->GetValueByBrand(QStringLiteral("C")), ku_table::NoValueMark()) << "no value line";
    EXPECT_TRUE(list_->HasUsableValue(0));
    EXPECT_FALSE(list_->HasUsableValue(4));
    EXPECT_EQ(list_->GetValueByBrand(QStringLiteral("D")), QString());
    EXPECT_EQ(list_->GetBrandAt(-1), QStringLiteral("[КУ]"));
    EXPECT_EQ(list_->GetBrandAt(5), QStringLiteral("[КУ]"));
    EXPECT_EQ(list_->GetBrandAt(1), QStringLiteral("B"));
}

TEST_F(KUListCtrlTest, ItemTextsAreReadThroughTheBuffer) {
    const QString longBrand(600, QLatin1Char('Z'));
    WriteTable(longBrand + QStringLiteral("\n1.500 \n"));
    Init();
    EXPECT_EQ(list_->GetBrandAt(0).size(), 509);
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_EQ(TableBytes(), Utf16(QString(509, QLatin1Char('Z')) + QStringLiteral("\n1.500 \n")));
}

TEST_F(KUListCtrlTest, SavesExactlyWhatItShows) {
    WriteTable(QStringLiteral("ТПП\r\n1.5\r\n\n2.25\n"));
    Init();
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("ТПП\n1.500 \n\n2.250 \n")));
}

TEST_F(KUListCtrlTest, SavingInVTwoModeStoresKURecomputedFromTheShownValue) {
    WriteTable(QStringLiteral("A\n2.999 \nB\n1.500 \n"));
    SetVelocityDisplayMode(1);
    Init();
    EXPECT_EQ(list_->GetValueByBrand(QStringLiteral("A")), QStringLiteral("50.0"));
    EXPECT_EQ(list_->GetValueByBrand(QStringLiteral("B")), QStringLiteral("100.0"));
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\n3.000 \nB\n1.500 \n")));
}

TEST_F(KUListCtrlTest, SavingCreatesTheStorageFolderAndLeavesNoTemporaryFile) {
    Init();
    ASSERT_FALSE(platform::FolderExists(doc_->storageFolder));
    list_->InsertRow(0, QStringLiteral("A"), QStringLiteral("1.25"));
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_EQ(TableBytes(), Utf16(QStringLiteral("A\n1.250 \n")));
    const auto files = platform::FindFiles(doc_->storageFolder + QStringLiteral("*"));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, QStringLiteral("tableku.tku"));
}

TEST_F(KUListCtrlTest, AnUnwritableFolderWritesNothing) {
    Init();
    // A file where the storage folder should be: no folder can be made there.
    ASSERT_TRUE(platform::WriteFileAtomically(doc_->storageFolder.chopped(1), QByteArray("x")));
    list_->InsertRow(0, QStringLiteral("A"), QStringLiteral("1.25"));
    EXPECT_FALSE(list_->SaveTable());
    EXPECT_FALSE(platform::FileExists(Path()));
}

TEST_F(KUListCtrlTest, AnEmptyTableSavesAnEmptyFile) {
    WriteTable(QStringLiteral("A\n1.500 \n"));
    Init();
    list_->DeleteAllItems();
    EXPECT_EQ(list_->GetRowCount(), 0);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("[КУ]"));
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_TRUE(platform::FileExists(Path()));
    EXPECT_TRUE(TableBytes().isEmpty());
}

TEST_F(KUListCtrlTest, DeletingTheHighlightedLastRowHighlightsTheOneAbove) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\nC\n1.3\n"));
    Init();
    list_->currentBrand = QStringLiteral("C");
    ASSERT_TRUE(list_->DeleteItem(2));
    EXPECT_EQ(list_->GetRowCount(), 2);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("B"));
}

TEST_F(KUListCtrlTest, DeletingAnotherRowHighlightsTheOneThatFollows) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\nC\n1.3\n"));
    Init();
    ASSERT_EQ(list_->currentBrand, QStringLiteral("A"));
    ASSERT_TRUE(list_->DeleteItem(0));
    EXPECT_EQ(list_->currentBrand, QStringLiteral("B"));
    EXPECT_EQ(list_->FindRowByBrand(QStringLiteral("B")), 0);
}

TEST_F(KUListCtrlTest, DeletingTheOnlyRowLeavesNoHighlight) {
    WriteTable(QStringLiteral("A\n1.1\n"));
    Init();
    ASSERT_TRUE(list_->DeleteItem(0));
    EXPECT_EQ(list_->GetRowCount(), 0);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("[КУ]"));
    EXPECT_FALSE(list_->DeleteItem(0)) << "no row to delete";
}

TEST_F(KUListCtrlTest, KeysSevenAndOneMoveTheHighlightAndStopAtTheEnds) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\nC\n1.3\n"));
    Init();
    list_->OnKeyDown('7');
    EXPECT_EQ(list_->currentBrand, QStringLiteral("B"));
    list_->OnKeyDown('7');
    list_->OnKeyDown('7');
    EXPECT_EQ(list_->currentBrand, QStringLiteral("C")) << "no wrap at the bottom";
    list_->OnKeyDown('1');
    list_->OnKeyDown('1');
    list_->OnKeyDown('1');
    EXPECT_EQ(list_->currentBrand, QStringLiteral("A")) << "no wrap at the top";
    list_->OnKeyDown('2');
    EXPECT_EQ(list_->currentBrand, QStringLiteral("A"));
}

TEST_F(KUListCtrlTest, KeysWithoutAHighlightedRowHighlightTheFirst) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\n"));
    Init();
    list_->currentBrand = QStringLiteral("gone");
    list_->OnKeyDown('7');
    EXPECT_EQ(list_->currentBrand, QStringLiteral("A"));
}

TEST_F(KUListCtrlTest, KeyEventsOfTheDigitsReachTheList) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\n"));
    Init();
    owner_.show();
    QTest::keyClick(list_, Qt::Key_7);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("B"));
    QTest::keyClick(list_, Qt::Key_1);
    EXPECT_EQ(list_->currentBrand, QStringLiteral("A"));
}

TEST_F(KUListCtrlTest, MovingDownScrollsTheHighlightIntoView) {
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("R%1\n1.5\n").arg(i);
    WriteTable(text);
    Init();
    owner_.show();
    list_->LayoutColumns(510);
    ASSERT_EQ(list_->GetTopIndex(), 0);
    const int page = list_->GetCountPerPage();
    ASSERT_GT(page, 5);
    ASSERT_LT(page, 40);
    for (int i = 0; i < page; ++i)
        list_->OnKeyDown('7');
    EXPECT_EQ(list_->FindRowByBrand(list_->currentBrand), page);
    EXPECT_EQ(list_->GetTopIndex(), 1) << "one line down";
    for (int i = 0; i < page; ++i)
        list_->OnKeyDown('1');
    EXPECT_EQ(list_->FindRowByBrand(list_->currentBrand), 0);
    EXPECT_EQ(list_->GetTopIndex(), 0);
}

TEST_F(KUListCtrlTest, ColumnWidthsLeaveRoomForTheScrollBarFromTwentySevenRows) {
    QString text;
    for (int i = 0; i < 26; ++i)
        text += QStringLiteral("R%1\n1.5\n").arg(i);
    WriteTable(text);
    Init();
    list_->LayoutColumns(510);
    EXPECT_EQ(list_->columnWidth(0), 0);
    EXPECT_EQ(list_->columnWidth(1), 340);
    EXPECT_EQ(list_->columnWidth(2), 168);
    list_->InsertRow(26, QStringLiteral("R26"), QStringLiteral("1.500 "));
    list_->LayoutColumns(510);
    EXPECT_EQ(list_->columnWidth(1), 320);
    EXPECT_EQ(list_->columnWidth(2), 168);
}

TEST_F(KUListCtrlTest, TheHighlightedRowIsDrawnInverted) {
    WriteTable(QStringLiteral("A\n1.1\nB\n1.2\nC\n1.3\n"));
    Init();
    list_->LayoutColumns(510);
    owner_.show();
    list_->currentBrand = QStringLiteral("B");
    const auto rowColor = [this](int row) {
        const QImage image = list_->viewport()->grab().toImage();
        const QRect cell = list_->GetSubItemRect(row, 2);
        return image.pixel(cell.left() + 2, cell.center().y());
    };
    EXPECT_EQ(rowColor(1), RgbOf(CKUListCtrl::kHighlightBack));
    EXPECT_EQ(rowColor(0), RgbOf(CKUListCtrl::kWindowBack));
    EXPECT_EQ(rowColor(2), RgbOf(CKUListCtrl::kWindowBack));
    list_->OnKeyDown('7');
    EXPECT_EQ(rowColor(2), RgbOf(CKUListCtrl::kHighlightBack));
    EXPECT_EQ(rowColor(1), RgbOf(CKUListCtrl::kWindowBack));
}

TEST_F(KUListCtrlTest, TextOfTheHighlightedRowIsWhite) {
    WriteTable(QStringLiteral("WWWW\n1.1\n"));
    Init();
    list_->LayoutColumns(510);
    owner_.show();
    const QImage image = list_->viewport()->grab().toImage();
    const QRect cell = list_->GetSubItemRect(0, 1);
    bool white = false;
    for (int x = cell.left(); x < cell.left() + 60 && !white; ++x) {
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            white = white || image.pixel(x, y) == qRgb(255, 255, 255);
    }
    EXPECT_TRUE(white);
    // The text starts past the inset: the first pixels of the cell are background.
    for (int x = cell.left(); x < cell.left() + CKUListCtrl::kTextInset; ++x)
        EXPECT_EQ(image.pixel(x, cell.center().y()), RgbOf(CKUListCtrl::kHighlightBack)) << x;
}

TEST(KUEditChar, IsTheCharacterEntryUnchanged) {
    CTextEntrySetting setting;
    QWidget parent;
    parent.resize(200, 100);
    auto* editor = new CKUEditChar(EnterCharContext{&setting, nullptr, nullptr});
    ASSERT_TRUE(editor->Create(QRect(0, 50, 150, 20), &parent, 1, QStringLiteral("абв")));
    EXPECT_EQ(editor->parentWidget(), &parent);
    EXPECT_EQ(editor->GetDlgCtrlID(), 1);
    EXPECT_EQ(editor->text(), QStringLiteral("АБВ"));
    editor->OnChar('3');
    EXPECT_EQ(editor->text(), QStringLiteral("АБВА"));
}
