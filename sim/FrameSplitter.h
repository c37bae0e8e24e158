#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

namespace sim {

// The length of a command frame that starts with `letter`, or nothing for a letter the board
// does not know.
std::optional<int> CommandFrameLength(char letter);

// Cuts the byte stream from the program into complete command frames. A byte that cannot start
// a frame (an unknown letter, or a known letter followed by a length that is not its own) is
// dropped and the search goes on at the next byte, so the board falls back into step after noise
// on the line.
class FrameSplitter {
public:
    std::vector<QByteArray> Feed(const QByteArray& bytes);

    // A frame has begun and waits for the rest of its bytes.
    bool HasPartialFrame() const { return !pending_.isEmpty(); }
    // Forgets a frame that was left unfinished (the line went quiet in its middle).
    void DropPartialFrame() { pending_.clear(); }

private:
    QByteArray pending_;
};

} // namespace sim
