#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

// A serial device opened raw through termios. The wait for the first reply byte can
// be released from another thread (AbortWait), which is how a reply time-out ends it.
class SerialPort {
public:
    enum class WaitResult { Data, Aborted, Lost };
    // How a read ended: the buffer is full, the line paused, the device was lost (hung up
    // or failed), or Shutdown was called.
    enum class ReadEnd { Full, Gap, Lost, Aborted };
    struct ReadResult {
        std::size_t count = 0;
        ReadEnd end = ReadEnd::Gap;
    };

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 2 two (the platform's codes).
    // The device is held exclusively: no second program can open it and take reply bytes.
    // False when it cannot be opened; OpenError() then tells why (EBUSY: held by another).
    bool Open(const QString& path, int baudRate, int byteSize, int parity, int stopBits);
    int OpenError() const { return openError_; }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Writes the whole frame; false when the device failed.
    bool Write(const QByteArray& bytes);

    // Blocks until a byte can be read, AbortWait is called, or the device is lost. A
    // hung-up terminal also reports itself readable; the hang-up is what counts.
    // An abort that arrived before the wait began is dropped first.
    WaitResult WaitForData();
    // From any thread: releases WaitForData (or the next one that begins before the
    // pending abort is dropped).
    void AbortWait();
    // From any thread: releases the current wait and every later one, for good.
    void Shutdown();

    // Reads up to `capacity` bytes, ending early at the first gap of more than `gapMs`
    // between bytes, at a hang-up or error of the device, or at Shutdown.
    ReadResult ReadChunk(char* buffer, std::size_t capacity, int gapMs);
    // Throws away whatever the driver holds unread.
    void DiscardInput();

    // Waits, reads and writes made on the device so far.
    std::uint64_t DeviceCalls() const { return deviceCalls_.load(std::memory_order_relaxed); }

private:
    void DrainAbort();

    int fd_ = -1;
    int abortFd_ = -1;
    int openError_ = 0;
    std::atomic<bool> shutdown_{false};
    std::atomic<std::uint64_t> deviceCalls_{0};
};

} // namespace platform
