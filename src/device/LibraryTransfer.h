#pragma once

// The file work behind the library transfers between the instrument's storage folder
// and the USB drive: which files belong to each library, the dated export folders, the
// space check and the copies. No windows here: the settings view asks the questions
// and shows the outcome.

#include "platform/Files.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace library_transfer {

// What tells the two libraries apart, texts included.
struct LibraryKind {
    std::vector<const char*> exportedPatterns; // files of the storage folder, in this order
    const char* folderFormat;                  // the export folder's name from the local time
    const char* folderFilter;                  // the export folders in the folder choice
    const char* importedPattern;               // files taken from the chosen folder
    const char* replacedPattern;               // files of the storage folder that the import replaces
    // The name under which the program reads a file of the chosen folder, empty when it
    // would read none (the file is then refused).
    QString (*nameInLibrary)(const QString& nameOnDrive);
    // The largest file the format allows, and the program's own check of a file's bytes.
    qint64 maxFileBytes;
    bool (*isReadable)(const QByteArray& bytes);
    const char* exportCaption;
    const char* exportErrorCaption;
    const char* exportSuccess; // followed by the destination folder
    const char* importCaption;
    const char* importErrorCaption;
    const char* importSuccess;
};

// The reflectograms with their screen copies, and the velocity table.
const LibraryKind& Reflectograms();
const LibraryKind& Velocities();

inline constexpr const char* kExportFolder = "Velmar";
inline constexpr const char* kNoDriveText = "Сначала вставьте флэш-накопитель в USB-порт";
inline constexpr const char* kNoSpaceText = "Недостаточно места на диске";
inline constexpr const char* kNothingToImportText = "В этой папке нет данных для импорта!";
inline constexpr const char* kLibraryKeptText = "Текущая библиотека сохранена без изменений.";
inline constexpr const char* kExportFirstFailedText = "Импорт отменён: экспорт текущей библиотеки не выполнен.";
inline constexpr const char* kTakenFormat = "Принято файлов: %1, отклонено: %2.";
inline constexpr const char* kRefusedFormat = "Отклонено файлов: %1.";
inline constexpr const char* kOverwriteCaption = "Подтвердите перезапись библиотеки";
inline constexpr const char* kOverwriteQuestion = "Вы собираетесь импортировать библиотеку взамен текущей.\n"
                                                  "Хотите ли вы сначала сделать экспорт текущей библиотеки?";

// The drive's root folder (ending in '/'), empty when the program has none.
QString UsbRoot();
// The drive is there when its root folder exists and holds at least one entry.
bool UsbDrivePresent();
// The folder that holds the export folders on the drive, ending in '/'.
QString ExportBaseFolder();

// "RFG 2011.03.07  14-25" and the like: the kind's format over `time`.
QString ExportFolderName(const LibraryKind& kind, const QDateTime& time);

// Only regular files are carried: a link or a folder matching the pattern is left out.
bool IsRegularFile(const QString& path);
std::vector<platform::FileInfo> RegularFiles(const QString& folder, const QString& pattern);

// The folder the operator chose on the drive, held open below the drive's root without
// following a link on the way.
platform::Folder OpenOnDrive(const QString& folder);
// How many files of `importFolder` an import would try (by their names and kinds only).
int ImportableFiles(const LibraryKind& kind, const QString& importFolder);

// The copy's size against the free space: enough only when the total is below it.
bool EnoughSpace(std::uint64_t total, std::uint64_t freeBytes);

struct Outcome {
    // kNothingUsable: the import found no file it could take; nothing was changed.
    enum Result { kDone, kNoSpace, kFailed, kNothingUsable };
    Result result = kDone;
    int error = 0;       // the platform's error code of the failure, for kFailed
    QString destination; // the export folder, ending in '/'
    int taken = 0;       // files an import brought in
    int refused = 0;     // files of the chosen folder that it left out
};

// Copies the library's files from `storageFolder` into a new folder named after `time`
// under the drive's export folder. With too little room on the drive nothing is made
// and nothing copied. A failed copy stops the export; the files copied before stay.
Outcome ExportLibrary(const LibraryKind& kind, const QString& storageFolder, const QDateTime& time);

// Replaces the library's files in `storageFolder` by those of `importFolder`. Each file
// is read (up to the format's size, never through a link, never a pipe or a device),
// checked by the program's own reader and copied into a staging folder beside the
// storage folder under the name the program reads; a file that fails is refused on its
// own. Only when every usable file has arrived are the old ones replaced. Any failure,
// and a folder without a usable file, leaves the library as it was.
Outcome ImportLibrary(const LibraryKind& kind, const QString& importFolder, const QString& storageFolder);

// Brings an import that was cut short (a power cut) to an end: one whose new files had
// all arrived is completed, any other is undone. The library is then whole: the old one
// or the new one. Run at start and before each import.
void RepairInterruptedImport(const QString& storageFolder);

// The folders the import works in, beside the storage folder.
QString StagingFolder(const QString& storageFolder);
QString ReplacedFolder(const QString& storageFolder);

// Tests cut the power during an import: after `steps` more of the steps that replace
// the library (each rename and each mark), the import stops where it is. -1: never.
void CutPowerForTesting(int steps);

} // namespace library_transfer
