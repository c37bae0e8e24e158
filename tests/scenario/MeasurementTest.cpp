// The measurement screen driven by keys against the simulated board: live traces,
// read-outs, parameter steps, cursors, zoom, capture and the two save flows.
#include "scenario/Harness.h"
#include "support/Rgb.h"

#include "document/ReflectogramFile.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"
#include "ui/PELButton.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"

#include <QImageReader>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Counts the document's hints and lets a test look at the slots right after a trace.
class HintCounter : public CView {
public:
    void OnUpdate(CView*, long hint, void*) override {
        ++counts[hint];
        if (hint == hint::kNewTrace && onTrace)
            onTrace();
    }
    std::map<long, int> counts;
    std::function<void()> onTrace;
};

class Measurement : public ::testing::Test {
protected:
    void SetUp() override {
        h_ = std::make_unique<Harness>();
        h_->Doc().AddView(&hints_);
        h_->Tap(vk::kF5); // from the channels menu to "ПАРАМЕТРЫ"
        ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
        ASSERT_TRUE(WaitForTraces(2));
    }
    void TearDown() override {
        hints_.onTrace = nullptr;
        h_->Doc().RemoveView(&hints_);
        platform::SetFreeSpaceForTesting(std::nullopt);
        SetVelocityDisplayMode(0);
        h_.reset();
    }

    bool WaitForTraces(int more) {
        const int target = hints_.counts[hint::kNewTrace] + more;
        return h_->RunUntil([&] { return hints_.counts[hint::kNewTrace] >= target; }, 5000);
    }

    CPELView& View() { return *h_->Frame().pelView; }
    CDOCScale& Scale() { return h_->Doc().displayParams->scale; }

    // The last task frame the board received.
    QByteArray LastTask() {
        const auto frames = h_->Board().Received();
        for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
            if (!it->isEmpty() && (*it)[0] == 'D')
                return *it;
        }
        return QByteArray();
    }

    static int Word(const QByteArray& frame, int offset) {
        return static_cast<std::uint8_t>(frame[offset]) | (static_cast<std::uint8_t>(frame[offset + 1]) << 8);
    }

    int CountColour(const QImage& image, const QRect& area, QRgb colour) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += image.pixel(x, y) == colour;
        return count;
    }

    QRect ChartOnScreen() {
        const QRect chart = View().ChartRectangle();
        return QRect(View().mapTo(&h_->Frame(), chart.topLeft()), chart.size());
    }

    std::unique_ptr<Harness> h_;
    HintCounter hints_;
};

} // namespace

TEST_F(Measurement, LiveTracesAndReadouts) {
    EXPECT_EQ(h_->Frame().statusView->GetTitle(), QStringLiteral("ПАРАМЕТРЫ"));
    ASSERT_TRUE(h_->Doc().SetChannelState(1, 254)); // both lines
    View().LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
    ASSERT_TRUE(WaitForTraces(2));
    const QImage screen = h_->Capture();
    const QRect chart = ChartOnScreen();
    EXPECT_GT(CountColour(screen, chart, RgbOf(0xFF0000)), 100) << "line 1 in blue";
    EXPECT_GT(CountColour(screen, chart, RgbOf(0x00FF00)), 100) << "line 2 in green";

    const QRegularExpression cursor(QStringLiteral("^K[12] \\d+\\.\\d\\d м$"));
    EXPECT_TRUE(cursor.match(View().K1Label()->GetCaption()).hasMatch())
        << View().K1Label()->GetCaption().toStdString();
    EXPECT_TRUE(cursor.match(View().K2Label()->GetCaption()).hasMatch());
    EXPECT_EQ(View().DistanceLabel()->GetCaption(), Scale().GetDistanceStr());
    EXPECT_EQ(View().ZoomLabel()->GetCaption(), QStringLiteral("Лупа x1 "));
    EXPECT_EQ(View().CaptureLabel()->GetCaption(), QStringLiteral("Захват"));
    // Two legend lines, the display parameter set's marked.
    EXPECT_EQ(View().LegendLine(0)->GetState(), 255);
    EXPECT_EQ(View().LegendLine(1)->GetState(), 1);
    EXPECT_EQ(View().LegendLine(1)->height(), 20);
    EXPECT_EQ(View().LegendLine(2)->height(), 0);
    EXPECT_EQ(View().LegendLine(0)->GetCaption(), h_->Doc().ch[0].GetParamLine());
}

