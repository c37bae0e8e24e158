// The battery in the whole program: the mains adapter and the charger on the simulated
// pins, the charging screen, the power-off when a charging adapter is pulled, and the
// keypad driver's battery codes in the status line.
#include "scenario/Harness.h"

#include "device/BatteryPictures.h"
#include "device/BatteryView.h"
#include "device/EnterChar.h"
#include "library/StatisticsView.h"
#include "platform/Files.h"
#include "platform/SimulatedGpio.h"
#include "platform/SimulatedKeypad.h"
#include "support/FileSizeLimit.h"
#include "support/TraceCapture.h"
#include "ui/BtnsView.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

namespace {

namespace pins = platform::pins;

constexpr int kChargingAdapter = 0; // power-supply type 0: charges only
constexpr int kMainsSupply = 1;     // power-supply type 1: the instrument runs on it

// The process-wide pins as a battery-powered instrument finds them at switch-on.
void ResetPins() {
    platform::SimulatedGpio& simulated = platform::SimulatedPins();
    simulated.SetAdapterPlugged(false);
    simulated.SetChargerLines(false, false);
    simulated.SetPinDirection(pins::kPowerOn, false);
    simulated.SetPinLevel(pins::kPowerOn, false);
}

class Battery : public ::testing::Test {
protected:
    Battery() {
        ResetPins();
        h = std::make_unique<Harness>();
        // The polls come from the test, not from the frame's 200 ms timer.
        h->Frame().KillTimer(CMainFrame::kStatusTimer);
    }
    ~Battery() override {
        h.reset();
        ResetPins();
    }

    CMainFrame& Frame() { return h->Frame(); }
    CBatteryView& View() { return *h->Frame().batteryView; }
    platform::SimulatedGpio& Pins() { return platform::SimulatedPins(); }
    void Poll(int times = 1) {
        for (int i = 0; i < times; ++i)
            h->Doc().UpdateAllViews(nullptr, hint::kStatusRefresh);
    }
    void SetSupplyType(int type) { ASSERT_TRUE(h->Doc().adapter.SetIndex(type)); }
    QString StateFile() const { return h->Home() + QStringLiteral("pel.ini"); }
    QString Title() { return Frame().statusView->GetTitle(); }
    std::vector<int> CellStates() {
        std::vector<int> states;
        for (int cell = 0; cell <= CBatteryView::kTerminal; ++cell)
            states.push_back(View().GetLabel(cell)->GetState());
        return states;
    }
    QSize BatteryIconSize() {
        const QPixmap icon = Frame().statusView->GetBatteryIcon()->pixmap();
        return icon.isNull() ? QSize() : icon.size();
    }

    std::unique_ptr<Harness> h;
};

constexpr int N = button_state::kNormal;
constexpr int S = button_state::kSelected;

} // namespace

TEST_F(Battery, StartingWithoutAnAdapterKeepsTheInstrumentPowered) {
    EXPECT_TRUE(Pins().PowerOnDrivenHigh());
    Poll();
    EXPECT_EQ(View().GetLastStatus(), charger::AC_UNPLUGGED);
}

TEST_F(Battery, PluggingAndPullingWithinOnePointSixSecondsDoesNotPowerOff) {
    SetSupplyType(kChargingAdapter);
    Pins().SetAdapterPlugged(true);
    Poll(8); // 8 polls of 200 ms: still "just plugged in"
    EXPECT_NE(View().GetLastStatus() & charger::AC_WAS_PLUGGED, 0u);
    Pins().SetAdapterPlugged(false);
    Poll(3);
    h->Run(300); // a power-off timer, had one been started, would have fired
    EXPECT_EQ(h->powerOffRequests, 0);
    EXPECT_FALSE(platform::FileExists(StateFile()));
    EXPECT_FALSE(h->App().GetPowerOffDialog()->isVisible());
}

