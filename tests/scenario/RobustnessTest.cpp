// The program against a misbehaving link: each of the simulated board's faults in turn,
// and a board switched on after the program. Throughout, every key takes effect when it
// is delivered; once the fault ends, live traces come back. How fast is measured by
// pel_bench_faults: a busy machine must not fail these tests.
#include "scenario/Harness.h"
#include "support/Watchdog.h"

#include "link/ProtocolKS518_Ref.h"
#include "platform/Keys.h"
#include "ui/PELView.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

// Limits for "never", not for "fast": far above the product's bounds, which the benchmark
// measures, so that only a program that does not recover fails here.
constexpr int kRecoveryMs = 30000;
constexpr int kFaultMs = 2000;    // long enough for a few 700 ms late replies
constexpr int kKeyPeriodMs = 150; // a key every so often while a fault lasts
constexpr int kTickPeriodMs = 10; // the event-loop probe
constexpr int kWholeTraceBytes[] = {502, 1004, 8002};

// Counts the traces that arrived whole (a reply of any other length is reported too,
// as a new trace with the old samples).
class TraceCounter : public CView {
public:
    explicit TraceCounter(CPELDoc& doc) : doc_(doc) { clock.start(); }
    void OnUpdate(CView*, long hint, void*) override {
        if (hint != hint::kNewTrace)
            return;
        ++reported;
        const int bytes = doc_.inParams.lastTraceBytes;
        if (std::find(std::begin(kWholeTraceBytes), std::end(kWholeTraceBytes), bytes) != std::end(kWholeTraceBytes)) {
            ++whole;
            arrivals.push_back(clock.elapsed());
        }
    }
    // The time of the `n`-th whole trace (from 1) after `since`, or -1.
    qint64 NthAfter(qint64 since, int n) const {
        for (const qint64 at : arrivals) {
            if (at >= since && --n == 0)
                return at;
        }
        return -1;
    }
    int reported = 0;
    int whole = 0;
    QElapsedTimer clock;
    std::vector<qint64> arrivals; // of the whole traces, on `clock`

private:
    CPELDoc& doc_;
};

// The worst delays seen while the program ran: how late a 10 ms timer fired, and how long
// a key took from the window system to its effect.
struct Latency {
    qint64 loopMs = 0;
    qint64 keyMs = 0;
    int keys = 0;
};

class Robustness : public ::testing::Test {
protected:
    void TearDown() override {
        if (h_) {
            h_->Doc().RemoveView(counter_.get());
            h_.reset();
        }
    }

    void Launch(bool boardFirst) {
        h_ = std::make_unique<Harness>(QString(), folder_.filePath(QStringLiteral("board")), boardFirst);
        counter_ = std::make_unique<TraceCounter>(h_->Doc());
        h_->Doc().AddView(counter_.get());
        h_->Tap(vk::kF5); // the measurement screen
        ASSERT_EQ(h_->Frame().GetActiveView(), h_->Frame().pelView);
    }

    bool WaitForWholeTraces(int more, int milliseconds) {
        const int target = counter_->whole + more;
        return h_->RunUntil([&] { return counter_->whole >= target; }, milliseconds);
    }

