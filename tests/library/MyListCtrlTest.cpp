// The reflectogram list on its own: the row texts from the files, the column widths,
// the selection by keys 1 and 7, the deletion notice and the owner drawing.
#include "library/MyListCtrl.h"
#include "support/Rgb.h"

#include "document/PELDoc.h"
#include "document/ReflectogramFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/FormView.h"

#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <numeric>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace reflectogram_list;

QByteArray FileBytes(std::int32_t pulse, std::int32_t range, std::int32_t storedKU) {
    reflectogram::Header header;
    header.sampleCount = 100;
    header.pulse = pulse;
    header.range = range;
    header.storedKU = storedKU;
    const std::vector<std::uint8_t> samples(100, 7);
    return reflectogram::Encode(header, samples.data());
}

// The owner of the list: records the key messages the list passes on.
class OwnerView : public CFormView {
public:
    void OnKeyDown(int code, bool) override { log.push_back(QStringLiteral("down %1").arg(code)); }
    void OnKeyUp(int code) override { log.push_back(QStringLiteral("up %1").arg(code)); }
    std::vector<QString> log;
};

class MyListCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        doc_ = std::make_unique<CPELDoc>(platform::AsFolder(home_.path()));
        ASSERT_TRUE(platform::CreateFolderPath(doc_->storageFolder));
        owner_.resize(510, 118);
        list_ = new CMyListCtrl(&owner_);
        list_->setGeometry(0, 0, 510, 118);
        list_->InitColumns();
        owner_.show();
    }
    void TearDown() override { SetVelocityDisplayMode(0); }

    void Write(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(platform::WriteFileAtomically(doc_->storageFolder + name, bytes));
    }
    void WriteFiles(int count) {
        for (int i = 0; i < count; ++i)
            Write(QStringLiteral("F%1.pel").arg(i), FileBytes(0, 0, 1500));
    }
    void SetSavedAt(const QString& name, const QDateTime& time) {
        QFile file(doc_->storageFolder + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    QString Cell(int row, int column) const { return list_->item(row, column)->text(); }

    QTemporaryDir home_;
    std::unique_ptr<CPELDoc> doc_;
    OwnerView owner_;
    CMyListCtrl* list_ = nullptr;
};

} // namespace

TEST(ReflectogramList, ColumnWidthsFromAnEighthOfTheClientWidth) {
    const std::array<int, kColumns> six{10, 3 * 63 - 30, 67, 67, 63, 73, 69};
    EXPECT_EQ(ColumnWidths(508, 6), six);
    EXPECT_EQ(std::accumulate(six.begin(), six.end(), 0), 508) << "the columns fill the list";
    const auto seven = ColumnWidths(508, 7);
    EXPECT_EQ(seven[kNameColumn], six[kNameColumn] - 20) << "room for the scroll bar";
    for (std::size_t column = 0; column < seven.size(); ++column) {
        if (column != kNameColumn) {
            EXPECT_EQ(seven[column], six[column]) << column;
        }
    }
    EXPECT_EQ(ColumnWidths(500, 0)[kNameColumn], 3 * 62 - 30) << "integer eighths";
}

TEST(ReflectogramList, SearchMaskInTheSlotsFolder) {
    EXPECT_EQ(SearchMask(QStringLiteral("/home/pel.v2/save/")), QStringLiteral("/home/pel.v2/save/*.pel"));
    EXPECT_EQ(SearchMask(QStringLiteral("/home/pel.v2/save/A.pel")), QStringLiteral("/home/pel.v2/save/*.pel"));
    EXPECT_TRUE(SearchMask(QString()).isEmpty());
}

TEST(ReflectogramList, HeaderValuesNeedSevenOfThem) {
    const QByteArray bytes = FileBytes(3, 5, 1468);
    const auto values = HeaderValues(bytes);
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ((*values)[0], 100);
    EXPECT_EQ((*values)[1], 3);
    EXPECT_EQ((*values)[2], 5);
    EXPECT_EQ((*values)[6], 1468);
    EXPECT_FALSE(HeaderValues(bytes.left(27)).has_value());
    EXPECT_TRUE(HeaderValues(bytes.left(28)).has_value());
}

