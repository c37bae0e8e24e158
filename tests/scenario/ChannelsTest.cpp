// The channels menu "КАНАЛЫ", where the instrument starts: slot keys, the current
// trace, its shift, pair mode, and the measurement view's keys reused here.
#include "scenario/Harness.h"

#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <gtest/gtest.h>

namespace {

class HintCounter : public CView {
public:
    void OnUpdate(CView*, long hint, void*) override { ++counts[hint]; }
    std::map<long, int> counts;
};

class Channels : public ::testing::Test {
protected:
    void SetUp() override {
        h_ = std::make_unique<Harness>();
        h_->Doc().AddView(&hints_);
        ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView);
    }
    void TearDown() override {
        h_->Doc().RemoveView(&hints_);
        h_.reset();
    }
    CPELButton* SlotKey(int slot) { return h_->Frame().btnsV->GetButton(slot); }
    CPELDoc& Doc() { return h_->Doc(); }

    std::unique_ptr<Harness> h_;
    HintCounter hints_;
};

} // namespace

TEST_F(Channels, StartsWithTheLinesAndNoStoredTraces) {
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("КАНАЛЫ"));
    EXPECT_EQ(SlotKey(0)->GetCaption(), QStringLiteral("Канал Л1"));
    EXPECT_EQ(SlotKey(0)->GetState(), 255) << "line 1 is the current trace";
    EXPECT_EQ(SlotKey(1)->GetState(), 1);
    for (int slot = 2; slot < 5; ++slot) {
        EXPECT_EQ(SlotKey(slot)->GetState(), 0) << "no reflectogram file: disabled";
        EXPECT_EQ(SlotKey(slot)->GetCaption(), QStringLiteral("РФГ из файла\n\nxxx"));
    }
    EXPECT_EQ(h_->Frame().btnsH->GetButton(4)->GetCaption(), QStringLiteral("ПАРАМЕТРЫ"));
}

TEST_F(Channels, SlotKeysShowAndHideButNeverTheCurrentTrace) {
    h_->Tap(vk::kF6); // the marked current trace's own key
    EXPECT_EQ(Doc().ch[0].state, 254);
    EXPECT_EQ(SlotKey(0)->GetState(), 255);

    h_->Tap(vk::kF6 + 1); // line 2 on
    EXPECT_EQ(Doc().ch[1].state, 254);
    EXPECT_EQ(SlotKey(1)->GetState(), 254);
    EXPECT_EQ(h_->Frame().pelView->LegendLine(1)->height(), 20);

    h_->Tap('3'); // line 2 becomes current
    EXPECT_EQ(Doc().currentTrace, &Doc().ch[1]);
    EXPECT_EQ(SlotKey(1)->GetState(), 255);
    EXPECT_EQ(SlotKey(0)->GetState(), 254);
    h_->Tap(vk::kF6); // line 1 off now works
    EXPECT_EQ(Doc().ch[0].state, 1);

    h_->Tap('3'); // the only shown trace stays current
    EXPECT_EQ(Doc().currentTrace, &Doc().ch[1]);
    EXPECT_EQ(SlotKey(1)->GetState(), 255);
}

TEST_F(Channels, AfterACancelledSaveTheTraceIsLiveAndTheNextKeyActs) {
    h_->answers.push_back(platform::mb::kIdCancel);
    h_->Tap(vk::kF11);
    ASSERT_EQ(h_->boxes.size(), 1u);
    const int traces = hints_.counts[hint::kNewTrace];
    EXPECT_TRUE(h_->RunUntil([&] { return hints_.counts[hint::kNewTrace] >= traces + 2; }, 5000)) << "frozen";
    h_->Tap(vk::kF6 + 1); // line 2 on at the first press
    EXPECT_EQ(Doc().ch[1].state, 254);
}

TEST_F(Channels, PairModeDisablesTheOtherLine) {
    h_->Tap(vk::kF6 + 1); // line 2 shown
    ASSERT_EQ(Doc().ch[1].state, 254);
    h_->Tap(vk::kF1 + 3);
    EXPECT_EQ(Doc().bp_mode, 254);
    EXPECT_EQ(Doc().ch[1].state, 0);
    EXPECT_EQ(SlotKey(1)->GetState(), 0);
    EXPECT_EQ(h_->Frame().btnsH->GetButton(3)->GetState(), 254);
    h_->Tap(vk::kF6 + 1); // disabled: nothing
    EXPECT_EQ(Doc().ch[1].state, 0);

    h_->Tap(vk::kF1 + 3);
    EXPECT_EQ(Doc().bp_mode, 1);
    EXPECT_EQ(Doc().ch[1].state, 1) << "back, present but hidden";
    EXPECT_EQ(SlotKey(1)->GetState(), 1);
}

TEST_F(Channels, HeldShiftKeyGrowsItsStep) {
    h_->Hold('1', 2); // 1, 2, 3
    EXPECT_EQ(Doc().ch[0].shift.GetIndex(), 6);
    h_->Tap('1'); // a key-up resets the step
    EXPECT_EQ(Doc().ch[0].shift.GetIndex(), 7);
    h_->Tap('7');
    EXPECT_EQ(Doc().ch[0].shift.GetIndex(), 6);
    EXPECT_EQ(h_->Frame().pelView->LegendLine(0)->GetCaption(), Doc().ch[0].GetParamLine());
    EXPECT_TRUE(Doc().ch[0].GetParamLine().endsWith(QStringLiteral("Смещ. 6")));
}

TEST_F(Channels, HeldCursorKeyMovesOneThreeFive) {
    CDOCScale& scale = Doc().displayParams->scale;
    const int cursor = scale._activeCursorIndex;
    const int start = scale.GetCursorPx(cursor);
    h_->Hold('4', 2);
    EXPECT_EQ(scale.GetCursorPx(cursor), start - 9);
}

TEST_F(Channels, RepeatsOtherThanShiftStopTheLinkEachTime) {
    const int before = hints_.counts[hint::kQueueReset];
    h_->Hold('6', 3);
    // Every key-down stops it; the first one twice, since the cursor keys go on to the
    // measurement view's own key-down, which stops the link on a first press too.
    EXPECT_EQ(hints_.counts[hint::kQueueReset] - before, 1 + 1 + 3);
    const int afterCursor = hints_.counts[hint::kQueueReset];
    h_->Hold('1', 3);
    EXPECT_EQ(hints_.counts[hint::kQueueReset] - afterCursor, 1) << "the shift step grows: stopped once";
}

TEST_F(Channels, F5LeadsToTheMeasurementMenuAndBack) {
    h_->Tap(vk::kF5);
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("ПАРАМЕТРЫ"));
    h_->Tap(vk::kF5);
    EXPECT_EQ(h_->Frame().GetActiveView(), h_->Frame().tableView);
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("КАНАЛЫ"));
}