TEST_F(Battery, PullingASteadyTypeZeroAdapterSavesTheStateAndPowersOff) {
    SetSupplyType(kChargingAdapter);
    ASSERT_TRUE(h->Doc().ch[0].gain.SetIndex(77));
    Pins().SetAdapterPlugged(true);
    Poll(9);
    ASSERT_EQ(View().GetLastStatus(), charger::AC_PLUGGED) << "steadily present";
    ASSERT_FALSE(platform::FileExists(StateFile()));

    Pins().SetAdapterPlugged(false);
    bool dialogShown = false;
    bool savedBeforePowerOff = false;
    int requestsWhileShown = -1;
    QTimer::singleShot(0, [&] {
        dialogShown = h->App().GetPowerOffDialog()->isVisible();
        savedBeforePowerOff = platform::FileExists(StateFile());
        requestsWhileShown = h->powerOffRequests;
    });
    Poll(); // returns once the dialog has gone with the power-off
    EXPECT_TRUE(dialogShown);
    EXPECT_TRUE(savedBeforePowerOff);
    EXPECT_EQ(requestsWhileShown, 0) << "the power goes 100 ms after the dialog appears";
    EXPECT_EQ(h->powerOffRequests, 1);
    EXPECT_FALSE(h->App().GetPowerOffDialog()->isVisible());
    Frame().KillTimer(CMainFrame::kPowerOffTimer);

    CIniFile written(StateFile());
    std::int32_t gain = 0;
    ASSERT_TRUE(written.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].gain"), gain));
    EXPECT_EQ(gain, 77);
}

TEST_F(Battery, AStateFileThatCannotBeWrittenBeforeThePowerOffIsTraced) {
    SetSupplyType(kChargingAdapter);
    Pins().SetAdapterPlugged(true);
    Poll(9);
    Pins().SetAdapterPlugged(false);
    TraceCapture trace;
    {
        FileSizeLimit limit(16); // a full disk
        ASSERT_TRUE(limit.Active());
        Poll(); // returns once the dialog has gone with the power-off
    }
    Frame().KillTimer(CMainFrame::kPowerOffTimer);
    EXPECT_EQ(h->powerOffRequests, 1) << "the power goes all the same";
    EXPECT_TRUE(TraceCapture::lines().contains(
        QStringLiteral("CBatteryView: pel.ini not written before the power-off: ") + platform::ErrorText(EFBIG)))
        << TraceCapture::lines().join(QLatin1Char('|')).toStdString();
}

TEST(BatteryWithoutPins, TheOperatorIsToldOnceAtStart) {
    platform::ReplaceGpioForTesting(nullptr); // no GPIO controller
    struct Restore {
        ~Restore() { platform::ReplaceGpioForTesting(std::nullopt); }
    } restore;
    {
        Harness h;
        EXPECT_TRUE(h.RunUntil([&] { return !h.boxes.empty(); }, 200));
        for (int poll = 0; poll < 10; ++poll)
            h.Doc().UpdateAllViews(nullptr, hint::kStatusRefresh);
        h.Run(50);
        ASSERT_EQ(h.boxes.size(), 1u);
        EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Контроль питания: ошибка"));
        EXPECT_TRUE(h.boxes[0].text.startsWith(QStringLiteral("Контроль питания недоступен.")));
        EXPECT_EQ(h.boxes[0].flags, platform::mb::kOk | platform::mb::kIconStop);
    }
}

TEST_F(Battery, WithTypeOnePullingTheAdapterNeverPowersOff) {
    SetSupplyType(kMainsSupply);
    Pins().SetAdapterPlugged(true);
    Poll(20);
    EXPECT_TRUE(Pins().PowerOnDrivenHigh()) << "a type 1 supply leaves the power-on line";
    Pins().SetAdapterPlugged(false);
    Poll();
    EXPECT_NE(View().GetLastStatus() & charger::AC_WAS_UNPLUGGED, 0u);
    Poll(3);
    h->Run(300);
    EXPECT_EQ(h->powerOffRequests, 0);
    EXPECT_FALSE(platform::FileExists(StateFile()));
}

TEST_F(Battery, ChargingWithTypeZeroForcesTheChargingScreenAndAnimates) {
    SetSupplyType(kChargingAdapter);
    CFormView* const start = Frame().GetActiveView();
    ASSERT_NE(start, Frame().batteryView);
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(false, true);
    Poll();
    EXPECT_EQ(Frame().GetActiveView(), Frame().batteryView);
    EXPECT_EQ(Frame().batteryView->height(), 415);
    EXPECT_EQ(Title(), QStringLiteral("Идёт зарядка..."));
    EXPECT_EQ(CellStates(), (std::vector<int>{S, N, N, N, N, N}));
    for (int key = 0; key < CBtnsPanel::kKeys; ++key) {
        EXPECT_EQ(Frame().btnsH->GetButton(key)->GetState(), button_state::kDisabled) << "F" << key + 1;
        EXPECT_EQ(Frame().btnsV->GetButton(key)->GetState(), button_state::kDisabled) << "F" << key + 6;
    }
    Poll();
    EXPECT_EQ(CellStates(), (std::vector<int>{S, S, N, N, N, N}));

    // Leaving it does not last while the charger charges.
    Frame().SetActiveViewPEL(start, true);
    Poll();
    EXPECT_EQ(Frame().GetActiveView(), Frame().batteryView);
    EXPECT_EQ(CellStates(), (std::vector<int>{S, S, S, N, N, N}));
    EXPECT_EQ(View().GetLabel(CBatteryView::kMessageLine)->GetCaption(),
              QStringLiteral("Идёт зарядка...\nПосле окончания зарядки отключите сетевой адаптер."));

    // The screen as the operator sees it: three cells in the charging colour, the rest black.
    const QImage screen = h->Capture();
    const QPoint work = Frame().batteryView->mapTo(&Frame(), QPoint(0, 0));
    EXPECT_EQ(screen.pixelColor(work + QPoint(125, 185)), QColor(0xDC, 0xDC, 0x00));
    EXPECT_EQ(screen.pixelColor(work + QPoint(245, 185)), QColor(0xDC, 0xDC, 0x00));
    EXPECT_EQ(screen.pixelColor(work + QPoint(305, 185)), QColor(Qt::black));
    EXPECT_EQ(screen.pixelColor(work + QPoint(20, 20)), QColor(Qt::black));
}

