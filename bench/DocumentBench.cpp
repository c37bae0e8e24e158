// Speed of the pure document work done for every trace and every key press.
#include "document/IniFile.h"
#include "document/PELParam.h"

#include <benchmark/benchmark.h>

static void BM_ExtractPoints(benchmark::State& state) {
    CChannel stored;
    stored.state = 254;
    stored.scale.SetIndex(10);
    CChannel window;
    window.scale.SetIndex(10);
    window.scale.SetZoom(6);
    window.scale.SetShiftSamples(12345);
    for (auto _ : state) {
        stored.ExtractPoints(window, 1);
        benchmark::DoNotOptimize(stored.scale.points.data());
    }
}
BENCHMARK(BM_ExtractPoints);

static void BM_CalcTicks(benchmark::State& state) {
    CDOCScale scale;
    scale.SetIndex(8);
    for (auto _ : state) {
        scale.CalcTicks();
        benchmark::DoNotOptimize(scale.GetTickLabels().size());
    }
}
BENCHMARK(BM_CalcTicks);

static void BM_ParseStateFile(benchmark::State& state) {
    QString text = QStringLiteral("\xFEFF\r\n[KS-518]\r\n");
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("ch[0].key%1=%2\r\n").arg(i).arg(i * 37);
    for (auto _ : state) {
        CIniFile ini;
        ini.Parse(text);
        benchmark::DoNotOptimize(ini.GetSectionOrder().size());
    }
}
BENCHMARK(BM_ParseStateFile);

BENCHMARK_MAIN();
