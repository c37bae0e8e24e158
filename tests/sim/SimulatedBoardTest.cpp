#include "sim/SimulatedBoard.h"

#include "sim/PacedWriter.h"

#include "SimTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using simtest::kR;
using simtest::kV;
using simtest::kZ;

namespace {

// The program's side of the line, as a serial port: raw 115200 8N1 through termios.
class SerialPeer {
public:
    explicit SerialPeer(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ < 0)
            return;
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&settings, B115200);
        cfsetospeed(&settings, B115200);
        tcsetattr(fd_, TCSANOW, &settings);
        tcflush(fd_, TCIOFLUSH);
    }
    ~SerialPeer() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    bool Write(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Reads until `count` bytes came or `limit` passed; returns what came.
    QByteArray Read(qsizetype count, std::chrono::milliseconds limit = 5s) {
        QByteArray bytes;
        const auto deadline = Clock::now() + limit;
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms)
                break;
            pollfd watched{fd_, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left.count())) <= 0 || !(watched.revents & POLLIN))
                break;
            std::array<char, 4096> buffer{};
            const ssize_t got = ::read(
                fd_, buffer.data(),
                static_cast<size_t>(std::min<qsizetype>(static_cast<qsizetype>(buffer.size()), count - bytes.size())));
            if (got <= 0)
                break;
            bytes.append(buffer.data(), got);
        }
        return bytes;
    }

    // One command and its complete reply of `count` bytes.
    QByteArray Exchange(const QByteArray& frame, qsizetype count) { return Write(frame) ? Read(count) : QByteArray(); }

    // True once the other side is gone: hangup, or a read that fails or ends.
    bool HungUp() {
        pollfd watched{fd_, POLLIN, 0};
        if (::poll(&watched, 1, 2000) <= 0)
            return false;
        if (watched.revents & (POLLHUP | POLLERR))
            return true;
        char byte = 0;
        return ::read(fd_, &byte, 1) <= 0;
    }

private:
    int fd_;
};

QByteArray Identification() {
    return sim::BoardModel::Identification() + '\0';
}

sim::Scenario Seeded() {
    sim::Scenario scenario = sim::Scenario::Default();
    scenario.seed = 8;
    return scenario;
}

