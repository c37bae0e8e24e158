#include "ui/BaseDoubleScrollBar.h"

#include "EditorTestSupport.h"
#include "document/PELParam.h"
#include "ui/ValueEditorSupport.h"

#include <QLineEdit>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

constexpr int kId = 40;

TEST(DoubleStepperIncrement, TheStepUntilTheCounterReachesTenThenElevenSteps) {
    EXPECT_DOUBLE_EQ(double_stepper::Increment(0.001, 1), 0.001);
    EXPECT_DOUBLE_EQ(double_stepper::Increment(0.001, 9), 0.001);
    EXPECT_DOUBLE_EQ(double_stepper::Increment(0.001, 10), 0.011);
    EXPECT_DOUBLE_EQ(double_stepper::Increment(0.1, 10), 1.1);
}

TEST(DoubleStepperClamping, LimitsAreReachedAndKept) {
    EXPECT_EQ(double_stepper::Clamped(0.999, 1.0, 3.0), 1.0);
    EXPECT_EQ(double_stepper::Clamped(1.0, 1.0, 3.0), 1.0);
    EXPECT_EQ(double_stepper::Clamped(3.008, 1.0, 3.0), 3.0);
    EXPECT_EQ(double_stepper::Clamped(2.5, 1.0, 3.0), 2.5);
}

class DoubleStepper : public ::testing::Test {
protected:
    void SetUp() override { SetVelocityDisplayMode(0); }
    void TearDown() override { SetVelocityDisplayMode(0); }

    CBaseDoubleScrollBar* Open(std::uint32_t style = 0, const QRect& rect = QRect(100, 100, 200, 24)) {
        auto* stepper = new CBaseDoubleScrollBar;
        EXPECT_TRUE(stepper->Create(style, rect, &view, kId));
        return stepper;
    }

    ProbeView view;
};

TEST_F(DoubleStepper, HoldingSixStepsByTheStepNineTimesThenElevenStepsUpToTheMaximum) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 2.9, 0.001);
    EXPECT_EQ(stepper.GetText(), "2.900 ");

    PressKey(stepper, Qt::Key_6);
    EXPECT_NEAR(stepper.GetValue(), 2.901, 1e-9);
    for (int keyDown = 2; keyDown <= 9; ++keyDown) {
        PressKey(stepper, Qt::Key_6, true);
        EXPECT_NEAR(stepper.GetValue(), 2.9 + 0.001 * keyDown, 1e-9) << keyDown;
    }
    EXPECT_EQ(stepper.GetText(), "2.909 ");
    for (int keyDown = 10; keyDown <= 17; ++keyDown) {
        PressKey(stepper, Qt::Key_6, true);
        EXPECT_NEAR(stepper.GetValue(), 2.909 + 0.011 * (keyDown - 9), 1e-9) << keyDown;
    }
    EXPECT_EQ(stepper.GetText(), "2.997 ");
    PressKey(stepper, Qt::Key_6, true);
    EXPECT_EQ(stepper.GetValue(), 3.0) << "the maximum is reached";
    PressKey(stepper, Qt::Key_6, true);
    EXPECT_EQ(stepper.GetValue(), 3.0) << "and kept";
    EXPECT_EQ(stepper.GetText(), "3.000 ");

    // The release starts the counting again.
    ReleaseKey(stepper, Qt::Key_6);
    EXPECT_EQ(stepper.GetRepeatCounter(), 0u);
    PressKey(stepper, Qt::Key_4);
    EXPECT_NEAR(stepper.GetValue(), 2.999, 1e-9);
}

TEST_F(DoubleStepper, OneAndSixStepUpFourAndSevenDown) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 1.5, 0.001);
    ClickKey(stepper, Qt::Key_1);
    EXPECT_NEAR(stepper.GetValue(), 1.501, 1e-9);
    ClickKey(stepper, Qt::Key_6);
    EXPECT_NEAR(stepper.GetValue(), 1.502, 1e-9);
    ClickKey(stepper, Qt::Key_4);
    EXPECT_NEAR(stepper.GetValue(), 1.501, 1e-9);
    ClickKey(stepper, Qt::Key_7);
    EXPECT_NEAR(stepper.GetValue(), 1.500, 1e-9);
}

TEST_F(DoubleStepper, TheMinimumStaysTheMinimum) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 1.0, 0.001);
    ClickKey(stepper, Qt::Key_4);
    EXPECT_EQ(stepper.GetValue(), 1.0);
    ClickKey(stepper, Qt::Key_7);
    EXPECT_EQ(stepper.GetValue(), 1.0);
    EXPECT_EQ(stepper.GetText(), "1.000 ");
}

TEST_F(DoubleStepper, VOverTwoValuesShowInTheirOwnFormat) {
    SetVelocityDisplayMode(1);
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(50.0, 150.0, 50.0, 0.1);
    EXPECT_EQ(stepper.GetText(), "50.0");
    ClickKey(stepper, Qt::Key_7);
    EXPECT_EQ(stepper.GetValue(), 50.0);
    ClickKey(stepper, Qt::Key_1);
    EXPECT_NEAR(stepper.GetValue(), 50.1, 1e-9);
    EXPECT_EQ(stepper.GetText(), "50.1");
}

