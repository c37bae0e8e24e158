#include "sim/PacedWriter.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Checks that the chunks carry every byte once, in order, and returns the longest gap
// between consecutive writes (the first counted from the start of the reply).
std::chrono::nanoseconds LongestGap(const std::vector<sim::Chunk>& chunks, qsizetype size) {
    qsizetype next = 0;
    std::chrono::nanoseconds previous{0};
    std::chrono::nanoseconds longest{0};
    for (const sim::Chunk& chunk : chunks) {
        EXPECT_EQ(chunk.offset, next);
        EXPECT_GT(chunk.size, 0);
        EXPECT_LE(chunk.size, sim::kChunkBytes);
        EXPECT_GE(chunk.due, previous);
        // never earlier than the line could have carried the bytes
        EXPECT_GE(chunk.due, sim::WireTime(chunk.offset + chunk.size));
        longest = std::max(longest, chunk.due - previous);
        previous = chunk.due;
        next += chunk.size;
    }
    EXPECT_EQ(next, size);
    return longest;
}

} // namespace

TEST(LinePace, ByteTakesTenBitsAt115200Baud) {
    EXPECT_EQ(sim::WireTime(1), 86805ns);
    EXPECT_GE(sim::WireTime(1004), 87150us);
    EXPECT_GE(sim::WireTime(8002), 694ms);
}

TEST(LinePace, RepliesLeaveInSmallChunksWithoutLongGaps) {
    for (const qsizetype size : {2, 3, 59, 502, 1004, 8002}) {
        const auto chunks = sim::PlanChunks(size);
        EXPECT_LE(LongestGap(chunks, size), 2ms) << size;
        EXPECT_EQ(chunks.back().due, sim::WireTime(size)) << size;
    }
}

TEST(LinePace, CutReplyPausesOnceInTheMiddle) {
    const auto chunks = sim::PlanChunks(100, qsizetype{50}, 20ms);
    EXPECT_GE(LongestGap(chunks, 100), 20ms);
    int pauses = 0;
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        if (chunks[i].due - chunks[i - 1].due >= 20ms) {
            ++pauses;
            EXPECT_EQ(chunks[i].offset, 50);
        } else {
            EXPECT_LE(chunks[i].due - chunks[i - 1].due, 2ms);
        }
    }
    EXPECT_EQ(pauses, 1);
}

TEST(LinePace, SleepEndsAtTheDeadlineOrOnStop) {
    std::atomic<bool> stop{false};
    const auto deadline = std::chrono::steady_clock::now() + 3ms;
    EXPECT_TRUE(sim::SleepUntil(deadline, stop));
    EXPECT_GE(std::chrono::steady_clock::now(), deadline);
    stop = true;
    EXPECT_FALSE(sim::SleepUntil(std::chrono::steady_clock::now() + 1h, stop));
}
