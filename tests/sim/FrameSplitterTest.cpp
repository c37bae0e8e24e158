#include "sim/FrameSplitter.h"

#include "SimTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<QByteArray> Frames(std::initializer_list<QByteArray> frames) {
    return std::vector<QByteArray>(frames);
}

} // namespace

TEST(FrameSplitting, FrameInPiecesComesOutOnceComplete) {
    sim::FrameSplitter splitter;
    const QByteArray task = simtest::TaskFields{}.Frame();
    for (qsizetype i = 0; i + 1 < task.size(); ++i) {
        EXPECT_TRUE(splitter.Feed(task.mid(i, 1)).empty()) << i;
        EXPECT_TRUE(splitter.HasPartialFrame());
    }
    EXPECT_EQ(splitter.Feed(task.right(1)), Frames({task}));
    EXPECT_FALSE(splitter.HasPartialFrame());
}

TEST(FrameSplitting, ConcatenatedFramesComeOutInOrder) {
    sim::FrameSplitter splitter;
    const QByteArray task = simtest::TaskFields{}.Frame();
    EXPECT_EQ(splitter.Feed(simtest::kR + task + simtest::kZ + simtest::kA + simtest::kV.left(1)),
              Frames({simtest::kR, task, simtest::kZ, simtest::kA}));
    EXPECT_EQ(splitter.Feed(simtest::kV.right(1)), Frames({simtest::kV}));
}

TEST(FrameSplitting, GarbageIsDroppedByteByByte) {
    sim::FrameSplitter splitter;
    // Unknown letters, a known letter with another letter's length, a letter followed by a letter.
    const QByteArray garbage = QByteArrayLiteral("\xff\x00xyz") + "V\x05" + "D\x02" + "Z";
    EXPECT_EQ(splitter.Feed(garbage + simtest::kZ + QByteArrayLiteral("\x01\x02") + simtest::kS),
              Frames({simtest::kZ, simtest::kS}));
    EXPECT_FALSE(splitter.HasPartialFrame());
}

TEST(FrameSplitting, PayloadBytesAreNotMistakenForFrames) {
    sim::FrameSplitter splitter;
    simtest::TaskFields task;
    task.mode = 'L';
    task.averaging = 'Z';
    task.gain = 2; // "Z\x02" inside the payload
    EXPECT_EQ(splitter.Feed(task.Frame()), Frames({task.Frame()}));
}

TEST(FrameSplitting, AnUnfinishedFrameCanBeForgotten) {
    sim::FrameSplitter splitter;
    EXPECT_TRUE(splitter.Feed(simtest::TaskFields{}.Frame().left(7)).empty());
    ASSERT_TRUE(splitter.HasPartialFrame());
    splitter.DropPartialFrame();
    EXPECT_EQ(splitter.Feed(simtest::kR), Frames({simtest::kR}));
}