TEST_F(Measurement, ARangeStepSendsTheBoardANewTask) {
    ASSERT_TRUE(Scale().SetCursorPx(0, 100)); // 12.5 m
    View().LayoutLabels(CPELView::kShowReadouts | CPELView::kShowLegend);
    const double k1 = Scale().GetCursorMetres(0);
    const double k2 = Scale().GetCursorMetres(1);
    EXPECT_EQ(View().SelectedKey(), h_->Frame().btnsV->GetButton(0));
    h_->Tap('1');
    ASSERT_TRUE(WaitForTraces(1));
    EXPECT_EQ(Scale().GetIndex(), 1);
    const QByteArray task = LastTask();
    ASSERT_EQ(task.size(), 16);
    EXPECT_EQ(Word(task, 7), 1) << "decimation of the whole 125 m range";
    EXPECT_EQ(Word(task, 9), 1) << "the range's default pulse, 10 ns";
    EXPECT_EQ(static_cast<std::uint8_t>(task[11]), 38);
    EXPECT_DOUBLE_EQ(Scale().GetCursorMetres(0), k1);
    EXPECT_DOUBLE_EQ(Scale().GetCursorMetres(1), k2);
    EXPECT_EQ(h_->Frame().btnsV->GetButton(0)->GetCaption(), QStringLiteral("Масштаб\n\n125 м"));

    // The pulse, averaging and gain keys each reach the board too.
    h_->Tap(vk::kF6 + 1);
    h_->Tap('1');
    h_->Tap(vk::kF6 + 3);
    h_->Tap('1');
    h_->Tap(vk::kF10);
    h_->Tap('7');
    ASSERT_TRUE(WaitForTraces(1));
    const QByteArray next = LastTask();
    EXPECT_EQ(Word(next, 9), 2) << "20 ns";
    EXPECT_EQ(static_cast<std::uint8_t>(next[5]), 2) << "averaging 2";
    EXPECT_EQ(static_cast<std::uint8_t>(next[6]), 99) << "gain one step down";
}

TEST_F(Measurement, HeldCursorKeyAccelerates) {
    View().SwitchActiveCursor(); // K2 active at start: back to K1
    ASSERT_EQ(Scale()._activeCursorIndex, 0);
    const int start = Scale().GetCursorPx(0);
    h_->Hold('6', 2); // 1, then 2, then 3 positions
    EXPECT_EQ(Scale().GetCursorPx(0), start + 6);
    h_->Tap('6'); // after a release it starts at 1 again
    EXPECT_EQ(Scale().GetCursorPx(0), start + 7);
    h_->Tap('4');
    EXPECT_EQ(Scale().GetCursorPx(0), start + 6);
    EXPECT_EQ(View().K1Label()->GetState(), 254);
    EXPECT_EQ(View().Chart().CursorColumn(1), start + 6);
}

TEST_F(Measurement, HeldVelocityKeyStepsOneThreeFive) {
    h_->Tap(vk::kF6 + 2);
    ASSERT_EQ(View().SelectedKey(), h_->Frame().btnsV->GetButton(2));
    h_->Hold('1', 2);
    EXPECT_NEAR(Scale().vfactor.GetKU(), 1.5 + 0.009, 1e-9);
    for (const CChannel& slot : h_->Doc().ch)
        EXPECT_NEAR(slot.scale.vfactor.GetKU(), 1.509, 1e-9);
    EXPECT_EQ(h_->Frame().btnsV->GetButton(2)->GetCaption(), QStringLiteral("КУ\n\n1.509 "));
}

