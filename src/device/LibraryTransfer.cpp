#include "device/LibraryTransfer.h"

#include "document/ReflectogramFile.h"
#include "library/KUListCtrl.h"
#include "platform/Paths.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace library_transfer {

namespace {

constexpr const char* kReflectogramExtension = ".pel";

// A reflectogram keeps its name with the extension the program lists and loads. A name
// too long to be rewritten later (the temporary file of a replacement adds to it) is
// refused, as is a name that is nothing but the extension.
QString ReflectogramName(const QString& nameOnDrive) {
    const QString extension = QString::fromLatin1(kReflectogramExtension);
    if (!nameOnDrive.endsWith(extension, Qt::CaseInsensitive) || nameOnDrive.size() == extension.size())
        return QString();
    const QString name = nameOnDrive.chopped(extension.size()) + extension;
    if (QFile::encodeName(name).size() + platform::kTemporarySuffixBytes > platform::kMaxNameBytes)
        return QString();
    return name;
}

// The program reads one velocity table, under one name.
QString VelocityTableName(const QString& nameOnDrive) {
    const QString table = QString::fromLatin1(ku_table::kFileName);
    return nameOnDrive.compare(table, Qt::CaseInsensitive) == 0 ? table : QString();
}

bool IsReadableReflectogram(const QByteArray& bytes) {
    return reflectogram::Check(bytes) == reflectogram::Fault::None;
}

const LibraryKind kReflectograms{
    {"*.pel", "*.png"},
    "RFG %04d.%02d.%02d  %02d-%02d",
    "RFG*.*",
    "*.pel",
    "*.pel",
    ReflectogramName,
    reflectogram::kHeaderBytes + reflectogram::kMaxSamples,
    IsReadableReflectogram,
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
    VelocityTableName,
    ku_table::kMaxTableBytes,
    ku_table::IsReadableTable,
    "Экспорт библиотеки КУ",
    "Экспорт библиотеки КУ: ошибка",
    "Библиотека КУ успешно экспортирована\nв папку ",
    "Импорт библиотеки КУ",
    "Имспорт библиотеки КУ: ошибка",
    "Библиотека КУ успешно импортирована.",
};

// The marks of an import's progress, which no library file can be named like. In the
// staging folder: every new file has arrived (it holds the pattern of the files that the
// import replaces). In the folder of the old files: every old file has stepped aside.
constexpr const char* kStagedMark = ".staged";
constexpr const char* kClearedMark = ".cleared";

int powerCutAfter = -1;

// One step of the replacement; false once the test's power cut has come.
bool Step() {
    if (powerCutAfter < 0)
        return true;
    if (powerCutAfter == 0)
        return false;
    --powerCutAfter;
    return true;
}

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

// Removes a working folder of the import with the files in it, its mark last (so that a
// power cut meanwhile still finds the mark); an absent folder is fine.
void RemoveWorkFolder(const QString& folder, const char* mark = nullptr) {
    if (!platform::FolderExists(folder))
        return;
    const QString markName = mark != nullptr ? QString::fromLatin1(mark) : QString();
    for (const platform::FileInfo& file : platform::FindFiles(folder + QStringLiteral("*"))) {
        if (file.name != markName)
            platform::DeleteFile(folder + file.name);
    }
    if (!markName.isEmpty())
        platform::DeleteFile(folder + markName);
    platform::RemoveFolder(folder);
}

// Moves the named files from one folder to another, recording each one moved. Stops at
// the first that cannot be moved (LastError tells why).
bool MoveFiles(const std::vector<QString>& names, const QString& from, const QString& to, std::vector<QString>& moved) {
    for (const QString& name : names) {
        if (!Step())
            return false;
        if (!platform::RenameFile(from + name, to + name))
            return false;
        moved.push_back(name);
    }
    return true;
}

std::vector<QString> NamesOf(const std::vector<platform::FileInfo>& files) {
    std::vector<QString> names;
    names.reserve(files.size());
    for (const platform::FileInfo& file : files)
        names.push_back(file.name);
    return names;
}

bool WriteMark(const QString& path, const QByteArray& contents) {
    return Step() && platform::WriteFileAtomically(path, contents);
}

// Files that an import had set aside go back into the storage folder, unless a file of
// the same name is there already; the folder goes once it is empty.
void RestoreSetAside(const QString& replaced, const QString& storageFolder) {
    if (!platform::FolderExists(replaced))
        return;
    for (const platform::FileInfo& file : platform::FindFiles(replaced + QStringLiteral("*"))) {
        if (file.name != QLatin1String(kClearedMark))
            platform::RenameFile(replaced + file.name, storageFolder + file.name);
    }
    platform::DeleteFile(replaced + QLatin1String(kClearedMark));
    platform::RemoveFolder(replaced);
}

// The second half of an import, whose new files have all arrived in the staging folder:
// the old files step aside, the new ones move in, then the old ones are deleted. Every
// step can be taken again after a power cut, so the repair at start runs it too.
bool ReplaceLibrary(const QString& storageFolder, const QString& pattern) {
    const QString staging = StagingFolder(storageFolder);
    const QString replaced = ReplacedFolder(storageFolder);
    std::vector<QString> movedOut;
    std::vector<QString> movedIn;
    bool done = platform::CreateFolderPath(replaced);
    if (done && !platform::FileExists(replaced + QLatin1String(kClearedMark))) {
        done = MoveFiles(NamesOf(RegularFiles(storageFolder, pattern)), storageFolder, replaced, movedOut) &&
               platform::SyncFolder(replaced) && platform::SyncFolder(storageFolder) &&
               WriteMark(replaced + QLatin1String(kClearedMark), QByteArray());
    }
    done = done && MoveFiles(NamesOf(RegularFiles(staging, pattern)), staging, storageFolder, movedIn) &&
           platform::SyncFolder(storageFolder) && Step();
    if (done) {
        // From here on the new library is the library: the staged mark goes first.
        platform::DeleteFile(staging + QLatin1String(kStagedMark));
        RemoveWorkFolder(staging);
        RemoveWorkFolder(replaced, kClearedMark);
        return true;
    }
    if (powerCutAfter == 0)
        return false; // the power is gone: nothing more happens
    // A rename failed on the instrument's own disk: put everything back as it was. The
    // staged mark goes last, so that a power cut meanwhile completes the import instead.
    const int error = platform::LastError();
    std::vector<QString> ignored;
    for (const QString& name : movedIn)
        MoveFiles({name}, storageFolder, staging, ignored);
    platform::DeleteFile(replaced + QLatin1String(kClearedMark));
    RestoreSetAside(replaced, storageFolder);
    RemoveWorkFolder(staging, kStagedMark);
    platform::SetLastError(error);
    return false;
}

// The pattern a staged mark names, when it is one of the libraries'.
QString MarkedPattern(const QString& markPath) {
    QByteArray contents;
    if (!platform::ReadFileStart(markPath, 16, contents))
        return QString();
    const QString pattern = QString::fromLatin1(contents);
    for (const LibraryKind* kind : {&kReflectograms, &kVelocities}) {
        if (pattern == QLatin1String(kind->replacedPattern))
            return pattern;
    }
    return QString();
}

// The part of `folder` below the drive's root, or the whole of it when it lies elsewhere.
std::pair<QString, QString> SplitAtDriveRoot(const QString& folder) {
    const QString root = UsbRoot();
    if (!root.isEmpty() && folder.startsWith(root))
        return {root, folder.mid(root.size())};
    return {folder, QString()};
}

struct Candidate {
    QString nameOnDrive;
    QString nameInLibrary;
    qint64 size = 0;
};

// The files of the chosen folder that an import tries, each under the name the program
// reads it by; a name that the program would not read, a second file for the same name
// (the exact spelling wins), a folder and a file above the format's size are refused.
std::vector<Candidate> Candidates(const LibraryKind& kind, const platform::Folder& source, int& refused) {
    const platform::Folder::Listing listing = source.List(QString::fromUtf8(kind.importedPattern));
    refused = listing.skipped;
    std::vector<Candidate> all;
    for (const platform::FileInfo& entry : listing.entries) {
        const QString name = entry.IsFolder() ? QString() : kind.nameInLibrary(entry.name);
        if (name.isEmpty() || entry.size > kind.maxFileBytes)
            ++refused;
        else
            all.push_back({entry.name, name, entry.size});
    }
    std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
        return (a.nameOnDrive == a.nameInLibrary) > (b.nameOnDrive == b.nameInLibrary);
    });
    std::vector<Candidate> chosen;
    for (const Candidate& candidate : all) {
        const bool taken = std::any_of(chosen.begin(), chosen.end(), [&candidate](const Candidate& other) {
            return other.nameInLibrary == candidate.nameInLibrary;
        });
        if (taken)
            ++refused;
        else
            chosen.push_back(candidate);
    }
    return chosen;
}

