// The charging screen and the charger supervision on their own: a view on its own pins
// and document, without the main frame.
#include "device/BatteryView.h"
#include "support/TraceCapture.h"

#include "document/PELDoc.h"
#include "platform/Files.h"
#include "platform/SimulatedGpio.h"
#include "ui/PELButton.h"

#include <QImage>
#include <QLoggingCategory>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

namespace pins = platform::pins;

class BatteryViewTest : public ::testing::Test {
protected:
    BatteryViewTest() : doc(platform::AsFolder(home.path())), view(&pins) {
        doc.AddView(&view);
        view.resize(510, 415);
        view.OnInitialUpdate();
    }
    ~BatteryViewTest() override { doc.RemoveView(&view); }

    void Poll() { doc.UpdateAllViews(nullptr, hint::kStatusRefresh); }
    std::vector<int> CellStates() const {
        std::vector<int> states;
        for (int cell = 0; cell <= CBatteryView::kTerminal; ++cell)
            states.push_back(view.GetLabel(cell)->GetState());
        return states;
    }
    CPELButton* Message() const { return view.GetLabel(CBatteryView::kMessageLine); }

    QTemporaryDir home;
    CPELDoc doc;
    platform::SimulatedGpio pins;
    CBatteryView view;
};

constexpr int N = button_state::kNormal;
constexpr int S = button_state::kSelected;

bool HasRedPixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                return true;
        }
    }
    return false;
}

} // namespace

TEST_F(BatteryViewTest, StartingOnTheBatteryDrivesThePowerOnLineHigh) {
    TraceCapture trace;
    view.PowerOnInit();
    EXPECT_TRUE(pins.PowerOnDrivenHigh());
    EXPECT_FALSE(pins.IsOutput(pins::kAdapterSense));
    EXPECT_FALSE(pins.IsOutput(pins::kChargerLineA));
    EXPECT_FALSE(pins.IsOutput(pins::kChargerLineB));
    EXPECT_TRUE(TraceCapture::lines().contains(QStringLiteral("REFLECTOMETER POWERED ON")));
}

TEST_F(BatteryViewTest, StartingOnTheAdapterLeavesThePowerOnLineAlone) {
    pins.SetAdapterPlugged(true);
    TraceCapture trace;
    view.PowerOnInit();
    EXPECT_FALSE(pins.IsOutput(pins::kPowerOn));
    EXPECT_FALSE(TraceCapture::lines().contains(QStringLiteral("REFLECTOMETER POWERED ON")));
}

TEST_F(BatteryViewTest, PinsThatWereOutputsBecomeInputsAtStart) {
    pins.SetPinDirection(pins::kAdapterSense, true);
    pins.SetPinDirection(pins::kChargerLineB, true);
    view.PowerOnInit();
    EXPECT_FALSE(pins.IsOutput(pins::kAdapterSense));
    EXPECT_FALSE(pins.IsOutput(pins::kChargerLineB));
}

TEST_F(BatteryViewTest, ATypeZeroAdapterTakesOverThePowerOnLine) {
    ASSERT_TRUE(doc.adapter.SetIndex(0));
    view.PowerOnInit();
    ASSERT_TRUE(pins.PowerOnDrivenHigh());
    pins.SetAdapterPlugged(true);
    Poll();
    EXPECT_TRUE(pins.IsOutput(pins::kPowerOn));
    EXPECT_FALSE(pins.PowerOnDrivenHigh());
    EXPECT_FALSE(pins.GetPinLevel(pins::kPowerOn));
}

TEST_F(BatteryViewTest, ATypeOneAdapterLeavesThePowerOnLineHigh) {
    ASSERT_TRUE(doc.adapter.SetIndex(1));
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    for (int poll = 0; poll < 10; ++poll)
        Poll();
    EXPECT_TRUE(pins.PowerOnDrivenHigh());
}

TEST_F(BatteryViewTest, EachPollKeepsItsStatus) {
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    pins.SetChargerLines(false, true);
    Poll();
    EXPECT_EQ(view.GetLastStatus(), charger::AC_PLUGGED | charger::AC_WAS_PLUGGED | charger::CHARGE_IN_PROGRESS);
    pins.SetAdapterPlugged(false);
    pins.SetChargerLines(false, false);
    Poll();
    EXPECT_EQ(view.GetLastStatus(), charger::AC_UNPLUGGED);
    pins.SetAdapterPlugged(true);
    doc.UpdateAllViews(nullptr, hint::kClockTick);
    EXPECT_EQ(view.GetLastStatus(), charger::AC_UNPLUGGED) << "only the status refresh polls";
}

TEST_F(BatteryViewTest, WithoutPinsItRunsWithoutChargerSupervisionAndSaysSo) {
    TraceCapture trace;
    platform::GpioBackend* const noPins = nullptr;
    CBatteryView unsupervised(noPins);
    doc.AddView(&unsupervised);
    unsupervised.OnInitialUpdate();
    unsupervised.PowerOnInit();
    EXPECT_FALSE(unsupervised.HasChargerSupervision());
    EXPECT_FALSE(TraceCapture::lines().filter(QStringLiteral("without charger supervision")).isEmpty());
    EXPECT_FALSE(TraceCapture::lines().contains(QStringLiteral("REFLECTOMETER POWERED ON")));
    EXPECT_EQ(unsupervised.PollStatus(), 0u);
    Poll();
    EXPECT_EQ(unsupervised.GetLastStatus(), 0u);
    EXPECT_EQ(unsupervised.GetLabel(CBatteryView::kMessageLine)->GetCaption(), QString());
    doc.RemoveView(&unsupervised);
}

