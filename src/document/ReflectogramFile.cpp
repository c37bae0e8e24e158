#include "document/ReflectogramFile.h"

#include "document/ParamTables.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace reflectogram {

namespace {

constexpr int kValueCount = kHeaderBytes / 4;

std::int32_t ValueAt(const QByteArray& bytes, int index) {
    return qFromLittleEndian<std::int32_t>(bytes.constData() + index * 4);
}

bool Within(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

} // namespace

QByteArray Encode(const Header& header, const std::uint8_t* samples) {
    std::array<std::int32_t, kValueCount> values{};
    values[0] = header.sampleCount;
    values[1] = header.pulse;
    values[2] = header.range;
    values[3] = header.average;
    values[4] = header.gain;
    values[5] = header.matching;
    values[6] = header.storedKU;

    QByteArray bytes(kHeaderBytes, '\0');
    for (int i = 0; i < kValueCount; ++i)
        qToLittleEndian<std::int32_t>(values[static_cast<std::size_t>(i)], bytes.data() + i * 4);
    if (header.sampleCount > 0)
        bytes.append(reinterpret_cast<const char*>(samples), header.sampleCount);
    return bytes;
}

namespace {

Header ReadHeader(const QByteArray& bytes) {
    Header read;
    read.sampleCount = ValueAt(bytes, 0);
    read.pulse = ValueAt(bytes, 1);
    read.range = ValueAt(bytes, 2);
    read.average = ValueAt(bytes, 3);
    read.gain = ValueAt(bytes, 4);
    read.matching = ValueAt(bytes, 5);
    read.storedKU = ValueAt(bytes, 6);
    return read;
}

} // namespace

Fault Check(const QByteArray& bytes) {
    if (bytes.size() < kHeaderBytes)
        return Fault::ShortHeader;
    const Header read = ReadHeader(bytes);
    if (read.sampleCount < 0)
        return Fault::SampleCount;
    if (bytes.size() - kHeaderBytes < read.sampleCount)
        return Fault::FileSize;
    if (!Within(read.pulse, 0, static_cast<std::int32_t>(tables::kPulses.size()) - 1))
        return Fault::Pulse;
    if (!Within(read.range, 0, static_cast<std::int32_t>(tables::kRanges.size()) - 1))
        return Fault::Range;
    if (!Within(read.average, 0, static_cast<std::int32_t>(tables::kAverages.size()) - 1))
        return Fault::Average;
    if (!Within(read.gain, tables::kGainMinimum, tables::kGainMaximum))
        return Fault::Gain;
    return Fault::None;
}

bool Decode(const QByteArray& bytes, Header& header, const std::uint8_t*& samples) {
    if (Check(bytes) != Fault::None)
        return false;
    header = ReadHeader(bytes);
    header.sampleCount = std::min(header.sampleCount, kMaxSamples);
    samples = reinterpret_cast<const std::uint8_t*>(bytes.constData()) + kHeaderBytes;
    return true;
}

} // namespace reflectogram