QString LinkTarget(const QString& link) {
    return QFile::symLinkTarget(link);
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + 5s;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

TEST(BoardOverPty, AnswersATaskAndTraceAtTheLinesPace) {
    sim::SimulatedBoard board(Seeded());
    ASSERT_TRUE(board.Start()) << board.ErrorString().toStdString();
    SerialPeer peer(board.SlavePath());
    ASSERT_TRUE(peer.IsOpen()) << board.SlavePath().toStdString();

    EXPECT_EQ(peer.Exchange(kR, 3), ":OK");
    simtest::TaskFields task;
    task.generator = task.receiver = 3;
    task.decimation = 15;
    EXPECT_EQ(peer.Exchange(task.Frame(), 3), ":OK");

    const auto sent = Clock::now();
    const QByteArray trace = peer.Exchange(kZ, 1004);
    const auto took = Clock::now() - sent;
    ASSERT_EQ(trace.size(), 1004);
    EXPECT_EQ(static_cast<unsigned char>(trace.at(1002)), 100); // matching of line 1
    EXPECT_EQ(static_cast<unsigned char>(trace.at(1003)), 100); // and line 2
    EXPECT_EQ(trace.at(1), 127);                                // the saturated launch pulse
    // Never faster than the acquisition plus 1004 bytes at 115200 baud.
    EXPECT_GE(took, sim::AcquisitionDelay(sim::Task{'Y', 3, 3, 1, 100, 15, 5, 38}) + sim::WireTime(1004));

    EXPECT_EQ(peer.Read(1, 100ms), QByteArray()); // nothing more
    EXPECT_EQ(board.Received(), (std::vector<QByteArray>{kR, task.Frame(), kZ}));
    EXPECT_EQ(board.TracesSent(), 1u);
    board.ClearReceived();
    EXPECT_TRUE(board.Received().empty());

    // A board serving for hours keeps only the newest frames.
    QByteArray many;
    for (std::size_t i = 0; i < sim::SimulatedBoard::kFramesKept; ++i)
        many += kR;
    ASSERT_TRUE(peer.Write(many));
    EXPECT_EQ(peer.Read(3 * many.size() / kR.size()).size(), 3 * many.size() / kR.size());
    EXPECT_EQ(peer.Exchange(kV, Identification().size()), Identification());
    const auto kept = board.Received();
    ASSERT_EQ(kept.size(), sim::SimulatedBoard::kFramesKept);
    EXPECT_EQ(kept.front(), kR);
    EXPECT_EQ(kept.back(), kV);
}

TEST(BoardOverPty, FullLengthCaptureArrivesComplete) {
    sim::SimulatedBoard board(Seeded());
    ASSERT_TRUE(board.Start());
    SerialPeer peer(board.SlavePath());
    simtest::TaskFields task;
    task.mode = 'L';
    task.decimation = 1;
    EXPECT_EQ(peer.Exchange(task.Frame(), 3), ":OK");
    const auto sent = Clock::now();
    const QByteArray trace = peer.Exchange(kZ, 8002);
    EXPECT_EQ(trace.size(), 8002);
    EXPECT_GE(Clock::now() - sent, sim::WireTime(8002));
    EXPECT_EQ(board.TracesSent(), 1u);
}

TEST(BoardOverPty, FramesSentTogetherAreAnsweredInTurn) {
    sim::SimulatedBoard board(Seeded());
    ASSERT_TRUE(board.Start());
    SerialPeer peer(board.SlavePath());
    // Noise first: the board drops it and finds the frames.
    const QByteArray expected = QByteArray(":OK") + Identification() + ":?";
    EXPECT_EQ(peer.Exchange(QByteArrayLiteral("\x00\xffq") + kR + kV + kZ, expected.size()), expected);
    EXPECT_EQ(board.Received(), (std::vector<QByteArray>{kR, kV, kZ}));
}

TEST(BoardOverPty, FaultsSwitchedWhileRunningChangeTheAnswers) {
    sim::SimulatedBoard board(Seeded());
    ASSERT_TRUE(board.Start());
    SerialPeer peer(board.SlavePath());
    ASSERT_EQ(peer.Exchange(simtest::TaskFields{}.Frame(), 3), ":OK");

    board.SetFault(sim::Fault::NoAnswer);
    EXPECT_EQ(board.GetFault(), sim::Fault::NoAnswer);
    ASSERT_TRUE(peer.Write(kV));
    EXPECT_EQ(peer.Read(1, 1s), QByteArray());

    board.SetFault(sim::Fault::NoTaskInsteadOfTrace);
    EXPECT_EQ(peer.Exchange(kZ, 2), ":?");
    EXPECT_EQ(peer.Read(1, 100ms), QByteArray());
    EXPECT_EQ(board.TracesSent(), 0u);

    board.SetFault(sim::Fault::CutReply);
    auto sent = Clock::now();
    EXPECT_EQ(peer.Exchange(kV, Identification().size()), Identification());
    EXPECT_GE(Clock::now() - sent, sim::kCutPause + sim::WireTime(Identification().size()));

    board.SetFault(sim::Fault::LateAnswer);
    sent = Clock::now();
    EXPECT_EQ(peer.Exchange(kR, 3), ":OK");
    EXPECT_GE(Clock::now() - sent, sim::kLateAnswerDelay);

    board.SetFault(sim::Fault::None);
    ASSERT_EQ(peer.Exchange(simtest::TaskFields{}.Frame(), 3), ":OK");
    EXPECT_EQ(peer.Exchange(kZ, 502).size(), 502);
    EXPECT_EQ(board.TracesSent(), 1u);
    EXPECT_EQ(board.Received().size(), 7u); // the ignored 'V' was received all the same
}

TEST(BoardOverPty, ReopenedLinkPointsAtANewWorkingSlave) {
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("board"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent"), link)); // an old link is replaced
    {
        sim::SimulatedBoard board(Seeded());
        ASSERT_TRUE(board.Start(link)) << board.ErrorString().toStdString();
        EXPECT_EQ(board.SlavePath(), link);
        const QString firstDevice = board.DevicePath();
        EXPECT_EQ(LinkTarget(link), firstDevice);

        SerialPeer old(link);
        ASSERT_EQ(old.Exchange(kV, Identification().size()), Identification());

        board.SetFault(sim::Fault::ReopenLink);
        ASSERT_TRUE(WaitFor([&] { return board.GetFault() == sim::Fault::None; }));
        EXPECT_NE(board.DevicePath(), firstDevice);
        EXPECT_EQ(LinkTarget(link), board.DevicePath());
        EXPECT_TRUE(old.HungUp());

        SerialPeer reopened(link);
        ASSERT_TRUE(reopened.IsOpen());
        EXPECT_EQ(reopened.Exchange(kV, Identification().size()), Identification());
        EXPECT_EQ(board.SlavePath(), link);
    }
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink()); // removed with the board
}

TEST(BoardOverPty, StopsInTheMiddleOfAReply) {
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("board"));
    auto board = std::make_unique<sim::SimulatedBoard>(Seeded());
    ASSERT_TRUE(board->Start(link));
    SerialPeer peer(link);
    simtest::TaskFields task;
    task.mode = 'L';
    ASSERT_EQ(peer.Exchange(task.Frame(), 3), ":OK");
    ASSERT_TRUE(peer.Write(kZ));
    EXPECT_EQ(peer.Read(100).size(), 100); // the reply is under way
    board.reset();
    EXPECT_TRUE(peer.HungUp());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(BoardOverPty, StartFailsOnAPathThatIsNotALink) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("precious"));
    QFile precious(file);
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("keep");
    precious.close();
    sim::SimulatedBoard board;
    EXPECT_FALSE(board.Start(file));
    EXPECT_FALSE(board.ErrorString().isEmpty());
    EXPECT_TRUE(QFileInfo(file).isFile());
    EXPECT_EQ(QFileInfo(file).size(), 4);
}
