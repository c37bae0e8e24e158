#include "sim/PacedWriter.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::chrono::milliseconds kSleepStep{5};

timespec ToTimespec(std::chrono::steady_clock::time_point point) {
    // libstdc++'s steady clock is CLOCK_MONOTONIC.
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(point.time_since_epoch()).count();
    return timespec{static_cast<time_t>(since / 1000000000), static_cast<long>(since % 1000000000)};
}

} // namespace

std::chrono::nanoseconds WireTime(qsizetype bytes) {
    return std::chrono::nanoseconds{static_cast<std::int64_t>(bytes) * kBitsPerByte * 1000000000 / kBaudRate};
}

std::vector<Chunk> PlanChunks(qsizetype size, std::optional<qsizetype> pauseAfter, std::chrono::nanoseconds pause) {
    std::vector<Chunk> chunks;
    for (qsizetype offset = 0; offset < size;) {
        qsizetype end = std::min(offset + kChunkBytes, size);
        if (pauseAfter && offset < *pauseAfter && *pauseAfter < end)
            end = *pauseAfter;
        const bool afterPause = pauseAfter && offset >= *pauseAfter;
        chunks.push_back({offset, end - offset, WireTime(end) + (afterPause ? pause : std::chrono::nanoseconds{0})});
        offset = end;
    }
    return chunks;
}

bool SleepUntil(std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop) {
    for (;;) {
        if (stop.load())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        const timespec until = ToTimespec(std::min(deadline, now + kSleepStep));
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr); // EINTR: just loop
    }
}

bool PacedWriter::Send(int fd, const Transmission& transmission, std::chrono::steady_clock::time_point start,
                       const std::function<void()>& beforeLastChunk) const {
    const auto first = start + transmission.delay;
    const std::vector<Chunk> chunks = PlanChunks(transmission.bytes.size(), transmission.pauseAfter, kCutPause);
    for (const Chunk& chunk : chunks) {
        if (!SleepUntil(first + chunk.due, stop_))
            return false;
        if (beforeLastChunk && &chunk == &chunks.back())
            beforeLastChunk();
        ssize_t written = 0;
        do {
            written = ::write(fd, transmission.bytes.constData() + chunk.offset, static_cast<size_t>(chunk.size));
        } while (written < 0 && errno == EINTR);
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
    }
    return true;
}

} // namespace sim