TEST_F(BatteryViewTest, TheChargingScreenLayout) {
    const QRect expected[CBatteryView::kLabels] = {
        QRect(QPoint(95, 85), QPoint(155, 284)),  QRect(QPoint(155, 85), QPoint(215, 284)),
        QRect(QPoint(215, 85), QPoint(275, 284)), QRect(QPoint(275, 85), QPoint(335, 284)),
        QRect(QPoint(335, 85), QPoint(395, 284)), QRect(QPoint(395, 125), QPoint(434, 244)),
        QRect(QPoint(0, 300), QPoint(509, 364)),
    };
    const char* const ids[CBatteryView::kLabels] = {"112", "113", "114", "115", "116", "116", "116"};
    for (int i = 0; i < CBatteryView::kLabels; ++i) {
        CPELButton* label = view.GetLabel(i);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->geometry(), expected[i]) << i;
        EXPECT_EQ(label->GetCaption(), QString()) << i;
        EXPECT_EQ(label->GetState(), N) << i;
        EXPECT_EQ(label->objectName(), QLatin1String(ids[i])) << i;
    }
    view.OnInitialUpdate(); // a second initial update builds nothing twice
    EXPECT_EQ(view.findChildren<CPELButton*>().size(), CBatteryView::kLabels);

    const QImage screen = view.grab().toImage();
    EXPECT_EQ(screen.pixelColor(20, 20), QColor(Qt::black)) << "the background";
    EXPECT_EQ(screen.pixelColor(95, 85), QColor(0x66, 0x66, 0x66)) << "a cell's frame";
    EXPECT_EQ(screen.pixelColor(120, 150), QColor(Qt::black)) << "an empty cell";
}

TEST_F(BatteryViewTest, ChargingWithTypeZeroAnimatesOneCellPerPoll) {
    ASSERT_TRUE(doc.adapter.SetIndex(0));
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    pins.SetChargerLines(false, true);
    const std::vector<std::vector<int>> expected{
        {S, N, N, N, N, N}, {S, S, N, N, N, N}, {S, S, S, N, N, N}, {S, S, S, S, N, N},
        {S, S, S, S, S, N}, {S, S, S, S, S, S}, {S, N, N, N, N, N},
    };
    for (std::size_t poll = 0; poll < expected.size(); ++poll) {
        Poll();
        EXPECT_EQ(CellStates(), expected[poll]) << "poll " << poll + 1;
    }
    EXPECT_EQ(Message()->GetCaption(),
              QStringLiteral("Идёт зарядка...\nПосле окончания зарядки отключите сетевой адаптер."));
    EXPECT_EQ(Message()->GetState(), S);

    // A filled cell in the charging colour (the colour word 0x00DCDC).
    const QImage cell = view.GetLabel(0)->grab().toImage();
    EXPECT_EQ(cell.pixelColor(30, 100), QColor(0xDC, 0xDC, 0x00));
}

TEST_F(BatteryViewTest, ChargingWithTypeOneShowsNothing) {
    ASSERT_TRUE(doc.adapter.SetIndex(1));
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    pins.SetChargerLines(false, true);
    Poll();
    Poll();
    EXPECT_EQ(CellStates(), (std::vector<int>{N, N, N, N, N, N}));
    EXPECT_EQ(Message()->GetCaption(), QString());
    EXPECT_EQ(view.GetFillLevel(), 0);
}

TEST_F(BatteryViewTest, ChargeCompleteWithTypeZeroFillsEveryCell) {
    ASSERT_TRUE(doc.adapter.SetIndex(0));
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    pins.SetChargerLines(false, true);
    Poll();
    Poll();
    pins.SetChargerLines(true, false);
    Poll();
    EXPECT_EQ(CellStates(), (std::vector<int>{S, S, S, S, S, S}));
    EXPECT_EQ(Message()->GetCaption(), QStringLiteral("Зарядка завершена.\nОтключите сетевой адаптер."));
    EXPECT_EQ(Message()->GetState(), S);
    Poll();
    EXPECT_EQ(CellStates(), (std::vector<int>{S, S, S, S, S, S}));
}

TEST_F(BatteryViewTest, ChargeCompleteWithTypeOneLeavesTheScreen) {
    ASSERT_TRUE(doc.adapter.SetIndex(1));
    view.PowerOnInit();
    pins.SetAdapterPlugged(true);
    pins.SetChargerLines(true, false);
    Poll();
    EXPECT_EQ(CellStates(), (std::vector<int>{N, N, N, N, N, N}));
    EXPECT_EQ(Message()->GetCaption(), QString());
}

TEST_F(BatteryViewTest, AChargeErrorShowsTheRedMessageOnceTheAdapterIsSteady) {
    ASSERT_TRUE(doc.adapter.SetIndex(1));
    view.PowerOnInit();
    pins.SetChargerLines(true, true);
    pins.SetAdapterPlugged(true);
    for (int poll = 0; poll < 8; ++poll)
        Poll();
    EXPECT_EQ(Message()->GetCaption(), QString()) << "just plugged in: no error yet";
    Poll();
    EXPECT_EQ(Message()->GetCaption(), QStringLiteral("Ошибка зарядки. Батарея отсутствует или повреждена."));
    EXPECT_EQ(Message()->GetState(), N);
    EXPECT_TRUE(HasRedPixel(Message()->grab().toImage())) << "the error text is red";
}

TEST_F(BatteryViewTest, NoChargeErrorWithoutTheAdapter) {
    view.PowerOnInit();
    pins.SetChargerLines(true, true);
    Poll();
    Poll();
    EXPECT_EQ(Message()->GetCaption(), QString());
}
