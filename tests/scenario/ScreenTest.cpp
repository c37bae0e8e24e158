// The instrument's screen as a whole: layout, status line, soft keys, the key
// filter and the start on the simulated board.
#include "scenario/Harness.h"
#include "support/Rgb.h"

#include "device/BatteryView.h"
#include "device/SettingView.h"
#include "document/ReflectogramFile.h"
#include "library/LinesView.h"
#include "library/MyListCtrl.h"
#include "library/StatisticsView.h"
#include "link/ProtocolKS518_Ref.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/PELSplitterWnd.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

// Records what reaches a view, standing in for the active view.
class KeyProbe : public CFormView {
public:
    explicit KeyProbe(QWidget* parent) : CFormView(parent) { show(); }
    void OnKeyDown(int code, bool repeat) override { Log(repeat ? 'r' : 'd', code); }
    void OnKeyUp(int code) override { Log('u', code); }
    void OnChar(int code) override { Log('c', code); }
    void Log(char kind, int code) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "%c%d", kind, code);
        log.emplace_back(entry);
    }
    std::vector<std::string> log;
};

QRect InFrame(QWidget* widget, CMainFrame& frame) {
    return QRect(widget->mapTo(&frame, QPoint(0, 0)), widget->size());
}

// A stored reflectogram of the shortest range, at `first` on the left half of its chart and
// at `second` on the right half.
QByteArray TwoLevelReflectogram(int first, int second) {
    reflectogram::Header header;
    header.sampleCount = reflectogram::kMaxSamples;
    header.storedKU = 1500;
    std::vector<std::uint8_t> samples(reflectogram::kMaxSamples, static_cast<std::uint8_t>(second));
    std::fill_n(samples.begin(), kSeriesPoints / 2, static_cast<std::uint8_t>(first));
    return reflectogram::Encode(header, samples.data());
}

// Per screen row inside `area`, the number of pixels of `colour`, leaving out `skip`.
std::map<int, int> RowCounts(const QImage& screen, const QRect& area, QRgb colour, const QRect& skip = QRect()) {
    std::map<int, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (screen.pixel(x, y) == colour && !skip.contains(x, y))
                ++counts[y];
    return counts;
}

int FullestRow(const std::map<int, int>& counts) {
    const auto fullest = std::max_element(counts.begin(), counts.end(),
                                          [](const auto& a, const auto& b) { return a.second < b.second; });
    return fullest == counts.end() ? -1 : fullest->first;
}

} // namespace

TEST(Screen, WorkAreaRowsFollowTheActiveView) {
    Harness h;
    CMainFrame& frame = h.Frame();
    EXPECT_EQ(frame.GetActiveView(), frame.tableView) << "the instrument starts in the channels menu";
    EXPECT_EQ(frame.statusView->GetTitle(), QStringLiteral("КАНАЛЫ"));
    EXPECT_EQ(frame.pelView->height(), 415);
    EXPECT_EQ(frame.pelView->width(), 510);
    for (QWidget* row : std::initializer_list<QWidget*>{frame.tableView, frame.linesView, frame.statisticsView,
                                                        frame.batteryView, frame.settingView})
        EXPECT_EQ(row->height(), 0);

    frame.SetActiveViewPEL(frame.statisticsView, true);
    EXPECT_EQ(frame.pelView->height(), 296);
    // The list takes what is left below a one-pixel line.
    EXPECT_EQ(frame.statisticsView->height(), 118);
    EXPECT_EQ(InFrame(frame.statisticsView, frame).top(), InFrame(frame.pelView, frame).bottom() + 2);

    frame.SetActiveViewPEL(frame.settingView, true);
    EXPECT_EQ(frame.pelView->height(), 0);
    EXPECT_EQ(frame.settingView->height(), 415);
    EXPECT_EQ(frame.GetActiveView(), frame.settingView);
    EXPECT_TRUE(frame.settingView->hasFocus());
}

TEST(Screen, PanesAreSeparatedByOnePixelLines) {
    Harness h;
    CMainFrame& frame = h.Frame();
    const QRect status = InFrame(frame.statusView, frame);
    const QRect work = InFrame(frame.pelView, frame);
    const QRect keysH = InFrame(frame.btnsH, frame);
    const QRect keysV = InFrame(frame.btnsV, frame);
    EXPECT_EQ(status, QRect(1, 1, 638, 20));
    EXPECT_EQ(work.top(), status.bottom() + 2);
    EXPECT_EQ(keysH.top(), work.bottom() + 2);
    EXPECT_EQ(keysH.height(), 40);
    EXPECT_EQ(keysV.left(), work.right() + 2);
    EXPECT_EQ(keysV.top(), work.top());
    EXPECT_EQ(keysH.bottom(), 477) << "below it one line; the hidden protocol row is left no height";

    EXPECT_EQ(frame.btnsH->GetButton(0)->width(), 128);
    EXPECT_EQ(frame.btnsH->GetButton(4)->width(), 124);
    EXPECT_EQ(frame.btnsH->GetButton(4)->height(), 39);
    EXPECT_EQ(frame.btnsV->GetButton(0)->height(), 83);
    EXPECT_EQ(frame.btnsV->GetButton(4)->height(), 84);
    EXPECT_EQ(frame.btnsV->ButtonForKey(vk::kF6), frame.btnsV->GetButton(0));
    EXPECT_EQ(frame.btnsH->ButtonForKey(vk::kF6), nullptr);
}

