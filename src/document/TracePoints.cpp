#include "document/PELParam.h"

#include "platform/Trace.h"

#include <algorithm>

void CChannel::ExtractPoints(const CChannel& source, std::uint8_t flag) {
    if (state == 1)
        return;
    const std::int32_t zoomFactor = source.scale.GetZoomFactor();
    const std::int32_t windowStart = source.scale.GetShift();
    const std::int32_t storageFactor = scale.GetStorageFactor();
    platform::Trace("ExtractPoints: decimation:%d, microplan:%d\n", zoomFactor - 1, windowStart);
    if (flag != 1)
        return;

    // One stored sample per column, no averaging: at each zoom step above the
    // storage factor every second, fourth, ... sample is shown.
    const std::int32_t storedSamples = scale.GetBaseSamples() / storageFactor;
    for (int column = 0; column < tables::kColumns; ++column) {
        const std::int64_t j =
            (static_cast<std::int64_t>(windowStart) + std::int64_t{column} * zoomFactor) / storageFactor;
        scale.points[static_cast<std::size_t>(column)] =
            j >= 0 && j < storedSamples ? scale.samples[static_cast<std::size_t>(j)] : 0;
    }
}

void CChannel::MakeDifference(const CChannel& reference) {
    if (number == reference.number)
        return;
    for (int column = 0; column < tables::kColumns; ++column) {
        const auto k = static_cast<std::size_t>(column);
        const int difference =
            static_cast<std::int8_t>(reference.scale.points[k]) - static_cast<std::int8_t>(scale.points[k]);
        scale.points[k] = static_cast<std::uint8_t>(static_cast<std::int8_t>(std::clamp(difference, -128, 127)));
    }
}
