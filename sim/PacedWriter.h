#pragma once

#include "sim/Faults.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

// The board's UART: 115200 baud, 8 data bits, no parity, 1 stop bit = 10 bits a byte.
inline constexpr std::int64_t kBaudRate = 115200;
inline constexpr std::int64_t kBitsPerByte = 10;
// Bytes handed to the pseudo-terminal at once: 16 bytes last 1.39 ms on the wire, so the
// program never sees a gap near its 10 ms end-of-reply rule inside a reply.
inline constexpr qsizetype kChunkBytes = 16;

// How long `bytes` take on the wire.
std::chrono::nanoseconds WireTime(qsizetype bytes);

// One write: bytes [offset, offset + size) leave when the last of them would have been
// received over a real line, `due` after the first byte started.
struct Chunk {
    qsizetype offset = 0;
    qsizetype size = 0;
    std::chrono::nanoseconds due{0};

    bool operator==(const Chunk&) const = default;
};

// Splits a reply of `size` bytes into chunks on the line's schedule, with a gap of `pause`
// after the first `pauseAfter` bytes when asked.
std::vector<Chunk> PlanChunks(qsizetype size, std::optional<qsizetype> pauseAfter = std::nullopt,
                              std::chrono::nanoseconds pause = std::chrono::nanoseconds{0});

// Sleeps until `deadline` in short steps so that a stop request is seen promptly.
// False when `stop` was raised first.
bool SleepUntil(std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop);

// Writes transmissions to a file descriptor at the line's pace.
class PacedWriter {
public:
    explicit PacedWriter(const std::atomic<bool>& stop) : stop_(stop) {}

    // Sends `transmission` on `fd`; its delay counts from `start` (when the frame came in).
    // Bytes that the pseudo-terminal cannot take (nobody reads the other side) are lost, as
    // on a real line. False when stopped or the descriptor failed before the end.
    // `beforeLastChunk` runs just before the last bytes go out, so that whatever it records is
    // in place by the time the other side has the whole reply.
    bool Send(int fd, const Transmission& transmission, std::chrono::steady_clock::time_point start,
              const std::function<void()>& beforeLastChunk = {}) const;

private:
    const std::atomic<bool>& stop_;
};

} // namespace sim