TEST(Screen, StartsOnTheSimulatedBoardWithPanelsAndARunningClock) {
    Harness h;
    ASSERT_TRUE(h.RunUntil([&] { return h.Frame().protocol->IsPortOpen(); }, 2000));
    const QString firstClock = h.Frame().statusView->GetClockText();
    ASSERT_TRUE(h.RunUntil([&] { return h.Frame().statusView->GetClockText() != firstClock; }, 2500));
    EXPECT_EQ(h.Frame().statusView->GetClockText(), h.Doc().clock.GetStr());

    // Both panels are drawn: framed keys in the panel grey.
    const QImage screen = h.Capture();
    ASSERT_EQ(screen.size(), QSize(640, 480));
    const QRect keyF1 = InFrame(h.Frame().btnsH->GetButton(0), h.Frame());
    const QRect keyF6 = InFrame(h.Frame().btnsV->GetButton(0), h.Frame());
    EXPECT_EQ(screen.pixel(keyF1.topLeft() + QPoint(3, 3)), RgbOf(0xC8D0D4));
    EXPECT_EQ(screen.pixel(keyF1.topLeft()), RgbOf(0x000000)) << "one-pixel frame";
    // Line 1 is the current trace: its key is marked, with a five-pixel black frame.
    EXPECT_EQ(screen.pixel(keyF6.topLeft() + QPoint(3, 3)), RgbOf(0x000000));
    EXPECT_EQ(screen.pixel(keyF6.topLeft() + QPoint(6, 6)), RgbOf(0xC80000));
    EXPECT_EQ(screen.pixel(InFrame(h.Frame().btnsV->GetButton(1), h.Frame()).topLeft() + QPoint(3, 3)), RgbOf(0xC8D0D4))
        << "line 2 present but hidden";
}

TEST(Screen, BatteryCodesGoToTheBatteryViewAndAreNoActivity) {
    Harness h;
    KeyProbe probe(&h.Frame());
    h.Frame().SetActiveViewPEL(&probe, true);
    h.Doc().idleCounter = 7;
    h.Tap('C');
    EXPECT_EQ(h.Doc().idleCounter, 7);
    EXPECT_EQ(h.Frame().batteryView->GetLastLevelCode(), 'C');
    EXPECT_TRUE(probe.log.empty());
    h.Tap('5');
    EXPECT_EQ(h.Doc().idleCounter, 0);
    EXPECT_EQ(probe.log, (std::vector<std::string>{"d53", "c53", "u53"}));
}

TEST(Screen, TheFirstPOfARunSavesTheSettings) {
    Harness h;
    KeyProbe probe(&h.Frame());
    h.Frame().SetActiveViewPEL(&probe, true);
    const QString stateFile = h.Home() + QStringLiteral("pel.ini");
    ASSERT_FALSE(platform::FileExists(stateFile));
    ASSERT_TRUE(h.Doc().ch[0].gain.SetIndex(123));
    h.Tap('P');
    ASSERT_TRUE(platform::FileExists(stateFile));
    CIniFile written(stateFile);
    std::int32_t gain = 0;
    ASSERT_TRUE(written.GetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].gain"), gain));
    EXPECT_EQ(gain, 123);
    EXPECT_EQ(probe.log, std::vector<std::string>{}) << "the first P is the driver's, not the operator's";

    ASSERT_TRUE(platform::DeleteFile(stateFile));
    h.Tap('P');
    EXPECT_FALSE(platform::FileExists(stateFile));
    EXPECT_EQ(probe.log, (std::vector<std::string>{"d80", "u80"}));
}

TEST(Screen, WhileBusyKeysAreSwallowedAndNoActivity) {
    Harness h;
    KeyProbe probe(&h.Frame());
    h.Frame().SetActiveViewPEL(&probe, true);
    h.App().SetBusy(true);
    h.Tap('1');
    h.Tap(vk::kF1);
    EXPECT_TRUE(probe.log.empty());
    h.Doc().idleCounter = 30;
    h.Frame().OnTimer(CMainFrame::kClockTimer);
    EXPECT_EQ(h.Doc().idleCounter, 1) << "a busy instrument is never idle for long";
    h.App().SetBusy(false);
    h.Tap('1');
    EXPECT_EQ(probe.log.size(), 3u);
}

