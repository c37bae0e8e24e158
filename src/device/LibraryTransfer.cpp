#include "device/LibraryTransfer.h"

#include "platform/Paths.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace library_transfer {

namespace {

const LibraryKind kReflectograms{
    {"*.pel", "*.png"},
    "RFG %04d.%02d.%02d  %02d-%02d",
    "RFG*.*",
    "*.pel",
    "*.pel",
    "Экспорт библиотеки РФГ",
    "Экспорт библиотеки РФГ: ошибка",
    "Библиотека РФГ успешно экспортирована\nв папку ",
    "Импорт библиотеки РФГ",
    "Имспорт библиотеки РФГ: ошибка",
    "Библиотека РФГ успешно импортирована.",
};

const LibraryKind kVelocities{
    {"*.tku"},
    "KU %04d.%02d.%02d  %02d-%02d",
    "KU*.*",
    "*.tku",
    "*.tku",
    "Экспорт библиотеки КУ",
    "Экспорт библиотеки КУ: ошибка",
    "Библиотека КУ успешно экспортирована\nв папку ",
    "Импорт библиотеки КУ",
    "Имспорт библиотеки КУ: ошибка",
    "Библиотека КУ успешно импортирована.",
};

std::uint64_t TotalSize(const std::vector<platform::FileInfo>& files) {
    std::uint64_t total = 0;
    for (const platform::FileInfo& file : files)
        total += static_cast<std::uint64_t>(file.size);
    return total;
}

Outcome Failed(int error) {
    Outcome outcome;
    outcome.result = Outcome::kFailed;
    outcome.error = error;
    return outcome;
}

QString Beside(const QString& storageFolder, const char* suffix) {
    QString folder = storageFolder;
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QLatin1String(suffix) + QLatin1Char('/');
}

// Removes a working folder of the import with the files in it; an absent folder is fine.
void RemoveWorkFolder(const QString& folder) {
    if (!platform::FolderExists(folder))
        return;
    for (const platform::FileInfo& file : platform::FindFiles(folder + QStringLiteral("*")))
        platform::DeleteFile(folder + file.name);
    platform::RemoveFolder(folder);
}

// Moves the named files from one folder to another, recording each one moved. Stops at
// the first that cannot be moved (LastError tells why).
bool MoveFiles(const std::vector<QString>& names, const QString& from, const QString& to, std::vector<QString>& moved) {
    for (const QString& name : names) {
        if (!platform::RenameFile(from + name, to + name))
            return false;
        moved.push_back(name);
    }
    return true;
}

// Puts files moved by MoveFiles back where they came from, as far as that goes.
void MoveBack(const std::vector<QString>& moved, const QString& from, const QString& to) {
    std::vector<QString> ignored;
    for (const QString& name : moved)
        MoveFiles({name}, to, from, ignored);
}

// Files that an interrupted import had set aside go back into the storage folder, unless
// a file of the same name is there already; the folder goes once it is empty.
void RestoreSetAside(const QString& replaced, const QString& storageFolder) {
    if (!platform::FolderExists(replaced))
        return;
    for (const platform::FileInfo& file : platform::FindFiles(replaced + QStringLiteral("*")))
        platform::RenameFile(replaced + file.name, storageFolder + file.name);
    platform::RemoveFolder(replaced);
}

std::vector<QString> NamesOf(const std::vector<platform::FileInfo>& files) {
    std::vector<QString> names;
    names.reserve(files.size());
    for (const platform::FileInfo& file : files)
        names.push_back(file.name);
    return names;
}

} // namespace

const LibraryKind& Reflectograms() {
    return kReflectograms;
}

const LibraryKind& Velocities() {
    return kVelocities;
}

QString UsbRoot() {
    return platform::AsFolder(platform::GetPlatformOptions().usb);
}

bool UsbDrivePresent() {
    const QString root = UsbRoot();
    return !root.isEmpty() && !platform::FindFiles(root + QStringLiteral("*.*")).empty();
}

QString ExportBaseFolder() {
    const QString root = UsbRoot();
    return root.isEmpty() ? QString() : root + QLatin1String(kExportFolder) + QLatin1Char('/');
}

QString ExportFolderName(const LibraryKind& kind, const QDateTime& time) {
    const QDate date = time.date();
    const QTime clock = time.time();
    return QString::asprintf(kind.folderFormat, date.year(), date.month(), date.day(), clock.hour(), clock.minute());
}

