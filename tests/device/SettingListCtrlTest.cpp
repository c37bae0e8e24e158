// The settings list on its own: moving the current row and the column widths.
#include "device/SettingListCtrl.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void Fill(CSettingListCtrl& list, int rows) {
    for (int column = 0; column < CSettingListCtrl::kColumns; ++column)
        list.InsertColumn(column, QStringLiteral(" "), Qt::AlignCenter);
    for (int row = 0; row < rows; ++row) {
        list.InsertItem(row, QStringLiteral(" "));
        list.SetItemText(row, CSettingListCtrl::kNameColumn, QStringLiteral("name %1").arg(row));
        list.SetItemText(row, CSettingListCtrl::kValueColumn, QStringLiteral("value %1").arg(row));
    }
    list.SetRowCount(rows);
}

TEST(SettingListCtrlTest, SevenAndOneMoveTheCurrentRowAndStopAtTheEnds) {
    CSettingListCtrl list;
    Fill(list, 3);
    list.SetCurrentRow(0);
    list.OnKeyDown('1');
    EXPECT_EQ(list.GetCurrentRow(), 0);
    list.OnKeyDown('7');
    EXPECT_EQ(list.GetCurrentRow(), 1);
    list.OnKeyDown('7');
    list.OnKeyDown('7');
    EXPECT_EQ(list.GetCurrentRow(), 2);
    list.OnKeyDown('1');
    EXPECT_EQ(list.GetCurrentRow(), 1);
    list.OnKeyDown('5');
    EXPECT_EQ(list.GetCurrentRow(), 1);
}

TEST(SettingListCtrlTest, NothingMovesWithoutACurrentRow) {
    CSettingListCtrl list;
    Fill(list, 3);
    list.OnKeyDown('7');
    EXPECT_EQ(list.GetCurrentRow(), -1);
}

TEST(SettingListCtrlTest, KeysReachTheListAsKeyPresses) {
    CSettingListCtrl list;
    Fill(list, 2);
    list.SetCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_7);
    EXPECT_EQ(list.GetCurrentRow(), 1);
}

TEST(SettingListCtrlTest, ColumnsSplitTheWidthByThirds) {
    CSettingListCtrl list;
    Fill(list, 1);
    list.LayoutColumns(510);
    EXPECT_EQ(list.columnWidth(CSettingListCtrl::kHiddenColumn), 0);
    EXPECT_EQ(list.columnWidth(CSettingListCtrl::kNameColumn), 2 * 170 - 20);
    EXPECT_EQ(list.columnWidth(CSettingListCtrl::kValueColumn), 170 + 20);
}

TEST(SettingListCtrlTest, TheCurrentRowIsDrawnInverted) {
    CSettingListCtrl list;
    list.SetRowHeight(18);
    Fill(list, 2);
    list.resize(300, 120);
    list.SetCurrentRow(1);
    QImage image = list.grab().toImage();
    const QRect current = list.GetSubItemRect(1, CSettingListCtrl::kNameColumn);
    const QRect other = list.GetSubItemRect(0, CSettingListCtrl::kNameColumn);
    const QPoint offset = list.viewport()->mapTo(&list, QPoint(0, 0));
    // Just inside the right edge of the name cell: background, not text.
    const QPoint inCurrent = current.topRight() + offset + QPoint(-2, 4);
    const QPoint inOther = other.topRight() + offset + QPoint(-2, 4);
    EXPECT_EQ(image.pixelColor(inCurrent), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(image.pixelColor(inOther), QColor(0xFF, 0xFF, 0xFF));
}

} // namespace