TEST(ReflectogramList, RowTextsInBothVelocityModes) {
    const QDateTime modified(QDate(2024, 3, 5), QTime(7, 8, 9));
    SetVelocityDisplayMode(0);
    const RowTexts ku = DescribeFile(QStringLiteral("ЛИНИЯ"), FileBytes(2, 1, 1500), modified);
    EXPECT_EQ(ku[0], QStringLiteral(" "));
    EXPECT_EQ(ku[1], QStringLiteral("ЛИНИЯ"));
    EXPECT_EQ(ku[2], RangeText(1));
    EXPECT_TRUE(ku[2].endsWith(QStringLiteral(" м")));
    EXPECT_EQ(ku[3], PulseName(2));
    EXPECT_FALSE(ku[3].isEmpty());
    EXPECT_EQ(ku[4], QStringLiteral("1.500 "));
    EXPECT_EQ(ku[5], QStringLiteral("05.03.2024"));
    EXPECT_EQ(ku[6], QStringLiteral("07:08:09"));
    SetVelocityDisplayMode(1);
    EXPECT_EQ(DescribeFile(QStringLiteral("ЛИНИЯ"), FileBytes(2, 1, 1500), modified)[4], QStringLiteral("100.0"));
    SetVelocityDisplayMode(0);
}

TEST(ReflectogramList, AShortFileKeepsItsNameAndTimeOnly) {
    const QDateTime modified(QDate(2023, 12, 31), QTime(23, 59, 58));
    const RowTexts texts = DescribeFile(QStringLiteral("ОБРЫВ"), QByteArray(27, '\x01'), modified);
    EXPECT_EQ(texts[1], QStringLiteral("ОБРЫВ"));
    EXPECT_TRUE(texts[2].isEmpty());
    EXPECT_TRUE(texts[3].isEmpty());
    EXPECT_TRUE(texts[4].isEmpty());
    EXPECT_EQ(texts[5], QStringLiteral("31.12.2023"));
    EXPECT_EQ(texts[6], QStringLiteral("23:59:58"));
}

TEST(ReflectogramList, SelectionAfterADeletion) {
    EXPECT_EQ(SelectionAfterDelete(1, 4), 2) << "the following row";
    EXPECT_EQ(SelectionAfterDelete(0, 4), 1);
    EXPECT_EQ(SelectionAfterDelete(3, 4), 2) << "the new last row";
    EXPECT_EQ(SelectionAfterDelete(0, 1), -1) << "nothing left";
}

TEST_F(MyListCtrlTest, ColumnsAndHeaders) {
    ASSERT_EQ(list_->columnCount(), 7);
    const std::array<const char*, 7> headers{" ", "имя файла", "масштаб", "импульс", "КУ", "дата", "время"};
    for (int column = 0; column < 7; ++column)
        EXPECT_EQ(list_->horizontalHeaderItem(column)->text(), QString::fromUtf8(headers[column])) << column;
    list_->SetVelocityHeader(QStringLiteral("V/2"));
    EXPECT_EQ(list_->horizontalHeaderItem(4)->text(), QStringLiteral("V/2"));
    EXPECT_EQ(list_->ClientWidth(), 508);
    EXPECT_EQ(list_->columnWidth(0), 10);
    EXPECT_EQ(list_->columnWidth(1), 159);
    EXPECT_TRUE(list_->showGrid());
}