TEST_F(Battery, ChargingWhileARecordingIsNamedKeepsItUnderAFreeProposedName) {
    const QString storage = h->Doc().storageFolder;
    ASSERT_TRUE(platform::CreateFolderPath(storage));
    ASSERT_TRUE(platform::WriteFileAtomically(storage + QStringLiteral("РЕФЛ2.pel"), "older"));
    ASSERT_TRUE(platform::WriteFileAtomically(storage + QStringLiteral("[save].pel"), "recording"));
    Frame().SetActiveViewPEL(Frame().pelView, true);
    h->Doc().UpdateAllViews(nullptr, hint::kCaptureSaved);
    ASSERT_NE(Frame().statisticsView->Editor(), nullptr);
    ASSERT_EQ(Frame().statisticsView->Editor()->text(), QStringLiteral("РЕФЛ2"));

    SetSupplyType(kChargingAdapter);
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(false, true);
    Poll();
    ASSERT_EQ(Frame().GetActiveView(), Frame().batteryView);
    EXPECT_EQ(Frame().statisticsView->Editor(), nullptr);
    auto contents = [&](const QString& name) {
        QByteArray bytes;
        platform::ReadWholeFile(storage + name, bytes);
        return bytes;
    };
    EXPECT_EQ(contents(QStringLiteral("РЕФЛ2.pel")), "older");
    EXPECT_EQ(contents(QStringLiteral("РЕФЛ3.pel")), "recording") << "the proposed name was taken: the next free one";
    EXPECT_FALSE(platform::FileExists(storage + QStringLiteral("[save].pel")));
}

TEST_F(Battery, ChargingWithTypeOneKeepsTheWorkArea) {
    SetSupplyType(kMainsSupply);
    CFormView* const start = Frame().GetActiveView();
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(false, true);
    Poll(3);
    EXPECT_EQ(Frame().GetActiveView(), start);
    EXPECT_EQ(CellStates(), (std::vector<int>{N, N, N, N, N, N}));
}

TEST_F(Battery, ChargeCompleteWithTypeOneChangesOnlyTheTitle) {
    SetSupplyType(kMainsSupply);
    CFormView* const start = Frame().GetActiveView();
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(true, false);
    Poll();
    EXPECT_EQ(Title(), QStringLiteral("Зарядка завершена."));
    EXPECT_EQ(Frame().GetActiveView(), start);
    EXPECT_EQ(CellStates(), (std::vector<int>{N, N, N, N, N, N}));
    EXPECT_EQ(View().GetLabel(CBatteryView::kMessageLine)->GetCaption(), QString());
}

TEST_F(Battery, ChargeCompleteWithTypeZeroShowsTheFullBattery) {
    SetSupplyType(kChargingAdapter);
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(false, true);
    Poll();
    Pins().SetChargerLines(true, false);
    Poll();
    EXPECT_EQ(Title(), QStringLiteral("Зарядка завершена."));
    EXPECT_EQ(CellStates(), (std::vector<int>{S, S, S, S, S, S}));
    EXPECT_EQ(View().GetLabel(CBatteryView::kMessageLine)->GetCaption(),
              QStringLiteral("Зарядка завершена.\nОтключите сетевой адаптер."));
}

