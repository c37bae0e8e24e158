#pragma once

#include "sim/BoardModel.h"
#include "sim/Faults.h"
#include "sim/FileDescriptor.h"
#include "sim/FrameSplitter.h"
#include "sim/PseudoTerminal.h"
#include "sim/Scenario.h"
#include "sim/SymbolicLink.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace sim {

// The board on a pseudo-terminal: a thread of its own reads command frames from the master
// side and answers them at the line's pace. The program opens SlavePath() as its serial port.
class SimulatedBoard {
public:
    explicit SimulatedBoard(Scenario scenario = Scenario::Default());
    ~SimulatedBoard(); // stops serving, closes everything, removes its symbolic link
    SimulatedBoard(const SimulatedBoard&) = delete;
    SimulatedBoard& operator=(const SimulatedBoard&) = delete;

    // Creates the pseudo-terminal (and a symbolic link to its slave at `linkPath` when given)
    // and starts serving. False, with ErrorString() set, when that fails or it already runs.
    bool Start(const QString& linkPath = QString());

    QString SlavePath() const;  // the path to open: the link when one was given, else the device
    QString DevicePath() const; // the current slave device itself
    QString ErrorString() const;

    void SetFault(Fault fault); // any thread
    Fault GetFault() const;

    // The complete frames received so far, in order: the last kFramesKept of them, so that a
    // board serving for hours does not grow.
    std::vector<QByteArray> Received() const;
    static constexpr std::size_t kFramesKept = 1024;
    void ClearReceived();
    // 'Z' frames answered with a trace so far; counted as its last bytes leave.
    std::size_t TracesSent() const;

private:
    void Serve();
    void ReadAvailable();
    void Answer(const QByteArray& frame, std::chrono::steady_clock::time_point start);
    void ReopenLink();
    void SetError(const QString& error);

    BoardModel model_;         // the serving thread's alone once started
    std::mt19937 faultRandom_; // garbage bytes; the serving thread's alone
    FrameSplitter splitter_;   // the serving thread's alone
    std::optional<PseudoTerminal> terminal_;
    SymbolicLink link_;
    FileDescriptor wake_; // eventfd: wakes the serving thread for a stop or a new fault

    std::atomic<Fault> fault_{Fault::None};
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> tracesSent_{0};

    mutable std::mutex mutex_; // guards the members below
    std::deque<QByteArray> received_;
    QString linkPath_;
    QString devicePath_;
    QString error_;

    std::thread thread_;
};

} // namespace sim
