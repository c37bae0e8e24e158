#pragma once

// The ".pel" reflectogram file: a 512-byte header of 32-bit little-endian values
// followed by one unsigned byte per sample. No signature, version or checksum.

#include <QByteArray>

#include <cstdint>

namespace reflectogram {

inline constexpr int kHeaderBytes = 512;
inline constexpr int kMaxSamples = 8000;

struct Header {
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
// 1 <= N <= 8000, the file holds exactly 512 + N bytes, and the pulse, range,
// averaging and gain values lie within their tables.
Fault Check(const QByteArray& bytes);

// Check, then on success fills `header` and points `samples` at the N sample bytes
// inside `bytes`.
bool Decode(const QByteArray& bytes, Header& header, const std::uint8_t*& samples);

} // namespace reflectogram