TEST_F(Battery, AChargeErrorSwitchesToTheBatteryViewWithTheRedMessage) {
    for (int type : {kChargingAdapter, kMainsSupply}) {
        SCOPED_TRACE(type);
        Frame().SetActiveViewPEL(Frame().pelView, true);
        Pins().SetAdapterPlugged(false);
        Pins().SetChargerLines(false, false);
        Poll(2);
        SetSupplyType(type);
        Pins().SetAdapterPlugged(true);
        Pins().SetChargerLines(true, true);
        Poll();
        EXPECT_EQ(Frame().GetActiveView(), Frame().pelView) << "just plugged in";
        Poll(8);
        EXPECT_EQ(Frame().GetActiveView(), Frame().batteryView);
        // The switch itself titles the screen as charging; the next poll, 200 ms on,
        // names the error.
        Poll();
        EXPECT_EQ(Frame().GetActiveView(), Frame().batteryView);
        EXPECT_EQ(Title(), QStringLiteral("Ошибка зарядки!"));
        CPELButton* message = View().GetLabel(CBatteryView::kMessageLine);
        EXPECT_EQ(message->GetCaption(), QStringLiteral("Ошибка зарядки. Батарея отсутствует или повреждена."));
        EXPECT_EQ(message->GetState(), N);

        const QImage screen = h->Capture();
        const QRect line(message->mapTo(&Frame(), QPoint(0, 0)), message->size());
        int red = 0;
        for (int y = line.top(); y <= line.bottom(); ++y) {
            for (int x = line.left(); x <= line.right(); ++x)
                red += screen.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
        }
        EXPECT_GT(red, 50) << "the message is written in red";
    }
}

TEST_F(Battery, BatteryCodesNeverResetTheIdleCounter) {
    h->Doc().idleCounter = 42;
    for (int code = 'A'; code <= 'F'; ++code)
        h->Tap(code);
    EXPECT_EQ(h->Doc().idleCounter, 42);
    EXPECT_EQ(View().GetLastLevelCode(), 'F');
    h->Tap('1');
    EXPECT_EQ(h->Doc().idleCounter, 0);
}

TEST_F(Battery, BatteryCodesShowTheirPicturesInTheStatusLine) {
    const std::pair<int, int> levels[] = {{'B', 156}, {'C', 157}, {'D', 159}, {'E', 160}, {'F', 154}};
    for (const auto& [code, picture] : levels) {
        h->Tap(code);
        EXPECT_EQ(View().GetPictureId(), picture) << char(code);
        EXPECT_EQ(BatteryIconSize(), QSize(24, 14)) << char(code);
        EXPECT_EQ(Frame().statusView->GetBatteryIcon()->pixmap().toImage(), battery_picture::Draw(picture).toImage())
            << char(code);
    }
}

TEST_F(Battery, TheExhaustedBatteryBlinksAndSaysSo) {
    h->KeyDown('A');
    const int first = View().GetPictureId();
    EXPECT_EQ(Title(), QStringLiteral("Батарея разряжена! Зарядите прибор..."));
    h->KeyUp('A');
    const int second = View().GetPictureId();
    h->KeyDown('A');
    const int third = View().GetPictureId();
    EXPECT_EQ(std::set<int>({first, second}), std::set<int>({155, 161}));
    EXPECT_EQ(third, first);
    EXPECT_EQ(Frame().statusView->blink, third == 161);
}

TEST_F(Battery, AFullBatteryWhileChargingShowsThePlug) {
    SetSupplyType(kMainsSupply);
    Pins().SetAdapterPlugged(true);
    Pins().SetChargerLines(false, true);
    Poll();
    h->Tap('F');
    EXPECT_EQ(View().GetPictureId(), 145);
    EXPECT_EQ(BatteryIconSize(), QSize(24, 16));
    Pins().SetChargerLines(true, false);
    Poll();
    h->Tap('F');
    EXPECT_EQ(View().GetPictureId(), 154);
    EXPECT_EQ(BatteryIconSize(), QSize(24, 14));
}

TEST_F(Battery, TheSimulatedKeypadDriverReportsLikeAKey) {
    platform::SimulatedKeypad keypad;
    keypad.SetLevelCode('D');
    h->Doc().idleCounter = 5;
    keypad.SendNow();
    ASSERT_TRUE(h->RunUntil([&] { return View().GetLastLevelCode() == 'D'; }, 2000));
    EXPECT_EQ(View().GetPictureId(), 159);
    EXPECT_EQ(h->Doc().idleCounter, 5);
}

TEST_F(Battery, TheSimulatedKeypadDriverReportsShortlyAfterStart) {
    platform::SimulatedKeypad keypad;
    keypad.Start();
    ASSERT_TRUE(h->RunUntil([&] { return View().GetPictureId() != 0; }, 10000));
    EXPECT_EQ(View().GetLastLevelCode(), 'F');
    EXPECT_EQ(View().GetPictureId(), 154);
}