// Reasons for which one file is refused while the others come in; any other failure
// to read means that the drive or the folder is going, and the import stops.
bool RefusesOnlyTheFile(int error) {
    return error == ELOOP || error == EINVAL || error == EISDIR || error == EFBIG;
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

platform::Folder OpenOnDrive(const QString& folder) {
    const auto [root, below] = SplitAtDriveRoot(folder);
    return platform::Folder::Open(root, below);
}

int ImportableFiles(const LibraryKind& kind, const QString& importFolder) {
    const platform::Folder source = OpenOnDrive(importFolder);
    int refused = 0;
    return source.IsOpen() ? static_cast<int>(Candidates(kind, source, refused).size()) : 0;
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
    const QString name = ExportFolderName(kind, time);
    outcome.destination = base + name + QLatin1Char('/');
    // Measured before anything is made, so that a full drive is left exactly as it was.
    if (!EnoughSpace(TotalSize(files), platform::FreeSpace(outcome.destination).value_or(0))) {
        outcome.result = Outcome::kNoSpace;
        return outcome;
    }
    // An existing folder is fine (two exports in one minute share it); a link in its
    // place is not followed off the drive.
    const platform::Folder destination =
        platform::Folder::Open(UsbRoot()).Sub(QLatin1String(kExportFolder), true).Sub(name, true);
    if (!destination.IsOpen())
        return Failed(platform::LastError());
    // Temporary files of an earlier export that was cut short.
    destination.RemoveLeftoverTemporaries();
    for (const platform::FileInfo& file : files) {
        if (!destination.CopyIn(storageFolder + file.name, file.name)) {
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

void CutPowerForTesting(int steps) {
    powerCutAfter = steps;
}

void RepairInterruptedImport(const QString& storageFolder) {
    const QString staging = StagingFolder(storageFolder);
    const QString replaced = ReplacedFolder(storageFolder);
    const QString pattern = MarkedPattern(staging + QLatin1String(kStagedMark));
    if (!pattern.isEmpty()) {
        ReplaceLibrary(storageFolder, pattern);
        return;
    }
    // Staged copies without the mark: an import cut before its files had all arrived.
    RemoveWorkFolder(staging);
    if (platform::FileExists(replaced + QLatin1String(kClearedMark)))
        RemoveWorkFolder(replaced, kClearedMark); // the new library was in: the old one goes
    else
        RestoreSetAside(replaced, storageFolder);
}

Outcome ImportLibrary(const LibraryKind& kind, const QString& importFolder, const QString& storageFolder) {
    const QString staging = StagingFolder(storageFolder);
    RepairInterruptedImport(storageFolder);

    const platform::Folder source = OpenOnDrive(importFolder);
    if (!source.IsOpen()) {
        // The folder (or the whole drive) has gone since it was chosen.
        const int error = platform::LastError();
        return Failed(error == ENOENT ? ENOTDIR : error);
    }
    Outcome outcome;
    const std::vector<Candidate> candidates = Candidates(kind, source, outcome.refused);
    std::uint64_t total = 0;
    for (const Candidate& candidate : candidates)
        total += static_cast<std::uint64_t>(candidate.size);
    if (candidates.empty()) {
        outcome.result = Outcome::kNothingUsable;
        return outcome;
    }
    // The current library is still in place while the new one is copied.
    if (!EnoughSpace(total, platform::FreeSpace(storageFolder).value_or(0))) {
        outcome.result = Outcome::kNoSpace;
        return outcome;
    }
    if (!platform::CreateFolderPath(storageFolder) || !platform::CreateFolderPath(staging))
        return Failed(platform::LastError());
    const auto fail = [&staging](int error) {
        RemoveWorkFolder(staging);
        return Failed(error);
    };
    for (const Candidate& candidate : candidates) {
        QByteArray bytes;
        if (!source.ReadFile(candidate.nameOnDrive, kind.maxFileBytes, bytes)) {
            const int error = platform::LastError();
            if (!RefusesOnlyTheFile(error))
                return fail(error);
            ++outcome.refused;
            continue;
        }
        if (!kind.isReadable(bytes)) {
            ++outcome.refused;
            continue;
        }
        if (!platform::WriteFileAtomically(staging + candidate.nameInLibrary, bytes))
            return fail(platform::LastError());
        ++outcome.taken;
    }
    if (outcome.taken == 0) {
        RemoveWorkFolder(staging);
        outcome.result = Outcome::kNothingUsable;
        return outcome;
    }
    // The folder for the old files is there before the mark says that the import may go on.
    const QString replaced = ReplacedFolder(storageFolder);
    if (!platform::CreateFolderPath(replaced))
        return fail(platform::LastError());
    if (!WriteMark(staging + QLatin1String(kStagedMark), kind.replacedPattern)) {
        if (powerCutAfter == 0)
            return Failed(EIO);
        const int error = platform::LastError();
        platform::RemoveFolder(replaced);
        return fail(error);
    }
    if (!ReplaceLibrary(storageFolder, QString::fromLatin1(kind.replacedPattern))) {
        Outcome failed = Failed(powerCutAfter == 0 ? EIO : platform::LastError());
        failed.refused = outcome.refused;
        return failed;
    }
    return outcome;
}

} // namespace library_transfer
