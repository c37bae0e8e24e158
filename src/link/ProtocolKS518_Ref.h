#pragma once

// The measurement board's command set on top of the port worker: frames built from
// the document's output block, replies stored into its input block.

#include "document/PELDoc.h"
#include "link/ThreadForPort.h"

#include <cstdint>

namespace command {
inline constexpr std::uint16_t kIdentify = 1; // 'V'
inline constexpr std::uint16_t kReset = 2;    // 'R'
inline constexpr std::uint16_t kTask = 3;     // 'D'
inline constexpr std::uint16_t kTrace = 5;    // 'Z'
inline constexpr std::uint16_t kStart = 12;   // 'S'
inline constexpr std::uint16_t kSetup = 13;   // 'A'
} // namespace command

class CProtocolKS518_Ref : public CThreadForPort {
    Q_OBJECT
public:
    // Attaches itself to the document as a view.
    explicit CProtocolKS518_Ref(CPELDoc* document, QObject* parent = nullptr);

    int CheckReply(const QByteArray& reply) override;
    bool RefuseCommand(std::uint16_t id) override;
    int Stop() override;
    void OnTimer(int timerId) override;

    bool IsRunning() const { return runFlag_ != 0; }

    // Frame and reply forms, free of the link so that they can be checked alone.
    static QByteArray BuildTaskFrame(const OutParams& out);
    static bool IsOkReply(const QByteArray& reply);

private:
    CPELDoc& Doc() const { return *document_; }
    void RegisterCommands();
    int ParseTrace(const QByteArray& reply);
    int ParseIdentification(const QByteArray& reply);

    CPELDoc* document_;
    std::int32_t runFlag_ = 0;
};
