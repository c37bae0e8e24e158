#pragma once

#include <QString>

namespace sim {

// A symbolic link at a fixed path that the board points at its current slave device, so a
// program can always open the same path. Removed again on destruction while it still points
// where this object put it.
class SymbolicLink {
public:
    SymbolicLink() = default;
    SymbolicLink(const SymbolicLink&) = delete;
    SymbolicLink& operator=(const SymbolicLink&) = delete;
    ~SymbolicLink();

    // Points `path` at `target`, replacing an older symbolic link there (never a real file).
    bool PointAt(const QString& path, const QString& target, QString* error = nullptr);
    const QString& Path() const { return path_; }

private:
    QString path_;
    QString target_;
};

} // namespace sim
