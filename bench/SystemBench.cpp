// The whole program in this process, offscreen, on the simulated board: the time from
// start-up to the first trace on screen, the resident memory while measuring, a soak with
// both lines shown (growth of resident memory after a minute's warm-up, the longest gap
// between traces), and the time to list a library of reflectograms. One "figure: value"
// line per result.
//
//   pel_bench_system [--soak-seconds N (default 600)] [--files N (default 1000)] [--runs N (default 7)]
#include "document/PELDoc.h"
#include "library/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/FormView.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Power.h"
#include "sim/SimulatedBoard.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"
#include "ui/PELView.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWarmUpMs = 60000;

// Resident memory of this process in kilobytes, from the kernel's own account.
long ResidentKilobytes() {
    // procfs files have no size, so they are read line by line until the end.
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    long kilobytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kilobytes = std::atol(line + 6);
            break;
        }
    }
    std::fclose(status);
    return kilobytes;
}

double Megabytes(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024.0;
}

// Stamps every new trace the document announces, on the clock of the whole run.
class TraceClock : public CView {
public:
    explicit TraceClock(const QElapsedTimer& clock) : clock_(clock) {}
    void OnUpdate(CView*, long hint, void*) override {
        if (hint != hint::kNewTrace)
            return;
        const qint64 now = clock_.nsecsElapsed();
        if (last_ >= 0)
            maxGapNs = std::max(maxGapNs, now - last_);
        last_ = now;
        if (firstNs < 0)
            firstNs = now;
        ++traces;
    }
    void ResetGaps() {
        last_ = -1;
        maxGapNs = 0;
        traces = 0;
    }
    qint64 firstNs = -1;
    qint64 maxGapNs = 0;
    long traces = 0;

private:
    const QElapsedTimer& clock_;
    qint64 last_ = -1;
};

// Notes when the measurement view has painted after the first trace: the paint event is
// seen on its way in, and the time is taken once the event has been handled.
class PaintWatch : public QObject {
public:
    PaintWatch(const QElapsedTimer& clock, const TraceClock& traces) : clock_(clock), traces_(traces) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && traces_.firstNs >= 0 && paintedNs < 0 && !inside_) {
            inside_ = true;
            const bool handled = watched->event(event); // the view paints now
            inside_ = false;
            paintedNs = clock_.nsecsElapsed();
            return handled;
        }
        return false;
    }
    qint64 paintedNs = -1;

private:
    const QElapsedTimer& clock_;
    const TraceClock& traces_;
    bool inside_ = false;
};

void RunFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

