#include "sim/Faults.h"

#include "SimTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using simtest::kR;
using simtest::kV;
using simtest::kZ;

namespace {

struct Board {
    Board()
        : model([] {
              sim::Scenario scenario = sim::Scenario::Default();
              scenario.seed = 3;
              return scenario;
          }()) {}

    std::optional<sim::Transmission> Send(const QByteArray& frame, sim::Fault fault) {
        return sim::Respond(model, frame, fault, random);
    }

    sim::BoardModel model;
    std::mt19937 random{17};
};

} // namespace

TEST(Faults, NamesRoundTrip) {
    for (const auto& [name, fault] : {std::pair{"none", sim::Fault::None},
                                      {"no-answer", sim::Fault::NoAnswer},
                                      {"late", sim::Fault::LateAnswer},
                                      {"garbage", sim::Fault::Garbage},
                                      {"cut", sim::Fault::CutReply},
                                      {"no-task", sim::Fault::NoTaskInsteadOfTrace},
                                      {"reopen", sim::Fault::ReopenLink},
                                      {"error", sim::Fault::ErrorInsteadOfTrace},
                                      {"hang-up", sim::Fault::HangUpInReply}}) {
        EXPECT_EQ(sim::FaultFromName(QLatin1String(name)), fault) << name;
        EXPECT_EQ(sim::FaultName(fault), QLatin1String(name));
    }
    EXPECT_FALSE(sim::FaultFromName(QStringLiteral("slow")));
    EXPECT_FALSE(sim::FaultFromName(QString()));
}

TEST(Faults, NoneSendsTheModelsReply) {
    Board board;
    ASSERT_EQ(board.Send(simtest::TaskFields{}.Frame(), sim::Fault::None)->bytes, ":OK");
    const auto trace = board.Send(kZ, sim::Fault::None);
    ASSERT_TRUE(trace);
    EXPECT_TRUE(trace->trace);
    EXPECT_EQ(trace->bytes.size(), 502);
    EXPECT_EQ(trace->delay, sim::AcquisitionDelay(sim::Task{}));
    EXPECT_FALSE(trace->pauseAfter);
    EXPECT_FALSE(board.Send(QByteArrayLiteral("Q\x02"), sim::Fault::None));
}

TEST(Faults, NoAnswerIgnoresFramesAltogether) {
    Board board;
    EXPECT_FALSE(board.Send(kV, sim::Fault::NoAnswer));
    EXPECT_FALSE(board.Send(simtest::TaskFields{}.Frame(), sim::Fault::NoAnswer));
    EXPECT_FALSE(board.model.HasValidTask()); // the ignored task was not taken
    EXPECT_EQ(board.Send(kZ, sim::Fault::None)->bytes, ":?");
}

TEST(Faults, LateAnswerWaits700Ms) {
    Board board;
    const auto reply = board.Send(kR, sim::Fault::LateAnswer);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, ":OK");
    EXPECT_EQ(reply->delay, std::chrono::milliseconds(700));
}

TEST(Faults, GarbageReplacesTheReplyWithRandomBytes) {
    Board board;
    std::set<QByteArray> seen;
    for (int i = 0; i < 20; ++i) {
        const auto reply = board.Send(kR, sim::Fault::Garbage);
        ASSERT_TRUE(reply);
        EXPECT_GE(reply->bytes.size(), 1);
        EXPECT_LE(reply->bytes.size(), sim::kLongestGarbage);
        seen.insert(reply->bytes);
    }
    EXPECT_GT(seen.size(), 10u);
    EXPECT_FALSE(seen.contains(":OK"));
    ASSERT_EQ(board.Send(simtest::TaskFields{}.Frame(), sim::Fault::None)->bytes, ":OK");
    EXPECT_FALSE(board.Send(kZ, sim::Fault::Garbage)->trace);
}

TEST(Faults, CutReplyPausesInTheMiddleOfLongRepliesOnly) {
    Board board;
    const auto identification = board.Send(kV, sim::Fault::CutReply);
    ASSERT_TRUE(identification);
    ASSERT_GT(identification->bytes.size(), 20);
    EXPECT_EQ(identification->pauseAfter, identification->bytes.size() / 2);
    EXPECT_EQ(identification->bytes, board.Send(kV, sim::Fault::None)->bytes);
    EXPECT_FALSE(board.Send(kR, sim::Fault::CutReply)->pauseAfter);
}

TEST(Faults, NoTaskAnswersTracesOnly) {
    Board board;
    ASSERT_EQ(board.Send(simtest::TaskFields{}.Frame(), sim::Fault::NoTaskInsteadOfTrace)->bytes, ":OK");
    const auto refused = board.Send(kZ, sim::Fault::NoTaskInsteadOfTrace);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->bytes, ":?");
    EXPECT_FALSE(refused->trace);
    EXPECT_TRUE(board.model.HasValidTask());
    EXPECT_TRUE(board.Send(kZ, sim::Fault::None)->trace);
}

TEST(Faults, ErrorAnswersTracesWithAnErrorCode) {
    Board board;
    ASSERT_EQ(board.Send(simtest::TaskFields{}.Frame(), sim::Fault::ErrorInsteadOfTrace)->bytes, ":OK");
    const auto refused = board.Send(kZ, sim::Fault::ErrorInsteadOfTrace);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->bytes, ":EN1");
    EXPECT_FALSE(refused->trace);
    EXPECT_EQ(board.Send(kV, sim::Fault::ErrorInsteadOfTrace)->bytes, board.Send(kV, sim::Fault::None)->bytes);
    EXPECT_TRUE(board.model.HasValidTask());
    EXPECT_TRUE(board.Send(kZ, sim::Fault::None)->trace);
}
