// The port worker and the board protocol over a real pseudo-terminal, with the test
// playing the board: frames on the wire, reply handling, repetition and order.
#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"
#include "sim/SymbolicLink.h"
#include "support/PtyPeer.h"
#include "support/TraceCapture.h"
#include "support/Watchdog.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class HintRecorder : public CView {
public:
    void OnUpdate(CView*, long hint, void*) override { hints.push_back(hint); }
    int Count(long hint) const { return static_cast<int>(std::count(hints.begin(), hints.end(), hint)); }
    std::vector<long> hints;
};

// The port with its task lock in reach, so that a test can hold the worker at the lock.
class LockablePort : public CProtocolKS518_Ref {
public:
    using CProtocolKS518_Ref::CProtocolKS518_Ref;
    std::recursive_mutex& TaskLock() { return taskLock_; }
};

class PortLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(peer_.IsValid());
        doc_ = std::make_unique<CPELDoc>(home_.path() + QLatin1Char('/'));
        port_ = std::make_unique<LockablePort>(doc_.get());
        doc_->AddView(&recorder_);
    }

    void TearDown() override {
        port_.reset();
        doc_->RemoveView(&recorder_);
    }

    void Connect() { port_->Open(peer_.SlavePath(), 115200, 8, 0, 0, 10, 10); }

    void Queue(long hint) { doc_->UpdateAllViews(nullptr, hint); }

    // The next frame on the wire, with the user-interface thread kept running.
    std::optional<QByteArray> NextFrame(std::chrono::milliseconds within = 2000ms) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (auto frame = peer_.ReadFrame(5ms))
                return frame;
        }
        return std::nullopt;
    }

    // Expects `frame` next and answers it.
    void Exchange(const QByteArray& frame, const QByteArray& reply) {
        const auto sent = NextFrame();
        ASSERT_TRUE(sent.has_value()) << "nothing sent, expected " << frame.toHex(' ').toStdString();
        ASSERT_EQ(sent->toHex(' '), frame.toHex(' '));
        ASSERT_TRUE(peer_.Write(reply));
    }

    bool WaitFor(const std::function<bool()>& condition, int ms = 2000) { return QTest::qWaitFor(condition, ms); }

    bool Idle() { return port_->GetPendingIds().empty() && port_->GetCurrentCommand() == 0; }

    std::optional<Watchdog> watchdog_; // outlives the port: a worker that cannot end fails the test
    QTemporaryDir home_;
    PtyPeer peer_;
    std::unique_ptr<CPELDoc> doc_;
    std::unique_ptr<LockablePort> port_;
    HintRecorder recorder_;
};

const QByteArray kOk(":OK");

QByteArray Ramp(int count, int start) {
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(start + i);
    return bytes;
}

} // namespace

TEST_F(PortLink, EveryCommandOnTheWire) {
    Connect();
    Queue(hint::kQueueSetup);
    Exchange(QByteArray("\x41\x03\x01", 3), kOk);
    ASSERT_TRUE(WaitFor([&] { return Idle(); }));

    Queue(hint::kQueueIdentify);
    Exchange(QByteArray("\x56\x02", 2), QByteArray("Reflectometer board 2.1\0junk", 29));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kIdentification) == 1; }));
    EXPECT_EQ(doc_->inParams.identification, QStringLiteral("Reflectometer board 2.1"));

    Queue(hint::kQueueStart);
    Exchange(QByteArray("\x53\x02", 2), kOk);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));

    Queue(hint::kQueueReset); // building 'R' stops acquisition at once
    EXPECT_FALSE(port_->IsRunning());
    Exchange(QByteArray("\x52\x02", 2), kOk);
    ASSERT_TRUE(WaitFor([&] { return Idle(); }));

    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    // The running timer now asks for a trace.
    const auto trace = NextFrame(1000ms);
    ASSERT_TRUE(trace.has_value());
    EXPECT_EQ(trace->toHex(' '), QByteArray("5a 02"));
}

TEST_F(PortLink, OnlyAWholeOkCompletes) {
    Connect();
    Queue(hint::kQueueReset);
    Exchange(QByteArray("\x52\x02", 2), QByteArray(":O"));
    Exchange(QByteArray("\x52\x02", 2), QByteArray("OK"));
    Exchange(QByteArray("\x52\x02", 2), QByteArray(":OK and more"));
    ASSERT_TRUE(WaitFor([&] { return Idle(); }));
    EXPECT_FALSE(NextFrame(300ms).has_value());
}