    // Runs the program for `milliseconds` (or until `done`), pressing the cursor key every
    // kKeyPeriodMs when `pressKeys`, and checking that each press took effect by the time the
    // key was delivered. Every key press stops the acquisition and sends the task again, so
    // traces do not flow while keys are being pressed this fast.
    void Exercise(int milliseconds, Latency& worst, const std::function<bool()>& done = nullptr,
                  bool pressKeys = true) {
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(kTickPeriodMs);
        QObject::connect(&probe, &QTimer::timeout,
                         [&] { worst.loopMs = std::max(worst.loopMs, sinceTick.restart() - kTickPeriodMs); });
        probe.start();
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < milliseconds && !(done && done())) {
            if (!pressKeys) {
                h_->Run(kTickPeriodMs);
                continue;
            }
            const int before = h_->Doc().displayParams->scale._activeCursorIndex;
            QElapsedTimer key;
            key.start();
            h_->Tap('5'); // switches the active cursor
            const qint64 keyMs = key.elapsed();
            worst.keyMs = std::max(worst.keyMs, keyMs);
            ++worst.keys;
            EXPECT_NE(h_->Doc().displayParams->scale._activeCursorIndex, before) << "a key went unanswered";
            sinceTick.restart(); // the key's own time is measured above
            h_->Run(kKeyPeriodMs);
        }
        probe.stop();
    }

    // A fault for kFaultMs, then the time until two whole traces have arrived again.
    void CheckFault(sim::Fault fault) {
        Launch(true);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(WaitForWholeTraces(2, kRecoveryMs)) << "no live traces before the fault";
        const QString device = h_->Board().DevicePath();
        Latency worst;
        const qint64 faultStart = counter_->clock.elapsed();
        h_->Board().SetFault(fault);
        qint64 faultEnd = faultStart; // the link is reopened at once
        if (fault == sim::Fault::ReopenLink) {
            // The event loop is watched while the program finds the new link; keys follow below.
            Exercise(
                kRecoveryMs + 1000, worst, [&] { return counter_->NthAfter(faultStart, 2) >= 0; }, false);
            EXPECT_EQ(h_->Board().GetFault(), sim::Fault::None);
            EXPECT_NE(h_->Board().DevicePath(), device) << "the board kept its pseudo-terminal";
        } else {
            Exercise(kFaultMs, worst);
            const int during = static_cast<int>(counter_->arrivals.size()) -
                               static_cast<int>(std::lower_bound(counter_->arrivals.begin(), counter_->arrivals.end(),
                                                                 faultStart + 100) -
                                                counter_->arrivals.begin());
            // A reply later than the time-out, or half of one, is never taken whole; the other
            // faults send no trace at all. (A gap inside a reply ends the burst only when the
            // reader is awake to see it: on a busy machine the two halves may be read as one.)
            if (fault != sim::Fault::CutReply) {
                EXPECT_EQ(during, 0) << "whole traces while the board sent none";
            }
            h_->Board().SetFault(sim::Fault::None);
            faultEnd = counter_->clock.elapsed();
            ASSERT_TRUE(WaitForWholeTraces(2, kRecoveryMs + 2000));
        }
        const qint64 second = counter_->NthAfter(faultEnd, 2);
        const qint64 recoveryMs = second < 0 ? -1 : second - faultEnd;
        std::printf("[ fault %-9s] key %lld ms, event loop late %lld ms (%d keys); traces back in %lld ms\n",
                    qUtf8Printable(sim::FaultName(fault)), static_cast<long long>(worst.keyMs),
                    static_cast<long long>(worst.loopMs), worst.keys, static_cast<long long>(recoveryMs));
        EXPECT_GE(recoveryMs, 0) << "two whole traces after the fault ended";
        if (fault != sim::Fault::ReopenLink) {
            EXPECT_GT(worst.keys, 5);
        }
        // Keys still act normally afterwards, and the live view goes on.
        Latency after;
        Exercise(600, after);
        EXPECT_GT(after.keys, 0);
        EXPECT_TRUE(WaitForWholeTraces(1, kRecoveryMs));
    }

    std::optional<Watchdog> watchdog_; // outlives the program: one that cannot end fails the test
    QTemporaryDir folder_;
    std::unique_ptr<Harness> h_;
    std::unique_ptr<TraceCounter> counter_;
};

TEST_F(Robustness, NoAnswer) {
    CheckFault(sim::Fault::NoAnswer);
}

TEST_F(Robustness, LateAnswers) {
    CheckFault(sim::Fault::LateAnswer);
}

TEST_F(Robustness, Garbage) {
    CheckFault(sim::Fault::Garbage);
}

