#include "sim/FrameSplitter.h"

namespace sim {

std::optional<int> CommandFrameLength(char letter) {
    switch (letter) {
    case 'V':
    case 'R':
    case 'S':
    case 'Z':
        return 2;
    case 'A':
        return 3;
    case 'D':
        return 16;
    default:
        return std::nullopt;
    }
}

std::vector<QByteArray> FrameSplitter::Feed(const QByteArray& bytes) {
    pending_.append(bytes);
    std::vector<QByteArray> frames;
    while (!pending_.isEmpty()) {
        const auto length = CommandFrameLength(pending_.at(0));
        if (!length || (pending_.size() >= 2 && static_cast<unsigned char>(pending_.at(1)) != *length)) {
            pending_.remove(0, 1);
            continue;
        }
        if (pending_.size() < *length)
            break;
        frames.push_back(pending_.left(*length));
        pending_.remove(0, *length);
    }
    return frames;
}

} // namespace sim
