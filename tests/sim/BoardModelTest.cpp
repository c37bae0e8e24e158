#include "sim/BoardModel.h"

#include "SimTestSupport.h"

#include <gtest/gtest.h>

using simtest::kA;
using simtest::kR;
using simtest::kS;
using simtest::kV;
using simtest::kZ;
using simtest::TaskFields;

namespace {

sim::Scenario SeededDefault() {
    sim::Scenario scenario = sim::Scenario::Default();
    scenario.seed = 1;
    return scenario;
}

QByteArray Answer(sim::BoardModel& board, const QByteArray& frame) {
    const auto reply = board.Handle(frame);
    return reply ? reply->bytes : QByteArray("<silent>");
}

} // namespace

TEST(BoardCommands, SimpleCommandsAnswerAtOnce) {
    sim::BoardModel board(SeededDefault());
    for (const QByteArray& frame : {kR, kA, kS}) {
        const auto reply = board.Handle(frame);
        ASSERT_TRUE(reply) << frame.toHex().constData();
        EXPECT_EQ(reply->bytes, ":OK");
        EXPECT_EQ(reply->delay.count(), 0);
        EXPECT_FALSE(reply->trace);
    }
}

TEST(BoardCommands, IdentificationIsPrintableTextEndedByZero) {
    sim::BoardModel board(SeededDefault());
    const QByteArray reply = Answer(board, kV);
    ASSERT_GE(reply.size(), 2);
    EXPECT_EQ(reply.back(), '\0');
    const QByteArray text = reply.chopped(1);
    EXPECT_EQ(text, sim::BoardModel::Identification());
    for (const char c : text) {
        EXPECT_GE(c, 0x20);
        EXPECT_LT(c, 0x7F);
    }
}

TEST(BoardCommands, UnknownLettersAndWrongLengthsGetNoAnswer) {
    sim::BoardModel board(SeededDefault());
    EXPECT_FALSE(board.Handle(QByteArrayLiteral("Q\x02")));
    EXPECT_FALSE(board.Handle(QByteArrayLiteral("V\x03")));
    EXPECT_FALSE(board.Handle(QByteArrayLiteral("V\x02\x00")));
    EXPECT_FALSE(board.Handle(QByteArrayLiteral("D\x10")));
    EXPECT_FALSE(board.Handle(QByteArray("Z")));
}

TEST(BoardCommands, TraceNeedsAValidTask) {
    sim::BoardModel board(SeededDefault());
    EXPECT_FALSE(board.HasValidTask());
    EXPECT_EQ(Answer(board, kZ), ":?"); // after power-up

    ASSERT_EQ(Answer(board, TaskFields{}.Frame()), ":OK");
    EXPECT_TRUE(board.HasValidTask());
    EXPECT_TRUE(board.Handle(kZ)->trace);
    EXPECT_TRUE(board.Handle(kZ)->trace); // the task stays until reset

    EXPECT_EQ(Answer(board, kR), ":OK");
    EXPECT_FALSE(board.HasValidTask());
    EXPECT_EQ(Answer(board, kZ), ":?");

    ASSERT_EQ(Answer(board, TaskFields{}.Frame()), ":OK");
    TaskFields refused;
    refused.averaging = 0;
    EXPECT_EQ(Answer(board, refused.Frame()), ":EN0");
    EXPECT_FALSE(board.HasValidTask()); // a refused task replaces the old one
    EXPECT_EQ(Answer(board, kZ), ":?");
}

TEST(BoardCommands, EveryBadTaskFieldIsNamedInTheRefusal) {
    struct Case {
        const char* what;
        TaskFields task;
        QByteArray reply;
    };
    auto with = [](auto change) {
        TaskFields task;
        change(task);
        return task;
    };
    const std::vector<Case> cases = {
        {"mode", with([](TaskFields& t) { t.mode = 'X'; }), ":EM2"},
        {"generator 0", with([](TaskFields& t) { t.generator = 0; }), ":EG0"},
        {"generator 4", with([](TaskFields& t) { t.generator = 4; }), ":EG1"},
        {"receiver 0", with([](TaskFields& t) { t.receiver = 0; }), ":ER0"},
        {"receiver 9", with([](TaskFields& t) { t.receiver = 9; }), ":ER1"},
        {"averaging 0", with([](TaskFields& t) { t.averaging = 0; }), ":EN0"},
        {"averaging 129", with([](TaskFields& t) { t.averaging = 129; }), ":EN1"},
        {"decimation 2", with([](TaskFields& t) { t.decimation = 2; }), ":EK2"},
        {"decimation 2047", with([](TaskFields& t) { t.decimation = 2047; }), ":EK1"},
        {"pulse 0", with([](TaskFields& t) { t.pulseCode = 0; }), ":EP0"},
        {"pulse 3", with([](TaskFields& t) { t.pulseCode = 3; }), ":EP2"},
        {"pulse 6000", with([](TaskFields& t) { t.pulseCode = 6000; }), ":EP1"},
    };
    for (const Case& c : cases) {
        sim::BoardModel board(SeededDefault());
        EXPECT_EQ(Answer(board, c.task.Frame()), c.reply) << c.what;
        EXPECT_FALSE(board.HasValidTask()) << c.what;
    }
}

