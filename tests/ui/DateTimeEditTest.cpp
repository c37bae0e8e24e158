#include "ui/DateTimeEdit.h"

#include "EditorTestSupport.h"
#include "platform/Clock.h"

#include <QPointer>
#include <gtest/gtest.h>

namespace {

using namespace date_time_edit;

constexpr int kId = 50;

QDateTime At(int day, int month, int year, int hour = 12, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TEST(DateTimeFields, MonthLengths) {
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(MonthLength(month, 2009), lengths[month - 1]) << month;
    EXPECT_EQ(MonthLength(2, 2008), 29);
    EXPECT_EQ(MonthLength(2, 2000), 29);
    EXPECT_EQ(MonthLength(2, 2099), 28);
}

TEST(DateTimeFields, MonthStepLowersTheDayToTheMonthLength) {
    EXPECT_EQ(StepField(At(31, 1, 2009), kMonth, +1), At(28, 2, 2009));
    EXPECT_EQ(StepField(At(31, 3, 2008), kMonth, -1), At(29, 2, 2008));
    EXPECT_EQ(StepField(At(31, 5, 2009), kMonth, +1), At(30, 6, 2009));
    EXPECT_EQ(StepField(At(15, 12, 2009), kMonth, +1), At(15, 1, 2009)) << "the year stays";
    EXPECT_EQ(StepField(At(15, 1, 2009), kMonth, -1), At(15, 12, 2009));
}

TEST(DateTimeFields, YearStepWrapsWithinTheClockChipsCenturyAndLowersTheDay) {
    EXPECT_EQ(StepField(At(29, 2, 2008), kYear, +1), At(28, 2, 2009));
    EXPECT_EQ(StepField(At(1, 6, 2099), kYear, +1), At(1, 6, 2000));
    EXPECT_EQ(StepField(At(1, 6, 2000), kYear, -1), At(1, 6, 2099));
}

TEST(DateTimeFields, DayWrapsWithinTheMonth) {
    EXPECT_EQ(StepField(At(31, 12, 2009), kDay, +1), At(1, 12, 2009)) << "no carry into the month";
    EXPECT_EQ(StepField(At(1, 4, 2009), kDay, -1), At(30, 4, 2009));
    EXPECT_EQ(StepField(At(28, 2, 2008), kDay, +1), At(29, 2, 2008));
    EXPECT_EQ(StepField(At(28, 2, 2009), kDay, +1), At(1, 2, 2009));
}

TEST(DateTimeFields, TimeFieldsWrapWithoutCarry) {
    EXPECT_EQ(StepField(At(10, 10, 2010, 10, 30, 59), kSecond, +1), At(10, 10, 2010, 10, 30, 0));
    EXPECT_EQ(StepField(At(10, 10, 2010, 10, 30, 0), kSecond, -1), At(10, 10, 2010, 10, 30, 59));
    EXPECT_EQ(StepField(At(10, 10, 2010, 10, 59, 5), kMinute, +1), At(10, 10, 2010, 10, 0, 5));
    EXPECT_EQ(StepField(At(10, 10, 2010, 23, 1, 5), kHour, +1), At(10, 10, 2010, 0, 1, 5));
    EXPECT_EQ(StepField(At(10, 10, 2010, 0, 1, 5), kHour, -1), At(10, 10, 2010, 23, 1, 5));
}

TEST(DateTimeFields, TextAndSelections) {
    EXPECT_EQ(FormatTime(At(7, 3, 2011, 4, 5, 9)), "07.03.2011 04:05:09");
    const QString text = FormatTime(At(7, 3, 2011, 4, 5, 9));
    const QStringList fields{"07", "03", "2011", "04", "05", "09"};
    for (int field = 0; field < kFields; ++field) {
        const FieldRange range = FieldSelection(field);
        EXPECT_EQ(text.mid(range.start, range.end - range.start), fields[field]) << field;
    }
}

class DateTimeEdit : public ::testing::Test {
protected:
    void TearDown() override { platform::SetLocalTime(QDateTime::currentDateTime()); }

    CDateTimeEdit* Open(const QDateTime& time) {
        auto* edit = new CDateTimeEdit;
        EXPECT_TRUE(edit->Create(0, QRect(200, 150, 220, 22), &view, kId));
        edit->SetTime(time);
        return edit;
    }

    ProbeView view;
};

TEST_F(DateTimeEdit, CreationStartsFromTheCurrentLocalTime) {
    ASSERT_TRUE(platform::SetLocalTime(At(5, 5, 2020, 5, 5, 5)));
    auto* edit = new CDateTimeEdit;
    edit->Create(0, QRect(200, 150, 220, 22), &view, kId);
    EXPECT_LE(std::abs(edit->GetTime().secsTo(At(5, 5, 2020, 5, 5, 5))), 1);
    EXPECT_EQ(edit->GetTime().time().msec(), 0);
    EXPECT_EQ(edit->GetField(), kDay);

    // The owner's text does not change the time being edited.
    edit->setText("01.01.2001 01:01:01");
    EXPECT_EQ(edit->GetTime().date(), QDate(2020, 5, 5));
}

TEST_F(DateTimeEdit, SixAndFourMoveTheSelectionRoundTheFields) {
    CDateTimeEdit& edit = *Open(At(31, 1, 2009, 10, 20, 30));
    EXPECT_EQ(edit.text(), "31.01.2009 10:20:30");
    EXPECT_EQ(edit.selectedText(), "31");
    ClickKey(edit, Qt::Key_6);
    EXPECT_EQ(edit.GetField(), kMonth);
    EXPECT_EQ(edit.selectedText(), "01");
    ClickKey(edit, Qt::Key_6);
    EXPECT_EQ(edit.selectedText(), "2009");
    ClickKey(edit, Qt::Key_4);
    ClickKey(edit, Qt::Key_4);
    EXPECT_EQ(edit.GetField(), kDay);
    ClickKey(edit, Qt::Key_4);
    EXPECT_EQ(edit.GetField(), kSecond) << "before the day comes the second";
    EXPECT_EQ(edit.selectedText(), "30");
    ClickKey(edit, Qt::Key_6);
    EXPECT_EQ(edit.GetField(), kDay) << "after the second comes the day";
    EXPECT_EQ(edit.text(), "31.01.2009 10:20:30") << "moving changes no value";
}

TEST_F(DateTimeEdit, OneAndSevenStepTheSelectedField) {
    CDateTimeEdit& edit = *Open(At(31, 1, 2009, 10, 20, 59));
    ClickKey(edit, Qt::Key_6);
    ClickKey(edit, Qt::Key_1);
    EXPECT_EQ(edit.text(), "28.02.2009 10:20:59");
    EXPECT_EQ(edit.GetTime(), At(28, 2, 2009, 10, 20, 59));
    EXPECT_EQ(edit.selectedText(), "02") << "the field stays selected";

    ClickKey(edit, Qt::Key_4);
    ClickKey(edit, Qt::Key_4); // the second
    ClickKey(edit, Qt::Key_1);
    EXPECT_EQ(edit.text(), "28.02.2009 10:20:00");
    ClickKey(edit, Qt::Key_7);
    ClickKey(edit, Qt::Key_7);
    EXPECT_EQ(edit.text(), "28.02.2009 10:20:58");
    EXPECT_EQ(edit.selectedText(), "58");
}

TEST_F(DateTimeEdit, YearStepsFromTheLastLeapDay) {
    CDateTimeEdit& edit = *Open(At(29, 2, 2008));
    ClickKey(edit, Qt::Key_6);
    ClickKey(edit, Qt::Key_6);
    ClickKey(edit, Qt::Key_1);
    EXPECT_EQ(edit.GetTime().date(), QDate(2009, 2, 28));
}

TEST_F(DateTimeEdit, ATimeTheClockChipCannotHoldStartsAtTheNearestItCan) {
    EXPECT_EQ(Open(At(31, 12, 1999, 23, 59, 59))->GetTime(), At(1, 1, 2000, 0, 0, 0));
    EXPECT_EQ(Open(At(1, 1, 2100, 0, 0, 0))->GetTime(), At(31, 12, 2099, 23, 59, 59));
}

TEST_F(DateTimeEdit, OtherCharactersAreSwallowed) {
    CDateTimeEdit& edit = *Open(At(1, 2, 2003, 4, 5, 6));
    for (int key : {Qt::Key_0, Qt::Key_2, Qt::Key_5, Qt::Key_9, Qt::Key_A, Qt::Key_Escape, Qt::Key_Return})
        ClickKey(edit, key);
    QTest::keyClicks(&edit, "0389xyz.:");
    EXPECT_EQ(edit.text(), "01.02.2003 04:05:06");
    EXPECT_EQ(edit.GetField(), kDay);
    EXPECT_EQ(edit.selectedText(), "01");
}

TEST_F(DateTimeEdit, KeysArePassedOnToTheParentView) {
    CDateTimeEdit& edit = *Open(At(1, 2, 2003));
    ClickKey(edit, Qt::Key_6);
    ClickKey(edit, Qt::Key_Return);
    EXPECT_TRUE(view.log.empty()) << "posted, not sent";
    DeliverPosted();
    EXPECT_EQ(view.log, (std::vector<QString>{"down 54", "up 54", "down 13", "up 13"}));
}

TEST_F(DateTimeEdit, LayoutPutsTheArrowsOnTheRightStripAndSelectsTheField) {
    ASSERT_TRUE(ShowActive(view));
    CDateTimeEdit& edit = *Open(At(1, 2, 2003, 4, 5, 6));
    ClickKey(edit, Qt::Key_6);
    ClickKey(edit, Qt::Key_6);
    edit.LayoutAndShow(QRect(200, 150, 220, 22));
    EXPECT_EQ(edit.geometry(), QRect(200, 150, 220, 22));
    ASSERT_NE(edit.GetSpin(), nullptr);
    EXPECT_EQ(edit.GetSpin()->geometry(), QRect(400, 150, 20, 22));
    EXPECT_EQ(edit.GetSpin()->parentWidget(), &view);
    EXPECT_EQ(edit.GetSpin()->objectName(), QString::number(kId + 1));
    EXPECT_TRUE(edit.hasFocus());
    EXPECT_EQ(edit.selectedText(), "2003");
}

TEST_F(DateTimeEdit, TheArrowsGoWithTheEditor) {
    CDateTimeEdit* edit = Open(At(1, 2, 2003));
    const QPointer<CUpDown> spin = edit->GetSpin();
    ASSERT_NE(spin, nullptr);
    delete edit;
    EXPECT_EQ(spin, nullptr);
}

} // namespace