bool IsRegularFile(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<platform::FileInfo> RegularFiles(const QString& folder, const QString& pattern) {
    std::vector<platform::FileInfo> files = platform::FindFiles(folder + pattern);
    std::erase_if(files, [&folder](const platform::FileInfo& file) { return !IsRegularFile(folder + file.name); });
    return files;
}

bool EnoughSpace(std::uint64_t total, std::uint64_t freeBytes) {
    return total < freeBytes;
}

Outcome ExportLibrary(const LibraryKind& kind, const QString& storageFolder, const QDateTime& time) {
    const QString base = ExportBaseFolder();
    if (base.isEmpty())
        return Failed(ENODEV);
    std::vector<platform::FileInfo> files;
    for (const char* pattern : kind.exportedPatterns) {
        std::vector<platform::FileInfo> matching = RegularFiles(storageFolder, QString::fromUtf8(pattern));
        files.insert(files.end(), matching.begin(), matching.end());
    }

    Outcome outcome;
    outcome.destination = base + ExportFolderName(kind, time) + QLatin1Char('/');
    // Measured before anything is made, so that a full drive is left exactly as it was.
    if (!EnoughSpace(TotalSize(files), platform::FreeSpace(outcome.destination).value_or(0))) {
        outcome.result = Outcome::kNoSpace;
        return outcome;
    }
    // An existing folder is fine (two exports in one minute share it); a folder that
    // cannot be made shows up as the copies' failure.
    platform::CreateFolder(base);
    platform::CreateFolder(outcome.destination);
    for (const platform::FileInfo& file : files) {
        if (!platform::CopyFile(storageFolder + file.name, outcome.destination + file.name, false)) {
            outcome.result = Outcome::kFailed;
            outcome.error = platform::LastError();
            return outcome;
        }
    }
    return outcome;
}

QString StagingFolder(const QString& storageFolder) {
    return Beside(storageFolder, ".import");
}

QString ReplacedFolder(const QString& storageFolder) {
    return Beside(storageFolder, ".replaced");
}

Outcome ImportLibrary(const LibraryKind& kind, const QString& importFolder, const QString& storageFolder) {
    const QString source = platform::AsFolder(importFolder);
    const QString staging = StagingFolder(storageFolder);
    const QString replaced = ReplacedFolder(storageFolder);
    const std::vector<platform::FileInfo> files = RegularFiles(source, QString::fromUtf8(kind.importedPattern));

    // An import cut short (a power cut) may have left work behind: the staged copies
    // can go, they are on the drive; files set aside are put back, never deleted.
    RemoveWorkFolder(staging);
    RestoreSetAside(replaced, storageFolder);
    // The current library is still in place while the new one is copied.
    if (!EnoughSpace(TotalSize(files), platform::FreeSpace(storageFolder).value_or(0))) {
        Outcome outcome;
        outcome.result = Outcome::kNoSpace;
        return outcome;
    }
    if (!platform::CreateFolderPath(storageFolder) || !platform::CreateFolderPath(staging))
        return Failed(platform::LastError());
    for (const platform::FileInfo& file : files) {
        if (!platform::CopyFile(source + file.name, staging + file.name, false)) {
            const int error = platform::LastError();
            RemoveWorkFolder(staging);
            return Failed(error);
        }
    }

    // Every new file has arrived: the old ones step aside, the new ones move in, and
    // only then are the old ones deleted. Renames within one volume; should one fail
    // anyway, everything goes back where it was.
    if (!platform::CreateFolderPath(replaced)) {
        const int error = platform::LastError();
        RemoveWorkFolder(staging);
        return Failed(error);
    }
    const std::vector<QString> oldNames = NamesOf(RegularFiles(storageFolder, QString::fromUtf8(kind.replacedPattern)));
    std::vector<QString> movedOut;
    std::vector<QString> movedIn;
    if (!MoveFiles(oldNames, storageFolder, replaced, movedOut) ||
        !MoveFiles(NamesOf(files), staging, storageFolder, movedIn)) {
        const int error = platform::LastError();
        MoveBack(movedIn, staging, storageFolder);
        MoveBack(movedOut, storageFolder, replaced);
        RemoveWorkFolder(staging);
        RemoveWorkFolder(replaced);
        return Failed(error);
    }
    RemoveWorkFolder(replaced);
    RemoveWorkFolder(staging);
    return Outcome{};
}

} // namespace library_transfer
