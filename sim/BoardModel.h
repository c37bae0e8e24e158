#pragma once

#include "sim/CableModel.h"
#include "sim/FrameSplitter.h"
#include "sim/Scenario.h"
#include "sim/Task.h"

#include <QByteArray>

#include <array>
#include <chrono>
#include <optional>
#include <random>

namespace sim {

struct Reply {
    QByteArray bytes;
    std::chrono::microseconds delay{0}; // before the first byte
    bool trace = false;                 // a 'Z' answered with samples
};

// The board's command handling: one complete frame in, the reply out. No I/O, no threads.
class BoardModel {
public:
    explicit BoardModel(Scenario scenario);

    // Nothing (the board says nothing) for a frame it does not know.
    std::optional<Reply> Handle(const QByteArray& frame);
    bool HasValidTask() const { return task_.has_value(); }

    // The identification text, without its closing zero byte.
    static QByteArray Identification();

private:
    Reply Trace(const Task& task);

    Scenario scenario_;
    std::array<CableModel, 2> cables_;
    std::optional<Task> task_;
    std::mt19937 random_;
};

} // namespace sim
