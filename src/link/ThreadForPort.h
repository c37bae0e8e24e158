#pragma once

// The command/reply engine of the serial link: a table of pending command frames, a
// worker thread that sends the current frame and collects the reply burst, and the
// hand-over of that burst to the user-interface thread, where the command's parser
// decides whether the command is complete.

#include "link/TaskTable.h"
#include "platform/Document.h"
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

class CThreadForPort : public QObject, public CView {
    Q_OBJECT
public:
    // Appends the complete frame of its command.
    using Builder = std::function<void(QByteArray& frame, CThreadForPort& port)>;
    // 0 when the reply completes the command, non-zero when it is to be sent again.
    using Parser = std::function<int(const QByteArray& reply, CThreadForPort& port)>;

    static constexpr int kReplyTimerId = 1;

    explicit CThreadForPort(QObject* parent = nullptr);
    ~CThreadForPort() override;

    // Opens the device and starts the worker. A device that cannot be opened, or that
    // another program holds, is reported once in the debug trace (again when the reason
    // changes) and tried again every second by the worker.
    virtual bool Open(const QString& portPath, int baudRate, int byteSize, int parity, int stopBits, int busySleepMs,
                      int idleSleepMs);
    int RegisterCommand(std::uint16_t id, Builder builder, Parser parser);

    // Queues the command whose id is the hint's low 16 bits.
    void OnUpdate(CView* sender, long hint, void* object) override;
    bool IsPending(std::uint16_t id) const;

    virtual int CheckReply(const QByteArray& reply);
    virtual bool RefuseCommand(std::uint16_t id);
    // Drops every pending command.
    virtual int Stop();
    // Reply time-out: the wait for a first reply byte ends on the third tick.
    virtual void OnTimer(int timerId);
    int OnPortReply();
    // Test seam: hands `reply` over as if the worker had just read it for the command
    // in progress, and runs the user-interface side at once. No port is needed.
    int DeliverReplyForTesting(const QByteArray& reply);

    std::uint16_t GetCurrentCommand() const;
    std::vector<std::uint16_t> GetPendingIds() const;
    bool IsPortOpen() const { return portOpen_.load(); }
    // Calls the worker has made on the device so far (waits, reads, writes): a link that
    // keeps the processor busy shows here whatever else the machine does.
    std::uint64_t DeviceCalls() const { return port_.DeviceCalls(); }

protected:
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

    // Both locks are re-entrant: a parser runs under the task lock and the views it
    // notifies queue commands on the same thread.
    mutable std::recursive_mutex taskLock_;
    std::recursive_mutex receiveLock_;

    // A burst longer than this is garbage and is dropped: a sender that never pauses must
    // not grow the accumulator without limit. Set before Open.
    void SetLongestReply(qsizetype bytes) { longestReply_ = bytes; }

private:
    enum class Burst { Complete, TooLong, Lost, Stopped };

    void WorkerLoop();
    bool TryOpenPort();
    // The device hung up or failed: it is closed and its path tried again in a second.
    void DropLostDevice();
    void SleepFor(int milliseconds);
    Burst ReadBurst();

    bool abort_ = false;
    int qtReplyTimer_ = 0;
    std::thread worker_;
    std::unordered_map<std::uint16_t, Builder> builders_;
    std::unordered_map<std::uint16_t, Parser> parsers_;
    std::atomic<bool> waiting_{false};
    QByteArray accumulator_; // the worker's
    std::atomic<std::uint32_t> tickCounter_{0};
    int idleSleepMs_ = 10;
    int busySleepMs_ = 10;
    platform::SerialPort port_;
    QByteArray handOff_;
    TaskTable pending_;
    std::atomic<std::size_t> pendingCount_{0};
    std::uint16_t currentCommand_ = 0;
    std::atomic<bool> inProgress_{false};
    // Set from posting a reply until the user-interface thread has handled it, so
    // that the worker never sends the next frame before its predecessor's reply has
    // been taken, and never writes the hand-off buffer while it is being read.
    std::atomic<bool> replyPosted_{false};

    QString portPath_;
    int baudRate_ = 115200;
    int byteSize_ = 8;
    int parity_ = 0;
    int stopBits_ = 0;
    std::atomic<bool> portOpen_{false};
    int reportedOpenError_ = 0;                             // the worker's
    std::chrono::steady_clock::time_point nextOpenAttempt_; // the worker's
    qsizetype longestReply_ = 64 * 1024;

    std::mutex sleepMutex_;
    std::condition_variable sleepWake_;
    std::atomic<bool> quit_{false};
};
