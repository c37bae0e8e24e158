// Acquisition throughput: the document, the protocol and the simulated board over a
// pseudo-terminal, measuring traces per second for a while in each configuration and
// comparing it with the 5 per second that the 200 ms reply timer allows.
//
//   pel_bench_acquisition [seconds per configuration, default 10]
#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"
#include "sim/SimulatedBoard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr double kTimerRate = 5.0;

// The measurement view's part of the cycle: every trace is answered with the next task.
class Cycle : public CView {
public:
    Cycle(CPELDoc& doc, char mode) : doc_(doc), mode_(mode) { doc_.AddView(this); }
    ~Cycle() override { doc_.RemoveView(this); }
    void Start() {
        doc_.UpdateAllViews(nullptr, hint::kQueueReset);
        doc_.SetOutParams(mode_);
        doc_.UpdateAllViews(nullptr, hint::kQueueSetup);
        doc_.UpdateAllViews(nullptr, hint::kQueueTask);
    }
    void OnUpdate(CView*, long hint, void*) override {
        if (hint != hint::kNewTrace)
            return;
        ++traces;
        lastTraceMs = clock.elapsed();
        doc_.SetOutParams(mode_);
        doc_.UpdateAllViews(nullptr, hint::kQueueTask);
    }
    int traces = 0;
    qint64 lastTraceMs = 0;
    QElapsedTimer clock;

private:
    CPELDoc& doc_;
    char mode_;
};

struct Configuration {
    const char* name;
    bool bothLines;
    char mode;
    int range;
    int averageIndex;
};

double Measure(const Configuration& config, int seconds) {
    QTemporaryDir home;
    sim::SimulatedBoard board;
    if (!board.Start())
        return -1.0;
    CPELDoc doc(home.path() + QLatin1Char('/'));
    doc.ch[0].state = slot_state::kShown;
    doc.ch[1].state = config.bothLines ? slot_state::kShown : slot_state::kHidden;
    doc.ch[0].scale.SetIndex(config.range);
    doc.ch[0].average.SetIndex(config.averageIndex);
    doc.currentTrace = &doc.ch[0];
    auto port = std::make_unique<CProtocolKS518_Ref>(&doc);
    Cycle cycle(doc, config.mode);
    port->Open(board.SlavePath(), 115200, 8, 0, 0, 10, 10);
    cycle.Start();

    // Let the first cycle settle, then count from one trace to the last one: the rate
    // between arrivals, not a window that may cut a trace off at either end.
    cycle.clock.start();
    while (cycle.traces < 1 && cycle.clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const int first = cycle.traces;
    const qint64 firstMs = cycle.lastTraceMs;
    while (cycle.clock.elapsed() < firstMs + seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 spanMs = cycle.lastTraceMs - firstMs;
    const double rate = spanMs > 0 ? (cycle.traces - first) * 1000.0 / static_cast<double>(spanMs) : 0.0;
    port.reset();
    return rate;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::vector<Configuration> configurations;
    configurations.push_back({"line 1, range 4, averaging 16", false, 'Y', 4, 4});
    for (int range = 0; range <= 10; ++range)
        configurations.push_back({"both lines, averaging 16", true, 'Y', range, 4});
    configurations.push_back({"both lines, range 10, averaging 128", true, 'Y', 10, 7});
    configurations.push_back({"full-length capture, range 10", false, 'L', 10, 0});

    std::printf("%-38s %5s %10s %7s\n", "configuration", "range", "traces/s", "ratio");
    for (const Configuration& config : configurations) {
        const double rate = Measure(config, seconds);
        std::printf("%-38s %5d %10.2f %7.3f\n", config.name, config.range, rate, rate / kTimerRate);
        std::fflush(stdout);
    }
    return 0;
}
