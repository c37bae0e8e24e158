// The program against a misbehaving link, timed: for each of the simulated board's faults,
// how long a key takes from the window system to its effect and how late the event loop
// runs while the fault lasts, and how soon two whole traces arrive once it has ended.
// The goals: keys and the event loop under 100 ms, traces back within 2 s. One
// "figure: value" line per result; run it on a machine that is not busy.
//
//   pel_bench_faults
#include "document/PELDoc.h"
#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Power.h"
#include "sim/SimulatedBoard.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int kFaultMs = 2000;
constexpr int kKeyPeriodMs = 150;
constexpr int kTickPeriodMs = 10;
constexpr int kGiveUpMs = 30000;
constexpr int kWholeTraceBytes[] = {502, 1004, 8002};

// Stamps the traces that arrived whole.
class WholeTraces : public CView {
public:
    WholeTraces(const CPELDoc& doc, const QElapsedTimer& clock) : doc_(doc), clock_(clock) {}
    void OnUpdate(CView*, long hint, void*) override {
        const int bytes = doc_.inParams.lastTraceBytes;
        if (hint == hint::kNewTrace &&
            std::find(std::begin(kWholeTraceBytes), std::end(kWholeTraceBytes), bytes) != std::end(kWholeTraceBytes))
            arrivals.push_back(clock_.elapsed());
    }
    qint64 SecondAfter(qint64 since) const {
        int seen = 0;
        for (const qint64 at : arrivals) {
            if (at >= since && ++seen == 2)
                return at;
        }
        return -1;
    }
    std::vector<qint64> arrivals;

private:
    const CPELDoc& doc_;
    const QElapsedTimer& clock_;
};

void RunFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A key as the window system delivers it: press and release to the focus widget.
void Tap(QWidget& frame, Qt::Key key, const QString& text) {
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &frame;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

int MeasureFault(sim::Fault fault) {
    QTemporaryDir home;
    const QString homeFolder = platform::AsFolder(home.path());
    sim::SimulatedBoard board;
    // Through a link, as pel-board --link gives it: a reopened board is found at the same path.
    if (!board.Start(home.filePath(QStringLiteral("board")))) {
        std::fprintf(stderr, "pel_bench_faults: the simulated board could not start\n");
        return 1;
    }
    platform::PlatformOptions options;
    options.home = homeFolder;
    options.port = board.SlavePath();
    platform::SetPlatformOptions(options);
    QElapsedTimer clock;
    clock.start();
    auto app = std::make_unique<CPELApp>();
    if (!app->InitInstance(homeFolder, board.SlavePath()))
        return 1;
    CMainFrame& frame = *app->GetMainFrame();
    frame.activateWindow();
    WholeTraces traces(*app->GetDocument(), clock);
    app->GetDocument()->AddView(&traces);
    RunFor(1000);

    qint64 worstKeyMs = 0;
    qint64 worstLoopMs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { worstLoopMs = std::max(worstLoopMs, sinceTick.restart() - kTickPeriodMs); });
    probe.start(kTickPeriodMs);
    board.SetFault(fault);
    const qint64 faultStart = clock.elapsed();
    while (clock.elapsed() - faultStart < kFaultMs) {
        QElapsedTimer key;
        key.start();
        Tap(frame, Qt::Key_5, QStringLiteral("5")); // switches the active cursor
        worstKeyMs = std::max(worstKeyMs, key.elapsed());
        RunFor(kKeyPeriodMs);
    }
    probe.stop();
    if (fault != sim::Fault::ReopenLink)
        board.SetFault(sim::Fault::None);
    const qint64 faultEnd = clock.elapsed();
    while (traces.SecondAfter(faultEnd) < 0 && clock.elapsed() - faultEnd < kGiveUpMs)
        RunFor(10);
    const qint64 second = traces.SecondAfter(faultEnd);
    const QByteArray name = sim::FaultName(fault).toUtf8().replace('-', '_');
    std::printf("%s_key_ms: %lld\n", name.constData(), static_cast<long long>(worstKeyMs));
    std::printf("%s_loop_late_ms: %lld\n", name.constData(), static_cast<long long>(worstLoopMs));
    std::printf("%s_recovery_ms: %lld\n", name.constData(),
                static_cast<long long>(second < 0 ? -1 : second - faultEnd));
    std::fflush(stdout);
    app->GetDocument()->RemoveView(&traces);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    PelApplication app(argc, argv);
    platform::InstallStockFont();
    platform::SetMessageBoxResponder([](const platform::MessageBoxCall&) { return platform::mb::kIdOk; });
    platform::SetPowerOffHandler([] { return true; });
    for (const sim::Fault fault :
         {sim::Fault::NoAnswer, sim::Fault::LateAnswer, sim::Fault::Garbage, sim::Fault::CutReply, sim::Fault::LostHalf,
          sim::Fault::NoTaskInsteadOfTrace, sim::Fault::ErrorInsteadOfTrace, sim::Fault::ReopenLink}) {
        if (const int result = MeasureFault(fault); result != 0)
            return result;
    }
    return 0;
}