TEST_F(MyListCtrlTest, FillListsTheReflectogramsOfTheFolder) {
    Write(QStringLiteral("Б.pel"), FileBytes(1, 2, 1468));
    Write(QStringLiteral("А.pel"), FileBytes(0, 0, 1500));
    Write(QStringLiteral("SCREEN 1.png"), "not a reflectogram");
    Write(QStringLiteral("ВЕРХ.PEL"), FileBytes(0, 0, 1500)); // not reachable as name + ".pel"
    ASSERT_TRUE(platform::CreateFolder(doc_->storageFolder + QStringLiteral("ПАПКА.pel")));
    const QDateTime stamp(QDate(2022, 1, 2), QTime(3, 4, 5));
    SetSavedAt(QStringLiteral("А.pel"), stamp);

    list_->FillList(doc_.get());
    ASSERT_EQ(list_->GetItemCount(), 2);
    EXPECT_EQ(list_->GetItemName(0), QStringLiteral("А"));
    EXPECT_EQ(list_->GetItemName(1), QStringLiteral("Б"));
    EXPECT_EQ(list_->GetItemName(-1), QStringLiteral("xxx"));
    EXPECT_EQ(list_->FindItem(QStringLiteral("Б")), 1);
    EXPECT_EQ(list_->FindItem(QStringLiteral("В")), -1);
    EXPECT_EQ(Cell(1, 2), RangeText(2));
    EXPECT_EQ(Cell(1, 3), PulseName(1));
    EXPECT_EQ(Cell(1, 4), QStringLiteral("1.468 "));
    const QDateTime shown = stamp.addMSecs(platform::LocalTimeOffsetMs());
    EXPECT_EQ(Cell(0, 5), DateText(shown));
    EXPECT_EQ(Cell(0, 6), TimeText(shown));
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("А")) << "the first row when nothing was selected";

    // Refilling keeps the selection by name.
    list_->SetSelectedName(QStringLiteral("Б"));
    Write(QStringLiteral("В.pel"), FileBytes(0, 0, 1500));
    list_->FillList(doc_.get());
    EXPECT_EQ(list_->GetItemCount(), 3);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("Б"));
}

TEST_F(MyListCtrlTest, RowsComeInTheOrderTheFilesWereSaved) {
    // Oldest first; files of the same moment by name.
    const QDateTime saved(QDate(2024, 5, 1), QTime(10, 0));
    const std::vector<std::pair<const char*, int>> files{{"РЕФЛ10", 120}, {"РЕФЛ2", 60}, {"Б", 0}, {"А", 0}};
    for (const auto& [name, seconds] : files) {
        Write(QString::fromUtf8(name) + QStringLiteral(".pel"), FileBytes(0, 0, 1500));
        SetSavedAt(QString::fromUtf8(name) + QStringLiteral(".pel"), saved.addSecs(seconds));
    }
    list_->FillList(doc_.get());
    const QStringList expected{"А", "Б", "РЕФЛ2", "РЕФЛ10"};
    for (int row = 0; row < expected.size(); ++row)
        EXPECT_EQ(list_->GetItemName(row), expected[row]) << row;
}

TEST_F(MyListCtrlTest, ADamagedFileKeepsNameDateAndTime) {
    Write(QStringLiteral("КОРОТКИЙ.pel"), QByteArray(12, '\x02'));
    // A pipe is not waited on, and of a huge file only the header is read.
    ASSERT_EQ(::mkfifo(QFile::encodeName(doc_->storageFolder + QStringLiteral("ТРУБА.pel")).constData(), 0644), 0);
    SetSavedAt(QStringLiteral("КОРОТКИЙ.pel"), QDateTime(QDate(2011, 3, 7), QTime(14, 25)));
    QFile huge(doc_->storageFolder + QStringLiteral("ОГРОМНЫЙ.pel"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.write(FileBytes(3, 4, 1500)) > 0 &&
                huge.resize(qint64(1) << 40)); // sparse: a whole read would not fit in memory
    huge.close();
    list_->FillList(doc_.get());
    ASSERT_EQ(list_->GetItemCount(), 3);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("КОРОТКИЙ"));
    EXPECT_TRUE(Cell(0, 2).isEmpty());
    EXPECT_TRUE(Cell(0, 3).isEmpty());
    EXPECT_TRUE(Cell(0, 4).isEmpty());
    EXPECT_FALSE(Cell(0, 5).isEmpty());
    EXPECT_FALSE(Cell(0, 6).isEmpty());
    for (int row = 1; row < 3; ++row) {
        const bool pipe = Cell(row, 1) == QStringLiteral("ТРУБА");
        EXPECT_EQ(Cell(row, 3).isEmpty(), pipe) << row;
    }
}

