#pragma once

#include "sim/BoardModel.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>
#include <random>

namespace sim {

// Misbehaviour the board can be told to show, for the program's robustness tests.
enum class Fault {
    None,
    NoAnswer,             // ignores every frame
    LateAnswer,           // every reply starts after 700 ms
    Garbage,              // random bytes of random length instead of the reply
    CutReply,             // a 20 ms pause in the middle of every reply longer than 20 bytes
    NoTaskInsteadOfTrace, // ":?" to every 'Z'
    ReopenLink,           // closes the pseudo-terminal and opens a new one, then clears itself
    ErrorInsteadOfTrace,  // ":E" + kTraceErrorCode to every 'Z'
    LostHalf,             // every reply longer than 20 bytes loses its second half on the line
    HangUpInReply,        // the next reply longer than 20 bytes stops halfway and the link is reopened
};

// "none", "no-answer", "late", "garbage", "cut", "no-task", "reopen", "error", "lost-half",
// "hang-up"
std::optional<Fault> FaultFromName(const QString& name);
QString FaultName(Fault fault);

inline constexpr std::chrono::milliseconds kLateAnswerDelay{700};
inline constexpr std::chrono::milliseconds kCutPause{20};
inline constexpr qsizetype kShortestCutReply = 21; // also the shortest reply that loses its half
inline constexpr qsizetype kLongestGarbage = 64;
// The two code bytes of the ":E" reply to a 'Z' under ErrorInsteadOfTrace (averaging above 128).
inline constexpr char kTraceErrorCode[] = "N1";

// What goes on the line in answer to one frame.
struct Transmission {
    QByteArray bytes;
    std::chrono::microseconds delay{0};  // before the first byte
    std::optional<qsizetype> pauseAfter; // a kCutPause gap after this many bytes
    bool trace = false;                  // a complete trace reply
    bool hangUpAfter = false;            // the link is reopened as soon as the bytes are out
};

// The board's answer to `frame` with `fault` in force; nothing when it stays silent.
// The model sees every frame except under NoAnswer, and no 'Z' under NoTaskInsteadOfTrace or
// ErrorInsteadOfTrace.
std::optional<Transmission> Respond(BoardModel& model, const QByteArray& frame, Fault fault, std::mt19937& random);

} // namespace sim