TEST_F(PortLink, QueuedTwiceSendsTheLaterFrameOnce) {
    ASSERT_TRUE(doc_->ch[0].gain.SetIndex(10));
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    ASSERT_TRUE(doc_->ch[0].gain.SetIndex(20));
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    Connect();
    const auto frame = NextFrame();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(static_cast<int>((*frame)[6]), 20);
    ASSERT_TRUE(peer_.Write(kOk));
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    doc_->outParams.mode = 0; // keep the timer from asking for traces
    port_->Stop();
    EXPECT_FALSE(NextFrame(300ms).has_value());
}

TEST_F(PortLink, AfterACompletionTheMostRecentlyQueuedGoesNext) {
    doc_->SetOutParams('Y');
    Queue(hint::kQueueReset);
    Queue(hint::kQueueSetup);
    Queue(hint::kQueueTask);
    Connect();
    Exchange(QByteArray("\x52\x02", 2), kOk);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    Exchange(QByteArray("\x41\x03\x01", 3), kOk);
}

TEST_F(PortLink, HintsThatAreNoCommandChangeNothing) {
    Connect();
    for (long hint : {0L, 4L, 6L, 8L, 9L, 25L, 99L})
        Queue(hint);
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(NextFrame(300ms).has_value());
}

TEST_F(PortLink, NoTraceBeforeTheFirstTask) {
    Connect();
    port_->OnUpdate(nullptr, command::kTrace, nullptr);
    EXPECT_TRUE(Idle());
}

TEST_F(PortLink, TracesLandInTheirDestinations) {
    Connect();
    doc_->ch[0].state = slot_state::kShown;
    doc_->ch[1].state = slot_state::kShown;
    doc_->SetOutParams('Y'); // both lines: r = 3
    ASSERT_EQ(doc_->outParams.r, 3);

    QByteArray both = Ramp(500, 1) + QByteArray("\xEE\xEE", 2) + Ramp(500, 101) + QByteArray("\x21\x22", 2);
    port_->OnUpdate(nullptr, command::kTrace, nullptr);
    Exchange(QByteArray("\x5a\x02", 2), both);
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kNewTrace) == 1; }));
    EXPECT_EQ(doc_->ch[0].scale.points[0], 1);
    EXPECT_EQ(doc_->ch[0].scale.points[499], static_cast<std::uint8_t>(500));
    EXPECT_EQ(doc_->ch[1].scale.points[0], 101) << "bytes 500 and 501 are skipped";
    EXPECT_EQ(doc_->inParams.status1, 0x21);
    EXPECT_EQ(doc_->inParams.status2, 0x22);

    doc_->ch[0].state = slot_state::kHidden;
    doc_->SetOutParams('Y'); // line 2 only: r = 2
    ASSERT_EQ(doc_->outParams.r, 2);
    port_->OnUpdate(nullptr, command::kTrace, nullptr);
    Exchange(QByteArray("\x5a\x02", 2), Ramp(500, 50) + QByteArray("\x31\x32", 2));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kNewTrace) == 2; }));
    EXPECT_EQ(doc_->ch[1].scale.points[0], 50);
    EXPECT_EQ(doc_->ch[0].scale.points[0], 1) << "line 1 untouched";
    EXPECT_EQ(doc_->inParams.status1, 0x31);

    doc_->currentTrace = &doc_->ch[0];
    doc_->SetOutParams('L');
    port_->OnUpdate(nullptr, command::kTrace, nullptr);
    QByteArray full(8002, '\0');
    full[0] = 7;
    full[7999] = 9;
    full[8000] = 0x41;
    full[8001] = 0x42;
    Exchange(QByteArray("\x5a\x02", 2), full);
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kNewTrace) == 3; }, 4000));
    EXPECT_EQ(doc_->ch[0].scale.samples[0], 7);
    EXPECT_EQ(doc_->ch[0].scale.samples[7999], 9);
    EXPECT_EQ(doc_->inParams.status2, 0x42);

    // An unexpected length stores nothing but still tells the views.
    port_->OnUpdate(nullptr, command::kTrace, nullptr);
    Exchange(QByteArray("\x5a\x02", 2), QByteArray(700, '\x05'));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kNewTrace) == 4; }));
    EXPECT_EQ(doc_->ch[0].scale.samples[0], 7);
    EXPECT_EQ(doc_->inParams.status2, 0x42);
    EXPECT_TRUE(Idle());
}