TEST_F(Measurement, AHeldSoftKeyActsOnce) {
    h_->Hold(vk::kF1 + 2, 3);
    EXPECT_EQ(h_->Doc().view_mode, 254);
    EXPECT_EQ(h_->Frame().btnsH->GetButton(2)->GetState(), 254);
    h_->Tap(vk::kF1 + 2);
    EXPECT_EQ(h_->Doc().view_mode, 1);
}

TEST_F(Measurement, ZoomAndCapture) {
    ASSERT_TRUE(Scale().SetIndex(6));
    h_->Tap('2');
    EXPECT_EQ(Scale().GetZoom(), 5);
    EXPECT_EQ(View().ZoomLabel()->GetCaption(), QStringLiteral("Лупа x2 "));
    h_->Tap('8');
    EXPECT_EQ(Scale().GetZoom(), 6);

    h_->Tap('0');
    EXPECT_FALSE(View().Chart().BackgroundOn());
    EXPECT_EQ(View().CaptureLabel()->GetState(), 254);
    h_->Tap('0');
    EXPECT_TRUE(View().Chart().BackgroundOn());
    h_->Tap('0');
    h_->Tap(vk::kF1 + 2); // any other key-up ends the capture display
    EXPECT_TRUE(View().Chart().BackgroundOn());
    EXPECT_EQ(View().CaptureLabel()->GetState(), 1);
}

