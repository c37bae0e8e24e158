#include "ui/ListSelector.h"

#include "EditorTestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kId = 30;

bool Logged(const ProbeView& view, const QString& entry) {
    return std::find(view.log.begin(), view.log.end(), entry) != view.log.end();
}

class ListSelector : public ::testing::Test {
protected:
    // Six entries over a 20-pixel field with room for the list below it.
    CListSelector* Open(const QRect& rect = QRect(300, 120, 160, 260)) {
        auto* list = new CListSelector;
        EXPECT_TRUE(list->Create(rect, &view, kId));
        list->addItems({"Выкл", "2 мин.", "4 мин.", "8 мин.", "32 мин.", "64 мин."});
        return list;
    }

    ProbeView view;
};

TEST_F(ListSelector, SevenSelectsTheNextEntryButNotPastTheLast) {
    CListSelector& list = *Open();
    list.setCurrentIndex(3);
    ClickKey(list, Qt::Key_7);
    EXPECT_EQ(list.currentIndex(), 4);
    ClickKey(list, Qt::Key_7);
    EXPECT_EQ(list.currentIndex(), 5);
    ClickKey(list, Qt::Key_7);
    EXPECT_EQ(list.currentIndex(), 5) << "the last entry ignores 7";
}

TEST_F(ListSelector, OneSelectsThePreviousEntryButNotBeforeTheFirst) {
    CListSelector& list = *Open();
    list.setCurrentIndex(1);
    ClickKey(list, Qt::Key_1);
    EXPECT_EQ(list.currentIndex(), 0);
    ClickKey(list, Qt::Key_1);
    EXPECT_EQ(list.currentIndex(), 0) << "the first entry ignores 1";
}

TEST_F(ListSelector, OtherKeysChangeNothing) {
    CListSelector& list = *Open();
    list.setCurrentIndex(2);
    // A combo box of its own would jump to the entry that starts with the typed character.
    for (int key : {Qt::Key_2, Qt::Key_3, Qt::Key_6, Qt::Key_4, Qt::Key_F1, Qt::Key_Escape})
        ClickKey(list, key);
    EXPECT_EQ(list.currentIndex(), 2);
}

TEST_F(ListSelector, KeysArePassedOnToTheParentView) {
    CListSelector& list = *Open();
    list.setCurrentIndex(0);
    ClickKey(list, Qt::Key_7);
    ClickKey(list, Qt::Key_Return);
    EXPECT_TRUE(view.log.empty()) << "posted, not sent";
    DeliverPosted();
    EXPECT_EQ(view.log, (std::vector<QString>{"down 55", "up 55", "down 13", "up 13"}));
}

TEST_F(ListSelector, TheListDropsDownInPlaceBelowTheField) {
    ASSERT_TRUE(ShowActive(view));
    CListSelector& list = *Open();
    list.setCurrentIndex(2);
    const QRect field(300, 120, 160, 20);
    list.LayoutAndShow(field);
    list.ShowDropDown(true);

    EXPECT_EQ(list.geometry(), field);
    EXPECT_TRUE(list.GetDroppedState());
    EXPECT_EQ(list.GetDroppedControlRect().bottom(), field.bottom() + 240);
    QListView* dropped = list.GetDroppedList();
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->parentWidget(), &view);
    EXPECT_EQ(dropped->geometry().top(), field.bottom() + 1);
    EXPECT_TRUE(list.GetDroppedControlRect().contains(dropped->geometry()));
    EXPECT_EQ(dropped->currentIndex().row(), 2) << "the current entry shows selected";
    EXPECT_TRUE(list.hasFocus()) << "the field keeps the keys while the list is down";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    ClickKey(list, Qt::Key_7);
    EXPECT_EQ(dropped->currentIndex().row(), 3);

    list.hidePopup();
    EXPECT_FALSE(list.GetDroppedState());
    list.showPopup();
    EXPECT_TRUE(list.GetDroppedState());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ListSelector, LosingTheFocusPostsReturnToTheParentView) {
    ASSERT_TRUE(ShowActive(view));
    auto* other = new QLineEdit(&view);
    other->setGeometry(10, 10, 100, 20);
    other->show();
    CListSelector& list = *Open();
    list.LayoutAndShow(QRect(300, 120, 160, 20));
    ASSERT_TRUE(list.hasFocus());
    DeliverPosted();
    view.log.clear();

    other->setFocus();
    EXPECT_TRUE(view.log.empty()) << "posted, not sent";
    DeliverPosted();
    // The parent never saw Return go down: it is delivered all the same.
    EXPECT_EQ(view.log, (std::vector<QString>{"up 13"}));
}

TEST_F(ListSelector, DestroyingTheFocusedListReportsNoReturn) {
    ASSERT_TRUE(ShowActive(view));
    CListSelector* list = Open();
    list->LayoutAndShow(QRect(300, 120, 160, 20));
    list->ShowDropDown(true);
    ASSERT_TRUE(list->hasFocus());
    const QPointer<QListView> dropped = list->GetDroppedList();
    DeliverPosted();
    view.log.clear();

    delete list;
    DeliverPosted();
    EXPECT_FALSE(Logged(view, "up 13"));
    EXPECT_EQ(dropped, nullptr) << "the dropped list goes with the field";
}

TEST_F(ListSelector, CreateKeepsTheRoomOfTheDroppedList) {
    CListSelector& list = *Open(QRect(10, 40, 120, 100));
    EXPECT_EQ(list.objectName(), QString::number(kId));
    EXPECT_EQ(list.GetDlgCtrlID(), kId);
    EXPECT_EQ(list.geometry().topLeft(), QPoint(10, 40));
    EXPECT_EQ(list.GetDroppedControlRect(), QRect(10, 40, 120, 100));
    list.LayoutAndShow(QRect(10, 60, 120, 20));
    EXPECT_EQ(list.GetDroppedControlRect(), QRect(10, 60, 120, 100)) << "measured from the field's top";
}

} // namespace
