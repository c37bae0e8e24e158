// The ".pel" reflectogram reader: the pure decoder on arbitrary bytes, and a stored-trace
// slot loading the same bytes from a file.
#include "document/PELParam.h"
#include "document/ReflectogramFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    reflectogram::Header header;
    const std::uint8_t* samples = nullptr;
    const bool decoded = reflectogram::Decode(bytes, header, samples);
    if (decoded) {
        // An accepted file begins with what the writer makes of what was read from it, apart
        // from header words the reader does not keep.
        const QByteArray again = reflectogram::Encode(header, samples);
        if (header.sampleCount < 0 || header.sampleCount > reflectogram::kMaxSamples ||
            again.size() != reflectogram::kHeaderBytes + header.sampleCount || again.size() > bytes.size() ||
            std::memcmp(again.constData() + reflectogram::kHeaderBytes, bytes.constData() + reflectogram::kHeaderBytes,
                        static_cast<std::size_t>(header.sampleCount)) != 0)
            std::abort();
    }

    if (!folder.isValid())
        return 0;
    const QString name = QStringLiteral("trace.pel");
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();

    CChannel stored;
    stored.filePath = folder.path() + QLatin1Char('/');
    const std::int32_t loaded = stored.LoadTrace(name);
    if ((loaded == 0) != decoded)
        std::abort();
    if (loaded == 0) {
        stored.GetParamLine();
        CChannel shown;
        shown.ExtractPoints(stored, 0);
    }
    return 0;
}