TEST_F(MyListCtrlTest, AGoneSelectionFallsBackToTheFirstRow) {
    WriteFiles(3);
    list_->FillList(doc_.get());
    list_->SetSelectedName(QStringLiteral("F2"));
    ASSERT_TRUE(platform::DeleteFile(doc_->storageFolder + QStringLiteral("F2.pel")));
    list_->FillList(doc_.get());
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F0"));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(platform::DeleteFile(doc_->storageFolder + QStringLiteral("F%1.pel").arg(i)));
    list_->FillList(doc_.get());
    EXPECT_EQ(list_->GetItemCount(), 0);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("xxx"));
}

TEST_F(MyListCtrlTest, SevenFilesMakeTheNameColumnNarrower) {
    WriteFiles(6);
    list_->FillList(doc_.get());
    const int six = list_->columnWidth(kNameColumn);
    WriteFiles(7);
    list_->FillList(doc_.get());
    EXPECT_EQ(list_->columnWidth(kNameColumn), six - 20);
    list_->DeleteItem(0);
    EXPECT_EQ(list_->columnWidth(kNameColumn), six) << "back to six rows";
}

TEST_F(MyListCtrlTest, SixRowsFitWithoutScrolling) {
    WriteFiles(6);
    list_->FillList(doc_.get());
    QTest::qWait(1);
    EXPECT_FALSE(list_->verticalScrollBar()->isVisible());
    // Border, header, six rows: the sixth row's grid line is the last pixel inside the border.
    EXPECT_EQ(list_->ItemRect(5).bottom() + 1, 1 + 20 + 6 * 16 - 1);
    WriteFiles(7);
    list_->FillList(doc_.get());
    QTest::qWait(1);
    EXPECT_TRUE(list_->verticalScrollBar()->isVisible());
    EXPECT_LE(list_->verticalScrollBar()->width(), 20) << "the name column made room for it";
}

TEST_F(MyListCtrlTest, KeysSevenAndOneMoveTheSelectionAndStopAtTheEnds) {
    WriteFiles(3);
    list_->FillList(doc_.get());
    ASSERT_EQ(list_->SelectedName(), QStringLiteral("F0"));
    QTest::keyClick(list_, Qt::Key_1);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F0")) << "stays on the first row";
    QTest::keyClick(list_, Qt::Key_7);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F1"));
    QTest::keyClick(list_, Qt::Key_7);
    QTest::keyClick(list_, Qt::Key_7);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F2")) << "stays on the last row";
    QTest::keyClick(list_, Qt::Key_1);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F1"));
    QTest::keyClick(list_, Qt::Key_5);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F1")) << "other keys do not move it";
}

TEST_F(MyListCtrlTest, TheSelectionScrollsIntoView) {
    WriteFiles(10);
    list_->FillList(doc_.get());
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(list_, Qt::Key_7);
    ASSERT_EQ(list_->SelectedName(), QStringLiteral("F9"));
    const QRect last = list_->ItemRect(9);
    EXPECT_TRUE(list_->rect().contains(last)) << "the last row is shown";
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(list_, Qt::Key_1);
    EXPECT_TRUE(list_->rect().contains(list_->ItemRect(0)));
}