TEST(BoardCommands, EveryAllowedTaskValueIsAccepted) {
    sim::BoardModel board(SeededDefault());
    for (const int pulse : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000}) {
        TaskFields task;
        task.pulseCode = pulse;
        EXPECT_EQ(Answer(board, task.Frame()), ":OK") << pulse;
    }
    for (int k = 0; k <= 10; ++k) {
        TaskFields task;
        task.decimation = (1 << k) - 1;
        EXPECT_EQ(Answer(board, task.Frame()), ":OK") << task.decimation;
    }
    for (const auto& [g, r] : {std::pair{1, 1}, {2, 2}, {3, 3}, {2, 1}, {1, 2}}) {
        for (const char mode : {'Y', 'L'}) {
            TaskFields task;
            task.mode = mode;
            task.generator = g;
            task.receiver = r;
            task.averaging = 128;
            task.gain = 255;
            task.microplan = 0xFFFFFF;
            EXPECT_EQ(Answer(board, task.Frame()), ":OK") << g << r << mode;
        }
    }
}

TEST(TraceReplies, LengthsFollowTheMeasuredLines) {
    struct Case {
        char mode;
        int generator;
        int receiver;
        qsizetype length;
    };
    for (const Case c : {Case{'Y', 1, 1, 502}, Case{'Y', 2, 2, 502}, Case{'Y', 3, 3, 1004}, Case{'Y', 2, 1, 502},
                         Case{'Y', 1, 2, 502}, Case{'L', 1, 1, 8002}, Case{'L', 2, 2, 8002}, Case{'L', 1, 2, 8002}}) {
        sim::BoardModel board(SeededDefault());
        TaskFields task;
        task.mode = c.mode;
        task.generator = c.generator;
        task.receiver = c.receiver;
        ASSERT_EQ(Answer(board, task.Frame()), ":OK");
        const auto reply = board.Handle(kZ);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->trace);
        EXPECT_EQ(reply->bytes.size(), c.length) << c.mode << c.generator << c.receiver;
    }
}

TEST(TraceReplies, StatusBytesAreTheLinesMatchingValues) {
    sim::Scenario scenario = SeededDefault();
    scenario.lines[0].matching = 77;
    scenario.lines[1].matching = 201;
    for (const int lines : {1, 2, 3}) {
        sim::BoardModel board(scenario);
        TaskFields task;
        task.generator = task.receiver = lines;
        ASSERT_EQ(Answer(board, task.Frame()), ":OK");
        const QByteArray reply = Answer(board, kZ);
        ASSERT_GE(reply.size(), 502);
        EXPECT_EQ(static_cast<unsigned char>(reply.at(reply.size() - 2)), 77);
        EXPECT_EQ(static_cast<unsigned char>(reply.at(reply.size() - 1)), 201);
    }
}

TEST(TraceReplies, BothLinesReplyIsLineOneFillerLineTwo) {
    sim::Scenario scenario = SeededDefault();
    scenario.noise = 0; // the same samples every time
    sim::BoardModel board(scenario);
    TaskFields task;
    task.decimation = 15;
    auto trace = [&](int lines) {
        task.generator = task.receiver = lines;
        EXPECT_EQ(Answer(board, task.Frame()), ":OK");
        return Answer(board, kZ);
    };
    const QByteArray first = trace(1);
    const QByteArray second = trace(2);
    const QByteArray both = trace(3);
    ASSERT_EQ(both.size(), 1004);
    EXPECT_EQ(both.left(500), first.left(500));
    EXPECT_EQ(both.mid(502, 500), second.left(500));
    EXPECT_NE(first.left(500), second.left(500)); // the lines differ (line 2 is shorted)
}

TEST(TraceReplies, AcquisitionDelayGrowsWithAveragingAndRangeUpToItsCap) {
    struct Case {
        TaskFields task;
        long long microseconds;
    };
    auto task = [](char mode, int averaging, int decimation, std::uint32_t microplan) {
        TaskFields t;
        t.mode = mode;
        t.averaging = averaging;
        t.decimation = decimation;
        t.microplan = microplan;
        return t;
    };
    const std::vector<Case> cases = {
        // last base sample 499: 624 ns, under a microsecond
        {task('Y', 1, 0, 38), 5000},
        // window from 8000, last 8000 + 499 * 16 = 15984: 19.98 us a shot, 128 shots
        {task('Y', 128, 15, 8038), 5000 + 2557},
        // last 499 * 64 = 31936: 39.92 us, 100 shots
        {task('Y', 100, 63, 38), 5000 + 3992},
        // full length, last 7999 * 2 = 15998: 20.0 us, 10 shots
        {task('L', 10, 1, 38), 5000 + 199},
        // last 7999 * 64: 639.92 us, 128 shots = 81.9 ms
        {task('L', 128, 63, 38), 5000 + 81909},
        // 163.8 ms of shots: capped
        {task('L', 128, 127, 38), 100000},
        {task('L', 128, 1023, 38), 100000},
    };
    for (const Case& c : cases) {
        sim::BoardModel board(SeededDefault());
        ASSERT_EQ(Answer(board, c.task.Frame()), ":OK");
        const auto reply = board.Handle(kZ);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->delay.count(), c.microseconds) << c.task.mode << c.task.averaging << " " << c.task.decimation;
    }
}
