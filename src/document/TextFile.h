#pragma once

#include <QString>

namespace platform {
class AtomicFile;
}

// Writes text as UTF-16 little-endian characters, without terminator, into a file
// that it does not own.
class CTextFile {
public:
    CTextFile() = default;
    explicit CTextFile(platform::AtomicFile* file) : file_(file) {}

    bool Write(const QString& text);

private:
    platform::AtomicFile* file_ = nullptr;
};
