// Fault finding on arbitrary traces: a stored reflectogram read as pel-tool reads it, then
// the finder on its samples with the file's geometry, and on the raw bytes as samples with a
// geometry taken from the first bytes.
#include "analysis/EventFinder.h"
#include "document/ParamTables.h"
#include "document/ReflectogramFile.h"

#include <QByteArray>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(const std::vector<double>& samples, const analysis::TraceGeometry& geometry) {
    const analysis::EventReport report = analysis::FindEvents(samples, geometry);
    int likely = 0;
    for (std::size_t i = 0; i < report.reflections.size(); ++i) {
        const analysis::Reflection& reflection = report.reflections[i];
        const bool inside = reflection.sample >= 0 && reflection.sample < static_cast<double>(samples.size());
        const bool signed_ =
            (reflection.sign == 1 && reflection.amplitude > 0) || (reflection.sign == -1 && reflection.amplitude < 0);
        // A repeat names an earlier event; the likely end is a major event of its own.
        const bool repeatNamesAnEarlierOne = reflection.repeatOf >= 0 && reflection.repeatOf <= static_cast<int>(i);
        const bool likelyEndIsMajor = !reflection.likelyEnd || (reflection.major && reflection.repeatOf == 0);
        // Each reflection is listed once.
        bool listedBefore = false;
        for (std::size_t j = 0; j < i; ++j)
            listedBefore = listedBefore || (report.reflections[j].sign == reflection.sign &&
                                            std::abs(report.reflections[j].sample - reflection.sample) < 1.0);
        if (!inside || !signed_ || !std::isfinite(reflection.noiseRatio) || !repeatNamesAnEarlierOne ||
            !likelyEndIsMajor || listedBefore)
            std::abort();
        likely += reflection.likelyEnd ? 1 : 0;
    }
    // At most one likely end: none when nothing stands out.
    if (likely > 1 || !(report.noise > 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    reflectogram::Header header;
    const std::uint8_t* stored = nullptr;
    if (reflectogram::Decode(bytes, header, stored) && header.sampleCount > 0) {
        std::vector<double> samples;
        for (int i = 0; i < header.sampleCount; ++i)
            samples.push_back(static_cast<std::int8_t>(stored[i]));
        const int storageFactor = 1 << tables::kRanges[static_cast<std::size_t>(header.range)].minZoom;
        Check(samples, {1.25 * storageFactor,
                        static_cast<double>(tables::kPulses[static_cast<std::size_t>(header.pulse)].widthNs)});
        return 0;
    }
    if (size < 3)
        return 0;
    std::vector<double> samples;
    for (std::size_t i = 2; i < size; ++i)
        samples.push_back(static_cast<std::int8_t>(data[i]));
    Check(samples, {1.25 * (1 << (data[0] % 8)), 10.0 * (1 + data[1])});
    return 0;
}
