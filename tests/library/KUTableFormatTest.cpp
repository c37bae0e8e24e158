// The file "tableku.tku" byte for byte: UTF-16 little-endian lines ended by a line
// feed, brand and "%.3f " КУ in turn, and the value texts read like atof.
#include "library/KUListCtrl.h"
#include "support/Utf16.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace ku_table;

// UTF-16 little-endian bytes of ASCII text.

} // namespace

TEST(KUTableFormat, LinesAreUtf16LittleEndianWithLineFeedsOnly) {
    const QByteArray bytes = EncodeLines({QStringLiteral("КБ"), QStringLiteral("1.500 ")});
    // К = U+041A, Б = U+0411, no byte-order mark, no carriage return.
    const QByteArray expected = QByteArray::fromHex("1a0411040a00") + Utf16("1.500 \n");
    EXPECT_EQ(bytes.toHex(), expected.toHex());
}

TEST(KUTableFormat, CarriageReturnBeforeLineFeedIsDropped) {
    const QStringList lines = DecodeLines(Utf16("A\r\n1.500 \r\nB\rC\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("A"));
    EXPECT_EQ(lines[1], QStringLiteral("1.500 "));
    EXPECT_EQ(lines[2], QStringLiteral("B\rC")) << "only the one right before the line feed goes";
}

TEST(KUTableFormat, LastLineWithoutLineFeedCountsAndStrayByteIsIgnored) {
    QByteArray bytes = Utf16("A\n2.000");
    bytes.append('7');
    const QStringList lines = DecodeLines(bytes);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral("2.000"));
}

TEST(KUTableFormat, EmptyLinesAreLines) {
    const QStringList lines = DecodeLines(Utf16("\n1.200 \n\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].isEmpty());
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_TRUE(DecodeLines(QByteArray()).isEmpty());
}

TEST(KUTableFormat, ParseValueReadsLikeAtof) {
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("1.500 ")), 1.5);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("  \t98.5")), 98.5);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("+2.25xyz")), 2.25);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("-1.5")), -1.5);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("1e1")), 10.0);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("1.2.3")), 1.2);
    EXPECT_EQ(ParseValue(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(ParseValue(QString()), 0.0);
    EXPECT_EQ(ParseValue(QStringLiteral(".")), 0.0);
}

TEST(KUTableFormat, ParseValueUsesTheLowByteOfEachCharacter) {
    // U+0431 has the low byte of '1', U+0435 that of '5'; U+0400 ends the text.
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("б.5")), 1.5);
    EXPECT_DOUBLE_EQ(ParseValue(QString(QChar(0x0431)) + QChar(0x0435)), 15.0);
    EXPECT_DOUBLE_EQ(ParseValue(QStringLiteral("2") + QChar(0x0400) + QStringLiteral("5")), 2.0);
}

TEST(KUTableFormat, ValuesShownInEitherMode) {
    EXPECT_EQ(DisplayedValue(1.5, 0), QStringLiteral("1.500 "));
    EXPECT_EQ(DisplayedValue(1.5, 1), QStringLiteral("100.0"));
    EXPECT_EQ(DisplayedValue(2.999, 1), QStringLiteral("50.0"));
    EXPECT_DOUBLE_EQ(StoredKU(QStringLiteral("1.500 "), 0), 1.5);
    EXPECT_DOUBLE_EQ(StoredKU(QStringLiteral("50.0"), 1), 3.0);
}

TEST(KUTableFormat, RecordsReadInPairs) {
    const std::vector<Record> records = ReadRecords(Utf16("A\n1.500 \n\n2.000 \nA\n1.250 \nB\n"), /*mode=*/0);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].brand, QStringLiteral("A"));
    EXPECT_EQ(records[0].value, QStringLiteral("1.500 "));
    EXPECT_TRUE(records[1].brand.isEmpty()) << "an empty brand is a record";
    EXPECT_EQ(records[1].value, QStringLiteral("2.000 "));
    EXPECT_EQ(records[2].brand, QStringLiteral("A")) << "a repeated brand still loads";
    EXPECT_EQ(records[2].value, QStringLiteral("1.250 "));
    EXPECT_EQ(records[3].brand, QStringLiteral("B"));
    EXPECT_EQ(records[3].value, NoValueMark()) << "a last brand without its value line";
}

TEST(KUTableFormat, AValueThatIsNotAFiniteKUInRangeIsMarkedAndWrittenBackAsItWas) {
    const QByteArray file = Utf16("A\nnan\nB\n-inf \nC\n0x1p1\nD\n0.999\nE\n3.001\nF\nnone\nG\n");
    for (const int mode : {0, 1}) {
        const std::vector<Record> records = ReadRecords(file, mode);
        ASSERT_EQ(records.size(), 7u);
        for (const Record& record : records)
            EXPECT_EQ(record.value,
                      record.brand == QStringLiteral("C") ? DisplayedValue(2.0, mode) : QStringLiteral("ошибка"))
                << mode << " " << record.brand.toStdString();
        EXPECT_EQ(WriteRecords(records, mode), Utf16("A\nnan\nB\n-inf \nC\n2.000 \nD\n0.999\nE\n3.001\nF\nnone\nG\n\n"))
            << mode;
    }
}

TEST(KUTableFormat, VTwoModeShowsHalfTheVelocity) {
    const std::vector<Record> records = ReadRecords(Utf16("A\n1.523 \nB\n2.999 \n"), 1);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].value, QStringLiteral("98.5"));
    EXPECT_EQ(records[1].value, QStringLiteral("50.0"));
}

TEST(KUTableFormat, WritingAlwaysStoresKUWithThreeDecimals) {
    EXPECT_EQ(WriteRecords({{QStringLiteral("A"), QStringLiteral("1.5")}, {QString(), QStringLiteral("2.0004 ")}}, 0),
              Utf16("A\n1.500 \n\n2.000 \n"));
    // Written from what V/2 mode shows: 2.999 shows as 50.0 and comes back as 3.000.
    const std::vector<Record> shown = ReadRecords(Utf16("A\n2.999 \n"), 1);
    EXPECT_EQ(WriteRecords(shown, 1), Utf16("A\n3.000 \n"));
    EXPECT_TRUE(WriteRecords({}, 0).isEmpty()) << "an empty table is an empty file";
}

TEST(KUTableFormat, RoundTripKeepsBrandsExactly) {
    const QString brand = QStringLiteral("ТПП-10х2х0.4 \"эп\"");
    const QByteArray bytes = WriteRecords({{brand, QStringLiteral("1.234 ")}}, 0);
    const std::vector<Record> back = ReadRecords(bytes, 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].brand, brand);
    EXPECT_EQ(back[0].value, QStringLiteral("1.234 "));
}
