#include "document/PELParam.h"

#include <algorithm>
#include <cmath>

namespace {

const tables::Range& RangeRow(std::int32_t range) {
    return tables::kRanges[static_cast<std::size_t>(range)];
}

std::int32_t ZoomFactor(int zoom) {
    return std::int32_t{1} << zoom;
}

bool IsCursor(int cursor) {
    return cursor == 0 || cursor == 1;
}

constexpr double kMetresPerBaseSampleAtKU15 = 0.125;

} // namespace

CDOCScale::CDOCScale() {
    zoom_ = GetMaxZoom();
}

QString CDOCScale::GetStr() const {
    return QString::fromUtf8(RangeRow(range_).name);
}

bool CDOCScale::SetIndex(std::int32_t range) {
    if (range < 0 || range >= static_cast<std::int32_t>(tables::kRanges.size()))
        return false;
    range_ = range;
    zoom_ = GetMaxZoom();
    shift_ = 0;
    return true;
}

int CDOCScale::GetMinZoom() const {
    return RangeRow(range_).minZoom;
}

int CDOCScale::GetMaxZoom() const {
    return RangeRow(range_).maxZoom;
}

bool CDOCScale::SetZoom(int zoom) {
    if (zoom < GetMinZoom() || zoom > GetMaxZoom())
        return false;
    zoom_ = zoom;
    return true;
}

std::int32_t CDOCScale::GetZoomFactor() const {
    return ZoomFactor(zoom_);
}

std::int32_t CDOCScale::GetStorageFactor() const {
    return ZoomFactor(GetMinZoom());
}

std::int32_t CDOCScale::GetBaseSamples() const {
    return tables::kColumns * (std::int32_t{1} << range_);
}

bool CDOCScale::SetShiftSamples(std::int32_t shift) {
    if (shift < 0 || shift > GetBaseSamples())
        return false;
    shift_ = shift;
    return true;
}

std::int32_t CDOCScale::GetBoardStart() const {
    return shift_ + tables::kBoardStartOffset;
}

std::uint16_t CDOCScale::GetBoardDecimation(char commandLetter) const {
    switch (commandLetter) {
    case 'Y':
        return static_cast<std::uint16_t>(GetZoomFactor() - 1);
    case 'L':
        return static_cast<std::uint16_t>(GetStorageFactor() - 1);
    default:
        return 0;
    }
}

bool CDOCScale::SetCursorPx(int cursor, int column) {
    if (!IsCursor(cursor) || column < 0 || column >= tables::kColumns)
        return false;
    cursors_[static_cast<std::size_t>(cursor)] = column * GetZoomFactor() + shift_;
    return true;
}

int CDOCScale::GetCursorPx(int cursor) const {
    const std::int32_t column = (GetCursorSamples(cursor) - shift_) / GetZoomFactor();
    return std::clamp(column, 0, tables::kColumns - 1);
}

double CDOCScale::SamplesToMetres(double samples) const {
    return (samples * kMetresPerBaseSampleAtKU15) * (1.5 / vfactor.GetKU());
}

double CDOCScale::GetCursorMetres(int cursor) const {
    return SamplesToMetres(GetCursorSamples(cursor));
}

std::int32_t CDOCScale::SetCursorMetres(int cursor, double metres) {
    if (!IsCursor(cursor))
        return GetCursorSamples(cursor);
    std::int32_t& position = cursors_[static_cast<std::size_t>(cursor)];
    if (metres >= 0.0 && metres < 100000.0) {
        const double samples = std::floor(metres / (kMetresPerBaseSampleAtKU15 * (1.5 / vfactor.GetKU())) + 0.5);
        position = static_cast<std::int32_t>(static_cast<std::uint32_t>(samples));
    }
    return position;
}

double CDOCScale::GetMetresAtPx(int column) const {
    if (column < 0 || column >= tables::kColumns)
        return -1.0;
    return SamplesToMetres(static_cast<double>(column) * GetZoomFactor() + shift_);
}

QString CDOCScale::GetCursorStr(int cursor) const {
    if (!IsCursor(cursor))
        return QStringLiteral("GetCursorStr: Неверный номер курсора - %1").arg(cursor);
    return QString::asprintf("K%d %.2f м", cursor + 1, GetCursorMetres(cursor));
}

QString CDOCScale::GetDistanceStr() const {
    const double between =
        std::fabs(cursors_[0] * kMetresPerBaseSampleAtKU15 - cursors_[1] * kMetresPerBaseSampleAtKU15);
    return QString::asprintf("L= %.2f м", between * (1.5 / vfactor.GetKU()));
}

QString CDOCScale::GetZoomStr() const {
    return QString::asprintf("Лупа x%d ", ZoomFactor(GetMaxZoom()) / GetZoomFactor());
}

std::int32_t CDOCScale::CenterOnActiveCursor() {
    const std::int32_t window = GetZoomFactor() * tables::kColumns;
    const std::int32_t active = GetCursorSamples(_activeCursorIndex);
    const std::int32_t half = window / 2;
    std::int32_t shift = std::max(active - half, 0);
    if (active + half > GetBaseSamples())
        shift = GetBaseSamples() - window;
    shift_ = shift;
    return shift_;
}

void CDOCScale::CalcTicks() {
    const double start = GetMetresAtPx(0);
    const double end = GetMetresAtPx(tables::kColumns - 1);
    const double span = end - start;
    if (!(span > 0.0))
        return; // cannot happen with a valid КУ; keeps the previous ticks
    const double metresPerColumn = span / tables::kColumns;

    const double power = std::pow(10.0, std::floor(std::log10(span)) - 1.0);
    double step = -1.0;
    for (const double candidate : {1.25 * power, 2.5 * power, 5.0 * power}) {
        if (7.0 * candidate <= span && span <= 20.0 * candidate)
            step = candidate;
    }
    if (step <= 0.0)
        return;
    firstTick_ = std::floor((start + step) / step) * step;
    lastTick_ = std::floor((end - step) / step) * step;
    pixelsPerTick_ = step / metresPerColumn;
    firstTickColumn_ = (firstTick_ - start) / metresPerColumn - pixelsPerTick_;

    const int count = static_cast<int>(tables::kColumns / std::floor(pixelsPerTick_) + 2.0);
    const bool whole = std::floor(step) == step;
    tickLabels_.clear();
    tickLabels_.reserve(count);
    for (int k = 0; k < count; ++k)
        tickLabels_.append(QString::asprintf(whole ? "%.0f" : "%.1f", firstTick_ - step + k * step));
}

int CDOCScale::GetDefaultPulse() const {
    return RangeRow(range_).defaultPulse;
}
