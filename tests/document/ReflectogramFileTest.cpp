#include "document/ReflectogramFile.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

reflectogram::Header SomeHeader(int samples) {
    reflectogram::Header header;
    header.sampleCount = samples;
    header.pulse = 11;
    header.range = 10;
    header.average = 7;
    header.gain = 255;
    header.matching = -3;
    header.storedKU = 1499;
    return header;
}

void PutValue(QByteArray& bytes, int index, std::int32_t value) {
    qToLittleEndian<std::int32_t>(value, bytes.data() + index * 4);
}

} // namespace

TEST(ReflectogramFile, EncodesTheHeaderLayout) {
    std::vector<std::uint8_t> samples(8000);
    for (std::size_t j = 0; j < samples.size(); ++j)
        samples[j] = static_cast<std::uint8_t>(j);
    const QByteArray bytes = reflectogram::Encode(SomeHeader(8000), samples.data());
    ASSERT_EQ(bytes.size(), 8512);
    const std::int32_t expected[] = {8000, 11, 10, 7, 255, -3, 1499};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(qFromLittleEndian<std::int32_t>(bytes.constData() + i * 4), expected[i]) << i;
    for (int offset = 28; offset < 512; ++offset)
        ASSERT_EQ(bytes[offset], '\0') << offset;
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[512 + 300]), 300 % 256);
}

TEST(ReflectogramFile, DecodesWhatItEncodes) {
    std::vector<std::uint8_t> samples(500, 0x80);
    const QByteArray bytes = reflectogram::Encode(SomeHeader(500), samples.data());
    reflectogram::Header header;
    const std::uint8_t* decoded = nullptr;
    ASSERT_TRUE(reflectogram::Decode(bytes, header, decoded));
    EXPECT_EQ(header.sampleCount, 500);
    EXPECT_EQ(header.matching, -3);
    EXPECT_EQ(header.storedKU, 1499);
    EXPECT_EQ(decoded[499], 0x80);
}

TEST(ReflectogramFile, RefusesDamagedFiles) {
    std::vector<std::uint8_t> samples(8000, 1);
    const QByteArray good = reflectogram::Encode(SomeHeader(8000), samples.data());
    reflectogram::Header header;
    const std::uint8_t* decoded = nullptr;

    EXPECT_FALSE(reflectogram::Decode(good.left(511), header, decoded)) << "short header";
    EXPECT_FALSE(reflectogram::Decode(good.left(8511), header, decoded)) << "truncated samples";

    struct Damage {
        int valueIndex;
        std::int32_t value;
    };
    const Damage damages[] = {
        {0, 8001}, {0, -1}, {0, std::numeric_limits<std::int32_t>::min()}, {1, 12}, {1, -1}, {2, 11}, {2, -1}, {3, 8},
        {4, 256},  {4, -1}};
    for (const Damage& d : damages) {
        QByteArray bad = good;
        PutValue(bad, d.valueIndex, d.value);
        EXPECT_FALSE(reflectogram::Decode(bad, header, decoded)) << d.valueIndex << " = " << d.value;
    }
    EXPECT_EQ(header.sampleCount, 0) << "a refused file leaves the header as it was";
}

TEST(ReflectogramFile, ReadsLongFilesAndTrailingBytesAsTheInstrumentDoes) {
    std::vector<std::uint8_t> samples(8100);
    for (std::size_t j = 0; j < samples.size(); ++j)
        samples[j] = static_cast<std::uint8_t>(j % 253);
    reflectogram::Header header;
    const std::uint8_t* decoded = nullptr;

    // More samples than the buffer holds: the first 8000 are kept, whatever follows them.
    // (The decoded samples point into the bytes, which therefore outlive each check.)
    const QByteArray longFile = reflectogram::Encode(SomeHeader(8100), samples.data()) + "tail";
    ASSERT_TRUE(reflectogram::Decode(longFile, header, decoded));
    EXPECT_EQ(header.sampleCount, 8000);
    EXPECT_EQ(decoded[7999], 7999 % 253);

    const QByteArray trailing = reflectogram::Encode(SomeHeader(300), samples.data()) + "tail";
    ASSERT_TRUE(reflectogram::Decode(trailing, header, decoded));
    EXPECT_EQ(header.sampleCount, 300);
    EXPECT_EQ(decoded[299], 299 % 253);

    ASSERT_TRUE(reflectogram::Decode(reflectogram::Encode(SomeHeader(0), samples.data()), header, decoded));
    EXPECT_EQ(header.sampleCount, 0) << "an empty trace";
}
