#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>

namespace platform {

// A serial device opened raw through termios. The wait for the first reply byte can
// be released from another thread (AbortWait), which is how a reply time-out ends it.
class SerialPort {
public:
    enum class WaitResult { Data, Aborted, Lost };

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 2 two (the platform's codes).
    bool Open(const QString& path, int baudRate, int byteSize, int parity, int stopBits);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Writes the whole frame; false when the device failed.
    bool Write(const QByteArray& bytes);

    // Blocks until a byte can be read, AbortWait is called, or the device is lost.
    // An abort that arrived before the wait began is dropped first.
    WaitResult WaitForData();
    // From any thread: releases WaitForData (or the next one that begins before the
    // pending abort is dropped).
    void AbortWait();
    // From any thread: releases the current wait and every later one, for good.
    void Shutdown();

    // Reads up to `capacity` bytes, ending early at the first gap of more than `gapMs`
    // between bytes. Returns the count read (0 on a gap before any byte, or on error).
    std::size_t ReadChunk(char* buffer, std::size_t capacity, int gapMs);

private:
    void DrainAbort();

    int fd_ = -1;
    int abortFd_ = -1;
    std::atomic<bool> shutdown_{false};
};

} // namespace platform