TEST(Screen, AutoPowerOffAfterTheIdleInterval) {
    Harness h;
    h.Doc().autoStop.SetIndex(1); // 2 minutes
    h.Doc().idleCounter = 0;
    for (int second = 1; second <= 120; ++second)
        h.Frame().OnTimer(CMainFrame::kClockTimer);
    EXPECT_EQ(h.powerOffRequests, 0);
    h.Frame().OnTimer(CMainFrame::kClockTimer);
    EXPECT_EQ(h.powerOffRequests, 1) << "on the 121st idle second";

    h.Doc().autoStop.SetIndex(0); // "Выкл"
    h.Doc().idleCounter = 0;
    for (int second = 1; second <= 5000; ++second)
        h.Frame().OnTimer(CMainFrame::kClockTimer);
    EXPECT_EQ(h.powerOffRequests, 1);
}

TEST(Screen, ARefusedPowerOffKeepsTheProgramRunningAndIsTold) {
    Harness h;
    h.powerOffAccepted = false;
    h.Doc().autoStop.SetIndex(1); // 2 minutes
    h.Doc().idleCounter = 120;
    h.Frame().OnTimer(CMainFrame::kClockTimer); // the 121st idle second
    EXPECT_EQ(h.powerOffRequests, 1);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Выключение: ошибка"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Не удалось выключить прибор."));
    EXPECT_EQ(h.boxes[0].flags, platform::mb::kOk | platform::mb::kIconStop);
    EXPECT_LE(h.Doc().idleCounter, 1) << "the idle time starts over";

    // The forced power-off: the dialog goes, and its timer does not ask again.
    h.Frame().SetTimer(CMainFrame::kPowerOffTimer, 100);
    h.App().ShowPowerOffDialog(); // modal until the refusal closes it
    EXPECT_EQ(h.powerOffRequests, 2);
    EXPECT_EQ(h.boxes.size(), 2u);
    EXPECT_FALSE(h.App().GetPowerOffDialog()->isVisible());
    h.Run(300); // the power-off timer, were it still running, would ask again
    EXPECT_EQ(h.powerOffRequests, 2);
}

TEST(Screen, ClockTickReachesTheStatusLine) {
    Harness h;
    h.Doc().clock.SetTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    h.Doc().UpdateAllViews(nullptr, hint::kClockTick);
    EXPECT_EQ(h.Frame().statusView->GetClockText(), QStringLiteral("03.02.2001 04:05:06"));
    h.Frame().statusView->SetTitle(QStringLiteral("КАНАЛЫ"));
    EXPECT_EQ(h.Frame().statusView->GetTitle(), QStringLiteral("КАНАЛЫ"));
}

TEST(Screen, HeldKeysRepeatKeyDownsAndComeUpOnce) {
    Harness h;
    KeyProbe probe(&h.Frame());
    h.Frame().SetActiveViewPEL(&probe, true);
    h.Hold('4', 2);
    EXPECT_EQ(probe.log, (std::vector<std::string>{"d52", "c52", "r52", "c52", "r52", "c52", "u52"}));

    // A key that went down before an activation does not come up in the new view.
    probe.log.clear();
    h.KeyDown(vk::kF11);
    KeyProbe other(&h.Frame());
    h.Frame().SetActiveViewPEL(&other, true);
    h.KeyUp(vk::kF11);
    EXPECT_EQ(probe.log, std::vector<std::string>{"d122"});
    EXPECT_TRUE(other.log.empty());
}

TEST(Screen, ThePowerOffDialogEndsWithThePowerOff) {
    Harness h;
    h.Frame().SetTimer(CMainFrame::kPowerOffTimer, 100);
    h.App().ShowPowerOffDialog(); // modal until the timer powers off
    EXPECT_EQ(h.powerOffRequests, 1);
    EXPECT_EQ(h.App().GetPowerOffDialog()->windowTitle(), QStringLiteral("Выключение"));
    const auto labels = h.App().GetPowerOffDialog()->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Подготовка к\nвыключению прибора..."));
    h.Frame().KillTimer(CMainFrame::kPowerOffTimer);
}