TEST_F(Robustness, CutBursts) {
    CheckFault(sim::Fault::CutReply);
}

TEST_F(Robustness, HalfRepliesLost) {
    CheckFault(sim::Fault::LostHalf);
}

TEST_F(Robustness, NoTaskStorm) {
    CheckFault(sim::Fault::NoTaskInsteadOfTrace);
}

TEST_F(Robustness, ErrorReplies) {
    CheckFault(sim::Fault::ErrorInsteadOfTrace);
}

TEST_F(Robustness, LinkClosedAndReopened) {
    CheckFault(sim::Fault::ReopenLink);
}

// The board's end of the line closes while the program waits for a reply, then halfway
// through a trace; each time the board is back at once on a new pseudo-terminal behind the
// same link. The program finds it without spinning, and ends promptly right after a hang-up.
TEST_F(Robustness, LineHungUpWhileWaitingAndWhileReading) {
    watchdog_.emplace(std::chrono::seconds(100), "the hang-up scenario");
    Launch(true);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(WaitForWholeTraces(2, kRecoveryMs));
    CThreadForPort& port = *h_->Frame().protocol;
    const auto hangUpWhileWaiting = [&] {
        const std::size_t sent = h_->Board().Received().size();
        h_->Board().SetFault(sim::Fault::NoAnswer);
        const bool waiting = h_->RunUntil([&] { return h_->Board().Received().size() > sent; }, 1000);
        h_->Board().SetFault(sim::Fault::ReopenLink);
        return waiting;
    };
    for (const bool whileReading : {false, true}) {
        const QString device = h_->Board().DevicePath();
        const std::uint64_t callsBefore = port.DeviceCalls();
        QElapsedTimer window;
        window.start();
        if (whileReading)
            h_->Board().SetFault(sim::Fault::HangUpInReply);
        else
            ASSERT_TRUE(hangUpWhileWaiting()) << "no frame left unanswered";
        ASSERT_TRUE(h_->RunUntil([&] { return h_->Board().DevicePath() != device; }, 1000));
        const qint64 since = counter_->clock.elapsed();
        ASSERT_TRUE(h_->RunUntil([&] { return counter_->NthAfter(since, 2) >= 0; }, 3000)) << "no traces after";
        // Reading a reply takes a few calls per 10 bytes, at most 11.5 bytes a millisecond.
        const std::uint64_t calls = port.DeviceCalls() - callsBefore;
        std::printf("[ hang-up %s ] %llu calls on the device in %lld ms\n", whileReading ? "in reply" : "waiting ",
                    static_cast<unsigned long long>(calls), static_cast<long long>(window.elapsed()));
        EXPECT_LT(calls, static_cast<std::uint64_t>(5 * window.elapsed())) << "the worker spins";
    }
    ASSERT_TRUE(hangUpWhileWaiting());
    const Watchdog promptly(std::chrono::seconds(10), "ending the program right after a hang-up");
    h_->Doc().RemoveView(counter_.get());
    h_.reset();
}

TEST_F(Robustness, BoardSwitchedOnAfterTheProgram) {
    Launch(false);
    if (HasFatalFailure())
        return;
    Latency worst;
    Exercise(1500, worst);
    EXPECT_EQ(counter_->reported, 0) << "traces with no board";
    ASSERT_TRUE(h_->StartBoard()) << qUtf8Printable(h_->Board().ErrorString());
    QElapsedTimer arrival;
    arrival.start();
    // The worker tries the path again every second; then the task and the traces follow.
    const bool arrived = WaitForWholeTraces(2, kRecoveryMs);
    std::printf("[ late board    ] key %lld ms, event loop late %lld ms (%d keys); traces in %lld ms\n",
                static_cast<long long>(worst.keyMs), static_cast<long long>(worst.loopMs), worst.keys,
                static_cast<long long>(arrival.elapsed()));
    EXPECT_TRUE(arrived);
    EXPECT_GT(worst.keys, 0);
}

} // namespace