TEST_F(MyListCtrlTest, TheOwnerSeesEveryKeyDownAndItsKeyUp) {
    WriteFiles(2);
    list_->FillList(doc_.get());
    QTest::keyClick(list_, Qt::Key_7);
    QTest::keyClick(list_, Qt::Key_F8);
    EXPECT_EQ(owner_.log, (std::vector<QString>{QStringLiteral("down 55"), QStringLiteral("up 55"),
                                                QStringLiteral("down 119"), QStringLiteral("up 119")}));
    // A key-up whose key-down went elsewhere does not reach the owner.
    owner_.log.clear();
    QTest::keyRelease(list_, Qt::Key_F9);
    EXPECT_TRUE(owner_.log.empty());
}

TEST_F(MyListCtrlTest, DeletingTheLastRowSelectsTheNewLastRow) {
    WriteFiles(3);
    list_->FillList(doc_.get());
    list_->SetSelectedName(QStringLiteral("F2"));
    list_->DeleteItem(2);
    EXPECT_EQ(list_->GetItemCount(), 2);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F1"));
}

TEST_F(MyListCtrlTest, DeletingAnotherRowSelectsTheFollowingOne) {
    WriteFiles(3);
    list_->FillList(doc_.get());
    list_->DeleteItem(0);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("F1"));
    EXPECT_EQ(list_->GetItemName(0), QStringLiteral("F1"));
    list_->DeleteItem(1);
    list_->DeleteItem(0);
    EXPECT_EQ(list_->GetItemCount(), 0);
    EXPECT_EQ(list_->SelectedName(), QStringLiteral("xxx"));
}

TEST_F(MyListCtrlTest, SlotNamesGoIntoTheDocument) {
    list_->FillList(doc_.get());
    EXPECT_EQ(list_->SlotName(3), QStringLiteral("xxx"));
    list_->SetSlotName(3, QStringLiteral("ЛИНИЯ"));
    EXPECT_EQ(list_->SlotName(3), QStringLiteral("ЛИНИЯ"));
    EXPECT_EQ(doc_->ch[3].fileName, QStringLiteral("ЛИНИЯ"));
    list_->SetSlotName(1, QStringLiteral("НЕТ")); // a line has no file
    EXPECT_EQ(doc_->ch[1].fileName, QStringLiteral("xxx"));
}

TEST_F(MyListCtrlTest, RowsAreDrawnWithTheSelectionAndTheSlotMarks) {
    WriteFiles(3);
    list_->FillList(doc_.get());
    list_->SetSelectedName(QStringLiteral("F1"));
    list_->SetSlotName(2, QStringLiteral("F0"));
    list_->SetSlotName(4, QStringLiteral("F1"));
    list_->SetSlotName(3, QStringLiteral("F1")); // slot 4 is compared last and paints over
    const QImage image = list_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto middleOf = [&](int row, int column) {
        const QRect first = list_->ItemRect(row);
        int x = first.left();
        for (int c = 0; c < column; ++c)
            x += list_->columnWidth(c);
        return QPoint(x + 3, first.top() + 2);
    };
    EXPECT_EQ(image.pixel(middleOf(0, 0)), RgbOf(0x0000C8)) << "slot 2's mark";
    EXPECT_EQ(image.pixel(middleOf(1, 0)), RgbOf(0xFF00FF)) << "slot 4's mark over slot 3's";
    EXPECT_EQ(image.pixel(middleOf(2, 0)), RgbOf(kWindowColor));
    EXPECT_EQ(image.pixel(middleOf(1, 3)), RgbOf(kActiveCaptionColor)) << "the selected row";
    EXPECT_EQ(image.pixel(middleOf(0, 3)), RgbOf(kWindowColor));
    // The selected row's text is white, the others' black.
    auto hasColour = [&](int row, QRgb colour) {
        const QRect r = list_->ItemRect(row);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left() + list_->columnWidth(0); x < r.left() + list_->columnWidth(0) + 40; ++x)
                if (image.pixel(x, y) == colour)
                    return true;
        return false;
    };
    EXPECT_TRUE(hasColour(1, RgbOf(0xFFFFFF)));
    EXPECT_TRUE(hasColour(0, RgbOf(0x000000)));
}