// Grid, centre line and distance labels as the operator reads them, in every size the chart
// takes: the library's shortened chart, the view after leaving it, one to five legend lines.
TEST(Screen, ChartGridAndLabelsBelongToEveryChartSize) {
    Harness h;
    CMainFrame& frame = h.Frame();
    CPELView& view = *frame.pelView;
    const QString storage = h.Doc().storageFolder;
    ASSERT_TRUE(platform::CreateFolderPath(storage));
    // "А" gives the red trace of slot 2 at +50 and at -50; the others lie elsewhere.
    ASSERT_TRUE(platform::WriteFileAtomically(storage + QStringLiteral("А.pel"), TwoLevelReflectogram(50, -50)));
    ASSERT_TRUE(platform::WriteFileAtomically(storage + QStringLiteral("Б.pel"), TwoLevelReflectogram(100, 100)));
    ASSERT_TRUE(platform::WriteFileAtomically(storage + QStringLiteral("В.pel"), TwoLevelReflectogram(-100, -100)));

    const auto check = [&](const char* size, int legendLines) {
        SCOPED_TRACE(testing::Message() << size << ", " << legendLines << " legend lines");
        int shownLines = 0;
        for (int slot = 0; slot < 5; ++slot)
            shownLines += view.LegendLine(slot)->height() > 0;
        ASSERT_EQ(shownLines, legendLines);
        const QImage screen = h.Capture();
        const QRect chart(view.mapTo(&frame, view.ChartRectangle().topLeft()), view.ChartRectangle().size());
        const int plotBottom = chart.bottom() + 1 - 12; // the first row of the label band

        // The centre line lies midway between the +50 and the -50 trace.
        const std::map<int, int> centre = RowCounts(screen, chart, RgbOf(0x646464));
        const int centreRow = FullestRow(centre);
        ASSERT_GE(centreRow, 0);
        EXPECT_GT(centre.at(centreRow), 100);
        std::map<int, int> red = RowCounts(screen, chart, RgbOf(0x0000FF));
        const int firstRow = FullestRow(red);
        ASSERT_GE(firstRow, 0);
        EXPECT_GT(red[firstRow], 100);
        red.erase(firstRow);
        const int secondRow = FullestRow(red);
        ASSERT_GE(secondRow, 0);
        EXPECT_GT(red[secondRow], 100);
        EXPECT_LE(std::abs(firstRow + secondRow - 2 * centreRow), 1)
            << "centre line at " << centreRow << ", traces at " << firstRow << " and " << secondRow;

        // Label grey only in the band under the plot; the grey cursor's strip is left out.
        const int greyCursor = view.Chart().CursorColumn(view.Chart().ActiveCursor() == 1 ? 2 : 1);
        const QRect cursorStrip(chart.left() + greyCursor + 1, 0, CLineChartCtrl::kStripWidth, screen.height());
        const QRect wholeView(view.mapTo(&frame, QPoint(0, 0)), view.size());
        int inBand = 0;
        std::vector<int> strayRows;
        for (const auto& [row, count] : RowCounts(screen, wholeView, RgbOf(0x7F7F7F), cursorStrip)) {
            if (row >= plotBottom && row <= chart.bottom())
                inBand += count;
            else
                strayRows.push_back(row);
        }
        EXPECT_EQ(strayRows, std::vector<int>{})
            << "label grey outside the band " << plotBottom << ".." << chart.bottom();
        EXPECT_GT(inBand, 50) << "the distance labels";
    };

    // The live lines lie on the centre line while no cable answers: each is moved off it
    // (held key 1 / 7 shifts the current trace by 1, 2, 3, ... steps).
    h.Hold('1', 5);
    h.Tap(vk::kF6 + 1);
    h.Tap('3');
    h.Hold('7', 5);
    ASSERT_EQ(h.Doc().currentTrace, &h.Doc().ch[1]);
    ASSERT_GT(h.Doc().ch[0].shift.GetIndex(), 10);
    ASSERT_LT(h.Doc().ch[1].shift.GetIndex(), -10);

    h.Tap(vk::kF1);
    ASSERT_EQ(frame.GetActiveView(), frame.statisticsView);
    CMyListCtrl& list = *frame.statisticsView->List();
    for (const auto& [name, key] : {std::pair{"А", vk::kF6 + 2}, {"Б", vk::kF6 + 3}, {"В", vk::kF10}}) {
        const QString file = QString::fromUtf8(name);
        for (int guard = 0; guard < 5 && list.SelectedName() != file; ++guard)
            h.Tap(list.FindItem(file) > list.FindItem(list.SelectedName()) ? '7' : '1');
        h.Tap(key);
    }
    check("library", 0);
    h.Tap(vk::kF5);
    ASSERT_EQ(frame.GetActiveView(), frame.tableView);
    check("after the library", 5);

    h.Tap('3'); // slot 2 becomes the current trace, so both lines can be hidden
    const std::vector<std::pair<int, int>> steps = {
        {vk::kF6, 4}, {vk::kF6 + 1, 3}, {vk::kF10, 2}, {vk::kF6 + 3, 1}, {vk::kF6, 2}};
    for (const auto& [key, lines] : steps) {
        h.Tap(key);
        check("legend lines", lines);
    }
}