TEST_F(PortLink, ErrorRepliesStoreTheirCodes) {
    Connect();
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    Exchange(QByteArray("\x5a\x02", 2), QByteArray(":E\x12\x34", 4));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kBoardError) == 1; }));
    EXPECT_EQ(doc_->inParams.status1, 0x12);
    EXPECT_EQ(doc_->inParams.status2, 0x34);
    EXPECT_EQ(recorder_.Count(hint::kNewTrace), 0);
    EXPECT_TRUE(port_->IsRunning()) << "an error reply leaves the run flag";
    port_->Stop();
}

TEST_F(PortLink, NoValidTaskRestartsAcquisition) {
    Connect();
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    Exchange(QByteArray("\x5a\x02", 2), QByteArray(":?"));
    Exchange(QByteArray("\x52\x02", 2), kOk);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    EXPECT_EQ(recorder_.Count(hint::kQueueReset), 1);
    EXPECT_EQ(recorder_.Count(hint::kQueueTask), 2);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    port_->Stop();
}

TEST_F(PortLink, WithoutAnswerTheSameCommandRepeatsAboutTwiceASecond) {
    Connect();
    doc_->SetOutParams('Y');
    Queue(hint::kQueueReset);
    Queue(hint::kQueueTask);
    std::vector<QByteArray> frames;
    const auto until = std::chrono::steady_clock::now() + 2500ms;
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        if (auto frame = NextFrame(std::chrono::duration_cast<std::chrono::milliseconds>(until - now)))
            frames.push_back(*frame);
    }
    ASSERT_GE(frames.size(), 3u);
    EXPECT_LE(frames.size(), 7u);
    for (const QByteArray& frame : frames)
        EXPECT_EQ(frame.toHex(' '), QByteArray("52 02")) << "no other command meanwhile";
}

TEST_F(PortLink, NoSecondTraceRequestWhileOneIsPending) {
    Connect();
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    Exchange(CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams), kOk);
    ASSERT_TRUE(WaitFor([&] { return port_->IsRunning(); }));
    const auto first = NextFrame(1000ms); // the 'Z', left unanswered
    ASSERT_TRUE(first.has_value());
    for (int tick = 0; tick < 5; ++tick) {
        QTest::qWait(200);
        EXPECT_EQ(port_->GetPendingIds(), std::vector<std::uint16_t>{command::kTrace});
    }
    port_->Stop();
}

TEST_F(PortLink, ABurstEndsAtAPause) {
    Connect();
    Queue(hint::kQueueIdentify);
    ASSERT_TRUE(NextFrame().has_value());
    ASSERT_TRUE(peer_.Write("AB"));
    QTest::qWait(40);
    ASSERT_TRUE(peer_.Write(QByteArray("CD\0", 3)));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kIdentification) == 1; }));
    EXPECT_EQ(doc_->inParams.identification, QStringLiteral("AB"));

    // The rest waits in the line and is taken as the start of the next reply.
    Queue(hint::kQueueReset);
    ASSERT_TRUE(NextFrame().has_value());
    Exchange(QByteArray("\x52\x02", 2), kOk); // 'R' is sent again: "CD" was no OK
    ASSERT_TRUE(WaitFor([&] { return Idle(); }));
}

