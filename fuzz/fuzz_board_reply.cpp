// The board's reply parsers, run where the program runs them: on the user-interface side
// of the port worker, on a reply burst handed over for the command in progress. No port
// is opened; the test seam delivers the burst.
//
// Input: one byte choosing the command, one byte choosing the task (window or full length,
// receiver line), then the reply bytes.
#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr std::array<std::uint16_t, 6> kCommands = {command::kIdentify, command::kReset, command::kTask,
                                                    command::kTrace,    command::kStart, command::kSetup};

struct Link {
    Link() {
        static int argc = 1;
        static char name[] = "fuzz_board_reply";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        document = std::make_unique<CPELDoc>(home.path() + QLatin1Char('/'));
        protocol = std::make_unique<CProtocolKS518_Ref>(document.get());
    }

    QTemporaryDir home;
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<CPELDoc> document;
    std::unique_ptr<CProtocolKS518_Ref> protocol;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Link link;
    if (size < 2)
        return 0;
    const std::uint16_t id = kCommands[data[0] % kCommands.size()];
    CPELDoc& document = *link.document;
    document.SetOutParams((data[1] & 0x01) != 0 ? 'L' : 'Y');
    document.outParams.r = static_cast<std::uint8_t>(1 + ((data[1] >> 1) % 3));
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    CProtocolKS518_Ref& protocol = *link.protocol;
    protocol.Stop();
    protocol.OnUpdate(nullptr, id, nullptr);
    protocol.DeliverReplyForTesting(reply);
    // A reply that asked for more commands leaves them queued: answer the first one too,
    // as the worker would on its next pass.
    if (protocol.GetCurrentCommand() != 0)
        protocol.DeliverReplyForTesting(reply);
    protocol.Stop();
    return 0;
}
