#include "ui/ParamEditors.h"

#include "EditorTestSupport.h"
#include "device/EnterChar.h"
#include "document/PELParam.h"
#include "platform/Clock.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/DateTimeEdit.h"
#include "ui/ListSelector.h"
#include "ui/PELButton.h"
#include "ui/ValueEditorSupport.h"

#include <QPointer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int kId = 60;

bool Logged(const ProbeView& view, const QString& entry) {
    return std::find(view.log.begin(), view.log.end(), entry) != view.log.end();
}

// The parameters' editors as the program makes them: real widgets in a shown view.
class WidgetParamEditors : public ::testing::Test {
protected:
    void SetUp() override {
        SetParamEditorFactory(&WidgetParamEditorFactory());
        ASSERT_TRUE(ShowActive(view));
    }
    void TearDown() override {
        SetParamEditorFactory(nullptr);
        SetVelocityDisplayMode(0);
        platform::SetLocalTime(QDateTime::currentDateTime());
    }

    template <typename Widget> Widget* Editor() { return view.findChild<Widget*>(QString::number(kId)); }

    ProbeView view;
};

TEST_F(WidgetParamEditors, AutoStopListOverATwentyPixelFieldReachesTwoHundredFortyFurtherDown) {
    CDOCAutoStop autoStop;
    autoStop.SetIndex(2);
    const QRect field(300, 120, 160, 20);
    autoStop.BeginEdit(0, field, &view, kId);

    CListSelector* list = Editor<CListSelector>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), field);
    EXPECT_EQ(list->GetDroppedControlRect().bottom(), field.bottom() + 240);
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(list->itemText(5), "64 мин.");
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_TRUE(list->GetDroppedState());
    EXPECT_TRUE(list->hasFocus());
    EXPECT_TRUE(autoStop.IsEditing());

    ClickKey(*list, Qt::Key_7);
    autoStop.EndEdit();
    EXPECT_EQ(autoStop.GetIndex(), 3);
    EXPECT_EQ(Editor<CListSelector>(), nullptr);
    EXPECT_FALSE(autoStop.IsEditing());
}

TEST_F(WidgetParamEditors, EndingTheSpeedEditOnTheSecondEntrySetsVOverTwo) {
    CDOCSpeed speed;
    speed.BeginEdit(0, QRect(300, 120, 160, 20), &view, kId);
    CListSelector* list = Editor<CListSelector>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->itemText(0), "КУ");
    EXPECT_EQ(list->itemText(1), "V/2");
    EXPECT_EQ(list->currentIndex(), 0);
    ClickKey(*list, Qt::Key_7);
    speed.EndEdit();
    EXPECT_EQ(VelocityDisplayMode(), 1);
}

TEST_F(WidgetParamEditors, EndingAListEditGivesTheViewTheKeysAgainWithoutAReturn) {
    CDOCAdapter adapter;
    adapter.BeginEdit(0, QRect(300, 120, 160, 20), &view, kId);
    ASSERT_NE(Editor<CListSelector>(), nullptr);
    DeliverPosted();
    view.log.clear();

    adapter.EndEdit();
    DeliverPosted();
    EXPECT_TRUE(view.hasFocus());
    EXPECT_FALSE(Logged(view, "up 13"));
}

TEST_F(WidgetParamEditors, ASecondBeginEditLeavesOneList) {
    CDOCAdapter adapter;
    adapter.BeginEdit(0, QRect(300, 120, 160, 20), &view, kId);
    adapter.BeginEdit(0, QRect(300, 160, 160, 20), &view, kId);
    EXPECT_EQ(view.findChildren<CListSelector*>().size(), 1);
    EXPECT_EQ(Editor<CListSelector>()->geometry().top(), 160);
    adapter.EndEdit();
}

TEST_F(WidgetParamEditors, TheClockEditorShowsTheClockTextAndSetsTheClock) {
    ASSERT_TRUE(platform::SetLocalTime(QDateTime(QDate(2015, 7, 1), QTime(8, 0, 0))));
    CDOCDateTime clock;
    clock.SetCurrent();
    clock.BeginEdit(0, QRect(200, 150, 220, 22), &view, kId);
    CDateTimeEdit* edit = Editor<CDateTimeEdit>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), clock.GetStr());
    EXPECT_EQ(edit->geometry(), QRect(200, 150, 220, 22));
    EXPECT_TRUE(edit->hasFocus());

    // The year, one up.
    ClickKey(*edit, Qt::Key_6);
    ClickKey(*edit, Qt::Key_6);
    ClickKey(*edit, Qt::Key_1);
    EXPECT_EQ(edit->text().mid(0, 10), "01.07.2016");
    clock.EndEdit();

    EXPECT_EQ(platform::LocalNow().date(), QDate(2016, 7, 1));
    EXPECT_EQ(clock.GetTime().date(), QDate(2016, 7, 1));
    EXPECT_EQ(Editor<CDateTimeEdit>(), nullptr);
    EXPECT_FALSE(clock.IsEditing());
}

TEST_F(WidgetParamEditors, TheFileNamePrefixTakesTheEnteredText) {
    CDOCFileName fileName;
    fileName.BeginEdit(0, QRect(100, 200, 300, 20), &view, kId);
    auto* entry = view.findChild<CEnterChar*>();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "РЕФЛ");
    EXPECT_EQ(entry->GetDlgCtrlID(), kId);
    entry->OnChar(vk::k0 + 3); // А
    fileName.EndEdit();
    EXPECT_EQ(fileName.GetStr(), "РЕФЛА");
    EXPECT_EQ(view.findChild<CEnterChar*>(), nullptr);
}

TEST_F(WidgetParamEditors, AViewDestroyedDuringTheEditLeavesTheValue) {
    auto parent = std::make_unique<ProbeView>();
    CDOCAutoStop autoStop;
    autoStop.SetIndex(4);
    autoStop.BeginEdit(0, QRect(0, 0, 160, 20), parent.get(), kId);
    auto* list = parent->findChild<CListSelector*>();
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(0);
    parent.reset();
    autoStop.EndEdit();
    EXPECT_EQ(autoStop.GetIndex(), 4);
    EXPECT_FALSE(autoStop.IsEditing());
}

TEST(SoftKeyBlanking, AllTenCaptionsGoStatesStay) {
    CBtnsHView horizontal;
    CBtnsVView vertical;
    for (CBtnsPanel* panel : {static_cast<CBtnsPanel*>(&horizontal), static_cast<CBtnsPanel*>(&vertical)}) {
        for (int i = 0; i < CBtnsPanel::kKeys; ++i)
            panel->GetButton(i)->SetStateText(i == 2 ? button_state::kSelected : button_state::kNormal, "Ключ");
    }
    value_editor::BlankSoftKeys(&horizontal, &vertical);
    for (CBtnsPanel* panel : {static_cast<CBtnsPanel*>(&horizontal), static_cast<CBtnsPanel*>(&vertical)}) {
        for (int i = 0; i < CBtnsPanel::kKeys; ++i) {
            EXPECT_TRUE(panel->GetButton(i)->GetCaption().isEmpty()) << i;
            EXPECT_EQ(panel->GetButton(i)->GetState(), i == 2 ? button_state::kSelected : button_state::kNormal);
        }
    }
    value_editor::BlankSoftKeys(nullptr, nullptr); // no panels, nothing to do
}

} // namespace
