#pragma once

#include "sim/FileDescriptor.h"

#include <QString>

#include <optional>

namespace sim {

// A pseudo-terminal whose master side is the board's end of the line. The board keeps a
// descriptor of the slave open too, so the master never sees a hangup while the program
// closes and reopens its side.
class PseudoTerminal {
public:
    // Opens a master (non-blocking) and its slave, raw, 115200 8N1.
    static std::optional<PseudoTerminal> Open(QString* error = nullptr);

    int Master() const { return master_.Get(); }
    const QString& SlaveName() const { return slaveName_; }

private:
    PseudoTerminal() = default;

    FileDescriptor master_;
    FileDescriptor slave_;
    QString slaveName_;
};

} // namespace sim