TEST_F(Measurement, StoredTraceAsDisplayParameterSet) {
    CPELDoc& doc = h_->Doc();
    ASSERT_TRUE(doc.ch[0].scale.SetIndex(8));
    ASSERT_EQ(doc.ch[0].SaveTrace(QStringLiteral("ЛИНИЯ.pel")), 0);
    ASSERT_EQ(doc.ch[2].LoadTrace(QStringLiteral("ЛИНИЯ.pel")), 0);
    ASSERT_TRUE(doc.SetChannelState(2, 254));
    h_->Frame().SetActiveViewPEL(h_->Frame().pelView, true);
    const std::array<int, 5> expected{0, 0, 254, 0, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(h_->Frame().btnsV->GetButton(i)->GetState(), expected[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(View().SelectedKey(), h_->Frame().btnsV->GetButton(2));
    const int range = doc.ch[2].scale.GetIndex();
    h_->Tap(vk::kF6); // disabled
    h_->Tap('1');     // acts on the velocity only
    EXPECT_EQ(doc.ch[2].scale.GetIndex(), range);
    EXPECT_NEAR(doc.ch[2].scale.vfactor.GetKU(), 1.501, 1e-9);
}

TEST_F(Measurement, SavingACaptureWritesTheFullTrace) {
    const QString saved = h_->Doc().storageFolder + QStringLiteral("[save].pel");
    h_->Tap(vk::kF11);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text,
              QStringLiteral("Сохранить рефлектограмму с Канала 1? \n\n Это может занять некоторое время."));
    EXPECT_EQ(h_->boxes[0].flags, platform::mb::kOkCancel | platform::mb::kIconQuestion);
    EXPECT_FALSE(h_->App().IsInputEnabled()) << "busy while the capture runs";
    ASSERT_TRUE(h_->RunUntil([&] { return hints_.counts[hint::kCaptureSaved] == 1; }, 8000));
    EXPECT_TRUE(h_->App().IsInputEnabled());
    EXPECT_EQ(h_->Doc().acquisitionMode, 'Y');

    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(saved, bytes));
    ASSERT_EQ(bytes.size(), 8512);
    reflectogram::Header header;
    const std::uint8_t* samples = nullptr;
    ASSERT_TRUE(reflectogram::Decode(bytes, header, samples));
    EXPECT_EQ(header.sampleCount, 8000);
    EXPECT_EQ(h_->Doc().inParams.lastTraceBytes, 8002);
    EXPECT_TRUE(std::equal(samples, samples + 8000, h_->Doc().ch[0].scale.samples.begin()));
    EXPECT_GT(static_cast<std::int8_t>(samples[1]), 50) << "the launch pulse at the near end";
    EXPECT_TRUE(WaitForTraces(2)) << "acquisition goes on";
}

TEST_F(Measurement, SavesRefusedWithAReason) {
    CPELDoc& doc = h_->Doc();
    // After a box the operator closed, the trace is live without another key, and the
    // next key acts once: the cursor moves one column.
    const auto liveAgain = [&](const char* box) {
        EXPECT_EQ(View().keyRepeat, 1) << box;
        EXPECT_TRUE(WaitForTraces(2)) << box << ": the trace stayed frozen";
        CDOCScale& scale = Scale();
        const int cursor = scale._activeCursorIndex == 1 ? 1 : 0;
        const int column = scale.GetCursorPx(cursor);
        h_->Tap(column > 0 ? '4' : '6');
        EXPECT_EQ(std::abs(scale.GetCursorPx(cursor) - column), 1) << box;
    };
    doc.currentTrace = &doc.ch[3];
    h_->Tap(vk::kF11);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_TRUE(h_->boxes[0].text.startsWith(QStringLiteral("Сохранение невозможно.")));
    EXPECT_EQ(doc.acquisitionMode, 'Y');
    liveAgain("a stored trace");

    doc.currentTrace = &doc.ch[0];
    platform::SetFreeSpaceForTesting(100000);
    h_->Tap(vk::kF11);
    liveAgain("no room for a reflectogram");
    h_->Tap(vk::kEnter);
    liveAgain("no room for a screen copy");
    ASSERT_EQ(h_->boxes.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(h_->boxes[i].text, QStringLiteral("Недостаточно места на диске"));
        EXPECT_EQ(h_->boxes[i].caption, QStringLiteral("Сохранить рефлектограмму: ошибка"));
    }
    EXPECT_EQ(doc.acquisitionMode, 'Y');
    EXPECT_FALSE(platform::FolderExists(doc.storageFolder));

    // Cancel leaves everything as it was.
    platform::SetFreeSpaceForTesting(100001);
    h_->answers.push_back(platform::mb::kIdCancel);
    h_->Tap(vk::kF11);
    EXPECT_EQ(doc.acquisitionMode, 'Y');
    EXPECT_TRUE(h_->App().IsInputEnabled());
    liveAgain("the question cancelled");
    h_->answers.push_back(platform::mb::kIdCancel);
    h_->Tap(vk::kEnter);
    liveAgain("the screen copy cancelled");
    EXPECT_TRUE(platform::FindFiles(doc.storageFolder + QStringLiteral("SCREEN *.png")).empty());
}

TEST_F(Measurement, ScreenCopyIsThePictureOnScreen) {
    h_->Tap(vk::kEnter);
    ASSERT_EQ(h_->boxes.size(), 1u);
    EXPECT_EQ(h_->boxes[0].text, QStringLiteral("Сохранить копию экрана?"));
    const auto copies = platform::FindFiles(h_->Doc().storageFolder + QStringLiteral("SCREEN *.png"));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^SCREEN \\d{4}\\.\\d\\d\\.\\d\\d  \\d\\d-\\d\\d-\\d\\d\\.png$"))
                    .match(copies[0].name)
                    .hasMatch());
    QImage copy(h_->Doc().storageFolder + copies[0].name);
    ASSERT_EQ(copy.size(), QSize(640, 480));
    EXPECT_FALSE(copy.hasAlphaChannel());
    const QImage screen = h_->Capture();
    // The status line's title, rows 0-20 left of the clock, is the same picture.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(copy.pixel(x, y), screen.pixel(x, y)) << x << "," << y;
}

