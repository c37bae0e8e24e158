#include "document/PELParam.h"
#include "support/TraceCapture.h"

#include <QLoggingCategory>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// A stored trace whose sample j holds j's low byte.
CChannel StoredTrace(int range) {
    CChannel channel;
    channel.state = 254;
    channel.number = 2;
    EXPECT_TRUE(channel.scale.SetIndex(range));
    for (std::size_t j = 0; j < channel.scale.samples.size(); ++j)
        channel.scale.samples[j] = static_cast<std::uint8_t>(j * 7 + 1);
    return channel;
}

CChannel Window(int range, int zoom, int shift) {
    CChannel window;
    EXPECT_TRUE(window.scale.SetIndex(range));
    EXPECT_TRUE(window.scale.SetZoom(zoom));
    EXPECT_TRUE(window.scale.SetShiftSamples(shift));
    return window;
}

std::uint8_t SampleValue(int j) {
    return static_cast<std::uint8_t>(j * 7 + 1);
}

} // namespace

TEST(ExtractPoints, PicksOneStoredSamplePerColumn) {
    struct Case {
        int storedRange, range, zoom, shift;
        int (*sampleOf)(int column); // -1: beyond the stored trace
    };
    const Case cases[] = {
        {0, 0, 0, 0, [](int k) { return k; }},
        {5, 5, 1, 1000, [](int k) { return 500 + k; }},
        {10, 10, 10, 0, [](int k) { return 16 * k; }},
        {1, 4, 4, 0, [](int k) { return 16 * k < 1000 ? 16 * k : -1; }},
    };
    for (const Case& c : cases) {
        CChannel stored = StoredTrace(c.storedRange);
        stored.ExtractPoints(Window(c.range, c.zoom, c.shift), 1);
        for (int k = 0; k < 500; ++k) {
            const int j = c.sampleOf(k);
            const std::uint8_t expected = j < 0 ? 0 : SampleValue(j);
            ASSERT_EQ(stored.scale.points[static_cast<std::size_t>(k)], expected)
                << "stored range " << c.storedRange << ", column " << k;
        }
    }
}

TEST(ExtractPoints, TracesTheWindowAndHonoursTheFlag) {
    TraceCapture capture;
    CChannel stored = StoredTrace(5);
    stored.scale.points.fill(0xAA);
    stored.ExtractPoints(Window(5, 2, 40), 254);
    EXPECT_EQ(stored.scale.points[0], 0xAA); // flag other than 1: points untouched
    ASSERT_EQ(TraceCapture::lines().size(), 1);
    EXPECT_EQ(TraceCapture::lines()[0], QStringLiteral("ExtractPoints: decimation:3, microplan:40"));

    stored.state = 1; // hidden slot: nothing at all
    stored.ExtractPoints(Window(5, 2, 40), 1);
    EXPECT_EQ(stored.scale.points[0], 0xAA);
    EXPECT_EQ(TraceCapture::lines().size(), 1);
}

TEST(MakeDifference, ReferenceMinusOwnClamped) {
    CChannel reference;
    reference.number = 0;
    CChannel own;
    own.number = 3;
    reference.scale.points[0] = static_cast<std::uint8_t>(100);
    own.scale.points[0] = static_cast<std::uint8_t>(-100);
    reference.scale.points[1] = static_cast<std::uint8_t>(-100);
    own.scale.points[1] = static_cast<std::uint8_t>(100);
    reference.scale.points[2] = static_cast<std::uint8_t>(20);
    own.scale.points[2] = static_cast<std::uint8_t>(-5);

    own.MakeDifference(reference);
    EXPECT_EQ(static_cast<std::int8_t>(own.scale.points[0]), 127);
    EXPECT_EQ(static_cast<std::int8_t>(own.scale.points[1]), -128);
    EXPECT_EQ(static_cast<std::int8_t>(own.scale.points[2]), 25);

    // The reference keeps its own points.
    const auto before = reference.scale.points;
    reference.MakeDifference(reference);
    EXPECT_EQ(reference.scale.points, before);
}
