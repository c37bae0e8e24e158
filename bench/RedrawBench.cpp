// The screen's work per new trace and per cursor step: slot updates, point extraction,
// the difference, a full chart draw with its cursor strips, and a cursor-only redraw.
// Medians over repetitions; the goals are 2 ms and 0.2 ms.
#include "document/PELDoc.h"
#include "ui/LineChartCtrl.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

namespace {

const ChartRect kChart{0, 20, 510, 335}; // the measurement view with the read-outs and four legend lines

struct Screen {
    Screen() : doc(home.path() + QLatin1Char('/')) {
        // Reflectogram-like traces: the launch pulse, a few echoes, a little noise.
        std::mt19937 random(7);
        auto trace = [&random](std::size_t j, int slot) {
            const double t = static_cast<double>(j);
            double v = 127.0 * std::exp(-t / 6.0);
            v += 30.0 * std::exp(-std::pow((t - 180.0 - 20 * slot) / 4.0, 2.0));
            v -= 45.0 * std::exp(-std::pow((t - 340.0 + 10 * slot) / 6.0, 2.0));
            v += static_cast<int>(random() % 5) - 2;
            return static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(v, -128.0, 127.0)));
        };
        for (int slot = 0; slot < 5; ++slot) {
            CChannel& channel = doc.ch[static_cast<std::size_t>(slot)];
            channel.state = 254;
            for (std::size_t j = 0; j < channel.scale.samples.size(); ++j)
                channel.scale.samples[j] = trace(j / 16, slot);
            for (std::size_t k = 0; k < channel.scale.points.size(); ++k)
                channel.scale.points[k] = trace(k, slot);
            chart.AddSeries(kSeriesColors[static_cast<std::size_t>(slot)], 0, -128, 128, channel.scale.points.data());
        }
        doc.SetChannelState(0, 254);
        const CDOCScale& scale = doc.displayParams->scale;
        chart.CreateBuffers();
        chart.SetAxis(scale.GetPixelsPerTick(), 25.0, scale.GetFirstTickColumn());
        chart.SetLabels(1, &scale.GetTickLabels());
        chart.SetCursorPos(1, 100);
        chart.SetCursorPos(2, 300);
        chart.EnableCursors();
        chart.Draw(kChart); // the background is built once, as on screen
    }

    // What the measurement view does when a trace arrives.
    void NewTrace(bool difference) {
        CChannel& display = *doc.displayParams;
        doc.ch[0].CopyParams(display, false);
        doc.ch[1].CopyParams(display, false);
        for (std::size_t slot = 2; slot < 5; ++slot)
            doc.ch[slot].ExtractPoints(display, 1);
        if (difference) {
            for (CChannel& channel : doc.ch)
                channel.MakeDifference(doc.ch[1]);
        }
        chart.Draw(kChart);
    }

    QTemporaryDir home;
    CPELDoc doc;
    CLineChartCtrl chart;
};

void BM_NewTrace(benchmark::State& state) {
    Screen screen;
    const bool difference = state.range(0) != 0;
    for (auto _ : state) {
        screen.NewTrace(difference);
        benchmark::DoNotOptimize(screen.chart.Target().constBits());
    }
}
BENCHMARK(BM_NewTrace)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_CursorStep(benchmark::State& state) {
    Screen screen;
    int column = 100;
    for (auto _ : state) {
        column = column == 400 ? 100 : column + 1;
        screen.chart.SetCursorPos(1, column);
        screen.chart.DrawCursors(kChart);
        benchmark::DoNotOptimize(screen.chart.Target().constBits());
    }
}
BENCHMARK(BM_CursorStep)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