TEST_F(DoubleStepper, OtherKeysLeaveTheValueShown) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 1.25, 0.001);
    for (int key : {Qt::Key_5, Qt::Key_0, Qt::Key_F1, Qt::Key_Escape, Qt::Key_Return}) {
        ClickKey(stepper, key);
        EXPECT_EQ(stepper.GetValue(), 1.25) << key;
        EXPECT_EQ(stepper.GetText(), "1.250 ") << key;
    }
    // Every key-down counts towards the faster steps, whichever key it is.
    for (int i = 0; i < 9; ++i)
        PressKey(stepper, Qt::Key_5, i > 0);
    PressKey(stepper, Qt::Key_6, true);
    EXPECT_NEAR(stepper.GetValue(), 1.261, 1e-9);
}

TEST_F(DoubleStepper, KeysArePassedOnToTheParentViewAfterTheStepperTookThem) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 2.0, 0.001);
    std::vector<double> valuesSeenByTheView;
    view.onKeyDown = [&](int) { valuesSeenByTheView.push_back(stepper.GetValue()); };

    PressKey(stepper, Qt::Key_6);
    PressKey(stepper, Qt::Key_6, true);
    ReleaseKey(stepper, Qt::Key_6);
    EXPECT_TRUE(view.log.empty()) << "posted, not sent";
    DeliverPosted();

    EXPECT_EQ(view.log, (std::vector<QString>{"down 54", "down 54 repeat", "up 54"}));
    ASSERT_EQ(valuesSeenByTheView.size(), 2u);
    EXPECT_NEAR(valuesSeenByTheView[0], 2.002, 1e-9) << "the view sees the key after the stepper stepped";
}

TEST_F(DoubleStepper, AnAutoRepeatReleaseIsNeitherPassedOnNorAnEndOfTheRepeat) {
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 2.0, 0.001);
    PressKey(stepper, Qt::Key_6);
    SendKey(stepper, QEvent::KeyRelease, Qt::Key_6, true);
    EXPECT_EQ(stepper.GetRepeatCounter(), 1u);
    DeliverPosted();
    EXPECT_EQ(view.log, (std::vector<QString>{"down 54"}));
}

TEST_F(DoubleStepper, HorizontalLayoutPutsTheBoxBetweenTheArrows) {
    CBaseDoubleScrollBar& stepper = *Open(0);
    ASSERT_NE(stepper.GetValueBox(), nullptr);
    QLineEdit& box = *stepper.GetValueBox();
    EXPECT_EQ(box.parentWidget(), &view) << "a sibling of the stepper";
    EXPECT_EQ(box.objectName(), QString::number(kId + 1));
    EXPECT_EQ(stepper.objectName(), QString::number(kId));
    EXPECT_FALSE(box.isEnabled());
    EXPECT_EQ(box.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(box.text().isEmpty()) << "empty until the value is set";
    EXPECT_EQ(stepper.orientation(), Qt::Horizontal);

    stepper.LayoutAndShow(QRect(100, 100, 200, 24));
    EXPECT_EQ(stepper.geometry(), QRect(102, 102, 200, 24));
    EXPECT_EQ(box.geometry(), QRect(120, 102, 164, 24));
}

TEST_F(DoubleStepper, VerticalLayoutPutsTheScrollBarOnTheRightStrip) {
    CBaseDoubleScrollBar& stepper = *Open(double_stepper::kVerticalStyle);
    EXPECT_EQ(stepper.orientation(), Qt::Vertical);
    stepper.LayoutAndShow(QRect(100, 100, 200, 24));
    EXPECT_EQ(stepper.geometry(), QRect(284, 102, 18, 24));
    EXPECT_EQ(stepper.GetValueBox()->geometry(), QRect(102, 102, 182, 24));
}

TEST_F(DoubleStepper, LayoutAndShowTakesTheFocus) {
    ASSERT_TRUE(ShowActive(view));
    CBaseDoubleScrollBar& stepper = *Open();
    stepper.Init(1.0, 3.0, 2.0, 0.001);
    stepper.LayoutAndShow(QRect(100, 100, 200, 24));
    EXPECT_TRUE(stepper.hasFocus());
    EXPECT_TRUE(stepper.isVisible());
    EXPECT_TRUE(stepper.GetValueBox()->isVisible());
}

TEST_F(DoubleStepper, TheValueBoxGoesWithTheStepper) {
    CBaseDoubleScrollBar* stepper = Open();
    const QPointer<QLineEdit> box = stepper->GetValueBox();
    ASSERT_NE(box, nullptr);
    delete stepper;
    EXPECT_EQ(box, nullptr);
}

TEST_F(DoubleStepper, AParentDestroyedFirstTakesBothAlong) {
    auto parent = std::make_unique<ProbeView>();
    auto* stepper = new CBaseDoubleScrollBar;
    stepper->Create(0, QRect(0, 0, 100, 20), parent.get(), kId);
    const QPointer<CBaseDoubleScrollBar> watched = stepper;
    parent.reset();
    EXPECT_EQ(watched, nullptr);
}

} // namespace