TEST_F(PortLink, ADeviceThatAppearsLaterIsFound) {
    QTemporaryDir links;
    const QString path = links.path() + QStringLiteral("/board");
    port_->Open(path, 115200, 8, 0, 0, 10, 10);
    EXPECT_FALSE(port_->IsPortOpen());
    Queue(hint::kQueueReset);
    QTest::qWait(300);
    ASSERT_EQ(::symlink(peer_.SlavePath().toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
    Exchange(QByteArray("\x52\x02", 2), kOk);
    ASSERT_TRUE(WaitFor([&] { return Idle(); }));
    EXPECT_TRUE(port_->IsPortOpen());
}

TEST_F(PortLink, DestructionEndsAWaitingWorker) {
    Connect();
    Queue(hint::kQueueReset);
    ASSERT_TRUE(NextFrame().has_value()); // the worker now waits for a reply
    port_.reset();                        // returns: the worker's wait was released
    EXPECT_TRUE(doc_->GetViews().size() == 1u) << "the port left the document";
}

// The far end closes while the worker waits for a reply, then while a reply comes in; each
// time a new device appears at the same path later, as when an adapter is plugged in again.
// The lost device is closed and the path tried once a second without spinning, and the
// worker ends promptly even while the line is down.
TEST_F(PortLink, AHungUpDeviceIsReopenedWithoutSpinning) {
    watchdog_.emplace(std::chrono::seconds(90), "the hang-up test");
    QTemporaryDir links;
    const QString path = links.path() + QStringLiteral("/board");
    sim::SymbolicLink link;
    ASSERT_TRUE(link.PointAt(path, peer_.SlavePath()));
    port_->Open(path, 115200, 8, 0, 0, 10, 10);
    for (const bool whileReading : {false, true}) {
        Queue(hint::kQueueReset);
        ASSERT_TRUE(NextFrame().has_value());
        for (int i = 0; whileReading && i < 20; ++i) {
            ASSERT_TRUE(peer_.Write("?")); // a reply still coming in
            std::this_thread::sleep_for(2ms);
        }
        ASSERT_TRUE(link.PointAt(path, links.path() + QStringLiteral("/unplugged")));
        peer_.HangUp();
        EXPECT_TRUE(WaitFor([&] { return !port_->IsPortOpen(); })) << "the lost device is closed";
        const std::uint64_t callsBefore = port_->DeviceCalls();
        QTest::qWait(1500); // the path leads nowhere meanwhile
        EXPECT_LT(port_->DeviceCalls() - callsBefore, 50u) << "the worker spins";
        ASSERT_TRUE(peer_.Renew());
        ASSERT_TRUE(link.PointAt(path, peer_.SlavePath()));
        const auto resent = NextFrame(10000ms);
        ASSERT_TRUE(resent.has_value()) << "the new device is not used";
        EXPECT_EQ(resent->toHex(' '), QByteArray("52 02"));
        ASSERT_TRUE(peer_.Write(kOk));
        ASSERT_TRUE(WaitFor([&] { return Idle(); }));
    }
    Queue(hint::kQueueReset);
    ASSERT_TRUE(NextFrame().has_value());
    peer_.HangUp();
    const Watchdog promptly(std::chrono::seconds(10), "ending the worker on a hung-up line");
    port_.reset();
}

// A burst longer than the longest reply (the full-length capture) is garbage: dropped, and
// the command sent again.
TEST_F(PortLink, ABurstLongerThanAnyReplyIsDropped) {
    Connect();
    Queue(hint::kQueueIdentify);
    ASSERT_TRUE(NextFrame().has_value());
    ASSERT_TRUE(peer_.Write(QByteArray(9000, 'x')));
    Exchange(QByteArray("\x56\x02", 2), QByteArray("board"));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count(hint::kIdentification) > 0; }));
    EXPECT_EQ(doc_->inParams.identification, QStringLiteral("board"));
    EXPECT_EQ(recorder_.Count(hint::kIdentification), 1);
}

// While the program holds the board's device, no second program can take its reply bytes;
// the other program's worker reports the busy device and opens it once it is free.
TEST_F(PortLink, TheDeviceIsHeldExclusively) {
    Connect();
    ASSERT_TRUE(port_->IsPortOpen());
    const int other = ::open(peer_.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (other >= 0) { // the superuser may open an exclusive terminal all the same
        int exclusive = 0;
        EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
        ::close(other);
    } else {
        EXPECT_EQ(errno, EBUSY);
    }
    TraceCapture trace;
    CProtocolKS518_Ref second(doc_.get());
    EXPECT_FALSE(second.Open(peer_.SlavePath(), 115200, 8, 0, 0, 10, 10));
    EXPECT_EQ(trace.lines().filter(QStringLiteral("failed: device busy")).size(), 1)
        << qUtf8Printable(trace.lines().join(QString()));
    port_.reset();
    EXPECT_TRUE(WaitFor([&] { return second.IsPortOpen(); }, 5000));
}

// A key stops acquisition just as the worker takes the current frame: the frame goes out,
// and its reply must not be taken as the answer to the command queued next.
TEST_F(PortLink, AFrameTakenDuringAStopIsNotAnsweredForTheNextCommand) {
    Connect();
    std::thread key;
    {
        const std::lock_guard held(port_->TaskLock());
        Queue(hint::kQueueReset);
        std::this_thread::sleep_for(300ms); // the worker is at the lock, taking the frame
        key = std::thread([&] { port_->Stop(); });
        std::this_thread::sleep_for(300ms); // and the key's Stop behind it
    }
    key.join();
    doc_->SetOutParams('Y');
    Queue(hint::kQueueTask);
    auto frame = NextFrame();
    if (frame && frame->toHex(' ') == QByteArray("52 02")) {
        ASSERT_TRUE(peer_.Write(kOk)); // the stopped frame's reply
        frame = NextFrame();
    }
    ASSERT_TRUE(frame.has_value()) << "the task never went out";
    EXPECT_EQ(frame->toHex(' '), CProtocolKS518_Ref::BuildTaskFrame(doc_->outParams).toHex(' '));
    EXPECT_FALSE(port_->IsRunning()) << "an earlier reply was taken for the task's";
}