TEST_F(Measurement, DifferenceAgainstLineTwo) {
    CPELDoc& doc = h_->Doc();
    ASSERT_TRUE(doc.SetChannelState(1, 254));
    ASSERT_EQ(doc.ch[0].SaveTrace(QStringLiteral("REF.pel")), 0);
    ASSERT_EQ(doc.ch[2].LoadTrace(QStringLiteral("REF.pel")), 0);
    for (std::size_t j = 0; j < 8000; ++j)
        doc.ch[2].scale.samples[j] = static_cast<std::uint8_t>(j % 50);
    ASSERT_TRUE(doc.SetChannelState(2, 254));
    doc.currentTrace = &doc.ch[1];
    h_->Tap(vk::kF1 + 2);
    ASSERT_EQ(doc.view_mode, 254);
    ASSERT_EQ(doc.diffReference, &doc.ch[1]);

    bool checked = false;
    hints_.onTrace = [&] {
        // Right after the view took the trace: the stored trace shows line 2 minus itself.
        CChannel expected;
        expected.CopyParams(doc.ch[2], true);
        expected.state = 254;
        expected.number = 2;
        expected.ExtractPoints(*doc.displayParams, 1);
        for (int k = 0; k < 500; ++k) {
            const int d = static_cast<std::int8_t>(doc.ch[1].scale.points[k]) -
                          static_cast<std::int8_t>(expected.scale.points[k]);
            ASSERT_EQ(static_cast<std::int8_t>(doc.ch[2].scale.points[k]), std::clamp(d, -128, 127)) << k;
        }
        checked = true;
    };
    ASSERT_TRUE(WaitForTraces(2));
    EXPECT_TRUE(checked);
    // Line 2 keeps its own trace: the launch pulse, not a difference of zero.
    const auto& line2 = doc.ch[1].scale.points;
    const auto strongest = *std::max_element(line2.begin(), line2.begin() + 5, [](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::int8_t>(a) < static_cast<std::int8_t>(b);
    });
    EXPECT_GT(static_cast<std::int8_t>(strongest), 50);
}

TEST_F(Measurement, ACaptureThatCannotBeWrittenIsReportedAndNotNamed) {
    // Something that is not a folder stands where the storage folder would go.
    ASSERT_TRUE(platform::WriteFileAtomically(h_->Home() + QStringLiteral("save"), "not a folder"));
    h_->Tap(vk::kF11);
    ASSERT_TRUE(h_->RunUntil([&] { return h_->boxes.size() == 2; }, 8000));
    EXPECT_EQ(h_->boxes[1].caption, QStringLiteral("Сохранить рефлектограмму: ошибка"));
    EXPECT_EQ(h_->boxes[1].flags, platform::mb::kOk | platform::mb::kIconStop);
    EXPECT_FALSE(h_->boxes[1].text.isEmpty());
    EXPECT_EQ(hints_.counts[hint::kCaptureSaved], 0);
    EXPECT_TRUE(h_->App().IsInputEnabled());
    EXPECT_TRUE(WaitForTraces(2)) << "acquisition goes on";
}

TEST_F(Measurement, ACaptureCutShortIsNotSaved) {
    h_->Board().SetFault(sim::Fault::LostHalf);
    h_->Tap(vk::kF11);
    // Three attempts, each with half the trace lost on the line.
    ASSERT_TRUE(h_->RunUntil([&] { return h_->boxes.size() == 2; }, 30000));
    EXPECT_TRUE(h_->boxes[1].text.startsWith(QStringLiteral("Рефлектограмма принята не полностью.")));
    EXPECT_FALSE(platform::FileExists(h_->Doc().storageFolder + QStringLiteral("[save].pel")));
    EXPECT_EQ(hints_.counts[hint::kCaptureSaved], 0);
    h_->Board().SetFault(sim::Fault::None);
    EXPECT_TRUE(WaitForTraces(2));
}
