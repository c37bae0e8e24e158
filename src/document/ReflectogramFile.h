#pragma once

// The ".pel" reflectogram file: a 512-byte header of 32-bit little-endian values
// followed by one unsigned byte per sample. No signature, version or checksum.

#include <QByteArray>

#include <cstdint>

namespace reflectogram {

inline constexpr int kHeaderBytes = 512;
inline constexpr int kMaxSamples = 8000;

struct Header {
    // As written: the trace's length. As decoded: the samples the instrument keeps, the
    // file's count up to kMaxSamples (the samples beyond the buffer are not stored).
    std::int32_t sampleCount = 0;
    std::int32_t pulse = 0;
    std::int32_t range = 0;
    std::int32_t average = 0;
    std::int32_t gain = 0;
    std::int32_t matching = 0;
    std::int32_t storedKU = 0; // КУ * 1000, truncated
};

// The whole file: header, then header.sampleCount bytes of `samples`.
QByteArray Encode(const Header& header, const std::uint8_t* samples);

// What makes a file unusable, first found first.
enum class Fault { None, ShortHeader, SampleCount, FileSize, Pulse, Range, Average, Gain };

// Checks a file's bytes before anything is taken from them: the header is complete,
// N is not negative, the file holds at least 512 + N bytes, and the pulse, range,
// averaging and gain values lie within their tables. Files from other instruments may
// announce more samples than ours keep, or carry bytes after them; both are read.
Fault Check(const QByteArray& bytes);

// Check, then on success fills `header` and points `samples` at the header.sampleCount
// kept sample bytes inside `bytes`.
bool Decode(const QByteArray& bytes, Header& header, const std::uint8_t*& samples);

} // namespace reflectogram
