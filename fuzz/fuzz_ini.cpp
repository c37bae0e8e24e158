// The state file: arbitrary bytes go through the same UTF-16 decoding and parser as a file
// read from disk; then, as "pel.ini" in a home folder, through the document that starts from
// it, sets up a task from what it read, and writes the state back.
#include "document/IniFile.h"
#include "document/PELDoc.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir home;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    CIniFile image;
    image.ParseBytes(bytes);
    const QStringList sections = image.GetSectionOrder();
    for (const QString& section : sections) {
        QString text;
        std::int32_t value = 0;
        image.GetString(section, QStringLiteral("Mode"), text);
        image.GetInt(section, QStringLiteral("Mode"), value);
        LeadingInteger(section);
    }

    if (!home.isValid() || !WriteFile(home.filePath(QStringLiteral("pel.ini")), bytes))
        return 0;
    {
        CPELDoc document(home.path() + QLatin1Char('/'));
        document.SetOutParams('Y');
        document.SetOutParams('L');
        if (CChannel* reference = document.SelectReference()) {
            reference->GetParamLine();
            document.ch[2].ExtractPoints(*reference, 0);
        }
        if (!document.WriteStateFile())
            return 0;
    }
    // What the program wrote it reads back, every section of the original still there.
    CIniFile reread(home.filePath(QStringLiteral("pel.ini")));
    for (const QString& section : sections) {
        if (!reread.GetSectionOrder().contains(section))
            std::abort();
    }
    CPELDoc again(home.path() + QLatin1Char('/'));
    return 0;
}