template <typename Condition> bool RunUntil(Condition condition, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Start-up, memory while measuring and the soak, in one life of the program.
int MeasureProgram(int soakSeconds) {
    QTemporaryDir home;
    const QString homeFolder = platform::AsFolder(home.path());
    platform::SetMessageBoxResponder([](const platform::MessageBoxCall&) { return platform::mb::kIdOk; });
    platform::SetPowerOffHandler([] { return true; });

    auto board = std::make_unique<sim::SimulatedBoard>();
    if (!board->Start()) {
        std::fprintf(stderr, "pel_bench_system: the simulated board could not start\n");
        return 1;
    }
    platform::PlatformOptions options;
    options.home = homeFolder;
    options.port = board->SlavePath();
    platform::SetPlatformOptions(options);

    QElapsedTimer clock;
    TraceClock traces(clock);
    PaintWatch paints(clock, traces);
    auto app = std::make_unique<CPELApp>();
    clock.start();
    if (!app->InitInstance(homeFolder, board->SlavePath())) {
        std::fprintf(stderr, "pel_bench_system: the program did not start\n");
        return 1;
    }
    const qint64 initNs = clock.nsecsElapsed();
    CPELDoc& doc = *app->GetDocument();
    doc.AddView(&traces);
    CPELView* view = app->GetMainFrame()->findChild<CPELView*>();
    if (view == nullptr) {
        std::fprintf(stderr, "pel_bench_system: no measurement view\n");
        return 1;
    }
    view->installEventFilter(&paints);
    app->GetMainFrame()->activateWindow();
    if (!RunUntil([&] { return paints.paintedNs >= 0; }, 10000)) {
        std::fprintf(stderr, "pel_bench_system: no trace on screen within 10 s\n");
        return 1;
    }
    view->removeEventFilter(&paints);
    std::printf("startup_init_ms: %.1f\n", static_cast<double>(initNs) / 1e6);
    std::printf("startup_first_trace_ms: %.1f\n", static_cast<double>(traces.firstNs) / 1e6);
    std::printf("startup_first_paint_ms: %.1f\n", static_cast<double>(paints.paintedNs) / 1e6);
    std::fflush(stdout);

    // Both lines on screen, then a minute's warm-up (caches, the allocator's pools) before the
    // memory is taken as the base: what grows after it grows for the whole shift.
    doc.SetChannelState(1, 254);
    RunFor(kWarmUpMs);
    const long startKb = ResidentKilobytes();
    long peakKb = startKb;
    traces.ResetGaps();
    QElapsedTimer soak;
    soak.start();
    qint64 nextReport = 60000;
    while (soak.elapsed() < static_cast<qint64>(soakSeconds) * 1000) {
        RunFor(1000);
        peakKb = std::max(peakKb, ResidentKilobytes());
        if (soak.elapsed() >= nextReport) {
            std::fprintf(stderr, "soak: %lld s, %ld traces, RSS %.1f MB\n", soak.elapsed() / 1000, traces.traces,
                         Megabytes(ResidentKilobytes()));
            nextReport += 60000;
        }
    }
    const long endKb = ResidentKilobytes();
    const double soakSecondsRun = static_cast<double>(soak.elapsed()) / 1000.0;
    std::printf("rss_measuring_mb: %.1f\n", Megabytes(startKb));
    std::printf("rss_peak_mb: %.1f\n", Megabytes(peakKb));
    std::printf("soak_seconds: %.0f\n", soakSecondsRun);
    std::printf("soak_traces: %ld\n", traces.traces);
    std::printf("soak_traces_per_s: %.2f\n", static_cast<double>(traces.traces) / soakSecondsRun);
    std::printf("soak_rss_start_mb: %.2f\n", Megabytes(startKb));
    std::printf("soak_rss_end_mb: %.2f\n", Megabytes(endKb));
    std::printf("soak_rss_growth_mb: %.2f\n", Megabytes(endKb - startKb));
    std::printf("soak_max_gap_ms: %.1f\n", static_cast<double>(traces.maxGapNs) / 1e6);
    std::fflush(stdout);

    doc.RemoveView(&traces);
    app.reset();
    board.reset();
    platform::SetMessageBoxResponder(nullptr);
    platform::SetPowerOffHandler(nullptr);
    return 0;
}

// The reflectogram list's fill from a folder of `files` reflectograms: median of `runs`.
int MeasureLibrary(int files, int runs) {
    QTemporaryDir home;
    CPELDoc doc(platform::AsFolder(home.path()));
    if (!platform::CreateFolderPath(doc.storageFolder)) {
        std::fprintf(stderr, "pel_bench_system: no storage folder\n");
        return 1;
    }
    CChannel writer;
    writer.filePath = doc.storageFolder;
    for (std::size_t j = 0; j < writer.scale.samples.size(); ++j)
        writer.scale.samples[j] = static_cast<std::uint8_t>(j * 7);
    for (int i = 0; i < files; ++i) {
        if (writer.SaveTrace(QStringLiteral("R%1.pel").arg(i, 4, 10, QLatin1Char('0'))) != 0) {
            std::fprintf(stderr, "pel_bench_system: could not write reflectogram %d\n", i);
            return 1;
        }
    }

    CFormView owner;
    owner.resize(510, 118);
    auto* list = new CMyListCtrl(&owner); // owned by its view
    list->setGeometry(0, 0, 510, 118);
    list->InitColumns();
    owner.show();
    QCoreApplication::processEvents();

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        list->FillList(&doc);
        QCoreApplication::processEvents(); // the list's own repaint belongs to the listing
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    if (list->GetItemCount() != files) {
        std::fprintf(stderr, "pel_bench_system: %d rows listed for %d files\n", list->GetItemCount(), files);
        return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("library_files: %d\n", files);
    std::printf("library_list_median_ms: %.1f\n", times[times.size() / 2]);
    std::printf("library_list_max_ms: %.1f\n", times.back());
    std::fflush(stdout);
    return 0;
}

int OptionValue(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    }
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const int soakSeconds = OptionValue(argc, argv, "--soak-seconds", 600);
    const int files = OptionValue(argc, argv, "--files", 1000);
    const int runs = OptionValue(argc, argv, "--runs", 7);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    PelApplication app(argc, argv);
    platform::InstallStockFont();
    if (const int result = MeasureProgram(soakSeconds); result != 0)
        return result;
    return MeasureLibrary(files, runs);
}
