#include "document/PELParam.h"

#include "document/ReflectogramFile.h"
#include "platform/Files.h"

#include <algorithm>

QString CChannel::FormFilePath(const QString& name) const {
    // A path ending in '/' is the slot's folder; any other path is the file last used,
    // whose folder the new name goes into.
    if (name.isEmpty())
        return filePath.endsWith(QLatin1Char('/')) ? QString() : filePath;
    if (filePath.isEmpty())
        return QString();
    return platform::FolderPart(filePath) + name;
}

std::int32_t CChannel::SaveTrace(const QString& name) {
    const QString path = FormFilePath(name);
    if (path.isEmpty())
        return 1;

    reflectogram::Header header;
    header.sampleCount = static_cast<std::int32_t>(scale.samples.size());
    header.pulse = pulse.GetIndex();
    header.range = scale.GetIndex();
    header.average = average.GetIndex();
    header.gain = gain.GetIndex();
    header.matching = matching.GetIndex();
    header.storedKU = StoredKU(scale.vfactor.GetKU());
    const QByteArray contents = reflectogram::Encode(header, scale.samples.data());

    platform::AtomicFile file;
    if (!file.Open(path)) {
        // The storage folder is made on the first save.
        if (!platform::CreateFolderPath(platform::FolderPart(path)) || !file.Open(path))
            return 2;
    }
    if (!file.Write(contents) || !file.Commit())
        return 2;
    filePath = path;
    return 0;
}

std::int32_t CChannel::LoadTrace(const QString& name) {
    const QString path = FormFilePath(name);
    if (path.isEmpty())
        return 1;
    QByteArray contents;
    if (!platform::ReadWholeFile(path, contents))
        return 2;
    reflectogram::Header header;
    const std::uint8_t* stored = nullptr;
    if (!reflectogram::Decode(contents, header, stored))
        return 3;

    filePath = path;
    pulse.SetIndex(header.pulse);
    scale.SetIndex(header.range);
    average.SetIndex(header.average);
    gain.SetIndex(header.gain);
    matching.SetIndex(header.matching);
    scale.vfactor.SetKU(header.storedKU / 1000.0);
    // A shorter trace leaves no samples of an earlier one behind it.
    std::copy_n(stored, header.sampleCount, scale.samples.begin());
    std::fill(scale.samples.begin() + header.sampleCount, scale.samples.end(), std::uint8_t{0});
    return 0;
}

std::int32_t CChannel::DeleteFiles(const QString& pattern) {
    if (filePath.isEmpty())
        return 0;
    const bool isFolder = filePath.endsWith(QLatin1Char('/'));
    if (isFolder && pattern.isEmpty())
        return 0;
    const QString mask = pattern.isEmpty() ? filePath : platform::FolderPart(filePath) + pattern;
    const QString folder = platform::FolderPart(mask);
    for (const platform::FileInfo& found : platform::FindFiles(mask)) {
        if (!found.IsFolder())
            platform::DeleteFile(folder + found.name);
    }
    return 0;
}
