#pragma once

// The far end of a pseudo-terminal, played by a test: it sees the frames the program
// writes to its serial device and answers them by hand.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool IsValid() const { return master_ >= 0; }
    QString SlavePath() const { return slavePath_; }

    // The next complete frame (letter, length, payload), or nothing within the time.
    std::optional<QByteArray> ReadFrame(std::chrono::milliseconds within);
    // Whatever arrives within the time.
    QByteArray ReadAvailable(std::chrono::milliseconds within);
    bool Write(const QByteArray& bytes);

    // The far end closes, as when a USB adapter is pulled: the program's side is hung up.
    void HangUp();
    // A new pseudo-terminal with a new slave path, as when the board comes back.
    bool Renew();

private:
    void Open();

    // Reads what the master side holds now into the buffer; when nothing is there, waits
    // up to `slice` (never past `deadline`) for more. False once the deadline has passed
    // with nothing read.
    bool Fill(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds slice);

    int master_ = -1;
    int slaveKeeper_ = -1; // keeps the line up while the program reopens its side
    QString slavePath_;
    QByteArray buffered_;
};
